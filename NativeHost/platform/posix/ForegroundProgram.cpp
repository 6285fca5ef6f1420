#include "platform/ForegroundProgram.h"

namespace kes::platform {

// No foreground window is known here until a desktop host brings one.
std::optional<std::wstring> foregroundProgramPath() {
    return std::nullopt;
}

} // namespace kes::platform
