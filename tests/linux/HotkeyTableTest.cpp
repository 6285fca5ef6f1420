#include "platform/x11/HotkeyTable.h"
#include "platform/x11/GrabPlan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using kes::platform::HotkeyAlt;
using kes::platform::HotkeyControl;
using kes::platform::HotkeyShift;
using kes::platform::HotkeyWin;
using kes::platform::x11::HotkeyTable;

constexpr int f6 = 0x75, f7 = 0x76, f8 = 0x77, f9 = 0x78;
constexpr unsigned ctrlShift = HotkeyControl | HotkeyShift;

// The master switch on bare F8 and performance mode's markers on Ctrl+Shift+F6 to F9, as the program
// registers them.
HotkeyTable programHotkeys() {
    HotkeyTable table;
    table.add(100, f8, 0);
    for (int id = 6; id <= 9; ++id)
        table.add(id, 0x6F + id, ctrlShift);
    return table;
}

} // namespace

TEST(HotkeyTable, ModifierStatesCountOnlyShiftCtrlAltAndWin) {
    struct Case {
        unsigned state;
        unsigned modifiers;
    };
    const std::vector<Case> cases = {
        {0x00, 0},
        {0x01, HotkeyShift},
        {0x04, HotkeyControl},
        {0x05, ctrlShift},
        {0x08, HotkeyAlt},
        {0x40, HotkeyWin},
        {0x02 | 0x10, 0},                       // Caps Lock and Num Lock
        {0x05 | 0x02 | 0x10 | 0x80, ctrlShift}, // and Mod5
        {0x2000 | 0x04, HotkeyControl},         // a keyboard group bit
        {0x4D, HotkeyShift | HotkeyControl | HotkeyAlt | HotkeyWin},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kes::platform::x11::hotkeyModifiersOfState(c.state), c.modifiers) << c.state;
}

TEST(HotkeyTable, APressFiresOnlyWithExactlyItsModifiersAndNeverOnRepeat) {
    const HotkeyTable table = programHotkeys();
    struct Case {
        const char* what;
        int vk;
        unsigned modifiers;
        bool repeat;
        bool keep;
        std::optional<int> fire;
    };
    const std::vector<Case> cases = {
        {"bare F8: the master switch", f8, 0, false, true, 100},
        {"Ctrl+Shift+F8: the hit marker, not the switch", f8, ctrlShift, false, true, 8},
        {"Ctrl+Shift+F6", f6, ctrlShift, false, true, 6},
        {"Ctrl+Shift+F7", f7, ctrlShift, false, true, 7},
        {"Ctrl+Shift+F9", f9, ctrlShift, false, true, 9},
        {"held Ctrl+Shift+F7 repeating: kept, fires once only", f7, ctrlShift, true, true, std::nullopt},
        {"held F8 repeating", f8, 0, true, true, std::nullopt},
        {"bare F7 reaches the program in front", f7, 0, false, false, std::nullopt},
        {"Ctrl+F7", f7, HotkeyControl, false, false, std::nullopt},
        {"Ctrl+Alt+Shift+F7", f7, ctrlShift | HotkeyAlt, false, false, std::nullopt},
        {"Win+Ctrl+Shift+F9", f9, ctrlShift | HotkeyWin, false, false, std::nullopt},
        {"Shift+F8", f8, HotkeyShift, false, false, std::nullopt},
        {"a key without hotkey", 0x41, ctrlShift, false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto decision = table.decide(c.vk, c.modifiers, c.repeat);
        EXPECT_EQ(decision.keep, c.keep) << c.what;
        EXPECT_EQ(decision.fire, c.fire) << c.what;
    }
}

TEST(HotkeyTable, RegistrationsDecideTheGrabbedKeys) {
    HotkeyTable table = programHotkeys();
    EXPECT_EQ(table.keys(), (std::set<int>{f6, f7, f8, f9}));

    // A change of master hotkey to F12 holds both keys until the old one is released (ids 101, then 100).
    table.add(101, 0x7B, 0);
    EXPECT_EQ(table.keys(), (std::set<int>{f6, f7, f8, f9, 0x7B}));
    EXPECT_TRUE(table.remove(100));
    EXPECT_FALSE(table.remove(100));
    // F8 stays grabbed for its marker, but a bare F8 is now passed on.
    EXPECT_EQ(table.keys(), (std::set<int>{f6, f7, f8, f9, 0x7B}));
    EXPECT_FALSE(table.decide(f8, 0, false).keep);
    EXPECT_EQ(table.decide(0x7B, 0, false).fire, 101);

    // Re-adding an id moves it to its new key.
    table.add(6, 0x41, ctrlShift);
    EXPECT_EQ(table.keys(), (std::set<int>{0x41, f7, f8, f9, 0x7B}));
    EXPECT_FALSE(table.decide(f6, ctrlShift, false).keep);

    table.clear();
    EXPECT_TRUE(table.keys().empty());
    // With nothing registered, the grab set holds only the profile's keys while the hook is installed.
    const kes::platform::x11::KeycodeLookup lookup = [](int vk) {
        return std::vector<int>{vk - 0x30};
    };
    EXPECT_EQ(kes::platform::x11::wantedKeycodes({true, {0x41}, table.keys()}, lookup),
              (std::set<int>{0x11}));
}
