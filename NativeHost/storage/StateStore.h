#pragma once
#include "storage/Log.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace kes {

// The state document "Kestrava配置.json" on disk: read for the page, and replaced only by a posted
// document whose every profile the engine accepts.
class StateStore {
public:
    StateStore(std::filesystem::path file, Log& log);

    // The stored document as it is, or null when there is no file; throws the errors of readJsonFile.
    nlohmann::json load() const;

    // Validates the posted text and replaces the file with its stored form (keys sorted, indented by 2).
    // Throws on the first problem and leaves the file as it was: "配置大小无效" (also when the stored form
    // would exceed 1 MiB, so that what is on disk always loads), the JSON library's parse error,
    // "配置格式无效", a profile's own error, or the atomic store's errors. A stored file that cannot be
    // loaded, or that this check would refuse as a posted document, is first moved aside as
    // "Kestrava配置.json.damaged-<local time>" and logged with both names.
    void save(const std::string& body);

    const std::filesystem::path& path() const { return file_; }
    Log& log() const { return log_; }

private:
    void keepUnusableFile();

    std::filesystem::path file_;
    Log& log_;
};

} // namespace kes
