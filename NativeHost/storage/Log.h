#pragma once
#include <filesystem>
#include <mutex>
#include <string>

namespace kes {

enum class LogLevel { Info = 0, Error = 1 };

// "%04u-%02u-%02uT%02u:%02u:%02u.%03u" of the current local time.
std::string localTimestamp();

// The run log "运行.log" and the error log "错误.log" in one directory, each rotated to ".1" at 1 MiB.
// Shared by every thread of the process; each entry is written whole under one mutex.
class Log {
public:
    static constexpr std::uintmax_t rotationSize = 1048576;

    Log();

    // Assigned once at start-up, before the first write.
    void setDirectory(const std::filesystem::path& directory);
    const std::filesystem::path& directory() const { return directory_; }
    const std::string& runTag() const { return runTag_; }

    // Appends one entry. Throws a filesystem error when the directory cannot be created or the file
    // cannot be examined; an entry that cannot be opened or written is lost without a report.
    void write(LogLevel level, const std::string& message);

private:
    std::filesystem::path directory_;
    std::string runTag_;
    std::mutex mutex_;
};

} // namespace kes
