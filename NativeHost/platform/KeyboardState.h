#pragma once
#include <vector>

namespace kes::platform {

// The virtual keys the system holds down at this moment, by its own record of the keyboard.
std::vector<int> keysDownNow();

} // namespace kes::platform
