#pragma once

namespace kes {

// Ends a job when its cancel event is seen. Deliberately not a std::exception: only the job thread catches
// it, silently, and no generic handler may mistake it for an error.
struct Cancelled {};

} // namespace kes
