#include "shell/win32/ShellServices.h"

#include "shell/DesktopServices.h"
#include "shell/FatalReport.h"
#include "shell/win32/FatalDisplay.h"
#include "shell/win32/HotkeyRegistration.h"
#include "shell/win32/SystemNotifications.h"
#include "shell/win32/TrayIcon.h"
#include "webhost/win32/Win32WindowServices.h"

#include <windows.h>

namespace kes::win32 {

void prepareDesktopShell(HostContext& context) {
    installCrashRelease();
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
    services.reinstallF12Watch = [] {
        return reinstallF12Watch();
    };
    installWindowServices();
    context.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
}

} // namespace kes::win32
