#pragma once
#include <filesystem>

namespace kes::platform {

// The folder that holds the running program. Throws "无法定位程序目录".
std::filesystem::path programDirectory();

// The per-user local application data folder (Windows: the known folder LocalAppData; elsewhere
// $XDG_DATA_HOME, else ~/.local/share). Throws "无法定位本地数据目录".
std::filesystem::path localAppDataDirectory();

// The value of an environment variable as a path; empty when the variable is unset or empty.
std::filesystem::path environmentPath(const char* name);

} // namespace kes::platform
