#include "shell/RuntimeGuide.h"

#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

using kes::WebViewState;

namespace {

struct RuntimeGuideTest : ::testing::Test {
    kes::test::ContextFixture fixture{"guide"};
    kes::Log& log = fixture.context.log;

    // The messages of one log file without their timestamp and run tag.
    static std::vector<std::string> messages(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            const std::string line = text.substr(start, end - start);
            const std::size_t tagEnd = line.find("] ");
            if (tagEnd != std::string::npos) {
                lines.push_back(line.substr(tagEnd + 2));
            }
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }
};

struct FakeGuideDialog : kes::GuideDialog {
    std::vector<std::string> contents;
    std::vector<int> clicks;
    std::string text;
    void setContent(const std::string& content) override { contents.push_back(content); }
    std::string accessibleText() override { return text; }
    void clickButton(int id) override { clicks.push_back(id); }
};

} // namespace

TEST_F(RuntimeGuideTest, InstalledRuntimeSkipsTheGuide) {
    int guides = 0;
    const bool result = kes::ensureWebView2Runtime(
        log,
        [] {
            return WebViewState{true, 0, L"120.0.2210.91"};
        },
        [&guides](const kes::PageOpeningAction&) { return ++guides, 2; }, [] { return true; });
    EXPECT_TRUE(result);
    EXPECT_EQ(guides, 0);
    EXPECT_EQ(messages(fixture.runLog()), std::vector<std::string>{"WebView2 检测通过，版本 120.0.2210.91"});
}

TEST_F(RuntimeGuideTest, RecheckDetectsAgainAndQuitEnds) {
    int detections = 0;
    std::vector<int> answers{101, 101, 2};
    const bool result = kes::ensureWebView2Runtime(
        log,
        [&detections] {
            ++detections;
            return WebViewState{false, static_cast<std::int32_t>(0x80070002u), L""};
        },
        [&answers](const kes::PageOpeningAction&) {
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        },
        [] { return true; });
    EXPECT_FALSE(result);
    EXPECT_EQ(detections, 3);
    const std::string missing = "未检测到可用 WebView2，显示微软官方下载引导，检测结果 2147942402";
    EXPECT_EQ(messages(fixture.runLog()),
              (std::vector<std::string>{missing, missing, missing, "用户退出 WebView2 安装引导"}));
}

TEST_F(RuntimeGuideTest, AnyOtherButtonLeavesTheGuide) {
    for (int answer : {2, 100, 0, -1}) {
        EXPECT_FALSE(kes::ensureWebView2Runtime(
            log, [] { return WebViewState{}; }, [answer](const kes::PageOpeningAction&) { return answer; },
            [] { return true; }));
    }
}

TEST_F(RuntimeGuideTest, InstallDuringTheGuideGoesOn) {
    int detections = 0;
    const bool result = kes::ensureWebView2Runtime(
        log,
        [&detections] {
            return ++detections < 2 ? WebViewState{} : WebViewState{true, 0, L"测试版本"};
        },
        [](const kes::PageOpeningAction& open) { return open() ? 101 : 2; }, [] { return false; });
    // The action reports the failed opening; the guide above then quits.
    EXPECT_FALSE(result);
    EXPECT_EQ(messages(fixture.errorLog()),
              std::vector<std::string>{"无法打开 WebView2 官方下载页，已提供手动网址"});

    detections = 0;
    EXPECT_TRUE(kes::ensureWebView2Runtime(
        log,
        [&detections] {
            return ++detections < 2 ? WebViewState{} : WebViewState{true, 0, L"测试版本"};
        },
        [](const kes::PageOpeningAction& open) { return open() ? 101 : 2; }, [] { return true; }));
    const std::vector<std::string> info = messages(fixture.runLog());
    EXPECT_EQ(info[info.size() - 2], "已打开微软 WebView2 官方下载页");
    EXPECT_EQ(info.back(), "WebView2 检测通过，版本 测试版本");
}

TEST(RuntimeDetection, SuccessNeedsAVersionText) {
    const WebViewState installed = kes::runtimeStateFrom(0, L"120.0.1");
    EXPECT_TRUE(installed.available);
    EXPECT_EQ(installed.version, L"120.0.1");
    EXPECT_FALSE(kes::runtimeStateFrom(0, L"").available);
    EXPECT_FALSE(kes::runtimeStateFrom(1, nullptr).available);
    const WebViewState missing = kes::runtimeStateFrom(static_cast<std::int32_t>(0x80070002u), L"1.0");
    EXPECT_FALSE(missing.available);
    EXPECT_EQ(static_cast<std::uint32_t>(missing.result), 0x80070002u);
    EXPECT_TRUE(kes::runtimeStateFrom(1, L"9").available); // S_FALSE still succeeds
}

TEST(InstallGuideTexts, ManualAddressMatchesTheOpenedPage) {
    EXPECT_EQ(kes::guideManualAddressContent(),
              std::string("无法自动打开浏览器。\n\n请手动复制下面的网址，在浏览器中打开并安装：\n") +
                  kes::webView2DownloadPage + "\n\n安装完成后点击“重新检测”。");
    EXPECT_EQ(std::string(kes::webView2DownloadPage).rfind("https://developer.microsoft.com/", 0), 0u);
    EXPECT_EQ(
        std::string(kes::guideContent),
        "未找到可用的微软 WebView2 运行环境，暂时无法显示软件界面。\n\n请打开微软官方下载页，选择 "
        "Evergreen "
        "Bootstrapper（联网安装器）并完成安装。\n\n安装完成后回到此窗口，点击“重新检测”，即可继续启动。");
}

TEST(InstallGuideCallback, DownloadButtonKeepsTheGuideOpenEitherWay) {
    for (const bool opens : {true, false}) {
        FakeGuideDialog dialog;
        int openings = 0;
        kes::GuideInspection inspection;
        inspection.openPage = [&openings, opens] {
            return ++openings, opens;
        };
        EXPECT_TRUE(kes::onGuideButtonClicked(inspection, 100, dialog));
        EXPECT_EQ(openings, 1);
        ASSERT_EQ(dialog.contents.size(), 1u);
        EXPECT_EQ(dialog.contents[0], opens ? kes::guideOpenedContent : kes::guideManualAddressContent());
        EXPECT_EQ(inspection.stage, 0); // only the dialog check advances
    }
}

TEST(InstallGuideCallback, OtherButtonsCloseTheGuide) {
    FakeGuideDialog dialog;
    kes::GuideInspection inspection;
    inspection.openPage = [] {
        return true;
    };
    EXPECT_FALSE(kes::onGuideButtonClicked(inspection, 101, dialog));
    EXPECT_FALSE(kes::onGuideButtonClicked(inspection, 2, dialog));
    EXPECT_TRUE(dialog.contents.empty());
}

TEST(InstallGuideCallback, InspectionReadsTextsAndDrivesTheButtons) {
    FakeGuideDialog dialog;
    nlohmann::json report;
    kes::GuideInspection inspection;
    inspection.openPage = [] {
        return false;
    };
    inspection.inspection = true;
    inspection.report = &report;
    dialog.text = "需要安装 WebView2\n打开微软下载页\n退出\n";

    kes::onGuideTimer(inspection, dialog);
    EXPECT_EQ(report, (nlohmann::json{{"100", true}, {"101", false}, {"2", true}}));
    EXPECT_EQ(inspection.stage, 1);
    EXPECT_EQ(dialog.clicks, std::vector<int>{100});

    kes::onGuideTimer(inspection, dialog); // waiting for the click: nothing
    EXPECT_EQ(dialog.clicks.size(), 1u);

    EXPECT_TRUE(kes::onGuideButtonClicked(inspection, 100, dialog));
    EXPECT_EQ(inspection.stage, 2);
    dialog.text = dialog.contents.back();
    kes::onGuideTimer(inspection, dialog);
    EXPECT_EQ(report["manual_url_visible_on_browser_failure"], true);
    EXPECT_EQ(inspection.stage, 3);
    EXPECT_EQ(dialog.clicks, (std::vector<int>{100, 2}));

    kes::onGuideTimer(inspection, dialog);
    EXPECT_EQ(dialog.clicks.size(), 2u);
}

TEST(InstallGuideCallback, TimerOutsideTheCheckDoesNothing) {
    FakeGuideDialog dialog;
    nlohmann::json report;
    kes::GuideInspection inspection;
    inspection.report = &report;
    kes::onGuideTimer(inspection, dialog);
    EXPECT_TRUE(dialog.clicks.empty());
    EXPECT_TRUE(report.is_null());
}
