#include "storage/StateStore.h"

#include "engine/Profile.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "storage/AtomicFileStore.h"
#include "storage/PathText.h"

#include <cstdio>
#include <stdexcept>

namespace kes {
namespace {

namespace fs = std::filesystem;

// A name for a set-aside file that sorts by time and is valid on every file system.
std::string fileTimeSuffix() {
    const platform::LocalTime now = platform::localTime();
    char text[40] = {};
    std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u-%03u", now.year, now.month, now.day, now.hour,
                  now.minute, now.second, now.milliseconds);
    return text;
}

// Moves `file` beside itself as file + ".damaged-" + time (a number appended when that name is taken);
// the path it now has, or nothing when it could not be moved.
std::optional<fs::path> moveAside(const fs::path& file) {
    fs::path base = file;
    base += ".damaged-" + fileTimeSuffix();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        fs::path aside = base;
        if (attempt > 1) {
            aside += "-" + std::to_string(attempt);
        }
        switch (platform::moveFileWithoutReplacing(file, aside)) {
        case platform::MoveResult::Moved:
            return aside;
        case platform::MoveResult::TargetExists:
            continue;
        case platform::MoveResult::Failed:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Throws what a save of `document` would be refused with; returns when it is a state document.
void checkStateDocument(const nlohmann::json& document) {
    const auto profiles = document.is_object() ? document.find("profiles") : document.end();
    if (!document.is_object() || profiles == document.end() || !profiles->is_array() || profiles->empty()) {
        throw std::runtime_error("配置格式无效");
    }
    for (const nlohmann::json& profile : *profiles) {
        parseProfile(profile);
    }
}

} // namespace

StateStore::StateStore(std::filesystem::path file, Log& log) : file_(std::move(file)), log_(log) {}

nlohmann::json StateStore::load() const {
    return readJsonFile(file_);
}

void StateStore::save(const std::string& body) {
    if (body.empty() || body.size() > maxJsonDocumentSize) {
        throw std::runtime_error("配置大小无效");
    }
    const nlohmann::json document = nlohmann::json::parse(body);
    checkStateDocument(document);
    const std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::strict);
    // The indented form is larger than the posted text; a file that load would refuse is never written.
    if (text.size() > maxJsonDocumentSize) {
        throw std::runtime_error("配置大小无效");
    }
    keepUnusableFile();
    writeFileAtomically(file_, text);
}

// A stored file that cannot be loaded, or that holds something other than a state document (a value of
// another shape, a profile the engine refuses), would be lost to the next save: it is moved aside first.
void StateStore::keepUnusableFile() {
    std::string reason;
    try {
        const nlohmann::json stored = readJsonFile(file_);
        std::error_code ec;
        if (stored.is_null() && !fs::exists(file_, ec) && !ec) {
            return; // no file yet; a stored "null" is moved aside like any other wrong shape
        }
        checkStateDocument(stored);
        return;
    } catch (const std::exception& e) {
        reason = e.what();
    }
    const std::optional<fs::path> aside = moveAside(file_);
    if (!aside) {
        throw std::runtime_error("无法使用的原配置文件不能移到一旁，原配置已保留");
    }
    try {
        log_.write(LogLevel::Error, "无法使用的配置文件 " + pathToUtf8(file_) + " 已移到 " +
                                        pathToUtf8(*aside) + "：" + reason);
    } catch (const std::exception&) {
        // The file is safe under its new name; a log that cannot be written does not stop the save.
    }
}

} // namespace kes
