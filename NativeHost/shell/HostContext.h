#pragma once
#include "diagnostics/PerformanceSampler.h"
#include "engine/Engine.h"
#include "shell/CloseChoice.h"
#include "shell/CommandLineOptions.h"
#include "storage/Log.h"
#include "storage/StateStore.h"
#include "webhost/Browser.h"

#include <cstdint>
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
    std::unique_ptr<Engine> engine;
    std::unique_ptr<PerformanceSampler> sampler; // only in performance mode
    void* window = nullptr;                      // the main window's handle, empty until created
    std::shared_ptr<BrowserEnvironment> environment;
    std::shared_ptr<BrowserController> controller;
    std::shared_ptr<BrowserWebView> webView;
    unsigned taskbarCreatedMessage = 0; // registered for "TaskbarCreated" at process start
    bool trayIconAdded = false;         // the last add's result
    bool trayVersion4 = false;          // the shell accepted notification version 4
    bool closePromptOpen = false;       // while the close prompt is on screen
    int exitCode = 0;
    CloseChoice closeChoice = CloseChoice::Ask;
    int masterHotkeyId = 0;         // 0 none, else 100 or 101
    bool pageStateReceived = false; // after the first applied "macro-state"
    void* f12Hook = nullptr;        // the F12 watch while F12 is the master hotkey
    bool f12Down = false;           // from an accepted F12 press until its release
    std::uint64_t f12Events = 0;    // events the F12 watch has been called with
};

HostContext& hostContext();

} // namespace kes
