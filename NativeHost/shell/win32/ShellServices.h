#pragma once
#include "shell/HostContext.h"

namespace kes::win32 {

// At process start, before anything can fail: the fatal-error presenter (message box unless a check mode
// runs, then WM_CLOSE to the main window), the hotkey and tray services, the web host's window operations
// and the "TaskbarCreated" message.
void prepareDesktopShell(HostContext& context);

} // namespace kes::win32
