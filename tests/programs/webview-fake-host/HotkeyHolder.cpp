// Another program that holds a hotkey: registers the bare F-key given as its first argument (8 for F8),
// then writes "registered" or "refused" to the file named by its second argument and keeps the key until
// it is ended. The program-level test uses it to start Kestrava with its master hotkey already taken.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <filesystem>
#include <fstream>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3) {
        return 2;
    }
    const int key = static_cast<int>(std::wcstol(arguments[1], nullptr, 10));
    const bool registered =
        key >= 1 && key <= 12 && RegisterHotKey(nullptr, 1, MOD_NOREPEAT, static_cast<UINT>(VK_F1 + key - 1));
    {
        std::ofstream out(std::filesystem::path(arguments[2]), std::ios::binary | std::ios::trunc);
        out << (registered ? "registered" : "refused");
    }
    LocalFree(arguments);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return registered ? 0 : 1;
}
