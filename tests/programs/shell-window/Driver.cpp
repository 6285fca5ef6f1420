#include "Driver.h"

namespace kes::shelltest {
namespace {

Driver* active = nullptr;
int quitCode = -1;

struct Search {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, search.className) == 0 && IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void Driver::start(std::vector<Step> steps, std::function<void()> giveUp, int limit) {
    steps_ = std::move(steps);
    next_ = 0;
    giveUp_ = std::move(giveUp);
    ticksLeft_ = limit;
    finished_ = false;
    gaveUp_ = false;
    active = this;
    timer_ = SetTimer(nullptr, 0, 100, tick);
}

void CALLBACK Driver::tick(HWND, UINT, UINT_PTR, DWORD) {
    if (active != nullptr) {
        active->advance();
    }
}

void Driver::advance() {
    if (next_ >= steps_.size()) {
        finished_ = true;
        stop();
        return;
    }
    if (--ticksLeft_ < 0) {
        gaveUp_ = true;
        stop();
        if (giveUp_) {
            giveUp_();
        }
        return;
    }
    if (steps_[next_]()) {
        ++next_;
    }
    if (next_ >= steps_.size()) {
        finished_ = true;
        stop();
    }
}

void Driver::stop() {
    if (timer_ != 0) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
    }
    if (active == this) {
        active = nullptr;
    }
}

HWND findThreadWindow(const wchar_t* className) {
    Search search{className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        // Menus belong to the desktop, not to a thread: look among the top-level windows too.
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

void pumpFor(DWORD milliseconds, const std::function<bool()>& done) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        if (done && done()) {
            return;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

int takeQuitCode() {
    const int code = quitCode;
    quitCode = -1;
    return code;
}

} // namespace kes::shelltest
