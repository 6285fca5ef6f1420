#pragma once
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

namespace kes {

// Reads one of the small settings files beside the state document: nothing when the file cannot be opened
// (for example when it does not exist), else its strictly parsed JSON value (no comments). Throws
// "配置文件过大" above 1 MiB and the JSON library's parse error.
std::optional<nlohmann::json> readSettingsFile(const std::filesystem::path& file);

} // namespace kes
