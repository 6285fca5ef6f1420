#include "storage/AtomicFileStore.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <stdexcept>
#include <system_error>

namespace kes {

namespace fs = std::filesystem;

fs::path atomicTemporaryPath(const fs::path& target) {
    fs::path temporary = target;
    temporary += ".part-" + std::to_string(platform::currentProcessId());
    return temporary;
}

void writeFileAtomically(const fs::path& target, const std::string& content) {
    const fs::path directory = target.parent_path();
    if (!directory.empty()) {
        std::error_code ec;
        fs::create_directories(directory, ec);
        if (ec) {
            throw fs::filesystem_error("create_directories", directory, ec);
        }
    }
    const fs::path temporary = atomicTemporaryPath(target);
    if (!platform::writeFileDurably(temporary, content)) {
        throw std::runtime_error("写入文件失败");
    }
    if (!platform::replaceFileWriteThrough(temporary, target)) {
        platform::deleteFileQuietly(temporary);
        throw std::runtime_error("替换文件失败，原文件已保留");
    }
}

std::string readFileBytes(const fs::path& path) {
    std::optional<std::string> content = platform::readWholeFile(path);
    if (!content) {
        throw std::runtime_error("无法读取文件");
    }
    return std::move(*content);
}

nlohmann::json readJsonFile(const fs::path& path) {
    std::error_code ec;
    const bool present = fs::exists(path, ec);
    if (ec) {
        throw fs::filesystem_error("exists", path, ec);
    }
    if (!present) {
        return nullptr;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        throw fs::filesystem_error("file_size", path, ec);
    }
    if (size > maxJsonDocumentSize) {
        throw std::runtime_error("配置文件过大");
    }
    const std::string bytes = readFileBytes(path);
    // The file may have grown since its size was taken.
    if (bytes.size() > maxJsonDocumentSize) {
        throw std::runtime_error("配置文件过大");
    }
    return nlohmann::json::parse(bytes);
}

} // namespace kes
