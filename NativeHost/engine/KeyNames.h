#pragma once
#include <string>
#include <vector>

namespace kes {

// The virtual-key codes of the mouse buttons that may trigger a macro ("MButton", "XButton1", "XButton2").
inline constexpr int mouseMiddleButton = 4;
inline constexpr int mouseSideButton1 = 5;
inline constexpr int mouseSideButton2 = 6;

// Whether the code is one of the mouse buttons above: a trigger, never a key that a step sends.
bool isMouseButton(int vk);

// Removes leading and trailing spaces, tabs, carriage returns and line feeds.
std::string trim(const std::string& text);

// One key name or character ("a", "F5", "Num9", "Enter", ";"), case-insensitive, to its virtual-key code;
// 0 when the text names no key. Never throws.
int parseKeyName(const std::string& text);

// A plus-joined key text ("Ctrl + Alt + Q") to its key codes in text order. Pieces naming no key are dropped;
// with `unique`, a code already in the list is dropped too.
std::vector<int> parseKeyList(const std::string& text, bool unique);

} // namespace kes
