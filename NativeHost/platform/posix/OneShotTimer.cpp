#include "platform/OneShotTimer.h"

#include "platform/posix/PosixCancelEvent.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace kes::platform {
namespace {

class TimerFdTimer final : public OneShotTimer {
public:
    explicit TimerFdTimer(int fd) : fd_(fd) {}
    ~TimerFdTimer() override { close(fd_); }
    TimerFdTimer(const TimerFdTimer&) = delete;
    TimerFdTimer& operator=(const TimerFdTimer&) = delete;

    bool arm(std::int64_t due100ns) override {
        const std::int64_t dueNs = (due100ns < 1 ? 1 : due100ns) * 100;
        itimerspec when{};
        when.it_value.tv_sec = static_cast<time_t>(dueNs / 1000000000);
        when.it_value.tv_nsec = static_cast<long>(dueNs % 1000000000);
        if (timerfd_settime(fd_, 0, &when, nullptr) != 0) {
            return false;
        }
        armed_ = true;
        return true;
    }

    TimerWait wait(const CancelEvent& cancel) override {
        const auto& event = static_cast<const PosixCancelEvent&>(cancel);
        if (!armed_) {
            return event.isSet() ? TimerWait::Cancelled : TimerWait::Elapsed;
        }
        pollfd fds[2] = {{event.fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
        for (;;) {
            const int ready = poll(fds, 2, -1);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return TimerWait::Failed;
            }
            if (fds[0].revents != 0) {
                return TimerWait::Cancelled;
            }
            if (fds[1].revents & POLLIN) {
                std::uint64_t expirations = 0;
                [[maybe_unused]] const ssize_t got = read(fd_, &expirations, sizeof expirations);
                armed_ = false;
                return TimerWait::Elapsed;
            }
            return TimerWait::Failed;
        }
    }

private:
    int fd_;
    bool armed_ = false;
};

} // namespace

std::unique_ptr<OneShotTimer> createOneShotTimer(bool) {
    // timerfd has nanosecond resolution, so both kinds are the same timer. The timer is created on the thread
    // that waits for it; the least timer slack keeps that thread's other sleeps from being stretched.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<TimerFdTimer>(fd);
}

} // namespace kes::platform
