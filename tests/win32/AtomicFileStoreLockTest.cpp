#include "storage/AtomicFileStore.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <windows.h>

using kes::test::entryNames;
using kes::test::fileBytes;
using kes::test::putFileBytes;

// Another program holding the target open without delete sharing makes the replacing move fail.
TEST(AtomicFileStoreOnWindows, LockedTargetKeepsItsBytesAndNoTemporaryRemains) {
    kes::test::ScratchDirectory scratch("atomic-locked");
    const std::filesystem::path target = scratch / u8"宏快捷键.json";
    putFileBytes(target, "old");
    HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::string message;
    try {
        kes::writeFileAtomically(target, "new");
    } catch (const std::exception& e) {
        message = e.what();
    }
    CloseHandle(holder);
    EXPECT_EQ(message, "替换文件失败，原文件已保留");
    EXPECT_EQ(fileBytes(target), "old");
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"宏快捷键.json"});
}

// The reader opens with full sharing: a file another program writes to can still be read.
TEST(AtomicFileStoreOnWindows, ReadsAFileThatIsOpenForWritingElsewhere) {
    kes::test::ScratchDirectory scratch("atomic-shared-read");
    const std::filesystem::path file = scratch / u8"运行.log";
    putFileBytes(file, "shared");
    HANDLE writer =
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(kes::readFileBytes(file), "shared");
    CloseHandle(writer);
}
