#include "diagnostics/WebView2DetectionTest.h"

#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

TEST(WebView2DetectionTest, FourScenariosPassAndAreReported) {
    kes::test::ContextFixture fixture("detection");
    int realOpenings = 0;
    kes::runWebView2DetectionTest(fixture.context.dataDir, fixture.context.log, [&realOpenings] {
        ++realOpenings;
        return true;
    });
    EXPECT_EQ(realOpenings, 0);
    EXPECT_EQ(
        kes::test::readAll(fixture.context.dataDir / std::filesystem::path(kes::webView2DetectionReportName)),
        "{\n  \"browser_failure_can_retry\": true,\n  \"cancel_exits\": true,\n"
        "  \"installed_skips_guide\": true,\n  \"missing_open_retry_installed\": true\n}");
    const std::string info = fixture.runLog();
    EXPECT_NE(info.find("WebView2 检测通过，版本 测试版本"), std::string::npos);
    EXPECT_NE(info.find("检测结果 2147500037"), std::string::npos);
    EXPECT_NE(info.find("已打开微软 WebView2 官方下载页"), std::string::npos);
    EXPECT_NE(info.find("用户退出 WebView2 安装引导"), std::string::npos);
    EXPECT_NE(fixture.errorLog().find("无法打开 WebView2 官方下载页，已提供手动网址"), std::string::npos);
}

TEST(WebView2DetectionTest, UnwritableReportFails) {
    kes::test::ContextFixture fixture("detection-unwritable");
    std::filesystem::create_directories(fixture.context.dataDir /
                                        std::filesystem::path(kes::webView2DetectionReportName));
    EXPECT_THROW(
        kes::runWebView2DetectionTest(fixture.context.dataDir, fixture.context.log, [] { return true; }),
        std::runtime_error);
}
