// Clicks controls of another program's dialog by their text, as a person would: usage
// kes_dialog_click.exe TITLE TEXT... (in TEXT, "\uXXXX" stands for that UTF-16 unit, so that the command
// line needs no particular locale) finds the top-level dialog (class "#32770") titled TITLE and sends a
// click to the child control whose text is each TEXT in turn. Exit code 0 when every control was found
// and clicked, 1 when the dialog or a control was not there (the missing text is printed), 2 on bad usage.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring decoded(const wchar_t* text) {
    std::wstring result;
    for (const wchar_t* at = text; *at != 0; ++at) {
        if (at[0] == L'\\' && at[1] == L'u' && std::wcslen(at) >= 6) {
            result += static_cast<wchar_t>(std::wcstoul(std::wstring(at + 2, 4).c_str(), nullptr, 16));
            at += 5;
        } else {
            result += *at;
        }
    }
    return result;
}

struct Search {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK matchChild(HWND child, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    if (std::wstring(text) == search->text) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3)
        return 2;
    const HWND dialog = FindWindowW(L"#32770", arguments[1]);
    int status = 0;
    if (dialog == nullptr) {
        std::fputs("no such dialog\n", stdout);
        status = 1;
    }
    for (int i = 2; status == 0 && i < count; ++i) {
        Search search{decoded(arguments[i])};
        EnumChildWindows(dialog, &matchChild, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) {
            std::printf("no control %d\n", i - 1);
            status = 1;
            break;
        }
        SendMessageW(search.found, BM_CLICK, 0, 0);
        Sleep(200);
    }
    std::fflush(stdout);
    LocalFree(arguments);
    return status;
}
