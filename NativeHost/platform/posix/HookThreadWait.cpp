#include "platform/HookThreadWait.h"

#include "platform/posix/PosixCancelEvent.h"

#include <cerrno>
#include <poll.h>

namespace kes::platform {

// A plain wait here: a job's key output does not wait for a hook call on the waiting thread.
void waitDeliveringHookCalls(const CancelEvent& signal) {
    const auto& event = static_cast<const PosixCancelEvent&>(signal);
    pollfd ready{event.fd(), POLLIN, 0};
    while (!event.isSet()) {
        if (poll(&ready, 1, -1) < 0 && errno != EINTR) {
            return;
        }
    }
}

} // namespace kes::platform
