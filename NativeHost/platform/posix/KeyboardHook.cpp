#include "platform/KeyboardHook.h"

namespace kes::platform {

// No system-wide keyboard hook exists here until a desktop host brings one.
std::unique_ptr<KeyboardHook> installKeyboardHook(KeyboardHookHandler) {
    return nullptr;
}

} // namespace kes::platform
