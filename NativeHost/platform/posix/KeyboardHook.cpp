#include "platform/KeyboardHook.h"

#include "platform/posix/DesktopBackend.h"

namespace kes::platform {

// The desktop host's hook, or none when no desktop host is connected.
std::unique_ptr<KeyboardHook> installKeyboardHook(KeyboardHookHandler handler) {
    const auto& install = desktopBackend().installKeyboardHook;
    return install ? install(handler) : nullptr;
}

} // namespace kes::platform
