#include "platform/ProgramWindows.h"

#include "platform/TextConversion.h"
#include "platform/posix/DesktopBackend.h"

#include <climits>
#include <exception>
#include <string>
#include <unistd.h>

// The windows come from a connected desktop host; processes from /proc. Executables here carry no version
// resource, so the program list names them by their file name.
namespace kes::platform {

std::vector<TopLevelWindow> topLevelWindows() {
    const auto& list = desktopBackend().topLevelWindows;
    return list ? list() : std::vector<TopLevelWindow>{};
}

std::optional<std::wstring> processImagePath(unsigned long processId) {
    if (processId == 0)
        return std::nullopt;
    const std::string link = "/proc/" + std::to_string(processId) + "/exe";
    char target[PATH_MAX];
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target)
        return std::nullopt;
    try {
        return toWide(std::string(target, static_cast<std::size_t>(length)));
    } catch (const std::exception&) {
        return std::nullopt; // a path that is not UTF-8 cannot be shown or matched
    }
}

std::unique_ptr<FileVersionResource> loadFileVersionResource(const std::wstring&) {
    return nullptr;
}

} // namespace kes::platform
