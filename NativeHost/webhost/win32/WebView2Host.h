#pragma once
#include "shell/HostContext.h"

#include <filesystem>

namespace kes::win32 {

// Start-up's web view step, once the main window is shown: asks the installed WebView2 runtime for an
// environment with the user-data folder; the creation chain goes on from its completion. False when the
// runtime refused at once (no runtime, or its library could not be loaded); the caller then reports "缺少
// WebView2 运行环境。".
bool startWebView2(HostContext& context, const std::filesystem::path& userDataFolder);

} // namespace kes::win32
