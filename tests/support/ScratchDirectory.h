#pragma once
#include "platform/Process.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace kes::test {

// A fresh directory for one test, unique to this process, removed with everything in it at the end. Its
// name holds spaces and Chinese characters, as users' folders do.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& name) {
        static std::atomic<int> counter{0};
        const std::string leaf = "kes " + name + " " + std::to_string(platform::currentProcessId()) + "-" +
                                 std::to_string(counter++);
        path_ =
            std::filesystem::temp_directory_path() /
            std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(leaf.data()), leaf.size())) /
            std::filesystem::path(u8"数据 目录");
        std::filesystem::remove_all(path_.parent_path());
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_.parent_path(), ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const char8_t* name) const { return path_ / std::filesystem::path(name); }
    std::filesystem::path operator/(const char* name) const { return path_ / std::filesystem::path(name); }

private:
    std::filesystem::path path_;
};

} // namespace kes::test
