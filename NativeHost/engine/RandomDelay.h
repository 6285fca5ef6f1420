#pragma once

namespace kes {

// A whole number drawn evenly from [low, high] (low <= high) by a generator of the calling thread's own,
// seeded from the system's entropy: safe to call from several job threads at once.
int drawUniformly(int low, int high);

} // namespace kes
