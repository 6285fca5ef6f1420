#include "storage/AtomicFileStore.h"
#include "storage/LegacyMigration.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace fs = std::filesystem;
using kes::test::fileBytes;
using kes::test::putFileBytes;

namespace {

bool readOnly(const fs::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

} // namespace

// An old file marked read-only gives a writable state file: every later save replaces it.
TEST(LegacyMigrationOnWindows, TheCopyOfAReadOnlySourceIsWritable) {
    kes::test::ScratchDirectory scratch("migration-read-only");
    const fs::path source = scratch / u8"Velkamo/配置.json";
    const fs::path dataDir = scratch / u8"便携 目录";
    const std::string text = R"({"profiles":[{"id":1,"macros":[]}]})";
    putFileBytes(source, text);
    ASSERT_NE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY), 0);
    ASSERT_TRUE(readOnly(source));

    EXPECT_TRUE(kes::migrateLegacyConfig(dataDir, source));
    const fs::path target = dataDir / fs::path(u8"Kestrava配置.json");
    EXPECT_EQ(fileBytes(target), text);
    EXPECT_FALSE(readOnly(target));
    EXPECT_TRUE(readOnly(source)) << "the old file is never changed";
    EXPECT_NO_THROW(kes::writeFileAtomically(target, "saved"));
    EXPECT_EQ(fileBytes(target), "saved");

    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL); // so that the scratch folder can go
}
