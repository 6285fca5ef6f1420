#pragma once
#include "storage/Log.h"

#include <filesystem>

namespace kes {

// Copies the legacy state document `source` into dataDir as "Kestrava配置.json" when no state file exists
// there yet, proving the copy byte for byte first. Never changes or removes the source and never replaces
// an existing target. True when the file was copied, false when there was nothing to do; throws when it
// refuses (every message names what was kept).
bool migrateLegacyConfig(const std::filesystem::path& dataDir, const std::filesystem::path& source);

inline constexpr const char* legacyCopiedMessage = "旧配置已复制到程序同目录，原文件保留";
inline constexpr const char* legacyRefusedPrefix = "旧配置未迁移，原文件已保留：";

// Start-up's migration: a copy is logged at information level (legacyCopiedMessage); a refusal is logged at
// error level as legacyRefusedPrefix, the source's path, "：" and the reason, and start-up goes on without
// the old profiles (the next start tries again): an old file that cannot be migrated never keeps the
// program from starting.
void migrateLegacyConfigAtStartup(const std::filesystem::path& dataDir, const std::filesystem::path& source,
                                  Log& log);

} // namespace kes
