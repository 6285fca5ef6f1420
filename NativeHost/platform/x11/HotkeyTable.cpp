#include "platform/x11/HotkeyTable.h"

namespace kes::platform::x11 {
namespace {

// The core protocol's modifier masks (X.h).
constexpr unsigned shiftMask = 1u << 0;
constexpr unsigned controlMask = 1u << 2;
constexpr unsigned mod1Mask = 1u << 3;
constexpr unsigned mod4Mask = 1u << 6;

} // namespace

unsigned hotkeyModifiersOfState(unsigned state) {
    unsigned modifiers = 0;
    if ((state & shiftMask) != 0)
        modifiers |= HotkeyShift;
    if ((state & controlMask) != 0)
        modifiers |= HotkeyControl;
    if ((state & mod1Mask) != 0)
        modifiers |= HotkeyAlt;
    if ((state & mod4Mask) != 0)
        modifiers |= HotkeyWin;
    return modifiers;
}

void HotkeyTable::add(int id, int vk, unsigned modifiers) {
    registrations_[id] = Registration{vk, modifiers};
}

bool HotkeyTable::remove(int id) {
    return registrations_.erase(id) != 0;
}

std::set<int> HotkeyTable::keys() const {
    std::set<int> keys;
    for (const auto& [id, registration] : registrations_)
        keys.insert(registration.vk);
    return keys;
}

HotkeyDecision HotkeyTable::decide(int vk, unsigned modifiers, bool repeat) const {
    HotkeyDecision decision;
    for (const auto& [id, registration] : registrations_) {
        if (registration.vk != vk || registration.modifiers != modifiers)
            continue;
        decision.keep = true;
        if (!repeat && !decision.fire)
            decision.fire = id;
    }
    return decision;
}

} // namespace kes::platform::x11
