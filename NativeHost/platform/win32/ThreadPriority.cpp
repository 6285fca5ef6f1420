#include "platform/ThreadPriority.h"

#include <windows.h>

namespace kes::platform {

void lowerCurrentThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

} // namespace kes::platform
