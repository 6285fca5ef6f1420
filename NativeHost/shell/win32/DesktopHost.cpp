#include "shell/win32/DesktopHost.h"

#include "diagnostics/win32/DialogCheckRun.h"
#include "platform/TextConversion.h"
#include "shell/CloseChoice.h"
#include "shell/DesktopServices.h"
#include "shell/FatalReport.h"
#include "shell/MasterHotkey.h"
#include "shell/RuntimeGuide.h"
#include "shell/win32/HotkeyRegistration.h"
#include "shell/win32/InstallGuide.h"
#include "shell/win32/MainWindow.h"
#include "shell/win32/TrayIcon.h"
#include "storage/DataDirectories.h"
#include "storage/LegacyMigration.h"

#include <objbase.h>

#include <exception>
#include <stdexcept>

namespace kes::win32 {
namespace {

constexpr const wchar_t* singleInstanceMutexName = L"Local\\KestravaNativeInstance";

// The single-instance mutex, closed on every way out of the host.
class MutexHandle {
public:
    MutexHandle() = default;
    ~MutexHandle() { close(); }
    MutexHandle(const MutexHandle&) = delete;
    MutexHandle& operator=(const MutexHandle&) = delete;
    void reset(HANDLE handle) {
        close();
        handle_ = handle;
    }
    void close() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_ = nullptr;
};

// A message text for the box even when it is not valid UTF-8 (system error texts may not be).
std::wstring displayText(const std::string& message) {
    try {
        return toWide(message);
    } catch (const std::exception&) {
        const int size =
            MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), nullptr, 0);
        std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
        if (size > 0) {
            MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), text.data(),
                                size);
        }
        return text;
    }
}

void presentFatal(const std::string& message) {
    const HostContext& context = hostContext();
    const auto window = static_cast<HWND>(context.window);
    if (!context.options.startupCheck && !context.options.selfCheck) {
        MessageBoxW(window, displayText(message).c_str(), L"Kestrava", MB_ICONERROR);
    }
    if (window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

void logStartupError(HostContext& context, const std::exception& error) {
    context.log.write(LogLevel::Error, error.what());
}

void loadWindowSettings(HostContext& context) {
    try {
        context.closeChoice = loadCloseChoice(context.dataDir);
    } catch (const std::exception& e) {
        logStartupError(context, e);
    }
    try {
        loadMasterHotkey(context);
    } catch (const std::exception& e) {
        logStartupError(context, e);
    }
    if (registerMasterHotkey(masterHotkeyFirstId, context.masterHotkeyKey)) {
        context.masterHotkeyId = masterHotkeyFirstId;
    } else {
        context.log.write(LogLevel::Error, "宏总开关快捷键注册失败，可能已被占用");
    }
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

void prepareDesktopShell(HostContext& context) {
    setFatalPresenter(presentFatal);
    DesktopServices& services = desktopServices();
    services.registerMasterHotkey = [](int id, int key) {
        return registerMasterHotkey(id, key);
    };
    services.unregisterMasterHotkey = [](int id, int key) {
        unregisterMasterHotkey(id, key);
    };
    services.addTrayIcon = [](void* window) {
        addTrayIcon(static_cast<HWND>(window));
    };
    services.updateTrayIcon = [](void* window) {
        updateTrayIcon(static_cast<HWND>(window));
    };
    context.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
}

int runDesktopHost(HostContext& context, HINSTANCE instance, const BrowserStarter& startBrowser) {
    const CommandLineOptions& options = context.options;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    if (options.webviewDialogCheck) {
        return runDialogCheck(context.dataDir);
    }

    MutexHandle mutex;
    if (!options.startupCheck) {
        HANDLE handle = CreateMutexW(nullptr, FALSE, singleInstanceMutexName);
        const DWORD error = GetLastError();
        if (handle == nullptr) {
            throw std::runtime_error("无法建立单实例保护");
        }
        mutex.reset(handle);
        if (error == ERROR_ALREADY_EXISTS) {
            if (HWND first = FindWindowW(mainWindowClassName, nullptr)) {
                ShowWindow(first, SW_RESTORE);
                SetForegroundWindow(first);
            }
            return 0;
        }
    }

    const bool runtimeReady = ensureWebView2Runtime(
        context.log, [] { return probeRuntime(); },
        [](const PageOpeningAction& openPage) { return showInstallGuide(openPage, false, nullptr); },
        [] { return openDownloadPage(); });
    if (!runtimeReady) {
        CoUninitialize();
        return 0;
    }

    const DataDirectories directories =
        DataDirectories::fromEnvironment(options.startupCheck || options.selfCheck);
    if (!directories.dataRootGiven() &&
        migrateLegacyConfig(context.dataDir, directories.legacyConfigFile())) {
        context.log.write(LogLevel::Info, "旧配置已复制到程序同目录，原文件保留");
    }
    context.stateStore = std::make_unique<StateStore>(stateFilePath(context.dataDir), context.log);
    PerfCounters* counters = options.performance ? &performanceCounters() : nullptr;
    context.engine = std::make_unique<Engine>(context.log, counters, false, KeySender(), ProgramMatcher());
    if (options.performance) {
        context.sampler =
            std::make_unique<PerformanceSampler>(context.log.directory(), context.log, counters);
    }

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

    if (!startBrowser || !startBrowser(context, directories.webView2UserDataFolder())) {
        reportFatal("缺少 WebView2 运行环境。");
    }

    runMessageLoop();

    context.engine.reset();
    context.sampler.reset();
    context.environment.reset();
    CoUninitialize();
    context.log.write(LogLevel::Info, "Vantix 主程序正常退出");
    const int exitCode = context.exitCode;
    mutex.close();
    return exitCode;
}

} // namespace kes::win32
