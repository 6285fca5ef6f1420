#include "storage/QuietLog.h"

namespace kes {

void logQuietly(Log& log, LogLevel level, const std::string& message) noexcept {
    try {
        log.write(level, message);
    } catch (...) {
        // Dropped: see the declaration.
    }
}

} // namespace kes
