#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kes::platform {

void lowerCurrentThreadPriority() {
    // Linux keeps a nice value per thread. Two steps below the creating thread, like the lowest priority of a
    // normal-class process on Windows; a nice value cannot be raised back without privilege.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, thread);
    setpriority(PRIO_PROCESS, thread, current + 2 > 19 ? 19 : current + 2);
}

} // namespace kes::platform
