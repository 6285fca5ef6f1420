#include "platform/posix/DesktopBackend.h"

namespace kes::platform {

DesktopBackend& desktopBackend() {
    static DesktopBackend backend;
    return backend;
}

} // namespace kes::platform
