#pragma once
#include "shell/win32/DesktopHost.h"

#include <windows.h>

namespace kes::win32 {

// The whole run of the program from its entry point: the command line of this process, the early
// start-up (which may end the run), then the desktop host with the given browser. A fatal error is
// reported and ends the run with exit code 1.
int runProgram(HINSTANCE instance, const BrowserStarter& startBrowser);

} // namespace kes::win32
