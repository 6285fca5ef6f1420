#pragma once
// The host's window thread as this library reaches it: a message-only window created on that thread, to
// which any thread posts work; the host's own message loop runs it, as it runs the runtime's callbacks.
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace standin {

class UiThread {
public:
    // On the host's window thread.
    UiThread();
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    // From any thread: runs the task on the window thread, in the order posted.
    void post(std::function<void()> task);
    DWORD thread() const { return thread_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void runWaiting();

    DWORD thread_;
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> waiting_;
};

// This library's module, for its window class.
HINSTANCE libraryModule();

} // namespace standin
