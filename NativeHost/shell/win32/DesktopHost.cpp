#include "shell/win32/DesktopHost.h"

#include "diagnostics/win32/DialogCheckRun.h"
#include "shell/FatalReport.h"
#include "shell/RuntimeGuide.h"
#include "shell/WindowSettings.h"
#include "shell/win32/HotkeyRegistration.h"
#include "shell/win32/InstallGuide.h"
#include "shell/win32/MainWindow.h"
#include "shell/win32/SingleInstance.h"
#include "storage/LegacyMigration.h"
#include "storage/QuietLog.h"
#include "webhost/WebViewHost.h"

#include <objbase.h>

#include <optional>

namespace kes::win32 {
namespace {

bool runtimeReady(HostContext& context) {
    return ensureWebView2Runtime(
        context.log, [] { return probeRuntime(); },
        [](const PageOpeningAction& openPage) { return showInstallGuide(openPage, false, nullptr); },
        [] { return openDownloadPage(); });
}

void createLongLivedObjects(HostContext& context, const DataDirectories& directories) {
    const CommandLineOptions& options = context.options;
    if (!directories.dataRootGiven()) {
        migrateLegacyConfigAtStartup(context.dataDir, directories.legacyConfigFile(), context.log);
    }
    context.stateStore = std::make_unique<StateStore>(stateFilePath(context.dataDir), context.log);
    PerfCounters* counters = options.performance ? &performanceCounters() : nullptr;
    context.engine = std::make_unique<Engine>(context.log, counters, false, KeySender(), ProgramMatcher());
    if (options.performance) {
        context.sampler =
            std::make_unique<PerformanceSampler>(context.log.directory(), context.log, counters);
    }
}

HWND openMainWindow(HostContext& context, HINSTANCE instance) {
    const CommandLineOptions& options = context.options;
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    registerMainWindowClass(instance);
    HWND window = createMainWindow(instance);
    if (!options.startupCheck) {
        loadWindowSettings(context);
    }
    if (options.performance) {
        registerMarkerHotkeys(window);
    }
    SetTimer(window, housekeepingTimer, housekeepingPeriod, nullptr);
    if (options.startupCheck) {
        SetTimer(window, startupCheckTimer, startupCheckTimeout, nullptr);
    }
    ShowWindow(window, SW_SHOW);
    return window;
}

void runMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

PerfCounters& performanceCounters() {
    static PerfCounters counters;
    return counters;
}

int runDesktopHost(HostContext& context, const DataDirectories& directories, HINSTANCE instance,
                   const BrowserStarter& startBrowser) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (context.options.webviewDialogCheck) {
        return runDialogCheck(context.dataDir);
    }

    std::optional<SingleInstanceGuard> instanceGuard;
    if (!context.options.startupCheck) {
        instanceGuard.emplace();
        if (!instanceGuard->first()) {
            bringFirstInstanceForward();
            return 0;
        }
    }
    if (!runtimeReady(context)) {
        CoUninitialize();
        return 0;
    }

    createLongLivedObjects(context, directories);
    openMainWindow(context, instance);
    if (!startBrowser || !startBrowser(context, directories.webView2UserDataFolder())) {
        reportFatal(missingRuntimeMessage);
    }

    runMessageLoop();

    context.engine.reset();
    context.sampler.reset();
    releaseWebViewEnvironment(context);
    CoUninitialize();
    logQuietly(context.log, LogLevel::Info, "Vantix 主程序正常退出");
    const int exitCode = context.exitCode;
    if (instanceGuard) {
        instanceGuard->release();
    }
    return exitCode;
}

} // namespace kes::win32
