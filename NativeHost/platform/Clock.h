#pragma once
#include <cstdint>

namespace kes::platform {

// Monotonic high-resolution counter and its fixed frequency (ticks per second, read once).
std::int64_t performanceCounter();
std::int64_t performanceFrequency();

// The processor's spin-wait hint.
void spinPause();

void sleepMilliseconds(unsigned milliseconds);

} // namespace kes::platform
