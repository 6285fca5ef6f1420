#pragma once
#include <windows.h>

namespace kes::win32 {

// Private messages and timers of the main window.
inline constexpr UINT trayNotifyMessage = WM_APP + 2;   // the tray icon's notifications
inline constexpr UINT closeRequestMessage = WM_APP + 3; // the page's close button
inline constexpr UINT_PTR housekeepingTimer = 1;        // every 100 ms
inline constexpr UINT housekeepingPeriod = 100;
inline constexpr UINT_PTR startupCheckTimer = 2; // start-up check mode only
inline constexpr UINT startupCheckTimeout = 45000;

inline constexpr const wchar_t* mainWindowClassName = L"KestravaNative";
inline constexpr const wchar_t* mainWindowTitle = L"Kestrava";
// WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX
inline constexpr DWORD mainWindowStyle = 0x800E0000;

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the "KestravaNative" class (icon resource 1, arrow cursor, no background); the result is not
// checked, as a second registration in one process fails harmlessly.
void registerMainWindowClass(HINSTANCE instance);

// Creates the hidden borderless main window, 1430 × 860 centred on the primary screen, and stores it in the
// host context. Throws "创建窗口失败".
HWND createMainWindow(HINSTANCE instance);

} // namespace kes::win32
