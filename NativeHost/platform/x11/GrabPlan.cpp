#include "platform/x11/GrabPlan.h"

#include <algorithm>
#include <iterator>

namespace kes::platform::x11 {

std::set<int> wantedKeycodes(const GrabWish& wish, const KeycodeLookup& keycodesOf) {
    std::set<int> keycodes;
    auto add = [&](int vk) {
        for (int keycode : keycodesOf(vk))
            keycodes.insert(keycode);
    };
    if (wish.hookInstalled) {
        for (int vk : wish.claimedKeys)
            add(vk);
    }
    for (int vk : wish.hotkeys)
        add(vk);
    return keycodes;
}

GrabChanges planGrabChanges(const std::set<int>& held, const std::set<int>& wanted) {
    GrabChanges changes;
    std::set_difference(held.begin(), held.end(), wanted.begin(), wanted.end(),
                        std::back_inserter(changes.release));
    std::set_difference(wanted.begin(), wanted.end(), held.begin(), held.end(),
                        std::back_inserter(changes.take));
    return changes;
}

} // namespace kes::platform::x11
