#pragma once
#include "shell/HostContext.h"

#include <string>

namespace kes {

inline constexpr const char8_t* masterHotkeyFileName = u8"宏快捷键.json";
// Ids of the master switch registration; a change takes the one not in use.
inline constexpr int masterHotkeyFirstId = 100;
inline constexpr int masterHotkeySecondId = 101;

// The F-key number n as a virtual key: VK_F1 + n - 1.
constexpr int functionKeyCode(int n) {
    return 111 + n;
}

// The id a new registration takes: 101 while 100 is in use, else 100.
int nextMasterHotkeyId(int currentId);

// Reads dataDir\宏快捷键.json into masterHotkeyKey: a missing file changes nothing, a missing "key" means 8,
// a number outside 1..12 is ignored. Throws the JSON library's parse or type errors.
void loadMasterHotkey(HostContext& context = hostContext());

// The compact "shortcut-result" message: {"error":…,"key":…,"saved":…,"type":"shortcut-result"}.
std::string shortcutResultMessage(int key, bool saved, const std::string& error);

// Posts "shortcut-result" with the key in force to the page; nothing without a web view.
void sendShortcutResult(bool saved, const std::string& error, HostContext& context = hostContext());

// The page's "shortcut-set": registers F-key n under the other id, stores it, then releases the old one.
// Every outcome is answered with sendShortcutResult.
void setMasterHotkey(int n, HostContext& context = hostContext());

// The hotkey's and the tray click's toggle of the engine; does nothing before the page handed its macros
// to the engine. A failure is logged and answered with macroStatusFailure.
void toggleMasterSwitch(HostContext& context = hostContext());

// The F12 watch's decision for one low-level keyboard event: true when this event is a fresh, unmodified,
// physical press of F12 that should toggle. `f12Down` remembers an accepted press until F12 is released.
bool f12WatchAccepts(bool& f12Down, int vk, bool isKeyUp, bool injected, bool modifierHeld);

} // namespace kes
