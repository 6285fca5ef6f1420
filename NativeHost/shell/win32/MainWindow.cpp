#include "shell/win32/MainWindow.h"

#include "diagnostics/PerformanceSampler.h"
#include "platform/Clock.h"
#include "shell/FatalReport.h"
#include "shell/HookHealth.h"
#include "shell/HostContext.h"
#include "shell/KeyRelease.h"
#include "shell/MasterHotkey.h"
#include "shell/PerformanceMarkers.h"
#include "shell/UiHeartbeat.h"
#include "shell/WindowGeometry.h"
#include "shell/win32/ClosePromptDialog.h"
#include "shell/win32/HotkeyRegistration.h"
#include "shell/win32/SystemNotifications.h"
#include "shell/win32/TrayIcon.h"
#include "storage/QuietLog.h"
#include "webhost/WebViewHost.h"

#include <windowsx.h>

#include <exception>
#include <stdexcept>

namespace kes::win32 {
namespace {

// The heartbeat's first tick is measured from process start.
const std::int64_t processStartCounter = platform::performanceCounter();

UiHeartbeat& heartbeat() {
    static UiHeartbeat instance(processStartCounter, platform::performanceFrequency());
    return instance;
}

HookWatches& hookWatches() {
    static HookWatches watches;
    return watches;
}

void logError(const std::string& text) {
    logQuietly(hostContext().log, LogLevel::Error, text);
}

// Posts the quit message when the scope ends, however it ends: the loop must never wait for a message
// that no longer comes (the mutex would then keep every later start out).
class QuitOnExit {
public:
    explicit QuitOnExit(const HostContext& context) : context_(context) {}
    ~QuitOnExit() { PostQuitMessage(context_.exitCode); }
    QuitOnExit(const QuitOnExit&) = delete;
    QuitOnExit& operator=(const QuitOnExit&) = delete;

private:
    const HostContext& context_;
};

LRESULT onTimer(HostContext& context, WPARAM timer) {
    if (context.engine) {
        context.engine->checkForeground();
    }
    repairLostHooks(context, hookWatches());
    if (timer == startupCheckTimer) {
        reportFatal("窗口启动验收超时");
        return 0;
    }
    if (context.sampler) {
        PerfCounters* counters = context.sampler->counters();
        PerfCounters unused;
        if (heartbeat().tick(platform::performanceCounter(), counters != nullptr ? *counters : unused)) {
            try {
                context.sampler->sample();
            } catch (const std::exception& e) {
                logError(e.what());
                context.sampler.reset();
            }
        }
    }
    return 0;
}

LRESULT onHotkey(HostContext& context, HWND window, WPARAM wParam, LPARAM lParam) {
    if (context.masterHotkeyId != 0 && wParam == static_cast<WPARAM>(context.masterHotkeyId)) {
        toggleMasterSwitch();
        return 0;
    }
    if (handleMarkerHotkey(context, static_cast<int>(wParam))) {
        return 0;
    }
    return DefWindowProcW(window, WM_HOTKEY, wParam, lParam);
}

LRESULT onClose(HostContext& context, HWND window) {
    try {
        if (context.engine) {
            context.engine->stop();
        }
    } catch (const std::exception& e) {
        logError(e.what());
    }
    try {
        closeWebView(context);
    } catch (const std::exception& e) {
        logError(e.what());
    }
    DestroyWindow(window);
    return 0;
}

LRESULT onDestroy(HostContext& context, HWND window) {
    const QuitOnExit quit(context);
    if (!context.options.startupCheck && removeTrayIcon(window)) {
        logQuietly(context.log, LogLevel::Info, "已移除系统托盘图标");
    }
    if (context.masterHotkeyId != 0) {
        unregisterMasterHotkey(context.masterHotkeyId, context.masterHotkeyKey);
    }
    unregisterSystemNotifications(window);
    if (context.window == window) {
        context.window = nullptr;
    }
    return 0;
}

LRESULT dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostContext& context = hostContext();
    if (message == context.taskbarCreatedMessage && context.taskbarCreatedMessage != 0 &&
        !context.options.startupCheck && context.webView) {
        addTrayIcon(window);
        return 0;
    }
    if (message == closeRequestMessage) {
        showClosePrompt(window);
        return 0;
    }
    if (message == trayNotifyMessage && !context.options.startupCheck) {
        handleTrayEvent(window, wParam, lParam);
        return 0;
    }
    if (const auto occasion = releaseOccasionOf(message, wParam)) {
        releaseHeldKeys(context, *occasion);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_INPUT) {
        noteRawKeyboardInput(context, hookWatches());
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_NCCALCSIZE:
        return wParam != 0 ? 0 : DefWindowProcW(window, message, wParam, lParam);
    case WM_NCHITTEST: {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        return hitTestBorderless(GET_X_LPARAM(lParam) - bounds.left, GET_Y_LPARAM(lParam) - bounds.top,
                                 bounds.right - bounds.left, bounds.bottom - bounds.top);
    }
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize.x = minimumTrackWidth;
        limits->ptMinTrackSize.y = minimumTrackHeight;
        return 0;
    }
    case WM_SYSCOMMAND:
        return (wParam & 0xFFF0) == SC_MAXIMIZE ? 0 : DefWindowProcW(window, message, wParam, lParam);
    case WM_SIZE:
        if (context.controller) {
            resizeWebView(context);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_TIMER:
        return onTimer(context, wParam);
    case WM_HOTKEY:
        return onHotkey(context, window, wParam, lParam);
    case WM_CLOSE:
        return onClose(context, window);
    case WM_DESTROY:
        return onDestroy(context, window);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may leave through the system's dispatcher.
    try {
        return dispatch(window, message, wParam, lParam);
    } catch (const std::exception& e) {
        logError(e.what());
        return 0;
    }
}

void registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = mainWindowClassName;
    RegisterClassExW(&windowClass);
}

HWND createMainWindow(HINSTANCE instance) {
    const WindowOrigin origin =
        centredWindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    HWND window =
        CreateWindowExW(0, mainWindowClassName, mainWindowTitle, mainWindowStyle, origin.x, origin.y,
                        mainWindowWidth, mainWindowHeight, nullptr, nullptr, instance, nullptr);
    hostContext().window = window;
    if (window == nullptr) {
        throw std::runtime_error("创建窗口失败");
    }
    // Creation measured the client area with the system frame; recompute it now so that the whole window
    // is client area from the first paint, not only after the first resize.
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    registerSystemNotifications(window);
    return window;
}

} // namespace kes::win32
