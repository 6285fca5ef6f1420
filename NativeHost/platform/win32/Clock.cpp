#include "platform/Clock.h"

#include <windows.h>

namespace kes::platform {

std::int64_t performanceCounter() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t performanceFrequency() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    return frequency;
}

void spinPause() {
    YieldProcessor();
}

void sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

} // namespace kes::platform
