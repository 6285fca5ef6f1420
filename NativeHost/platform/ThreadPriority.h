#pragma once

namespace kes::platform {

// Puts the calling thread at the lowest priority the program uses for its macro jobs.
void lowerCurrentThreadPriority();

} // namespace kes::platform
