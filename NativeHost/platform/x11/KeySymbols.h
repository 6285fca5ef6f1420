#pragma once
#include <cstdint>
#include <vector>

namespace kes::platform::x11 {

// Translation between the program's virtual-key codes and X11 key symbols. X11 names a key by the symbol
// of its first level (the unshifted letter, the keypad's navigation symbol while Num Lock is off), so every
// symbol a physical key can report maps to the one code the key has on Windows; side-neutral Shift, Ctrl
// and Alt are sent as their left keys.

// The virtual key of a key symbol; 0 when the program has no name for it.
int virtualKeyOfSymbol(std::uint32_t keySymbol);

// The symbols to look the key up by when sending it, preferred first; empty when the code names no key.
std::vector<std::uint32_t> symbolsOfVirtualKey(int vk);

} // namespace kes::platform::x11
