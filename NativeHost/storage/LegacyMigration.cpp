#include "storage/LegacyMigration.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "storage/AtomicFileStore.h"
#include "storage/DataDirectories.h"
#include "storage/PathText.h"

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <system_error>

namespace kes {
namespace {

namespace fs = std::filesystem;

// Whether anything (a file, a directory, a link, even a dangling one) exists at the path.
bool anythingAt(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (status.type() == fs::file_type::none) {
        throw fs::filesystem_error("exists", path, ec);
    }
    return status.type() != fs::file_type::not_found;
}

bool hasProfiles(const nlohmann::json& document) {
    if (!document.is_object()) {
        return false;
    }
    const auto profiles = document.find("profiles");
    return profiles != document.end() && profiles->is_array() && !profiles->empty();
}

} // namespace

bool migrateLegacyConfig(const fs::path& dataDir, const fs::path& source) {
    const fs::path target = stateFilePath(dataDir);
    if (anythingAt(target) || !anythingAt(source)) {
        return false;
    }
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(source, ec);
    if (ec) {
        throw fs::filesystem_error("file_size", source, ec);
    }
    if (size > maxJsonDocumentSize) {
        throw std::runtime_error("旧配置文件过大，原文件已保留");
    }
    const std::string original = readFileBytes(source);
    if (original.size() > maxJsonDocumentSize) {
        throw std::runtime_error("旧配置文件过大，原文件已保留");
    }
    if (!hasProfiles(nlohmann::json::parse(original))) {
        throw std::runtime_error("旧配置格式无效，原文件已保留");
    }
    fs::create_directories(dataDir, ec);
    if (ec) {
        throw fs::filesystem_error("create_directories", dataDir, ec);
    }
    fs::path temporary = target;
    temporary += ".migration-" + std::to_string(platform::currentProcessId());
    if (!platform::copyFileOverwriting(source, temporary)) {
        throw std::runtime_error("无法复制旧配置，请将程序放在允许写入的文件夹；原配置已保留");
    }
    // A copy that cannot be read back is as unproven as one that differs.
    const std::optional<std::string> copy = platform::readWholeFile(temporary);
    if (!copy || *copy != original) {
        platform::deleteFileQuietly(temporary);
        throw std::runtime_error("配置迁移校验失败，原配置已保留");
    }
    switch (platform::moveFileWithoutReplacing(temporary, target)) {
    case platform::MoveResult::Moved:
        return true;
    case platform::MoveResult::TargetExists:
        // A state file appeared meanwhile; it is kept.
        platform::deleteFileQuietly(temporary);
        return false;
    case platform::MoveResult::Failed:
        break;
    }
    platform::deleteFileQuietly(temporary);
    throw std::runtime_error("无法保存同目录配置，请检查文件夹写入权限；原配置已保留");
}

void migrateLegacyConfigAtStartup(const fs::path& dataDir, const fs::path& source, Log& log) {
    bool copied = false;
    try {
        copied = migrateLegacyConfig(dataDir, source);
    } catch (const std::exception& e) {
        log.write(LogLevel::Error, legacyRefusedPrefix + pathToUtf8(source) + "：" + e.what());
        return;
    }
    if (copied) {
        log.write(LogLevel::Info, legacyCopiedMessage);
    }
}

} // namespace kes
