#pragma once
#include "platform/KeyboardHook.h"

#include <memory>

namespace kes::platform {

// An installed low-level mouse hook; removed when destroyed. Its handler sees only the presses and releases
// of the middle and side buttons, as events of their virtual keys (4 middle, 5 and 6 the side buttons);
// every other mouse event goes on without reaching it. It calls its handler on the installing thread, which
// must pump messages.
class MouseHook {
public:
    virtual ~MouseHook() = default;
};

// Installs a low-level mouse hook for the whole desktop; null when the system refuses or has none.
std::unique_ptr<MouseHook> installMouseHook(KeyboardHookHandler handler);

} // namespace kes::platform
