#pragma once
#include "shell/CommandLineOptions.h"

#include <filesystem>

namespace kes {

// Removes the reports that the selected check mode writes ("--check": the self-check's and the WebView2
// detection test's; "--startup-check": the start-up check's; "--webview-dialog-check": the dialog check's)
// from dataDir, so that a report on disk always belongs to the last run: a run that fails before writing
// leaves none. A report that exists but cannot be removed throws the filesystem error naming "remove".
void removeOldReports(const CommandLineOptions& options, const std::filesystem::path& dataDir);

} // namespace kes
