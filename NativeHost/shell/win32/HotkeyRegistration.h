#pragma once
#include <windows.h>

namespace kes::win32 {

// The master switch key on the main window: F1 to F11 as system hotkeys (no modifiers, no repeat), F12
// through a low-level keyboard hook that posts WM_HOTKEY with the current registration id.
bool registerMasterHotkey(int id, int n);
void unregisterMasterHotkey(int id, int n);

// Installs the F12 watch again after the system removed it behind our back; true when it is installed.
bool reinstallF12Watch();
LRESULT CALLBACK f12HookProc(int code, WPARAM wParam, LPARAM lParam);

// Ctrl+Shift+F6 to F9 with ids 6 to 9, for the performance sampler's marks; each failure is logged.
void registerMarkerHotkeys(HWND window);

} // namespace kes::win32
