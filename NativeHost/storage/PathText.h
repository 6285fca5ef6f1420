#pragma once
#include <filesystem>
#include <string>

namespace kes {

// A path as UTF-8 text for messages and logs, and a path from UTF-8 text (never through wide strings,
// which the standard library converts through the C locale on some systems).
std::string pathToUtf8(const std::filesystem::path& path);
std::filesystem::path pathFromUtf8(const std::string& text);

} // namespace kes
