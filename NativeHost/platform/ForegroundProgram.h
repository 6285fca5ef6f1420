#pragma once
#include <optional>
#include <string>

namespace kes::platform {

// Full image path of the process that owns the foreground window; empty when there is no such window or its
// process cannot be queried. Safe to call from any thread.
std::optional<std::wstring> foregroundProgramPath();

} // namespace kes::platform
