#pragma once
#include <filesystem>
#include <string>

namespace kes {

// What closing the window from the page does. 100 and 101 are also the close prompt's radio button ids.
enum class CloseChoice { Ask = 0, Exit = 100, Tray = 101 };

inline constexpr const char8_t* closeChoiceFileName = u8"关闭方式.json";

// The stored close behaviour in dataDir\关闭方式.json: Ask when the file cannot be opened. Throws the JSON
// library's parse or type error for a malformed file, "配置文件过大" above 1 MiB.
CloseChoice loadCloseChoice(const std::filesystem::path& dataDir);

// The settings file's compact text for a choice: {"action":"ask"}, {"action":"exit"} or {"action":"tray"}.
std::string closeChoiceDocument(CloseChoice choice);

// Writes the choice to dataDir\关闭方式.json atomically; throws the atomic store's errors.
void saveCloseChoice(const std::filesystem::path& dataDir, CloseChoice choice);

} // namespace kes
