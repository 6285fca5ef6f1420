#include "platform/x11/KeySymbols.h"

namespace kes::platform::x11 {
namespace {

struct Pair {
    std::uint32_t symbol;
    int vk;
};

// Symbols whose code is not given by a range below. Where several symbols name one code, the first is the
// one sent.
constexpr Pair namedKeys[] = {
    {0xff08, 8},   // BackSpace
    {0xff09, 9},   // Tab
    {0xfe20, 9},   // ISO_Left_Tab (Shift+Tab)
    {0xff0d, 13},  // Return
    {0xff8d, 13},  // KP_Enter
    {0xffe1, 16},  // Shift_L (side-neutral Shift is sent as the left key)
    {0xffe3, 17},  // Control_L
    {0xffe9, 18},  // Alt_L
    {0xff13, 19},  // Pause
    {0xffe5, 20},  // Caps_Lock
    {0xff1b, 27},  // Escape
    {0x0020, 32},  // space
    {0xff55, 33},  // Prior
    {0xff56, 34},  // Next
    {0xff57, 35},  // End
    {0xff50, 36},  // Home
    {0xff51, 37},  // Left
    {0xff52, 38},  // Up
    {0xff53, 39},  // Right
    {0xff54, 40},  // Down
    {0xff61, 44},  // Print
    {0xff63, 45},  // Insert
    {0xffff, 46},  // Delete
    {0xffeb, 91},  // Super_L
    {0xffec, 92},  // Super_R
    {0xff67, 93},  // Menu
    {0xff9e, 96},  // KP_Insert: keypad 0 with Num Lock off
    {0xff9c, 97},  // KP_End
    {0xff99, 98},  // KP_Down
    {0xff9b, 99},  // KP_Next
    {0xff96, 100}, // KP_Left
    {0xff9d, 101}, // KP_Begin
    {0xff98, 102}, // KP_Right
    {0xff95, 103}, // KP_Home
    {0xff97, 104}, // KP_Up
    {0xff9a, 105}, // KP_Prior
    {0xffaa, 106}, // KP_Multiply
    {0xffab, 107}, // KP_Add
    {0xffad, 109}, // KP_Subtract
    {0xffae, 110}, // KP_Decimal
    {0xff9f, 110}, // KP_Delete
    {0xffaf, 111}, // KP_Divide
    {0xff7f, 144}, // Num_Lock
    {0xff14, 145}, // Scroll_Lock
    {0xffe1, 160}, // Shift_L
    {0xffe2, 161}, // Shift_R
    {0xffe3, 162}, // Control_L
    {0xffe4, 163}, // Control_R
    {0xffe9, 164}, // Alt_L
    {0xffe7, 164}, // Meta_L
    {0xffea, 165}, // Alt_R
    {0xfe03, 165}, // ISO_Level3_Shift (AltGr)
    {0xffe8, 165}, // Meta_R
    {0x003b, 186}, // semicolon
    {0x003d, 187}, // equal
    {0x002c, 188}, // comma
    {0x002d, 189}, // minus
    {0x002e, 190}, // period
    {0x002f, 191}, // slash
    {0x0060, 192}, // grave
    {0x005b, 219}, // bracketleft
    {0x005c, 220}, // backslash
    {0x005d, 221}, // bracketright
    {0x0027, 222}, // apostrophe
    {0xff0a, 0},   // Linefeed: no code
    {0xff0b, 0},   // Clear: no code
};

// Codes 16, 17 and 18 are only ever sent: a physical key reports its side.
bool isSideNeutral(int vk) {
    return vk == 16 || vk == 17 || vk == 18;
}

} // namespace

int virtualKeyOfSymbol(std::uint32_t symbol) {
    if (symbol >= 0x61 && symbol <= 0x7a) // a..z
        return static_cast<int>(symbol - 0x61 + 65);
    if (symbol >= 0x41 && symbol <= 0x5a) // A..Z
        return static_cast<int>(symbol);
    if (symbol >= 0x30 && symbol <= 0x39) // 0..9
        return static_cast<int>(symbol);
    if (symbol >= 0xffbe && symbol <= 0xffd5) // F1..F24
        return static_cast<int>(symbol - 0xffbe + 112);
    if (symbol >= 0xffb0 && symbol <= 0xffb9) // KP_0..KP_9
        return static_cast<int>(symbol - 0xffb0 + 96);
    for (const Pair& pair : namedKeys) {
        if (pair.symbol == symbol && !isSideNeutral(pair.vk))
            return pair.vk;
    }
    return 0;
}

std::vector<std::uint32_t> symbolsOfVirtualKey(int vk) {
    if (vk >= 65 && vk <= 90)
        return {static_cast<std::uint32_t>(vk - 65 + 0x61)};
    if (vk >= 48 && vk <= 57)
        return {static_cast<std::uint32_t>(vk)};
    if (vk >= 112 && vk <= 135)
        return {static_cast<std::uint32_t>(vk - 112 + 0xffbe)};
    std::vector<std::uint32_t> symbols;
    if (vk >= 96 && vk <= 105)
        symbols.push_back(static_cast<std::uint32_t>(vk - 96 + 0xffb0));
    for (const Pair& pair : namedKeys) {
        if (pair.vk == vk && vk != 0)
            symbols.push_back(pair.symbol);
    }
    return symbols;
}

} // namespace kes::platform::x11
