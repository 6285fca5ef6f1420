#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kes::shelltest {

// Plays a script of steps from a thread timer, so that it also runs inside the modal loops of menus and
// task dialogs. A step returns true when it is done; false retries it on the next tick. After `limit`
// ticks without finishing, `giveUp` runs (it should end whatever modal loop is open) and the script is
// reported as unfinished.
class Driver {
public:
    using Step = std::function<bool()>;

    void start(std::vector<Step> steps, std::function<void()> giveUp, int limit = 100);
    bool finished() const { return finished_; }
    bool gaveUp() const { return gaveUp_; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    void advance();
    void stop();

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    std::function<void()> giveUp_;
    int ticksLeft_ = 0;
    UINT_PTR timer_ = 0;
    bool finished_ = false;
    bool gaveUp_ = false;
};

// The visible task dialog (or menu) window of this thread with the given class, or null.
HWND findThreadWindow(const wchar_t* className);

// Pumps messages for about `milliseconds`, or until `done` returns true or WM_QUIT arrives.
void pumpFor(DWORD milliseconds, const std::function<bool()>& done = nullptr);

// The exit code of the last WM_QUIT seen by pumpFor, -1 when none; reading it forgets it.
int takeQuitCode();

} // namespace kes::shelltest
