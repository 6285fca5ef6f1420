#pragma once
#include "shell/RuntimeGuide.h"
#include "storage/Log.h"

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

namespace kes {

inline constexpr const char8_t* dialogCheckReportName = u8"WebView2引导窗口验收.json";

// Shows the real install guide with inspection on (its callback gets timer notifications and drives the
// dialog); returns the pressed button id.
using InspectedGuide = std::function<int(GuideInspection& inspection)>;

// The self-driving check of the install guide: the guide reads its own texts, fails to open the browser
// (a double), shows the manual address and quits. Writes "WebView2引导窗口验收.json" in dataDir and returns
// the exit code: 0 when every member is true, 1 at the first false one. A member that is not a boolean
// throws the JSON library's type error.
int runDialogCheck(const std::filesystem::path& dataDir, Log& log, const InspectedGuide& showGuide);

// 0 when every member of the report, in key order, is true; 1 at the first false one.
int dialogCheckExitCode(const nlohmann::json& report);

} // namespace kes
