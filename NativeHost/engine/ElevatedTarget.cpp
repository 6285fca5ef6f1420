#include "engine/ElevatedTarget.h"

namespace kes {

bool keyOutputBlocked(bool selfElevated, platform::Elevation target) {
    if (selfElevated) {
        return false;
    }
    return target == platform::Elevation::Elevated || target == platform::Elevation::AccessDenied;
}

} // namespace kes
