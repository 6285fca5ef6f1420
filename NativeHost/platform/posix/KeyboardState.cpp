#include "platform/KeyboardState.h"

namespace kes::platform {

// The desktop backend reports no keyboard state, so no key counts as held at switch-on here.
std::vector<int> keysDownNow() {
    return {};
}

} // namespace kes::platform
