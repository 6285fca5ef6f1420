#include "shell/UiHeartbeat.h"

namespace kes {

UiHeartbeat::UiHeartbeat(std::int64_t startCounter, std::int64_t frequency)
    : previous_(startCounter), frequency_(frequency > 0 ? frequency : 1) {}

bool UiHeartbeat::tick(std::int64_t now, PerfCounters& counters) {
    const double elapsed = static_cast<double>(now - previous_) * 1000.0 / static_cast<double>(frequency_);
    const double lateness = elapsed > periodMilliseconds ? elapsed - periodMilliseconds : 0.0;
    counters.uiHeartbeat.add(static_cast<std::int64_t>(lateness * 1000000.0));
    previous_ = now;
    ++ticks_;
    if (ticks_ >= ticksPerSample) {
        ticks_ = 0;
        return true;
    }
    return false;
}

} // namespace kes
