#pragma once
#include "shell/RuntimeGuide.h"

#include <nlohmann/json.hpp>

namespace kes::win32 {

// The install guide task dialog; returns the pressed button id. Throws "无法显示 WebView2 安装引导" when the
// dialog cannot be shown. With inspection on, the dialog also gets timer notifications (the dialog check).
int showInstallGuide(GuideInspection& inspection);
int showInstallGuide(const PageOpeningAction& openPage, bool inspection, nlohmann::json* report);

// The default detector: the installed runtime's version through the loader's version query.
WebViewState probeRuntime();

} // namespace kes::win32
