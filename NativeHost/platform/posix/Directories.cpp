#include "platform/Directories.h"

#include <cstdlib>
#include <pwd.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace kes::platform {

std::filesystem::path programDirectory() {
    constexpr std::size_t capacity = 0x8000;
    std::vector<char> buffer(capacity, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), capacity);
    if (length <= 0 || static_cast<std::size_t>(length) >= capacity) {
        throw std::runtime_error("无法定位程序目录");
    }
    return std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(length))).parent_path();
}

std::filesystem::path localAppDataDirectory() {
    // The XDG base directory rules: a relative $XDG_DATA_HOME is ignored.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::filesystem::path(dataHome);
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0') {
        throw std::runtime_error("无法定位本地数据目录");
    }
    return std::filesystem::path(home) / ".local" / "share";
}

std::filesystem::path environmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') {
        return {};
    }
    return std::filesystem::path(value);
}

} // namespace kes::platform
