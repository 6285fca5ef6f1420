#include "shell/PerformanceMarkers.h"

#include "storage/QuietLog.h"

#include <exception>

namespace kes {

void registerMarkerHotkeys(Log& log, const MarkerRegistrar& registerOne) {
    for (int id = firstMarkerHotkeyId; id <= finishMarkerHotkeyId; ++id) {
        if (!registerOne(id, markerHotkeyKey(id))) {
            log.write(LogLevel::Error, markerHotkeyTakenMessage);
        }
    }
}

bool handleMarkerHotkey(HostContext& context, int id) {
    if (!context.sampler) {
        return false;
    }
    if (id != finishMarkerHotkeyId) {
        context.sampler->mark(markerPhaseLabel(id));
        return true;
    }
    try {
        context.sampler->finish();
    } catch (const std::exception& e) {
        logQuietly(context.log, LogLevel::Error, e.what());
    }
    return true;
}

} // namespace kes
