// Prints "down" or "up" for the virtual key given in decimal, as the system's key state has it
// (GetAsyncKeyState), from a process of its own; exit code 0, or 2 without a key.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2)
        return 2;
    const int vk = static_cast<int>(std::wcstol(arguments[1], nullptr, 10));
    LocalFree(arguments);
    const bool down = (GetAsyncKeyState(vk) & 0x8000) != 0;
    std::fputs(down ? "down\n" : "up\n", stdout);
    std::fflush(stdout);
    return 0;
}
