#pragma once
#include <windows.h>

#include <shellapi.h>

namespace kes::win32 {

// The icon record for the current master switch state; `adding` also asks for the callback message.
NOTIFYICONDATAW buildTrayIconData(HWND window, bool adding);

void addTrayIcon(HWND window);
void updateTrayIcon(HWND window);
// Deletes the icon; true when the shell removed it.
bool removeTrayIcon(HWND window);

// The main window's TrayNotifyMessage.
void handleTrayEvent(HWND window, WPARAM wParam, LPARAM lParam);

} // namespace kes::win32
