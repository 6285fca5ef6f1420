#pragma once
#include "engine/PerfCounters.h"
#include "engine/TimerMargin.h"
#include "platform/CancelEvent.h"
#include "platform/OneShotTimer.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kes {

// Performance-counter ticks in milliseconds and in whole nanoseconds.
double ticksToMs(std::int64_t ticks);
std::int64_t ticksToNs(std::int64_t ticks);

using TimerFactory = std::function<std::unique_ptr<platform::OneShotTimer>(bool highResolution)>;

// A high-resolution timer, or an ordinary one when the system has none; throws "无法创建高精度计时器".
std::unique_ptr<platform::OneShotTimer> createTimer(const TimerFactory& make = platform::createOneShotTimer);

// Waits on an absolute time line: each wait ends a whole number of milliseconds after the previous deadline,
// so time spent between waits is absorbed instead of accumulating. Owned by one job thread.
class PreciseTimer {
public:
    explicit PreciseTimer(std::unique_ptr<platform::OneShotTimer> timer,
                          TimerMargin& margin = TimerMargin::shared());

    // Starts the time line at the current counter value.
    void resetDeadline();
    // Advances the deadline by `milliseconds` (0..60000), but to no less than half of them from now, and
    // waits for it: the timer, armed the calibrated margin before the deadline, carries the long part, a busy
    // wait the last. Throws Cancelled when the event is set before or during the wait, "高精度计时器启动失败"
    // or "高精度等待失败" when the timer fails.
    void waitMs(int milliseconds, const platform::CancelEvent& cancel, PerfCounters* counters);

    std::int64_t deadline() const { return deadline_; }
    const TimerMargin& margin() const { return margin_; }

private:
    std::unique_ptr<platform::OneShotTimer> timer_;
    TimerMargin& margin_;
    std::int64_t deadline_ = 0;
};

// The timer's relative due time in 100-nanosecond units for a remaining wait of `remainingTicks` (> 0).
std::int64_t relativeDueTime(std::int64_t remainingTicks, std::int64_t frequency);

} // namespace kes
