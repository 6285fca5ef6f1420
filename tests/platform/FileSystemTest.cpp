#include "platform/FileSystem.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using kes::platform::MoveResult;
using kes::test::entryNames;
using kes::test::fileBytes;
using kes::test::putFileBytes;

// The move that never replaces: the migration's guard against a state file that appeared meanwhile, and
// the set-aside of a damaged file, whose next free name is found through the "target exists" answer.
TEST(MoveWithoutReplacing, AnythingAtTheTargetIsAnsweredAsTargetExistsAndBothStay) {
    kes::test::ScratchDirectory scratch("move-no-replace");
    const fs::path from = scratch / u8"迁移.tmp";
    const fs::path file = scratch / u8"已有 配置.json";
    const fs::path emptyFolder = scratch / u8"空目录";
    const fs::path fullFolder = scratch / u8"目录";
    putFileBytes(file, "newer");
    fs::create_directory(emptyFolder);
    putFileBytes(fullFolder / "inside", "x");
    putFileBytes(from, "copy");
    for (const fs::path& target : {file, emptyFolder, fullFolder}) {
        EXPECT_EQ(kes::platform::moveFileWithoutReplacing(from, target), MoveResult::TargetExists)
            << target.u8string().size();
        EXPECT_EQ(fileBytes(from), "copy");
    }
    EXPECT_EQ(fileBytes(file), "newer");
    EXPECT_TRUE(fs::is_directory(emptyFolder));
    EXPECT_EQ(fileBytes(fullFolder / "inside"), "x");
}

TEST(MoveWithoutReplacing, AFreeNameIsMovedToAndAMissingSourceFails) {
    kes::test::ScratchDirectory scratch("move-free");
    const fs::path from = scratch / "from";
    const fs::path to = scratch / u8"新 名字";
    putFileBytes(from, "bytes");
    EXPECT_EQ(kes::platform::moveFileWithoutReplacing(from, to), MoveResult::Moved);
    EXPECT_EQ(fileBytes(to), "bytes");
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"新 名字"});
    EXPECT_EQ(kes::platform::moveFileWithoutReplacing(from, scratch / "other"), MoveResult::Failed);
    EXPECT_EQ(kes::platform::moveFileWithoutReplacing(to, scratch / "missing" / "below"), MoveResult::Failed);
    EXPECT_EQ(fileBytes(to), "bytes");
}
