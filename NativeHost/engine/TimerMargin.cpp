#include "engine/TimerMargin.h"

#include "platform/Clock.h"

#include <algorithm>
#include <functional>

namespace kes {

TimerMargin::TimerMargin(std::int64_t initial, std::int64_t least, std::int64_t most)
    : least_(least), most_(std::max(least, most)), current_(std::clamp(initial, least_, most_)) {}

TimerMargin& TimerMargin::shared() {
    static const std::int64_t frequency = platform::performanceFrequency();
    static TimerMargin margin(frequency / 1000, frequency / 50000, frequency / 500);
    return margin;
}

void TimerMargin::observe(std::int64_t lateness) {
    std::lock_guard lock(mutex_);
    seen_[next_] = lateness;
    next_ = (next_ + 1) % window;
    count_ = std::min(count_ + 1, window);
    if (count_ < warmUp) {
        return;
    }
    std::array<std::int64_t, window> sorted = seen_;
    const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(count_);
    const auto ranked = sorted.begin() + static_cast<std::ptrdiff_t>(rank - 1);
    std::nth_element(sorted.begin(), ranked, end, std::greater<>());
    current_.store(std::clamp(*ranked, least_, most_), std::memory_order_relaxed);
}

} // namespace kes
