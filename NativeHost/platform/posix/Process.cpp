#include "platform/Process.h"

#include <ctime>
#include <sys/time.h>
#include <unistd.h>

namespace kes::platform {

unsigned long currentProcessId() {
    return static_cast<unsigned long>(getpid());
}

std::uint64_t tickCount64() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

LocalTime localTime() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm parts{};
    localtime_r(&now.tv_sec, &parts);
    return {static_cast<unsigned>(parts.tm_year + 1900), static_cast<unsigned>(parts.tm_mon + 1),
            static_cast<unsigned>(parts.tm_mday),        static_cast<unsigned>(parts.tm_hour),
            static_cast<unsigned>(parts.tm_min),         static_cast<unsigned>(parts.tm_sec),
            static_cast<unsigned>(now.tv_usec / 1000)};
}

} // namespace kes::platform
