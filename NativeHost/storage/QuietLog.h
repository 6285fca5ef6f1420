#pragma once
#include "storage/Log.h"

#include <string>

namespace kes {

// Writes one entry like Log::write, but a failure of any kind is dropped: for the window, tray, page and
// close-prompt handlers, whose own work (posting the quit message, closing the window, answering the page)
// must happen whatever the log does.
void logQuietly(Log& log, LogLevel level, const std::string& message) noexcept;

} // namespace kes
