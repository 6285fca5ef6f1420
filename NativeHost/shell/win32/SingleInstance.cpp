#include "shell/win32/SingleInstance.h"

#include "shell/win32/MainWindow.h"

#include <stdexcept>

namespace kes::win32 {

SingleInstanceGuard::SingleInstanceGuard() {
    handle_ = CreateMutexW(nullptr, FALSE, singleInstanceMutexName);
    const DWORD error = GetLastError();
    if (handle_ == nullptr) {
        throw std::runtime_error("无法建立单实例保护");
    }
    first_ = error != ERROR_ALREADY_EXISTS;
}

SingleInstanceGuard::~SingleInstanceGuard() {
    release();
}

void SingleInstanceGuard::release() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

void bringFirstInstanceForward() {
    if (HWND first = FindWindowW(mainWindowClassName, nullptr)) {
        ShowWindow(first, SW_RESTORE);
        SetForegroundWindow(first);
    }
}

} // namespace kes::win32
