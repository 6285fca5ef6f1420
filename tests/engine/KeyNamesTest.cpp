#include "engine/KeyNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct NameCase {
    std::string text;
    int code;
};

class KeyNameTable : public ::testing::TestWithParam<NameCase> {};

TEST_P(KeyNameTable, GivesItsCode) {
    EXPECT_EQ(kes::parseKeyName(GetParam().text), GetParam().code) << "text: '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(SingleCharacters, KeyNameTable,
                         ::testing::Values(NameCase{"a", 65}, NameCase{"A", 65}, NameCase{"z", 90},
                                           NameCase{"f", 70}, NameCase{"0", 48}, NameCase{"9", 57},
                                           NameCase{";", 186}, NameCase{"=", 187}, NameCase{",", 188},
                                           NameCase{"-", 189}, NameCase{".", 190}, NameCase{"/", 191},
                                           NameCase{"`", 192}, NameCase{"[", 219}, NameCase{"\\", 220},
                                           NameCase{"]", 221}, NameCase{"'", 222}, NameCase{"*", 0},
                                           NameCase{"+", 0}, NameCase{" ", 0}, NameCase{"", 0},
                                           NameCase{"\xE9", 0}));

INSTANTIATE_TEST_SUITE_P(FunctionKeys, KeyNameTable,
                         ::testing::Values(NameCase{"F1", 112}, NameCase{"f1", 112}, NameCase{"F12", 123},
                                           NameCase{"F24", 135}, NameCase{"F01", 112}, NameCase{"F 5", 116},
                                           NameCase{"F+3", 114}, NameCase{"F25", 0}, NameCase{"F0", 0},
                                           NameCase{"F-1", 0}, NameCase{"F1x", 0}, NameCase{"Fx", 0},
                                           NameCase{"F", 70}, NameCase{"F99999999999", 0},
                                           NameCase{"F5 ", 0}));

INSTANTIATE_TEST_SUITE_P(Keypad, KeyNameTable,
                         ::testing::Values(NameCase{"Num0", 96}, NameCase{"NUM0", 96}, NameCase{"num9", 105},
                                           NameCase{"Num10", 0}, NameCase{"Numx", 0}, NameCase{"NumAdd", 107},
                                           NameCase{"NumSubtract", 109}, NameCase{"NumMultiply", 106},
                                           NameCase{"NumDivide", 111}, NameCase{"NumDecimal", 110}));

INSTANTIATE_TEST_SUITE_P(
    NamedKeys, KeyNameTable,
    ::testing::Values(NameCase{"Space", 32}, NameCase{"ENTER", 13}, NameCase{"enter", 13}, NameCase{"Tab", 9},
                      NameCase{"Esc", 27}, NameCase{"Escape", 27}, NameCase{"Backspace", 8},
                      NameCase{"Delete", 46}, NameCase{"Insert", 45}, NameCase{"Home", 36},
                      NameCase{"End", 35}, NameCase{"PageUp", 33}, NameCase{"PageDown", 34},
                      NameCase{"Up", 38}, NameCase{"Down", 40}, NameCase{"Left", 37}, NameCase{"Right", 39},
                      NameCase{"Ctrl", 17}, NameCase{"Control", 17}, NameCase{"Shift", 16},
                      NameCase{"Alt", 18}, NameCase{"Win", 91}, NameCase{"Meta", 91}, NameCase{"Page Up", 0},
                      NameCase{"Enter ", 0}, NameCase{"回车", 0}, NameCase{"ctrlx", 0}));

INSTANTIATE_TEST_SUITE_P(LockAndSystemKeys, KeyNameTable,
                         ::testing::Values(NameCase{"CapsLock", 20}, NameCase{"capslock", 20},
                                           NameCase{"ScrollLock", 145}, NameCase{"NumLock", 144},
                                           NameCase{"NUMLOCK", 144}, NameCase{"Pause", 19},
                                           NameCase{"PrintScreen", 44}, NameCase{"Menu", 93},
                                           NameCase{"Caps Lock", 0}, NameCase{"Print", 0},
                                           NameCase{"ContextMenu", 0}));

INSTANTIATE_TEST_SUITE_P(MouseButtons, KeyNameTable,
                         ::testing::Values(NameCase{"MButton", 4}, NameCase{"mbutton", 4},
                                           NameCase{"XButton1", 5}, NameCase{"XBUTTON2", 6},
                                           NameCase{"XButton", 0}, NameCase{"XButton3", 0},
                                           NameCase{"LButton", 0}, NameCase{"RButton", 0},
                                           NameCase{"X Button1", 0}));

TEST(MouseButton, OnlyTheThreeTriggerButtonsAreMouseButtons) {
    for (int vk = 0; vk < 256; ++vk) {
        EXPECT_EQ(kes::isMouseButton(vk), vk == 4 || vk == 5 || vk == 6) << vk;
    }
}

struct ListCase {
    std::string text;
    bool unique;
    std::vector<int> keys;
};

class KeyListTable : public ::testing::TestWithParam<ListCase> {};

TEST_P(KeyListTable, GivesItsKeys) {
    EXPECT_EQ(kes::parseKeyList(GetParam().text, GetParam().unique), GetParam().keys)
        << "text: '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Lists, KeyListTable,
    ::testing::Values(
        ListCase{" S + D + I + S ", true, {83, 68, 73}}, ListCase{" S + D + I + S ", false, {83, 68, 73, 83}},
        ListCase{"Ctrl + Alt + Q", false, {17, 18, 81}}, ListCase{"Ctrl + Ctrl + Q", false, {17, 17, 81}},
        ListCase{"Ctrl + C + C", true, {17, 67}}, ListCase{"A++B", false, {65, 66}},
        ListCase{"+A", false, {65}}, ListCase{"A+", false, {65}}, ListCase{"", false, {}},
        ListCase{" ", true, {}}, ListCase{"+", false, {}}, ListCase{"\tF5\r\n+\nNum1", false, {116, 97}},
        ListCase{"中文 + 按键", false, {}}, ListCase{"A + 中 + B", true, {65, 66}},
        ListCase{"Nope + Enter", false, {13}}, ListCase{"Ctrl + Shift + CapsLock", false, {17, 16, 20}},
        ListCase{"Shift + Menu + PrintScreen", true, {16, 93, 44}},
        ListCase{"Ctrl + Shift + XButton2", false, {17, 16, 6}}));

TEST(Trim, RemovesOnlyOuterSpaceTabReturnAndNewline) {
    EXPECT_EQ(kes::trim(" \t\r\nA B\n\r\t "), "A B");
    EXPECT_EQ(kes::trim(" \t\r\n"), "");
    EXPECT_EQ(kes::trim(""), "");
    EXPECT_EQ(kes::trim("\vA\f"), "\vA\f");
}

} // namespace
