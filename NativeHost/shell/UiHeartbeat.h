#pragma once
#include "engine/PerfCounters.h"

#include <cstdint>

namespace kes {

// The housekeeping timer's lateness statistic in performance mode: each tick adds how much later than
// 100 ms after the previous tick it came, and every tenth tick is due for a sample.
class UiHeartbeat {
public:
    static constexpr double periodMilliseconds = 100.0;
    static constexpr int ticksPerSample = 10;

    // `startCounter` is the performance-counter value the first tick is measured from.
    UiHeartbeat(std::int64_t startCounter, std::int64_t frequency);

    // Records one tick at counter value `now`; true when this tick should take a sample.
    bool tick(std::int64_t now, PerfCounters& counters);

private:
    std::int64_t previous_;
    std::int64_t frequency_;
    int ticks_ = 0;
};

} // namespace kes
