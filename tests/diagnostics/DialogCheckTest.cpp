#include "diagnostics/DialogCheck.h"

#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Plays the task dialog: timer notifications until the guide is told to quit, delivering posted clicks
// to the callback, with accessible text made of the current content and (optionally) the button captions.
struct SimulatedGuide : kes::GuideDialog {
    bool accessible = true;
    std::string content = kes::guideContent;
    std::vector<int> pending;
    int result = 0;

    void setContent(const std::string& text) override { content = text; }
    std::string accessibleText() override {
        if (!accessible) {
            return "";
        }
        std::string text = std::string(kes::guideInstruction) + "\n" + content + "\n";
        for (const kes::GuideButtonText& button : kes::guideButtons) {
            text += std::string(button.caption) + "\n";
        }
        return text;
    }
    void clickButton(int id) override { pending.push_back(id); }

    int run(kes::GuideInspection& inspection) {
        for (int tick = 0; tick < 50; ++tick) {
            kes::onGuideTimer(inspection, *this);
            while (!pending.empty()) {
                const int id = pending.front();
                pending.erase(pending.begin());
                if (!kes::onGuideButtonClicked(inspection, id, *this)) {
                    return id;
                }
            }
        }
        return 0;
    }
};

} // namespace

TEST(DialogCheck, ReadableGuidePassesEveryMember) {
    kes::test::ContextFixture fixture("dialog-check");
    SimulatedGuide guide;
    const int code =
        kes::runDialogCheck(fixture.context.dataDir, fixture.context.log,
                            [&guide](kes::GuideInspection& inspection) { return guide.run(inspection); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(kes::test::readAll(fixture.context.dataDir / std::filesystem::path(kes::dialogCheckReportName)),
              "{\n  \"100\": true,\n  \"101\": true,\n  \"2\": true,\n  \"cancel_exits\": true,\n"
              "  \"manual_url_visible_on_browser_failure\": true\n}");
    EXPECT_EQ(guide.content, kes::guideManualAddressContent());
    EXPECT_NE(fixture.errorLog().find("无法打开 WebView2 官方下载页，已提供手动网址"), std::string::npos);
}

TEST(DialogCheck, WithoutAccessibleTextOnlyTheQuitPasses) {
    kes::test::ContextFixture fixture("dialog-check-silent");
    SimulatedGuide guide;
    guide.accessible = false;
    const int code =
        kes::runDialogCheck(fixture.context.dataDir, fixture.context.log,
                            [&guide](kes::GuideInspection& inspection) { return guide.run(inspection); });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(kes::test::readAll(fixture.context.dataDir / std::filesystem::path(kes::dialogCheckReportName)),
              "{\n  \"100\": false,\n  \"101\": false,\n  \"2\": false,\n  \"cancel_exits\": true,\n"
              "  \"manual_url_visible_on_browser_failure\": false\n}");
}

TEST(DialogCheck, ExitCodeWalksMembersInKeyOrder) {
    EXPECT_EQ(kes::dialogCheckExitCode(nlohmann::json::object()), 0);
    EXPECT_EQ(kes::dialogCheckExitCode({{"a", true}, {"b", true}}), 0);
    EXPECT_EQ(kes::dialogCheckExitCode({{"a", true}, {"b", false}}), 1);
    // The first false member decides before a later non-boolean is reached.
    EXPECT_EQ(kes::dialogCheckExitCode({{"a", false}, {"b", 3}}), 1);
    try {
        kes::dialogCheckExitCode({{"a", true}, {"b", "yes"}});
        FAIL() << "a non-boolean member must throw";
    } catch (const nlohmann::json::type_error& e) {
        EXPECT_NE(std::string(e.what()).find("type must be boolean, but is string"), std::string::npos);
    }
}
