#pragma once
#include "shell/HostContext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kes::test {

// A fresh, empty directory for one test.
inline std::filesystem::path freshDirectory(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("kes-shell-" + name + "-" + info->name() + "-" +
                                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeAll(const std::filesystem::path& file, const std::string& content) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
}

// A host context whose data directory and logs live in a fresh directory.
struct ContextFixture {
    explicit ContextFixture(const std::string& name) : root(freshDirectory(name)) {
        context.dataDir = root / "data";
        std::filesystem::create_directories(context.dataDir);
        context.log.setDirectory(root / "logs");
    }
    std::string runLog() const { return readAll(root / "logs" / std::filesystem::path(u8"运行.log")); }
    std::string errorLog() const { return readAll(root / "logs" / std::filesystem::path(u8"错误.log")); }

    std::filesystem::path root;
    HostContext context;
};

} // namespace kes::test
