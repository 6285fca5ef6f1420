#pragma once
#include <filesystem>

namespace kes::win32 {

// "--webview-dialog-check": the real install guide driving itself; returns the exit code (0 or 1).
int runDialogCheck(const std::filesystem::path& dataDir);

} // namespace kes::win32
