#pragma once
#include <filesystem>

namespace kes {

// Copies the legacy state document `source` into dataDir as "Kestrava配置.json" when no state file exists
// there yet, proving the copy byte for byte first. Never changes or removes the source and never replaces
// an existing target. True when the file was copied, false when there was nothing to do; throws when it
// refuses (every message names what was kept).
bool migrateLegacyConfig(const std::filesystem::path& dataDir, const std::filesystem::path& source);

} // namespace kes
