#include "engine/ElevatedTarget.h"
#include "engine/Engine.h"
#include "engine/ProgramName.h"
#include "storage/Log.h"

namespace kes {

bool Engine::outputBlockedByElevation() {
    const platform::ForegroundElevation target = services_.foregroundElevation();
    if (!keyOutputBlocked(selfElevated_, target.elevation)) {
        return false;
    }
    std::wstring name = programFileName(target.programPath);
    for (wchar_t& c : name) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    if (toldElevated_.insert(name).second) {
        try {
            log_.write(LogLevel::Error, elevatedTargetMessage);
        } catch (...) {
            // The page is still told.
        }
        if (noticeCallback) {
            noticeCallback(elevatedTargetMessage);
        }
    }
    return true;
}

} // namespace kes
