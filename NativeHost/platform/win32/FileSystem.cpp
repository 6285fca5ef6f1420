#include "platform/FileSystem.h"

#include <windows.h>

namespace kes::platform {

bool moveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

} // namespace kes::platform
