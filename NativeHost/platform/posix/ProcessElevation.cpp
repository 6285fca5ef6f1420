#include "platform/ProcessElevation.h"

namespace kes::platform {

// Key output through the desktop host reaches every program of the session: there is no elevation barrier.
bool currentProcessElevated() {
    return false;
}

ForegroundElevation foregroundElevation() {
    return {};
}

} // namespace kes::platform
