#pragma once
#include "platform/CancelEvent.h"

namespace kes::platform {

// Waits until `signal` (from createCancelEvent) is set. The keyboard hooks of this thread keep being called
// meanwhile, together with the other messages sent to it, so that input from other threads, which has to
// pass those hooks, does not stall behind the wait.
void waitDeliveringHookCalls(const CancelEvent& signal);

} // namespace kes::platform
