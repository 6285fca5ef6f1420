#pragma once

namespace kes::platform {

// The modifier keys of a global hotkey, as bits with the values of the system's MOD_ALT, MOD_CONTROL,
// MOD_SHIFT and MOD_WIN on Windows. A hotkey fires only while exactly its modifiers are held.
enum HotkeyModifier : unsigned {
    HotkeyAlt = 0x1,
    HotkeyControl = 0x2,
    HotkeyShift = 0x4,
    HotkeyWin = 0x8,
};

} // namespace kes::platform
