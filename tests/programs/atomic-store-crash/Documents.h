#pragma once
#include <optional>
#include <string>

// The documents the writer saves: generation n has a size of its own (1 KiB to about 300 KiB) and content
// that can be recomputed from n, so a reader can tell a whole document from any partial or mixed one.
inline std::string documentOfGeneration(unsigned long n) {
    const std::size_t padding = 1024 + (n * 7919u) % (300u * 1024u);
    std::string pad(padding, ' ');
    for (std::size_t i = 0; i < padding; ++i) {
        pad[i] = static_cast<char>('a' + (i + n) % 26);
    }
    return "{\"generation\":" + std::to_string(n) + ",\"pad\":\"" + pad + "\"}";
}

// The generation that `content` claims to be, when it is exactly that document.
inline std::optional<unsigned long> wholeDocumentGeneration(const std::string& content) {
    const std::string prefix = "{\"generation\":";
    if (content.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::size_t end = content.find(',', prefix.size());
    if (end == std::string::npos) {
        return std::nullopt;
    }
    const unsigned long n = std::stoul(content.substr(prefix.size(), end - prefix.size()));
    if (content != documentOfGeneration(n)) {
        return std::nullopt;
    }
    return n;
}
