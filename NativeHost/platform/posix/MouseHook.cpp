#include "platform/MouseHook.h"

namespace kes::platform {

// The Linux desktop host does not watch mouse buttons: macros with a mouse trigger never start there.
std::unique_ptr<MouseHook> installMouseHook(KeyboardHookHandler) {
    return nullptr;
}

} // namespace kes::platform
