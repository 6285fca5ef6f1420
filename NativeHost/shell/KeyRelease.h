#pragma once
#include "shell/HostContext.h"

#include <cstdint>
#include <optional>

namespace kes {

// Moments after which no key of ours may stay down, told to the main window by the system.
enum class ReleaseOccasion { SessionLocked, SessionSwitchedAway, LoggingOff, Suspending, EndingSession };

// Which main-window message (with its parameter) is such a moment: a session change that locks the session
// or switches away from it, the suspend broadcast, the query before a log-off or shut-down and the end of
// the session. Any other message is none.
std::optional<ReleaseOccasion> releaseOccasionOf(unsigned message, std::uintptr_t wParam);

// The run-log line written each time.
std::string releaseLogLine(ReleaseOccasion occasion, const Engine::Release& release);

// Ends the running macros and brings up every key they held; the master switch stays as it is. Logs one
// line. Nothing without an engine.
void releaseHeldKeys(HostContext& context, ReleaseOccasion occasion);

} // namespace kes
