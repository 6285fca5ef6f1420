#include "shell/TrayLogic.h"

#include <cstdint>

namespace kes {

int trayIconResource(bool macrosEnabled) {
    return macrosEnabled ? macrosOnIconResource : macrosOffIconResource;
}

std::string trayTipText(bool macrosEnabled) {
    return macrosEnabled ? "Kestrava · 宏已启用" : "Kestrava · 宏已关闭";
}

std::vector<TrayMenuItem> trayMenuItems(CloseChoice closeChoice) {
    return {
        {TrayMenuCommand::OpenMainWindow, "打开主窗口", false},
        {TrayMenuCommand::RestoreClosePrompt, "恢复关闭提示", closeChoice == CloseChoice::Ask},
        {TrayMenuCommand::None, "", false},
        {TrayMenuCommand::ExitProgram, "退出程序", false},
    };
}

TrayDecision decideTrayEvent(unsigned long long wParam, long long lParam, bool version4,
                             bool closePromptOpen) {
    const unsigned event = static_cast<unsigned>(lParam) & 0xFFFFu;
    TrayDecision decision;
    if (closePromptOpen) {
        return decision;
    }
    if (event == trayEventLeftButtonUp || (version4 && event == trayEventKeySelect)) {
        decision.action = TrayAction::Toggle;
        return decision;
    }
    const unsigned menuEvent = version4 ? trayEventContextMenu : trayEventRightButtonUp;
    if (event != menuEvent) {
        return decision;
    }
    decision.action = TrayAction::Menu;
    if (version4) {
        decision.x = static_cast<std::int16_t>(wParam & 0xFFFFu);
        decision.y = static_cast<std::int16_t>((wParam >> 16) & 0xFFFFu);
    }
    decision.atCursor = !version4 || (decision.x == -1 && decision.y == -1);
    return decision;
}

} // namespace kes
