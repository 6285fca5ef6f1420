#include "platform/KeyboardState.h"

namespace kes::platform {

// Without a system-wide keyboard hook no key event reaches the engine from outside, so none is held for it.
std::vector<int> keysDownNow() {
    return {};
}

} // namespace kes::platform
