#include "shell/EarlyStartup.h"
#include "diagnostics/DialogCheck.h"
#include "diagnostics/SelfCheck.h"
#include "diagnostics/StartupCheck.h"
#include "diagnostics/WebView2DetectionTest.h"
#include "shell/FatalReport.h"
#include "support/FileBytes.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/ScratchDirectory.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using kes::test::fileBytes;
using kes::test::messageOf;

namespace {

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
    const kes::EarlyStartupOutcome outcome = kes::runEarlyStartup(context);
    EXPECT_EQ(outcome.exitCode, std::nullopt);
    ASSERT_TRUE(outcome.directories.has_value());
    EXPECT_EQ(outcome.directories->dataDirectory(), scratch.path());
    EXPECT_EQ(outcome.directories->webView2UserDataFolder(), scratch.path() / "WebView2");
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
    EXPECT_EQ(kes::runEarlyStartup(context).exitCode, std::optional<int>(0));
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

// Each check mode removes its own old reports as it starts, so that a failing re-run (here the controlled
// failure) leaves no report of an earlier, passing run behind; the other modes' reports stay.
TEST(EarlyStartup, EachCheckModeRemovesItsOwnOldReports) {
    const std::vector<const char8_t*> reports{kes::selfCheckReportName, kes::webView2DetectionReportName,
                                              kes::startupCheckReportName, kes::dialogCheckReportName};
    struct Case {
        bool selfCheck;
        bool startupCheck;
        bool dialogCheck;
        std::vector<bool> kept; // in the order of `reports`
    };
    for (const Case& c : {Case{true, false, false, {false, false, true, true}},
                          Case{false, true, false, {true, true, false, true}},
                          Case{false, true, true, {true, true, true, false}},
                          Case{false, false, false, {true, true, true, true}}}) {
        kes::test::ScratchDirectory scratch("early-old-reports");
        kes::test::ScopedEnvironmentVariable root("KESTRAVA_DATA_ROOT", dataRootText(scratch));
        for (const char8_t* report : reports) {
            std::ofstream(scratch.path() / fs::path(report)) << R"({"passed":true})";
        }
        kes::HostContext context;
        context.options.selfCheck = c.selfCheck;
        context.options.startupCheck = c.startupCheck;
        context.options.webviewDialogCheck = c.dialogCheck;
        context.options.simulateFailure = true;
        EXPECT_EQ(messageOf([&] { kes::runEarlyStartup(context); }), "已触发 Vantix 可控失败测试");
        for (std::size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(fs::exists(scratch.path() / fs::path(reports[i])), c.kept[i])
                << reinterpret_cast<const char*>(reports[i]) << " self " << c.selfCheck << " startup "
                << c.startupCheck << " dialog " << c.dialogCheck;
        }
    }
}

TEST(EarlyStartup, AnOldReportThatCannotBeRemovedEndsTheCheck) {
    kes::test::ScratchDirectory scratch("early-stuck-report");
    kes::test::ScopedEnvironmentVariable root("KESTRAVA_DATA_ROOT", dataRootText(scratch));
    fs::create_directories(scratch.path() / fs::path(kes::startupCheckReportName) / "inside");
    kes::HostContext context;
    context.options.startupCheck = true;
    EXPECT_NE(messageOf([&] { kes::runEarlyStartup(context); }).find("remove"), std::string::npos);
}
