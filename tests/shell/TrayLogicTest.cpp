#include "shell/TrayLogic.h"

#include <gtest/gtest.h>

using kes::TrayAction;

TEST(TrayLogic, PictureAndTipFollowTheMasterSwitch) {
    EXPECT_EQ(kes::trayIconResource(true), 1);
    EXPECT_EQ(kes::trayIconResource(false), 2);
    EXPECT_EQ(kes::trayTipText(true), "Kestrava · 宏已启用");
    EXPECT_EQ(kes::trayTipText(false), "Kestrava · 宏已关闭");
}

TEST(TrayLogic, MenuGraysTheResetWhileNothingIsStored) {
    for (const kes::CloseChoice choice :
         {kes::CloseChoice::Ask, kes::CloseChoice::Exit, kes::CloseChoice::Tray}) {
        const std::vector<kes::TrayMenuItem> items = kes::trayMenuItems(choice);
        ASSERT_EQ(items.size(), 4u);
        EXPECT_EQ(items[0].command, kes::TrayMenuCommand::OpenMainWindow);
        EXPECT_EQ(items[0].text, "打开主窗口");
        EXPECT_FALSE(items[0].grayed);
        EXPECT_EQ(items[1].command, kes::TrayMenuCommand::RestoreClosePrompt);
        EXPECT_EQ(items[1].text, "恢复关闭提示");
        EXPECT_EQ(items[1].grayed, choice == kes::CloseChoice::Ask);
        EXPECT_EQ(items[2].command, kes::TrayMenuCommand::None);
        EXPECT_EQ(items[3].command, kes::TrayMenuCommand::ExitProgram);
        EXPECT_EQ(items[3].text, "退出程序");
        EXPECT_EQ(static_cast<int>(items[3].command), 100);
    }
}

TEST(TrayLogic, EventsDecideBetweenToggleAndMenu) {
    struct Case {
        unsigned long long wParam;
        long long lParam;
        bool version4;
        bool promptOpen;
        TrayAction action;
        bool atCursor;
        int x;
        int y;
    };
    const unsigned long long anchor =
        (static_cast<unsigned long long>(static_cast<std::uint16_t>(-20)) << 16) | 300u;
    const Case cases[] = {
        {0, 0x0202, true, false, TrayAction::Toggle, false, 0, 0},
        {0, 0x0202, false, false, TrayAction::Toggle, false, 0, 0},
        {0, 0x0401, true, false, TrayAction::Toggle, false, 0, 0},
        {0, 0x0401, false, false, TrayAction::None, false, 0, 0},
        {0, 0x0400, true, false, TrayAction::None, false, 0, 0}, // NIN_SELECT has no action of its own
        {0, 0x0203, true, false, TrayAction::None, false, 0, 0}, // double click
        {0, 0x0202, true, true, TrayAction::None, false, 0, 0},  // prompt open
        {anchor, 0x007B, true, false, TrayAction::Menu, false, 300, -20},
        {0xFFFFFFFFull, 0x007B, true, false, TrayAction::Menu, true, -1, -1},
        {anchor, 0x007B, false, false, TrayAction::None, false, 0, 0},
        {anchor, 0x0205, false, false, TrayAction::Menu, true, 0, 0},
        {anchor, 0x0205, true, false, TrayAction::None, false, 0, 0},
        {anchor, 0x007B, true, true, TrayAction::None, false, 0, 0},
        // Only the low 16 bits of lParam name the event (version 4 puts the icon id above them).
        {0, (1ll << 16) | 0x0202, true, false, TrayAction::Toggle, false, 0, 0},
    };
    for (const Case& c : cases) {
        const kes::TrayDecision decision = kes::decideTrayEvent(c.wParam, c.lParam, c.version4, c.promptOpen);
        SCOPED_TRACE(::testing::Message() << "event " << std::hex << c.lParam << " v4 " << c.version4);
        EXPECT_EQ(decision.action, c.action);
        if (c.action == TrayAction::Menu) {
            EXPECT_EQ(decision.atCursor, c.atCursor);
            if (!c.atCursor || c.version4) {
                EXPECT_EQ(decision.x, c.x);
                EXPECT_EQ(decision.y, c.y);
            }
        }
    }
}
