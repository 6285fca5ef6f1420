#pragma once
#include <nlohmann/json.hpp>

#include <optional>
#include <string>

// The state documents the writer saves: generation n is a document the store accepts, with a size of its
// own (1 KiB to about 300 KiB when stored) and content that can be recomputed from n, so a reader can tell
// a whole stored document from any partial or mixed one.
inline std::string postedDocumentOfGeneration(unsigned long n) {
    const std::size_t padding = 1024 + (n * 7919u) % (300u * 1024u);
    std::string pad(padding, ' ');
    for (std::size_t i = 0; i < padding; ++i) {
        pad[i] = static_cast<char>('a' + (i + n) % 26);
    }
    const nlohmann::json document = {
        {"generation", n},
        {"profiles",
         {{{"id", 1},
           {"name", pad},
           {"program", ""},
           {"macros", {{{"id", 1}, {"trigger", "F8"}, {"behavior", "hold"}, {"steps", {{{"key", "A"}}}}}}}}}},
        {"selectedProfile", 1}};
    return document.dump();
}

// What the state store keeps on disk for generation n: keys sorted, indented by 2.
inline std::string storedDocumentOfGeneration(unsigned long n) {
    return nlohmann::json::parse(postedDocumentOfGeneration(n)).dump(2);
}

// The generation that `content` is, when it is exactly that stored document.
inline std::optional<unsigned long> wholeDocumentGeneration(const std::string& content) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(content);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    if (!document.is_object() || !document.contains("generation") ||
        !document["generation"].is_number_unsigned()) {
        return std::nullopt;
    }
    const auto n = document["generation"].get<unsigned long>();
    if (content != storedDocumentOfGeneration(n)) {
        return std::nullopt;
    }
    return n;
}
