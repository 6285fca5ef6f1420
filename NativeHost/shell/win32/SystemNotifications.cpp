#include "shell/win32/SystemNotifications.h"

#include "engine/KeyLedger.h"
#include "shell/HostContext.h"
#include "storage/QuietLog.h"

#include <wtsapi32.h>

#include <cstdlib>
#include <exception>

namespace kes::win32 {
namespace {

constexpr USHORT genericDesktopPage = 0x01;
constexpr USHORT keyboardUsage = 0x06;

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;

LONG WINAPI releaseKeysOnCrash(EXCEPTION_POINTERS* exception) {
    releaseCrashLedger();
    return previousFilter != nullptr ? previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void releaseKeysOnTerminate() {
    releaseCrashLedger();
    if (previousTerminate != nullptr) {
        previousTerminate();
    }
    std::abort();
}

bool registerRawKeyboard(HWND window, DWORD flags) {
    RAWINPUTDEVICE device{};
    device.usUsagePage = genericDesktopPage;
    device.usUsage = keyboardUsage;
    device.dwFlags = flags;
    device.hwndTarget = window;
    return RegisterRawInputDevices(&device, 1, sizeof device) != FALSE;
}

} // namespace

void registerSystemNotifications(HWND window) {
    Log& log = hostContext().log;
    if (!WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION)) {
        logQuietly(log, LogLevel::Error, "无法接收会话锁定通知");
    }
    if (!registerRawKeyboard(window, RIDEV_INPUTSINK)) {
        logQuietly(log, LogLevel::Error, "无法接收原始键盘输入，键盘监听被移除时无法发现");
    }
}

void unregisterSystemNotifications(HWND window) {
    WTSUnRegisterSessionNotification(window);
    registerRawKeyboard(nullptr, RIDEV_REMOVE);
}

void installCrashRelease() {
    previousFilter = SetUnhandledExceptionFilter(&releaseKeysOnCrash);
    previousTerminate = std::set_terminate(&releaseKeysOnTerminate);
}

} // namespace kes::win32
