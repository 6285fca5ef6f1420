#include "shell/win32/TrayIcon.h"

#include "platform/TextConversion.h"
#include "shell/HostContext.h"
#include "shell/MasterHotkey.h"
#include "shell/TrayLogic.h"
#include "shell/win32/ClosePromptDialog.h"
#include "shell/win32/MainWindow.h"
#include "storage/QuietLog.h"

#include <cwchar>

namespace kes::win32 {
namespace {

bool macrosEnabled() {
    const HostContext& context = hostContext();
    return context.engine && context.engine->isEnabled();
}

void showMainWindow(HWND window) {
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
}

void runMenuCommand(HWND window, TrayMenuCommand command) {
    switch (command) {
    case TrayMenuCommand::OpenMainWindow:
        showMainWindow(window);
        break;
    case TrayMenuCommand::RestoreClosePrompt:
        resetClosePrompt(window);
        break;
    case TrayMenuCommand::ExitProgram:
        PostMessageW(window, WM_CLOSE, 0, 0);
        break;
    case TrayMenuCommand::None:
        break;
    }
}

void showTrayMenu(HWND window, POINT anchor) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    for (const TrayMenuItem& item : trayMenuItems(hostContext().closeChoice)) {
        if (item.command == TrayMenuCommand::None) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING | (item.grayed ? MF_GRAYED : 0u), static_cast<UINT_PTR>(item.command),
                        toWide(item.text).c_str());
        }
    }
    SetForegroundWindow(window);
    const int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                       anchor.x, anchor.y, 0, window, nullptr));
    DestroyMenu(menu);
    PostMessageW(window, WM_NULL, 0, 0);
    runMenuCommand(window, static_cast<TrayMenuCommand>(chosen));
}

} // namespace

NOTIFYICONDATAW buildTrayIconData(HWND window, bool adding) {
    const bool enabled = macrosEnabled();
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = trayIconId;
    data.uFlags = NIF_ICON | NIF_TIP | NIF_SHOWTIP | (adding ? NIF_MESSAGE : 0u);
    data.uCallbackMessage = trayNotifyMessage;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    data.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(trayIconResource(enabled)),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    const std::wstring tip = toWide(trayTipText(enabled));
    wcsncpy(data.szTip, tip.c_str(), sizeof data.szTip / sizeof data.szTip[0] - 1);
    return data;
}

void addTrayIcon(HWND window) {
    HostContext& context = hostContext();
    NOTIFYICONDATAW data = buildTrayIconData(window, true);
    if (data.hIcon == nullptr || !Shell_NotifyIconW(NIM_ADD, &data)) {
        context.trayIconAdded = false;
        logQuietly(context.log, LogLevel::Error, "无法添加系统托盘图标");
        return;
    }
    context.trayIconAdded = true;
    logQuietly(context.log, LogLevel::Info, "已添加系统托盘图标");
    data.uVersion = NOTIFYICON_VERSION_4;
    context.trayVersion4 = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    if (!context.trayVersion4) {
        logQuietly(context.log, LogLevel::Error, "无法设置系统托盘图标通知版本");
    }
}

void updateTrayIcon(HWND window) {
    HostContext& context = hostContext();
    if (!context.trayIconAdded) {
        return;
    }
    NOTIFYICONDATAW data = buildTrayIconData(window, false);
    if (data.hIcon == nullptr || !Shell_NotifyIconW(NIM_MODIFY, &data)) {
        logQuietly(context.log, LogLevel::Error, "无法更新系统托盘图标");
    }
}

bool removeTrayIcon(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = trayIconId;
    return Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
}

void handleTrayEvent(HWND window, WPARAM wParam, LPARAM lParam) {
    const HostContext& context = hostContext();
    const TrayDecision decision =
        decideTrayEvent(static_cast<unsigned long long>(wParam), static_cast<long long>(lParam),
                        context.trayVersion4, context.closePromptOpen);
    if (decision.action == TrayAction::Toggle) {
        toggleMasterSwitch();
    } else if (decision.action == TrayAction::Menu) {
        POINT anchor{decision.x, decision.y};
        if (decision.atCursor) {
            GetCursorPos(&anchor);
        }
        showTrayMenu(window, anchor);
    }
}

} // namespace kes::win32
