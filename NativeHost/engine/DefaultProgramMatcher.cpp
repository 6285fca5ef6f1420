#include "engine/DefaultProgramMatcher.h"

#include "engine/ProgramName.h"
#include "platform/ForegroundProgram.h"

namespace kes {

bool defaultProgramMatcher(const std::wstring& program) {
    if (program.empty()) {
        return true;
    }
    const auto path = platform::foregroundProgramPath();
    return path && sameProgramName(programFileName(*path), program);
}

} // namespace kes
