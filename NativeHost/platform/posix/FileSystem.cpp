#include "platform/FileSystem.h"

#include <cstdio>

namespace kes::platform {

bool moveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace kes::platform
