#pragma once
#include <windows.h>

namespace kes::win32 {

inline constexpr const wchar_t* singleInstanceMutexName = L"Local\\KestravaNativeInstance";

// The single-instance mutex of an interactive run, held from its creation until the guard is released or
// destroyed (so it is closed on every way out of the host).
class SingleInstanceGuard {
public:
    // Creates the mutex or opens the one another instance holds; throws "无法建立单实例保护".
    SingleInstanceGuard();
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // False when another instance created the mutex first.
    bool first() const { return first_; }
    void release();

private:
    HANDLE handle_ = nullptr;
    bool first_ = true;
};

// Shows and activates the main window of the instance that runs already (restored when minimised, shown
// when hidden in the tray); nothing when it has no window yet.
void bringFirstInstanceForward();

} // namespace kes::win32
