#include "shell/EarlyStartup.h"
#include "diagnostics/SelfCheck.h"
#include "shell/FatalReport.h"
#include "support/FileBytes.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using kes::test::fileBytes;

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no exception)";
}

std::string dataRootText(const kes::test::ScratchDirectory& scratch) {
    const std::u8string text = scratch.path().u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TEST(EarlyStartup, CheckModesRequireTheDataRootBeforeAnythingIsLogged) {
    kes::test::ScopedEnvironmentVariable unset("KESTRAVA_DATA_ROOT", std::nullopt);
    for (int mode = 0; mode < 2; ++mode) {
        kes::HostContext context;
        (mode == 0 ? context.options.selfCheck : context.options.startupCheck) = true;
        EXPECT_EQ(messageOf([&] { kes::runEarlyStartup(context); }), "验收必须指定隔离配置目录");
        EXPECT_TRUE(context.log.directory().empty());
    }
}

TEST(EarlyStartup, DataRootGivesDataAndLogDirectoriesAndTheStartupLine) {
    kes::test::ScratchDirectory scratch("early-interactive");
    kes::test::ScopedEnvironmentVariable root("KESTRAVA_DATA_ROOT", dataRootText(scratch));
    kes::HostContext context;
    EXPECT_EQ(kes::runEarlyStartup(context), std::nullopt);
    EXPECT_EQ(context.dataDir, scratch.path());
    EXPECT_EQ(context.log.directory(), scratch.path() / "logs");
    const std::string runLog = fileBytes(scratch / u8"logs/运行.log");
    EXPECT_NE(runLog.find(std::string("] ") + kes::startupLogLine + "\n"), std::string::npos) << runLog;
    EXPECT_NE(std::string(kes::startupLogLine).find("Vantix"), std::string::npos);
}

TEST(EarlyStartup, SimulatedFailureComesAfterTheStartupLineAndBeforeTheSelfCheck) {
    kes::test::ScratchDirectory scratch("early-failure");
    kes::test::ScopedEnvironmentVariable root("KESTRAVA_DATA_ROOT", dataRootText(scratch));
    kes::HostContext context;
    context.options.simulateFailure = true;
    context.options.selfCheck = true;
    EXPECT_EQ(messageOf([&] { kes::runEarlyStartup(context); }), "已触发 Vantix 可控失败测试");
    EXPECT_NE(fileBytes(scratch / u8"logs/运行.log").find(kes::startupLogLine), std::string::npos);
    EXPECT_FALSE(fs::exists(scratch / kes::selfCheckReportName));
}

TEST(EarlyStartup, SelfCheckModeRunsTheCheckAndEndsWithZero) {
    kes::test::ScratchDirectory scratch("early-check");
    kes::test::ScopedEnvironmentVariable root("KESTRAVA_DATA_ROOT", dataRootText(scratch));
    kes::HostContext context;
    context.options.selfCheck = true;
    EXPECT_EQ(kes::runEarlyStartup(context), std::optional<int>(0));
    EXPECT_TRUE(fs::exists(scratch / kes::selfCheckReportName));
}

TEST(FatalReport, LogsSetsTheExitCodeAndCallsThePresenter) {
    kes::test::ScratchDirectory scratch("fatal");
    kes::HostContext& context = kes::hostContext();
    const fs::path previousDirectory = context.log.directory();
    const int previousExitCode = context.exitCode;
    std::vector<std::string> presented;
    kes::setFatalPresenter([&](const std::string& message) { presented.push_back(message); });

    context.log.setDirectory(fs::path());
    context.exitCode = 0;
    kes::reportFatal("早期失败"); // no log directory yet: the report goes on without the line
    EXPECT_EQ(context.exitCode, 1);

    context.log.setDirectory(scratch / "logs");
    context.exitCode = 0;
    kes::reportFatal("创建窗口失败");
    EXPECT_EQ(context.exitCode, 1);
    EXPECT_NE(fileBytes(scratch / u8"logs/错误.log").find("] 创建窗口失败\n"), std::string::npos);
    EXPECT_EQ(fileBytes(scratch / u8"logs/错误.log").find("早期失败"), std::string::npos);
    EXPECT_EQ(presented, (std::vector<std::string>{"早期失败", "创建窗口失败"}));

    kes::setFatalPresenter(nullptr);
    kes::reportFatal("无人显示");
    EXPECT_EQ(presented.size(), 2u);

    context.log.setDirectory(previousDirectory);
    context.exitCode = previousExitCode;
}
