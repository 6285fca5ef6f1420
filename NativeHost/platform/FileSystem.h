#pragma once
#include <filesystem>

namespace kes::platform {

// Moves `from` over `to`, replacing an existing `to` (MoveFileExW with MOVEFILE_REPLACE_EXISTING).
bool moveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace kes::platform
