#include "shell/win32/ProgramEntry.h"
#include "webhost/win32/WebView2Host.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return kes::win32::runProgram(instance, kes::win32::startWebView2);
}
