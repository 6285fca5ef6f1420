#include "UiThread.h"

#include <stdexcept>

namespace standin {

namespace {

constexpr UINT runMessage = WM_APP + 0x57;
constexpr const wchar_t* className = L"KesWebView2StandInDispatcher";

} // namespace

HINSTANCE libraryModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&libraryModule), &module);
    return module;
}

UiThread::UiThread() : thread_(GetCurrentThreadId()) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &UiThread::procedure;
    windowClass.hInstance = libraryModule();
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass); // fails harmlessly when an earlier environment registered it
    window_ = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, libraryModule(), this);
    if (window_ == nullptr)
        throw std::runtime_error("cannot create the dispatcher window");
}

UiThread::~UiThread() {
    DestroyWindow(window_);
}

void UiThread::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(task));
    }
    PostMessageW(window_, runMessage, 0, 0);
}

void UiThread::runWaiting() {
    // One task at a time, the lock not held: a task may run a nested message loop that comes back here.
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (waiting_.empty())
                return;
            task = std::move(waiting_.front());
            waiting_.pop_front();
        }
        task();
    }
}

LRESULT CALLBACK UiThread::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == runMessage) {
        if (auto* self = reinterpret_cast<UiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            self->runWaiting();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace standin
