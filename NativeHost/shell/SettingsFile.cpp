#include "shell/SettingsFile.h"

#include "storage/AtomicFileStore.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace kes {

std::optional<nlohmann::json> readSettingsFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxJsonDocumentSize) {
            throw std::runtime_error(documentTooLargeMessage);
        }
    }
    return nlohmann::json::parse(text, nullptr, true, false);
}

} // namespace kes
