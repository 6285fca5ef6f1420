#include "platform/KeyEvents.h"

#include "platform/posix/DesktopBackend.h"

#include <array>
#include <stdexcept>

namespace kes::platform {
namespace {

// Set-1 scan codes of a US keyboard for every virtual key the program can name or the keyboard reports.
constexpr std::array<unsigned char, 256> makeScanCodes() {
    std::array<unsigned char, 256> codes{};
    const char* letters = "QWERTYUIOPASDFGHJKLZXCVBNM";
    const unsigned char letterCodes[26] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                           0x19, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25,
                                           0x26, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};
    for (int i = 0; i < 26; ++i) {
        codes[static_cast<unsigned char>(letters[i])] = letterCodes[i];
    }
    for (int digit = 1; digit <= 9; ++digit) {
        codes['0' + digit] = static_cast<unsigned char>(0x01 + digit);
    }
    codes['0'] = 0x0B;
    for (int f = 0; f < 10; ++f) {
        codes[112 + f] = static_cast<unsigned char>(0x3B + f); // F1..F10
    }
    codes[122] = 0x57; // F11
    codes[123] = 0x58; // F12
    for (int f = 0; f < 11; ++f) {
        codes[124 + f] = static_cast<unsigned char>(0x64 + f); // F13..F23
    }
    codes[135] = 0x76; // F24
    const unsigned char keypad[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
    for (int digit = 0; digit < 10; ++digit) {
        codes[96 + digit] = keypad[digit];
    }
    codes[106] = 0x37; // keypad multiply
    codes[107] = 0x4E; // keypad add
    codes[109] = 0x4A; // keypad subtract
    codes[110] = 0x53; // keypad decimal
    codes[111] = 0x35; // keypad divide
    codes[8] = 0x0E;   // backspace
    codes[9] = 0x0F;   // tab
    codes[13] = 0x1C;  // enter
    codes[16] = 0x2A;  // shift
    codes[17] = 0x1D;  // ctrl
    codes[18] = 0x38;  // alt
    codes[19] = 0x45;  // pause
    codes[20] = 0x3A;  // caps lock
    codes[27] = 0x01;  // escape
    codes[32] = 0x39;  // space
    codes[33] = 0x49;  // page up
    codes[34] = 0x51;  // page down
    codes[35] = 0x4F;  // end
    codes[36] = 0x47;  // home
    codes[37] = 0x4B;  // left
    codes[38] = 0x48;  // up
    codes[39] = 0x4D;  // right
    codes[40] = 0x50;  // down
    codes[44] = 0x54;  // print screen
    codes[45] = 0x52;  // insert
    codes[46] = 0x53;  // delete
    codes[91] = 0x5B;  // left win
    codes[92] = 0x5C;  // right win
    codes[93] = 0x5D;  // menu
    codes[144] = 0x45; // num lock
    codes[145] = 0x46; // scroll lock
    codes[160] = 0x2A; // left shift
    codes[161] = 0x36; // right shift
    codes[162] = 0x1D; // left ctrl
    codes[163] = 0x1D; // right ctrl
    codes[164] = 0x38; // left alt
    codes[165] = 0x38; // right alt
    codes[186] = 0x27; // ;
    codes[187] = 0x0D; // =
    codes[188] = 0x33; // ,
    codes[189] = 0x0C; // -
    codes[190] = 0x34; // .
    codes[191] = 0x35; // /
    codes[192] = 0x29; // `
    codes[219] = 0x1A; // [
    codes[220] = 0x2B; // backslash
    codes[221] = 0x1B; // ]
    codes[222] = 0x28; // '
    return codes;
}

constexpr std::array<unsigned char, 256> scanCodes = makeScanCodes();

} // namespace

// Through a connected desktop host only.
void sendKeyEvent(unsigned char vk, unsigned char scan, unsigned long flags) {
    const auto& send = desktopBackend().sendKeyEvent;
    if (!send)
        throw std::runtime_error("此系统暂不支持按键输出");
    send(vk, scan, flags);
}

unsigned scanCodeOf(int vk) {
    return vk >= 0 && vk < 256 ? scanCodes[static_cast<std::size_t>(vk)] : 0;
}

} // namespace kes::platform
