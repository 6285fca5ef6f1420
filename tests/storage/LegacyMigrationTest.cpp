#include "storage/LegacyMigration.h"
#include "platform/Process.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using kes::test::entryNames;
using kes::test::fileBytes;
using kes::test::messageOf;
using kes::test::putFileBytes;

namespace {

// The source keeps a layout of its own: the copy must be byte for byte, never re-serialised.
const std::string legacyText = "{ \"profiles\" : [ { \"id\": 1, \"name\": \"旧配置\", \"macros\": [] } ],\r\n"
                               "  \"macroEnabled\": true }\r\n";

class LegacyMigrationTest : public ::testing::Test {
protected:
    LegacyMigrationTest()
        : scratch("migration"), source(scratch / u8"Velkamo/配置.json"),
          dataDir(scratch / u8"便携目录 中文 空格"), target(dataDir / fs::path(u8"Kestrava配置.json")) {}

    // Runs the migration expecting a refusal with `message`; the source must be unchanged and no target made.
    void expectRefused(const std::string& message) {
        const std::string before = fs::exists(source) && fs::is_regular_file(source) ? fileBytes(source) : "";
        const std::string actual = messageOf([&] { kes::migrateLegacyConfig(dataDir, source); });
        EXPECT_EQ(actual.substr(0, message.size()), message) << actual;
        EXPECT_FALSE(fs::exists(target));
        if (fs::is_regular_file(source)) {
            EXPECT_EQ(fileBytes(source), before);
        }
        if (fs::exists(dataDir)) {
            EXPECT_EQ(entryNames(dataDir), std::vector<std::string>{}) << "temporary left behind";
        }
    }

    kes::test::ScratchDirectory scratch;
    fs::path source;
    fs::path dataDir;
    fs::path target;
};

} // namespace

TEST_F(LegacyMigrationTest, CopiesTheSourceByteForByteAndKeepsIt) {
    putFileBytes(source, legacyText);
    EXPECT_TRUE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_EQ(fileBytes(target), legacyText);
    EXPECT_EQ(fileBytes(source), legacyText);
    EXPECT_EQ(entryNames(dataDir), std::vector<std::string>{"Kestrava配置.json"});
    // A second start finds the state file and does nothing.
    EXPECT_FALSE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_EQ(fileBytes(target), legacyText);
}

TEST_F(LegacyMigrationTest, NeverOverwritesAnExistingTarget) {
    putFileBytes(source, "{bad");
    putFileBytes(target, "mine");
    EXPECT_FALSE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_EQ(fileBytes(target), "mine");
    EXPECT_EQ(fileBytes(source), "{bad");

    putFileBytes(source, legacyText);
    EXPECT_FALSE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_EQ(fileBytes(target), "mine");
}

TEST_F(LegacyMigrationTest, AFolderNamedLikeTheStateFileCountsAsATarget) {
    putFileBytes(source, legacyText);
    fs::create_directories(target);
    EXPECT_FALSE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(entryNames(dataDir), std::vector<std::string>{"Kestrava配置.json"});
}

TEST_F(LegacyMigrationTest, WithoutSourceNothingIsCreated) {
    EXPECT_FALSE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_FALSE(fs::exists(dataDir));
}

TEST_F(LegacyMigrationTest, RefusesAnUnusableSourceAndKeepsIt) {
    struct Case {
        std::string content;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"{bad", "[json.exception.parse_error"},
        {"", "[json.exception.parse_error"},
        {R"({"profiles":[]})", "旧配置格式无效，原文件已保留"},
        {R"({"profiles":{}})", "旧配置格式无效，原文件已保留"},
        {R"({"selectedProfile":1})", "旧配置格式无效，原文件已保留"},
        {R"([{"profiles":[1]}])", "旧配置格式无效，原文件已保留"},
        {"\"" + std::string(1048576, 'x'), "旧配置文件过大，原文件已保留"},
    };
    for (const Case& c : cases) {
        putFileBytes(source, c.content);
        expectRefused(c.message);
    }
}

TEST_F(LegacyMigrationTest, SizeLimitIsOneMebibyteInclusive) {
    std::string exact = R"({"profiles":[{}],"pad":")";
    exact += std::string(1048576 - exact.size() - 2, 'p') + "\"}";
    ASSERT_EQ(exact.size(), 1048576u);
    putFileBytes(source, exact);
    EXPECT_TRUE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_EQ(fileBytes(target), exact);
}

TEST_F(LegacyMigrationTest, ProfilesAreNotValidatedHere) {
    const std::string text = R"({"profiles":[{"macros":[{"id":1},{"id":1}]}]})";
    putFileBytes(source, text);
    EXPECT_TRUE(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_EQ(fileBytes(target), text);
}

TEST_F(LegacyMigrationTest, UncreatableDataDirectoryIsAFilesystemError) {
    putFileBytes(source, legacyText);
    putFileBytes(scratch / "file", "x");
    dataDir = scratch / "file" / "below";
    target = dataDir / fs::path(u8"Kestrava配置.json");
    expectRefused("filesystem error");
    EXPECT_NE(messageOf([&] { kes::migrateLegacyConfig(dataDir, source); }).find("create_directories"),
              std::string::npos);
}

TEST_F(LegacyMigrationTest, FailedCopyKeepsTheSource) {
    putFileBytes(source, legacyText);
    fs::path temporary = target;
    temporary += ".migration-" + std::to_string(kes::platform::currentProcessId());
    putFileBytes(temporary / "inside", "x"); // the temporary name is taken by a folder
    const std::string message = messageOf([&] { kes::migrateLegacyConfig(dataDir, source); });
    EXPECT_EQ(message, "无法复制旧配置，请将程序放在允许写入的文件夹；原配置已保留");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(fileBytes(source), legacyText);
}

TEST_F(LegacyMigrationTest, SourceThatIsAFolderIsRefused) {
    fs::create_directories(source);
    EXPECT_ANY_THROW(kes::migrateLegacyConfig(dataDir, source));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::is_directory(source));
}

// At start-up an old file that cannot be migrated is logged, naming the file and that it was kept, and the
// program starts without it; once the file is usable the next start migrates it.
TEST_F(LegacyMigrationTest, AtStartupARefusalIsLoggedAndTheNextStartTriesAgain) {
    kes::Log log;
    log.setDirectory(scratch / "logs");
    const fs::path errorLog = scratch / u8"logs/错误.log";
    const fs::path runLog = scratch / u8"logs/运行.log";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"{bad", "[json.exception.parse_error"},
        {R"({"profiles":[]})", "旧配置格式无效，原文件已保留"},
        {"\"" + std::string(1048576, 'x'), "旧配置文件过大，原文件已保留"},
    };
    for (const auto& [content, reason] : cases) {
        putFileBytes(source, content);
        const std::size_t before = fs::exists(errorLog) ? fileBytes(errorLog).size() : 0;
        EXPECT_NO_THROW(kes::migrateLegacyConfigAtStartup(dataDir, source, log));
        const std::string logged = fileBytes(errorLog).substr(before);
        const std::u8string sourceText = source.u8string();
        const std::string expected = std::string("] ") + kes::legacyRefusedPrefix +
                                     std::string(sourceText.begin(), sourceText.end()) + "：" + reason;
        EXPECT_EQ(logged.find(expected), logged.find("] ")) << logged;
        EXPECT_NE(logged.find("原文件已保留"), std::string::npos);
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(fileBytes(source), content);
    }
    EXPECT_FALSE(fs::exists(runLog));

    putFileBytes(source, legacyText);
    kes::migrateLegacyConfigAtStartup(dataDir, source, log);
    EXPECT_EQ(fileBytes(target), legacyText);
    EXPECT_NE(fileBytes(runLog).find(std::string("] ") + kes::legacyCopiedMessage + "\n"), std::string::npos);
    // With the state file in place a later start has nothing to do and logs nothing.
    const std::string runBefore = fileBytes(runLog);
    kes::migrateLegacyConfigAtStartup(dataDir, source, log);
    EXPECT_EQ(fileBytes(runLog), runBefore);
}
