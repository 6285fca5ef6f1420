#include "storage/AtomicFileStore.h"
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

// A valid JSON text of exactly `size` bytes: a string padded to length.
std::string jsonOfSize(std::size_t size) {
    return "\"" + std::string(size - 2, 'x') + "\"";
}

} // namespace

TEST(AtomicFileStore, WritesExactBytesIntoANewDirectoryChainAndLeavesNoTemporary) {
    kes::test::ScratchDirectory scratch("atomic-new");
    const fs::path target = scratch / u8"甲 乙/丙/宏快捷键.json";
    constexpr char bytes[] = "line\r\nzero\0byte\xef\xbb\xbf end";
    const std::string content(bytes, sizeof bytes - 1);
    kes::writeFileAtomically(target, content);
    EXPECT_EQ(fileBytes(target), content);
    EXPECT_EQ(entryNames(target.parent_path()), std::vector<std::string>{"宏快捷键.json"});
}

TEST(AtomicFileStore, ReplacesAnExistingTargetWhole) {
    kes::test::ScratchDirectory scratch("atomic-replace");
    const fs::path target = scratch / u8"关闭方式.json";
    putFileBytes(target, std::string(5000, 'o'));
    kes::writeFileAtomically(target, "new");
    EXPECT_EQ(fileBytes(target), "new");
    kes::writeFileAtomically(target, "");
    EXPECT_EQ(fileBytes(target), "");
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"关闭方式.json"});
}

TEST(AtomicFileStore, TemporaryNameIsTargetPlusPartAndProcessId) {
    const fs::path target = fs::path(u8"目录") / fs::path(u8"宏快捷键.json");
    fs::path expected = fs::path(u8"目录") / fs::path(u8"宏快捷键.json");
    expected += ".part-" + std::to_string(kes::platform::currentProcessId());
    EXPECT_EQ(kes::atomicTemporaryPath(target), expected);
}

TEST(AtomicFileStore, ASuccessfulWriteRemovesTemporaryFilesThatKilledWritersLeft) {
    kes::test::ScratchDirectory scratch("atomic-leftovers");
    const fs::path target = scratch / u8"Kestrava配置.json";
    putFileBytes(target, "old");
    // Left by writers killed between writing and moving, under their own process ids.
    putFileBytes(scratch / u8"Kestrava配置.json.part-4242", "partial");
    putFileBytes(scratch / u8"Kestrava配置.json.part-17", "");
    // Not leftovers of this target: other files, other targets, names that are no process id.
    putFileBytes(scratch / u8"关闭方式.json.part-4242", "other target");
    putFileBytes(scratch / u8"Kestrava配置.json.part-", "no id");
    putFileBytes(scratch / u8"Kestrava配置.json.part-12x", "no id");
    putFileBytes(scratch / u8"Kestrava配置.json.migration-17", "migration");

    kes::writeFileAtomically(target, "new");
    EXPECT_EQ(fileBytes(target), "new");
    EXPECT_EQ(entryNames(scratch.path()),
              (std::vector<std::string>{"Kestrava配置.json", "Kestrava配置.json.migration-17",
                                        "Kestrava配置.json.part-", "Kestrava配置.json.part-12x",
                                        "关闭方式.json.part-4242"}));
}

TEST(AtomicFileStore, AFailedWriteLeavesTheOtherLeftoversAlone) {
    kes::test::ScratchDirectory scratch("atomic-leftovers-failed");
    const fs::path target = scratch / u8"配置.json";
    putFileBytes(target / "inside.txt", "old");
    putFileBytes(scratch / u8"配置.json.part-4242", "partial");
    EXPECT_EQ(messageOf([&] { kes::writeFileAtomically(target, "new"); }), "替换文件失败，原文件已保留");
    EXPECT_EQ(entryNames(scratch.path()), (std::vector<std::string>{"配置.json", "配置.json.part-4242"}));
}

// A temporary file left by a run that was killed mid-write, longer than the new text: none of its tail may
// end up in the target.
TEST(AtomicFileStore, ALongerLeftoverTemporaryIsTruncated) {
    kes::test::ScratchDirectory scratch("atomic-leftover");
    const fs::path target = scratch / u8"宏快捷键.json";
    putFileBytes(kes::atomicTemporaryPath(target),
                 R"({"key":12}    trailing bytes of an older, longer write)");
    kes::writeFileAtomically(target, R"({"key":5})");
    EXPECT_EQ(fileBytes(target), R"({"key":5})");
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"宏快捷键.json"});
}

TEST(AtomicFileStore, FailedReplaceKeepsTheTargetAndRemovesTheTemporary) {
    kes::test::ScratchDirectory scratch("atomic-failed-move");
    // A directory that holds a file cannot be replaced by a file on any system.
    const fs::path target = scratch / u8"配置.json";
    putFileBytes(target / "inside.txt", "old");
    EXPECT_EQ(messageOf([&] { kes::writeFileAtomically(target, "new"); }), "替换文件失败，原文件已保留");
    EXPECT_EQ(fileBytes(target / "inside.txt"), "old");
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"配置.json"});
}

TEST(AtomicFileStore, UnwritableTemporaryLeavesTheTargetUntouched) {
    kes::test::ScratchDirectory scratch("atomic-failed-write");
    const fs::path target = scratch / u8"配置.json";
    putFileBytes(target, "old");
    fs::create_directory(kes::atomicTemporaryPath(target)); // the temporary name is taken by a folder
    EXPECT_EQ(messageOf([&] { kes::writeFileAtomically(target, "new"); }), "写入文件失败");
    EXPECT_EQ(fileBytes(target), "old");
}

TEST(AtomicFileStore, UncreatableDirectoryIsAFilesystemErrorNamingTheOperation) {
    kes::test::ScratchDirectory scratch("atomic-no-dir");
    putFileBytes(scratch / "file", "x");
    const fs::path target = scratch / "file" / "below" / "target.json";
    try {
        kes::writeFileAtomically(target, "new");
        FAIL() << "no exception";
    } catch (const fs::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("create_directories"), std::string::npos) << e.what();
    }
    EXPECT_EQ(fileBytes(scratch / "file"), "x");
}

TEST(AtomicFileStore, ReadFileBytesReturnsEverythingOrRefuses) {
    kes::test::ScratchDirectory scratch("read-bytes");
    const std::string content(3 * 65536 + 7, '\0');
    putFileBytes(scratch / "big.bin", content);
    EXPECT_EQ(kes::readFileBytes(scratch / "big.bin"), content);
    EXPECT_EQ(messageOf([&] { kes::readFileBytes(scratch / "missing.json"); }), "无法读取文件");
    EXPECT_EQ(messageOf([&] { kes::readFileBytes(scratch.path()); }), "无法读取文件");
}

TEST(AtomicFileStore, MissingJsonFileReadsAsNull) {
    kes::test::ScratchDirectory scratch("read-json-missing");
    EXPECT_TRUE(kes::readJsonFile(scratch / u8"无.json").is_null());
    EXPECT_TRUE(kes::readJsonFile(scratch / u8"无目录/无.json").is_null());
}

TEST(AtomicFileStore, JsonSizeLimitIsOneMebibyteInclusive) {
    kes::test::ScratchDirectory scratch("read-json-limit");
    putFileBytes(scratch / "exact.json", jsonOfSize(1048576));
    EXPECT_EQ(kes::readJsonFile(scratch / "exact.json").get<std::string>().size(), 1048574u);
    putFileBytes(scratch / "over.json", jsonOfSize(1048577));
    EXPECT_EQ(messageOf([&] { kes::readJsonFile(scratch / "over.json"); }), "配置文件过大");
}

TEST(AtomicFileStore, JsonParsingIsStrict) {
    kes::test::ScratchDirectory scratch("read-json-strict");
    struct Case {
        const char* text;
        bool parses;
    };
    const Case cases[] = {
        {"", false},
        {"{bad", false},
        {"{\"a\":1} // note", false},
        {"/* note */ {\"a\":1}", false},
        {"{\"a\":1} x", false},
        {"\xef\xbb\xbf{\"a\":1}", true},
        {" 42 \n", true},
    };
    for (const Case& c : cases) {
        putFileBytes(scratch / "doc.json", c.text);
        if (c.parses) {
            EXPECT_NO_THROW(kes::readJsonFile(scratch / "doc.json")) << c.text;
        } else {
            EXPECT_NE(messageOf([&] {
                          kes::readJsonFile(scratch / "doc.json");
                      }).find("[json.exception.parse_error"),
                      std::string::npos)
                << c.text;
        }
    }
    putFileBytes(scratch / "number.json", "42");
    EXPECT_EQ(kes::readJsonFile(scratch / "number.json"), 42);
}
