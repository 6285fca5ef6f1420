#include "platform/OneShotTimer.h"

#include "platform/win32/Win32CancelEvent.h"

namespace kes::platform {
namespace {

constexpr DWORD highResolutionFlag = 0x00000002; // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD timerAllAccess = 0x1F0003;       // TIMER_ALL_ACCESS

class WaitableTimer final : public OneShotTimer {
public:
    explicit WaitableTimer(HANDLE timer) : timer_(timer) {}
    ~WaitableTimer() override { CloseHandle(timer_); }
    WaitableTimer(const WaitableTimer&) = delete;
    WaitableTimer& operator=(const WaitableTimer&) = delete;

    bool arm(std::int64_t due100ns) override {
        LARGE_INTEGER due{};
        due.QuadPart = -due100ns; // negative: relative to now
        return SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) != FALSE;
    }

    TimerWait wait(const CancelEvent& cancel) override {
        const HANDLE handles[2] = {static_cast<const Win32CancelEvent&>(cancel).handle(), timer_};
        switch (WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
        case WAIT_OBJECT_0:
            return TimerWait::Cancelled;
        case WAIT_OBJECT_0 + 1:
            return TimerWait::Elapsed;
        default:
            return TimerWait::Failed;
        }
    }

private:
    HANDLE timer_;
};

} // namespace

std::unique_ptr<OneShotTimer> createOneShotTimer(bool highResolution) {
    HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, highResolution ? highResolutionFlag : 0, timerAllAccess);
    if (timer == nullptr) {
        return nullptr;
    }
    return std::make_unique<WaitableTimer>(timer);
}

} // namespace kes::platform
