#pragma once
#include <cstddef>
#include <cstdint>

namespace kes::platform {

// One embedded file; the table generated at build time ends with an entry whose data is null.
struct EmbeddedResourceEntry {
    std::uint16_t id;
    const char* data;
    std::size_t size;
};

extern const EmbeddedResourceEntry embeddedResourceTable[];

} // namespace kes::platform
