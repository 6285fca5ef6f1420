#include "engine/TimerMargin.h"

#include <algorithm>
#include <functional>

namespace kes {

TimerMargin::TimerMargin(std::int64_t initial, std::int64_t least, std::int64_t most)
    : least_(least), most_(std::max(least, most)), current_(std::clamp(initial, least_, most_)) {}

TimerMargin TimerMargin::forFrequency(std::int64_t frequency) {
    return TimerMargin(frequency / 1000, frequency / 50000, frequency / 500);
}

void TimerMargin::observe(std::int64_t lateness) {
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
    current_ = std::clamp(*ranked, least_, most_);
}

} // namespace kes
