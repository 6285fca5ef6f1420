#pragma once
#include "platform/HotkeyModifiers.h"

#include <map>
#include <optional>
#include <set>

namespace kes::platform::x11 {

// The hotkey modifiers held in a core-protocol modifier state: Shift, Control, Mod1 (Alt) and Mod4 (Win);
// Caps Lock, Num Lock and the other masks do not count.
unsigned hotkeyModifiersOfState(unsigned state);

// What to do with a press of a key that global hotkeys are grabbed on.
struct HotkeyDecision {
    bool keep = false;       // the press never reaches the focused window
    std::optional<int> fire; // the registration whose action runs
};

// The global hotkeys held as key grabs (the master switch, performance mode's markers). As with the
// system's hotkeys on Windows, a registration matches a press of its key with exactly its modifiers held;
// a matching press is kept from the focused window, and an auto-repeated one does not fire again. Any other
// press of a grabbed key is passed on.
class HotkeyTable {
public:
    // Registers `id` (replacing an earlier registration under it).
    void add(int id, int vk, unsigned modifiers);
    bool remove(int id);
    void clear() { registrations_.clear(); }

    // The virtual keys of all registrations: the keys to grab.
    std::set<int> keys() const;

    HotkeyDecision decide(int vk, unsigned modifiers, bool repeat) const;

private:
    struct Registration {
        int vk = 0;
        unsigned modifiers = 0;
    };
    std::map<int, Registration> registrations_;
};

} // namespace kes::platform::x11
