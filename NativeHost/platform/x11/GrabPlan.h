#pragma once
#include <functional>
#include <set>
#include <vector>

namespace kes::platform::x11 {

// The keys the program holds synchronous passive grabs on: exactly the keys the active profile claims while
// the engine's hook is installed, and the keys of the global hotkeys while they are registered (during a
// change of the master switch hotkey, the old and the new one).
struct GrabWish {
    bool hookInstalled = false;
    std::set<int> claimedKeys; // virtual keys of the active profile's triggers and rapid-fire keys
    std::set<int> hotkeys;     // virtual keys of the hotkey registrations
};

// The keycodes a virtual key is found under in the current keymap (a key may sit on several keycodes).
using KeycodeLookup = std::function<std::vector<int>(int vk)>;

std::set<int> wantedKeycodes(const GrabWish& wish, const KeycodeLookup& keycodesOf);

// The changes that take the grabs held from `held` to `wanted`.
struct GrabChanges {
    std::vector<int> release;
    std::vector<int> take;
};

GrabChanges planGrabChanges(const std::set<int>& held, const std::set<int>& wanted);

} // namespace kes::platform::x11
