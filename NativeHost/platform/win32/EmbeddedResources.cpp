#include "platform/EmbeddedResources.h"

#include <windows.h>

namespace kes::platform {

std::optional<std::string_view> findEmbeddedResource(std::uint16_t id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr) {
        return std::nullopt;
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (bytes == nullptr) {
        return std::string_view();
    }
    return std::string_view(static_cast<const char*>(bytes), size);
}

} // namespace kes::platform
