#include "platform/EmbeddedResources.h"
#include "platform/EmbeddedResourceTable.h"

namespace kes::platform {

std::optional<std::string_view> findEmbeddedResource(std::uint16_t id) {
    for (const EmbeddedResourceEntry* entry = embeddedResourceTable; entry->data != nullptr; ++entry) {
        if (entry->id == id) {
            return std::string_view(entry->data, entry->size);
        }
    }
    return std::nullopt;
}

} // namespace kes::platform
