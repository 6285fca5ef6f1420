#include "platform/ProgramWindows.h"

// No desktop host exists on this system yet, so there are no program windows to offer.
namespace kes::platform {

std::vector<TopLevelWindow> topLevelWindows() {
    return {};
}

std::optional<std::wstring> processImagePath(unsigned long) {
    return std::nullopt;
}

std::unique_ptr<FileVersionResource> loadFileVersionResource(const std::wstring&) {
    return nullptr;
}

} // namespace kes::platform
