#pragma once
#include "platform/CancelEvent.h"

#include <cstdint>
#include <memory>

namespace kes::platform {

enum class TimerWait { Cancelled, Elapsed, Failed };

// A one-shot timer owned by one thread, which waits for it or for a cancel event, whichever comes first.
class OneShotTimer {
public:
    virtual ~OneShotTimer() = default;
    // Arms the timer to fire once after `due100ns` (at least 1) hundred-nanosecond units from now; false when
    // the system refuses. The timer may fire a little early; the caller's final busy wait carries the rest.
    virtual bool arm(std::int64_t due100ns) = 0;
    // Blocks until the cancel event (checked first) or the armed timer is signalled.
    virtual TimerWait wait(const CancelEvent& cancel) = 0;
};

// The high-resolution kind when asked for and available; null when no timer of the asked kind can be created.
// The cancel events given to wait() must come from createCancelEvent().
std::unique_ptr<OneShotTimer> createOneShotTimer(bool highResolution);

} // namespace kes::platform
