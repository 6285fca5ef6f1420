#pragma once
#include "shell/CommandLineOptions.h"
#include "storage/Log.h"
#include "storage/StateStore.h"
#include "webhost/Browser.h"

#include <filesystem>
#include <memory>

namespace kes {

// The one record of the desktop host, living from process start to process end and written only on the
// main thread. Fields follow the order in which the host's parts were laid out; each part adds its own.
struct HostContext {
    std::filesystem::path dataDir;
    Log log;
    CommandLineOptions options;
    int masterHotkeyKey = 8;
    std::unique_ptr<StateStore> stateStore;
    void* window = nullptr; // the main window's handle, empty until created
    std::shared_ptr<BrowserEnvironment> environment;
    std::shared_ptr<BrowserController> controller;
    std::shared_ptr<BrowserWebView> webView;
    int exitCode = 0;
};

HostContext& hostContext();

} // namespace kes
