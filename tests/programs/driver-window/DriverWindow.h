#pragma once
// The window that the Wine end-to-end driver programs play into: a top-level window filled by an edit
// control whose messages a recorder of the program sees first, and the lines their run.sh reads.
#include "platform/TextConversion.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace kes::e2e {

struct DriverWindow {
    HWND window = nullptr;
    HWND edit = nullptr;
    WNDPROC editProcedure = nullptr; // the edit control's own procedure, for the recorder to hand on to
};

// One line on standard output, at once (run.sh polls it).
inline void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

inline std::string windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return kes::toUtf8(text);
}

inline std::wstring ownExecutablePath() {
    std::wstring path(32768, L'\0');
    const DWORD size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(size);
    return path;
}

// Registers the window class, creates the window with its edit control, puts `editRecorder` in front of
// the edit control's procedure and brings the window to the front with the focus in the edit control.
inline bool createDriverWindow(DriverWindow& target, const wchar_t* className, const wchar_t* title,
                               WNDPROC windowProcedure, WNDPROC editRecorder) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    if (!RegisterClassExW(&windowClass)) {
        return false;
    }
    target.window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, 40, 40, 640, 360, nullptr,
                                    nullptr, instance, nullptr);
    if (!target.window) {
        return false;
    }
    RECT client;
    GetClientRect(target.window, &client);
    target.edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                  WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0, 0,
                                  client.right, client.bottom, target.window, nullptr, instance, nullptr);
    if (!target.edit) {
        return false;
    }
    target.editProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(target.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editRecorder)));
    ShowWindow(target.window, SW_SHOW);
    UpdateWindow(target.window);
    SetForegroundWindow(target.window);
    SetFocus(target.edit);
    return true;
}

// "ready X Y" with the screen position of the edit control's centre, where run.sh clicks.
inline void sayReady(HWND edit) {
    RECT editRect;
    GetWindowRect(edit, &editRect);
    say("ready " + std::to_string((editRect.left + editRect.right) / 2) + " " +
        std::to_string((editRect.top + editRect.bottom) / 2));
}

inline void pumpMessages() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace kes::e2e
