#include "storage/Log.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace kes {
namespace {

namespace fs = std::filesystem;

fs::path logFileName(LogLevel level) {
    return fs::path(level == LogLevel::Info ? u8"运行.log" : u8"错误.log");
}

void rotateWhenFull(const fs::path& file) {
    std::error_code ec;
    const bool present = fs::exists(file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        throw fs::filesystem_error("exists", file, ec);
    }
    if (!present) {
        return;
    }
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) {
        throw fs::filesystem_error("file_size", file, ec);
    }
    if (size >= Log::rotationSize) {
        fs::path backup = file;
        backup += ".1";
        // A failed rotation is retried on the next entry; this one goes into the large file.
        platform::moveFileReplacing(file, backup);
    }
}

} // namespace

std::string localTimestamp() {
    const platform::LocalTime now = platform::localTime();
    char text[40] = {};
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", now.year, now.month, now.day,
                  now.hour, now.minute, now.second, now.milliseconds);
    return text;
}

Log::Log()
    : runTag_(std::to_string(platform::currentProcessId()) + "-" + std::to_string(platform::tickCount64())) {}

void Log::setDirectory(const std::filesystem::path& directory) {
    directory_ = directory;
}

void Log::write(LogLevel level, const std::string& message) {
    std::lock_guard lock(mutex_);
    std::error_code ec;
    if (directory_.empty()) {
        ec = std::make_error_code(std::errc::invalid_argument);
    } else {
        fs::create_directories(directory_, ec);
    }
    if (ec) {
        throw fs::filesystem_error("create_directories", directory_, ec);
    }
    const fs::path file = directory_ / logFileName(level);
    rotateWhenFull(file);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    const std::string entry = localTimestamp() + " [" + runTag_ + "] " + message + "\n";
    out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
}

} // namespace kes
