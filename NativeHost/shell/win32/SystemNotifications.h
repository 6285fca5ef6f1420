#pragma once
#include <windows.h>

namespace kes::win32 {

// Session changes (lock, switch, log-off) and raw keyboard input, also while another window has the focus,
// for the main window. A notification that cannot be registered is logged and left out.
void registerSystemNotifications(HWND window);
void unregisterSystemNotifications(HWND window);

// The crash path: an unhandled exception or a terminating C++ error first releases the keys the engine's
// jobs hold down, then goes on as it would have.
void installCrashRelease();

} // namespace kes::win32
