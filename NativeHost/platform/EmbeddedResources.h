#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace kes::platform {

// The bytes of the RCDATA resource `id` of the running program, or nothing when it has none.
std::optional<std::string_view> findEmbeddedResource(std::uint16_t id);

} // namespace kes::platform
