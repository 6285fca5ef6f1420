#include "engine/PreciseTimer.h"

#include "engine/Cancelled.h"
#include "platform/Clock.h"

#include <algorithm>
#include <stdexcept>

namespace kes {

double ticksToMs(std::int64_t ticks) {
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(platform::performanceFrequency());
}

std::int64_t ticksToNs(std::int64_t ticks) {
    return static_cast<std::int64_t>(ticksToMs(ticks) * 1000000.0);
}

std::unique_ptr<platform::OneShotTimer> createTimer(const TimerFactory& make) {
    if (auto timer = make(true)) {
        return timer;
    }
    if (auto timer = make(false)) {
        return timer;
    }
    throw std::runtime_error("无法创建高精度计时器");
}

std::int64_t relativeDueTime(std::int64_t remainingTicks, std::int64_t frequency) {
    return std::max<std::int64_t>(remainingTicks * 10000000 / frequency, 1);
}

PreciseTimer::PreciseTimer(std::unique_ptr<platform::OneShotTimer> timer, TimerMargin& margin)
    : timer_(std::move(timer)), margin_(margin) {
    resetDeadline();
}

void PreciseTimer::resetDeadline() {
    deadline_ = platform::performanceCounter();
}

void PreciseTimer::waitMs(int milliseconds, const platform::CancelEvent& cancel, PerfCounters* counters) {
    if (cancel.isSet()) {
        throw Cancelled{};
    }
    const std::int64_t frequency = platform::performanceFrequency();
    const std::int64_t length = frequency * std::clamp(milliseconds, 0, 60000) / 1000;
    std::int64_t now = platform::performanceCounter();
    deadline_ += length;
    // Lateness is absorbed by this wait, but only down to half its length: a job further behind moves its
    // time line on by the excess, so that no key is held or released for less than half its time.
    if (length > 0) {
        deadline_ = std::max(deadline_, now + length / 2);
    }

    // Within the margin the busy wait carries the whole wait.
    const std::int64_t wakeAt = deadline_ - margin_.current();
    if (wakeAt - now > 0) {
        if (!timer_->arm(relativeDueTime(wakeAt - now, frequency))) {
            throw std::runtime_error("高精度计时器启动失败");
        }
        switch (timer_->wait(cancel)) {
        case platform::TimerWait::Cancelled:
            throw Cancelled{};
        case platform::TimerWait::Elapsed:
            break;
        case platform::TimerWait::Failed:
            throw std::runtime_error("高精度等待失败");
        }
        margin_.observe(platform::performanceCounter() - wakeAt);
    }
    for (;;) {
        now = platform::performanceCounter();
        if (now >= deadline_) {
            break;
        }
        if (cancel.isSet()) {
            throw Cancelled{};
        }
        platform::spinPause();
    }
    if (counters != nullptr) {
        now = platform::performanceCounter();
        counters->timerOvershoot.add(
            static_cast<std::int64_t>(std::max(ticksToMs(now - deadline_), 0.0) * 1000000.0));
    }
}

} // namespace kes
