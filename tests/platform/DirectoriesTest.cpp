#include "platform/Directories.h"
#include "support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(PlatformDirectories, ProgramDirectoryHoldsTheRunningTestProgram) {
    const fs::path directory = kes::platform::programDirectory();
    EXPECT_TRUE(directory.is_absolute()) << directory;
    EXPECT_TRUE(fs::exists(directory / "kes_tests") || fs::exists(directory / "kes_tests.exe")) << directory;
}

TEST(PlatformDirectories, LocalAppDataDirectoryIsAbsolute) {
    EXPECT_TRUE(kes::platform::localAppDataDirectory().is_absolute());
}

TEST(PlatformDirectories, EnvironmentPathReadsUnicodeAndTreatsEmptyAsUnset) {
    const char* name = "KES_DIRECTORIES_TEST_VARIABLE";
    {
        kes::test::ScopedEnvironmentVariable variable(name, "路径 与 空格");
        EXPECT_EQ(kes::platform::environmentPath(name), fs::path(u8"路径 与 空格"));
    }
    {
        kes::test::ScopedEnvironmentVariable variable(name, "");
        EXPECT_TRUE(kes::platform::environmentPath(name).empty());
    }
    {
        kes::test::ScopedEnvironmentVariable variable(name, std::nullopt);
        EXPECT_TRUE(kes::platform::environmentPath(name).empty());
    }
}

#ifndef _WIN32
// Without the known-folder service the XDG rule stands in: an absolute $XDG_DATA_HOME, else ~/.local/share.
TEST(PlatformDirectories, LocalDataFollowsTheXdgRule) {
    {
        kes::test::ScopedEnvironmentVariable xdg("XDG_DATA_HOME", "/srv/数据");
        EXPECT_EQ(kes::platform::localAppDataDirectory(), fs::path("/srv/数据"));
    }
    kes::test::ScopedEnvironmentVariable home("HOME", "/home/用户");
    for (const char* ignored : {"", "relative/path"}) {
        kes::test::ScopedEnvironmentVariable xdg("XDG_DATA_HOME", ignored);
        EXPECT_EQ(kes::platform::localAppDataDirectory(), fs::path("/home/用户/.local/share"));
    }
}
#endif
