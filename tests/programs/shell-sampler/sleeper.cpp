// Stands in for another program: waits until a file named "stop" appears beside it, at most 120 s.
#include <windows.h>

#include <string>

int wmain(int, wchar_t**) {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    const std::wstring stop = path.substr(0, path.find_last_of(L'\\') + 1) + L"stop";
    for (int tenth = 0; tenth < 1200; ++tenth) {
        if (GetFileAttributesW(stop.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return 0;
        }
        Sleep(100);
    }
    return 0;
}
