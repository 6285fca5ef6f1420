#include "storage/AtomicFileStore.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace kes {

namespace fs = std::filesystem;

fs::path atomicTemporaryPath(const fs::path& target) {
    fs::path temporary = target;
    temporary += ".part-" + std::to_string(platform::currentProcessId());
    return temporary;
}

namespace {

// A writer that died between writing its temporary file and moving it (killed, or the power gone) leaves
// that file behind under its own process id. The next successful save of the same target removes such
// leftovers, so they never pile up beside the user's files.
void removeLeftoverTemporaryFiles(const fs::path& target) {
    const fs::path::string_type prefix = target.filename().native() + fs::path(".part-").native();
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path::string_type name = it->path().filename().native();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](auto c) { return c >= '0' && c <= '9'; })) {
            leftovers.push_back(it->path());
        }
    }
    for (const fs::path& leftover : leftovers) {
        platform::deleteFileQuietly(leftover);
    }
}

} // namespace

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
    removeLeftoverTemporaryFiles(target);
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
        throw std::runtime_error(documentTooLargeMessage);
    }
    const std::string bytes = readFileBytes(path);
    // The file may have grown since its size was taken.
    if (bytes.size() > maxJsonDocumentSize) {
        throw std::runtime_error(documentTooLargeMessage);
    }
    return nlohmann::json::parse(bytes);
}

} // namespace kes
