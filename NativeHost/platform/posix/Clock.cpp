#include "platform/Clock.h"

#include <ctime>

namespace kes::platform {

std::int64_t performanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t performanceFrequency() {
    // The monotonic clock counts nanoseconds.
    static const std::int64_t frequency = 1000000000;
    return frequency;
}

void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

void sleepMilliseconds(unsigned milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&remaining, &remaining) != 0) {
    }
}

} // namespace kes::platform
