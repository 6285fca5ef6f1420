#pragma once
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace kes {

// Largest JSON document read from disk or received from the page.
inline constexpr std::uintmax_t maxJsonDocumentSize = 1048576;
inline constexpr const char* documentTooLargeMessage = "配置文件过大";

// target + ".part-" + process id: the temporary file beside the target.
std::filesystem::path atomicTemporaryPath(const std::filesystem::path& target);

// Replaces `target` as a whole: a reader sees the old file or the new one, never a partial one. A successful
// write also removes the temporary files of this target that writers which died mid-write left behind.
// Throws a filesystem error "create_directories", "写入文件失败" (the target untouched, the temporary file
// may remain) or "替换文件失败，原文件已保留" (the target untouched, the temporary file deleted).
void writeFileAtomically(const std::filesystem::path& target, const std::string& content);

// The whole file; throws "无法读取文件".
std::string readFileBytes(const std::filesystem::path& path);

// The parsed document, or null when nothing exists at the path. Throws a filesystem error "exists" or
// "file_size", "配置文件过大" above 1 MiB, "无法读取文件", or the JSON library's parse error.
nlohmann::json readJsonFile(const std::filesystem::path& path);

} // namespace kes
