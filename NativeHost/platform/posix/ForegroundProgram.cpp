#include "platform/ForegroundProgram.h"

#include "platform/posix/DesktopBackend.h"

namespace kes::platform {

// Known only through a connected desktop host.
std::optional<std::wstring> foregroundProgramPath() {
    const auto& query = desktopBackend().foregroundProgramPath;
    return query ? query() : std::nullopt;
}

} // namespace kes::platform
