#include "storage/DataDirectories.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;
using kes::test::messageOf;

namespace {

const fs::path programDir = fs::path(u8"程序 目录");
const fs::path localData = fs::path(u8"本地 数据");

kes::SystemFolders scriptedFolders(int* localQueries = nullptr) {
    return {[] { return programDir; },
            [localQueries] {
                if (localQueries != nullptr) {
                    ++*localQueries;
                }
                return localData;
            }};
}

kes::SystemFolders unavailableFolders() {
    return {[]() -> fs::path { throw std::runtime_error("无法定位程序目录"); },
            []() -> fs::path {
                throw std::runtime_error("无法定位本地数据目录");
            }};
}

} // namespace

TEST(DataDirectories, DataRootHoldsEverythingAndTheLocalFolderIsNeverAsked) {
    const fs::path root = fs::path(u8"隔离 根/子目录");
    const kes::DataDirectories directories(root, unavailableFolders());
    EXPECT_TRUE(directories.dataRootGiven());
    EXPECT_EQ(directories.dataDirectory(), root);
    EXPECT_EQ(directories.logDirectory(), root / "logs");
    EXPECT_EQ(directories.webView2UserDataFolder(), root / "WebView2");
}

TEST(DataDirectories, WithoutDataRootDataIsBesideTheProgramAndTheRestIsPerUser) {
    int localQueries = 0;
    const kes::DataDirectories directories(fs::path(), scriptedFolders(&localQueries));
    EXPECT_FALSE(directories.dataRootGiven());
    EXPECT_EQ(directories.dataDirectory(), programDir);
    EXPECT_EQ(localQueries, 0);
    EXPECT_EQ(directories.logDirectory(), localData / "Kestrava" / "logs");
    EXPECT_EQ(directories.webView2UserDataFolder(), localData / "Velkamo" / "WebView2");
    EXPECT_EQ(directories.legacyConfigFile(), localData / "Velkamo" / fs::path(u8"配置.json"));
}

TEST(DataDirectories, RelativeRootIsTakenAsItStands) {
    const kes::DataDirectories directories(fs::path("relative"), unavailableFolders());
    EXPECT_EQ(directories.dataDirectory(), fs::path("relative"));
    EXPECT_EQ(directories.logDirectory(), fs::path("relative") / "logs");
}

TEST(DataDirectories, FailingSystemFoldersSurfaceTheirMessages) {
    const kes::DataDirectories directories(fs::path(), unavailableFolders());
    EXPECT_EQ(messageOf([&] { directories.dataDirectory(); }), "无法定位程序目录");
    EXPECT_EQ(messageOf([&] { directories.logDirectory(); }), "无法定位本地数据目录");
}

TEST(DataDirectories, StateFileIsTheProductNameAndConfigurationInTheDataDirectory) {
    EXPECT_EQ(kes::stateFilePath(fs::path(u8"数据")), fs::path(u8"数据") / fs::path(u8"Kestrava配置.json"));
}

TEST(DataDirectories, EnvironmentVariableEmptyMeansNotGiven) {
    {
        kes::test::ScopedEnvironmentVariable unset("KESTRAVA_DATA_ROOT", std::nullopt);
        EXPECT_FALSE(kes::DataDirectories::fromEnvironment(false, scriptedFolders()).dataRootGiven());
        EXPECT_EQ(messageOf([] { kes::DataDirectories::fromEnvironment(true, scriptedFolders()); }),
                  "验收必须指定隔离配置目录");
    }
    {
        kes::test::ScopedEnvironmentVariable empty("KESTRAVA_DATA_ROOT", "");
        const auto directories = kes::DataDirectories::fromEnvironment(false, scriptedFolders());
        EXPECT_FALSE(directories.dataRootGiven());
        EXPECT_EQ(directories.dataDirectory(), programDir);
        EXPECT_EQ(messageOf([] { kes::DataDirectories::fromEnvironment(true, scriptedFolders()); }),
                  "验收必须指定隔离配置目录");
    }
    {
        kes::test::ScopedEnvironmentVariable given("KESTRAVA_DATA_ROOT", "隔离 目录/数据");
        const auto directories = kes::DataDirectories::fromEnvironment(true, unavailableFolders());
        EXPECT_TRUE(directories.dataRootGiven());
        EXPECT_EQ(directories.dataDirectory(), fs::path(u8"隔离 目录/数据"));
    }
}
