#include "storage/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

fs::path freshDirectory(const std::string& name) {
    fs::path dir =
        fs::temp_directory_path() /
        ("kes-log-" + name + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    return dir;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path runLog(const fs::path& dir) {
    return dir / fs::path(u8"运行.log");
}
fs::path errorLog(const fs::path& dir) {
    return dir / fs::path(u8"错误.log");
}

} // namespace

TEST(Log, EntryCarriesTimestampRunTagAndMessage) {
    kes::Log log;
    const fs::path dir = freshDirectory("entry") / "nested";
    log.setDirectory(dir);
    log.write(kes::LogLevel::Info, "启动");
    log.write(kes::LogLevel::Info, "");
    const std::string text = readAll(runLog(dir));
    const std::regex line(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} \[\d+-\d+\] 启动\n)"
                          R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} \[\d+-\d+\] \n)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
    EXPECT_NE(text.find("[" + log.runTag() + "] "), std::string::npos);
    EXPECT_FALSE(fs::exists(errorLog(dir)));
}

TEST(Log, ErrorsGoToTheErrorLogOnly) {
    kes::Log log;
    const fs::path dir = freshDirectory("levels");
    log.setDirectory(dir);
    log.write(kes::LogLevel::Error, "失败");
    EXPECT_NE(readAll(errorLog(dir)).find("失败\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(runLog(dir)));
}

TEST(Log, RotatesAtExactlyOneMebibyte) {
    kes::Log log;
    const fs::path dir = freshDirectory("rotate");
    fs::create_directories(dir);
    {
        std::ofstream(runLog(dir), std::ios::binary) << std::string(kes::Log::rotationSize - 1, 'x');
        std::ofstream(errorLog(dir), std::ios::binary) << std::string(kes::Log::rotationSize, 'e');
        fs::path oldBackup = runLog(dir);
        oldBackup += ".1";
        std::ofstream(oldBackup, std::ios::binary) << "old";
    }
    log.setDirectory(dir);
    log.write(kes::LogLevel::Info, "one");
    fs::path runBackup = runLog(dir);
    runBackup += ".1";
    EXPECT_EQ(readAll(runBackup), "old") << "a file one byte short of the limit is not rotated";
    EXPECT_GT(fs::file_size(runLog(dir)), kes::Log::rotationSize);

    log.write(kes::LogLevel::Info, "two");
    const std::string rotated = readAll(runBackup);
    EXPECT_EQ(rotated.substr(0, 3), "xxx") << "the full file replaced the earlier backup";
    EXPECT_NE(rotated.find("one\n"), std::string::npos);
    EXPECT_NE(readAll(runLog(dir)).find("two\n"), std::string::npos);
    EXPECT_EQ(readAll(runLog(dir)).find("one"), std::string::npos);

    fs::path errorBackup = errorLog(dir);
    errorBackup += ".1";
    EXPECT_FALSE(fs::exists(errorBackup)) << "an Info entry never rotates the error log";
    log.write(kes::LogLevel::Error, "e");
    EXPECT_EQ(fs::file_size(errorBackup), kes::Log::rotationSize);
}

TEST(Log, WithoutDirectoryThrowsCreateDirectories) {
    kes::Log log;
    try {
        log.write(kes::LogLevel::Info, "x");
        FAIL() << "expected a filesystem error";
    } catch (const fs::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("create_directories"), std::string::npos);
    }
}

TEST(Log, ConcurrentWritersNeverMixLines) {
    kes::Log log;
    const fs::path dir = freshDirectory("threads");
    log.setDirectory(dir);
    auto writer = [&log](char c) {
        for (int i = 0; i < 200; ++i) {
            log.write(kes::LogLevel::Info, std::string(300, c));
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    std::istringstream lines(readAll(runLog(dir)));
    std::string line;
    int count = 0;
    const std::regex whole(R"(.{23} \[\d+-\d+\] (a{300}|b{300}))");
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_TRUE(std::regex_match(line, whole)) << line.substr(0, 80);
    }
    EXPECT_EQ(count, 400);
}
