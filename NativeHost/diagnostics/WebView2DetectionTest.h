#pragma once
#include "shell/RuntimeGuide.h"
#include "storage/Log.h"

#include <filesystem>

namespace kes {

inline constexpr const char8_t* webView2DetectionReportName = u8"WebView2检测验收.json";

// Runs the runtime check's detect / guide / retry loop through four scenarios with doubles (it never asks
// the real loader) and writes "WebView2检测验收.json" in dataDir when all pass. Throws "WebView2
// 启动检测测试失败" at the first deviation. `realOpener` stands in the scenario whose opener is never
// reached.
void runWebView2DetectionTest(const std::filesystem::path& dataDir, Log& log,
                              const PageOpener& realOpener = openDownloadPage);

} // namespace kes
