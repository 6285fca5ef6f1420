#pragma once
#include <cstdint>

namespace kes::platform {

struct LocalTime {
    unsigned year, month, day, hour, minute, second, milliseconds;
};

unsigned long currentProcessId();
std::uint64_t tickCount64();
LocalTime localTime();

} // namespace kes::platform
