// A plain window with one edit control, the macros' target in the whole-program test. Every 100 ms it writes
// the control's text (UTF-8) to the file named on its command line when the text changed.
#include "platform/TextConversion.h"

#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <string>

namespace {

HWND edit = nullptr;
std::wstring outputFile;
std::wstring lastText = L"\x1";

void saveText() {
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    if (text == lastText)
        return;
    lastText = text;
    const std::wstring temporary = outputFile + L".part";
    {
        std::ofstream out(temporary.c_str(), std::ios::binary | std::ios::trunc);
        out << kes::toUtf8(text);
    }
    MoveFileExW(temporary.c_str(), outputFile.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 400, 40, window,
                               nullptr, nullptr, nullptr);
        SetTimer(window, 1, 100, nullptr);
        return 0;
    case WM_SETFOCUS:
        SetFocus(edit);
        return 0;
    case WM_TIMER:
        saveText();
        return 0;
    case WM_DESTROY:
        saveText();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2)
        return 2;
    outputFile = arguments[1];
    LocalFree(arguments);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KesEditTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"KesEditTarget", L"kes-edit-target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 944, 420, 80, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 3;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
