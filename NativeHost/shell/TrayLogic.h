#pragma once
#include "shell/CloseChoice.h"

#include <string>
#include <vector>

namespace kes {

inline constexpr unsigned trayIconId = 1;
// Icon resources: 1 while macros are on (also the window icon), 2 while they are off.
inline constexpr int macrosOnIconResource = 1;
inline constexpr int macrosOffIconResource = 2;

int trayIconResource(bool macrosEnabled);
// "Kestrava · 宏已启用" or "Kestrava · 宏已关闭".
std::string trayTipText(bool macrosEnabled);

// The tray menu's commands, which are also its item ids.
enum class TrayMenuCommand { None = 0, ExitProgram = 100, OpenMainWindow = 102, RestoreClosePrompt = 103 };

struct TrayMenuItem {
    TrayMenuCommand command = TrayMenuCommand::None; // None for the separator
    std::string text;
    bool grayed = false;
};

// The menu as it is built each time: "恢复关闭提示" is grayed while no close choice is stored.
std::vector<TrayMenuItem> trayMenuItems(CloseChoice closeChoice);

// Notification codes seen by the tray's callback message (low 16 bits of lParam).
inline constexpr unsigned trayEventContextMenu = 0x007B;   // WM_CONTEXTMENU
inline constexpr unsigned trayEventLeftButtonUp = 0x0202;  // WM_LBUTTONUP
inline constexpr unsigned trayEventRightButtonUp = 0x0205; // WM_RBUTTONUP
inline constexpr unsigned trayEventKeySelect = 0x0401;     // NIN_KEYSELECT (NIN_SELECT | NINF_KEY)

enum class TrayAction { None, Toggle, Menu };

struct TrayDecision {
    TrayAction action = TrayAction::None;
    bool atCursor = false; // the menu opens at the cursor instead of (x, y)
    int x = 0;
    int y = 0;
};

// What a tray notification asks for. With notification version 4 the anchor comes in wParam (signed low
// and high 16 bits); the older scheme, or an anchor of (-1, -1), opens the menu at the cursor. While the
// close prompt is open nothing happens.
TrayDecision decideTrayEvent(unsigned long long wParam, long long lParam, bool version4,
                             bool closePromptOpen);

} // namespace kes
