#include "shell/ClosePrompt.h"

#include "shell/CloseChoice.h"
#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using kes::CloseChoice;
using kes::ClosePromptAnswer;
using kes::ClosePromptContent;

namespace {

// Records what the prompt did to the window and answers the dialog as scripted.
struct PromptRecorder {
    kes::HostContext* context = nullptr;
    std::optional<ClosePromptAnswer> answer;
    std::function<void()> whileOpen; // runs inside the dialog
    std::vector<ClosePromptContent> shown;
    std::vector<bool> openWhileShown;
    int closes = 0;
    int hides = 0;
    std::vector<std::string> warnings;

    kes::ClosePromptActions actions() {
        return {[this](const ClosePromptContent& content) {
                    shown.push_back(content);
                    openWhileShown.push_back(context->closePromptOpen);
                    if (whileOpen) {
                        whileOpen();
                    }
                    return answer;
                },
                [this] { ++closes; }, [this] { ++hides; },
                [this](const std::string& text) {
                    warnings.push_back(text);
                }};
    }
};

struct ClosePromptTest : ::testing::Test {
    kes::test::ContextFixture fixture{"close-prompt"};
    kes::HostContext& context = fixture.context;
    PromptRecorder recorder;

    void SetUp() override { recorder.context = &context; }
    fs::path file() const { return context.dataDir / fs::path(kes::closeChoiceFileName); }
    void show() { kes::showClosePrompt(context, recorder.actions()); }
};

} // namespace

TEST(ClosePromptContentTest, TrayAvailabilityDecidesTextAndRadioButtons) {
    const ClosePromptContent withTray = kes::closePromptContent(true);
    EXPECT_EQ(withTray.title, "Kestrava");
    EXPECT_EQ(withTray.instruction, "关闭Kestrava");
    EXPECT_EQ(withTray.content, "隐藏到托盘后，Kestrava会继续运行。");
    ASSERT_EQ(withTray.radioButtons.size(), 2u);
    EXPECT_EQ(withTray.radioButtons[0], (std::pair<int, std::string>{101, "隐藏到托盘"}));
    EXPECT_EQ(withTray.radioButtons[1], (std::pair<int, std::string>{100, "退出程序"}));
    EXPECT_EQ(withTray.defaultRadioButton, 101);
    EXPECT_EQ(withTray.buttons, (std::vector<std::pair<int, std::string>>{{1, "确定"}, {2, "取消"}}));
    EXPECT_EQ(withTray.defaultButton, 2);
    EXPECT_EQ(withTray.verification, "以后不再提示");

    const ClosePromptContent withoutTray = kes::closePromptContent(false);
    EXPECT_EQ(withoutTray.content, "系统托盘暂时不可用。");
    ASSERT_EQ(withoutTray.radioButtons.size(), 1u);
    EXPECT_EQ(withoutTray.radioButtons[0], (std::pair<int, std::string>{100, "退出程序"}));
    EXPECT_EQ(withoutTray.defaultRadioButton, 100);
}

TEST_F(ClosePromptTest, HidingWithTheBoxTickedIsRememberedExactly) {
    context.trayIconAdded = true;
    recorder.answer = ClosePromptAnswer{1, 101, true};
    show();
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.shown[0].radioButtons.size(), 2u);
    EXPECT_EQ(recorder.openWhileShown, std::vector<bool>{true});
    EXPECT_FALSE(context.closePromptOpen);
    EXPECT_EQ(kes::test::readAll(file()), R"({"action":"tray"})");
    EXPECT_EQ(context.closeChoice, CloseChoice::Tray);
    EXPECT_EQ(recorder.hides, 1);
    EXPECT_EQ(recorder.closes, 0);

    // Later requests hide at once, without a prompt.
    show();
    EXPECT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.hides, 2);
}

TEST_F(ClosePromptTest, QuittingWithoutTheBoxClosesAndStoresNothing) {
    context.trayIconAdded = true;
    recorder.answer = ClosePromptAnswer{1, 100, false};
    show();
    EXPECT_EQ(recorder.closes, 1);
    EXPECT_EQ(recorder.hides, 0);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(context.closeChoice, CloseChoice::Ask);
}

TEST_F(ClosePromptTest, QuittingWithTheBoxStoresExit) {
    recorder.answer = ClosePromptAnswer{1, 100, true};
    show();
    EXPECT_EQ(kes::test::readAll(file()), R"({"action":"exit"})");
    EXPECT_EQ(context.closeChoice, CloseChoice::Exit);
    EXPECT_EQ(recorder.closes, 1);
    show();
    EXPECT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.closes, 2);
}

TEST_F(ClosePromptTest, CancelDoesNothingWhateverWasChanged) {
    context.trayIconAdded = true;
    for (const ClosePromptAnswer answer : {ClosePromptAnswer{2, 100, true}, ClosePromptAnswer{2, 101, true},
                                           ClosePromptAnswer{7, 100, true}}) {
        recorder.answer = answer;
        show();
    }
    EXPECT_EQ(recorder.shown.size(), 3u);
    EXPECT_EQ(recorder.closes + recorder.hides, 0);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(context.closeChoice, CloseChoice::Ask);
}

TEST_F(ClosePromptTest, StoredTrayWithoutTrayAsksWithOnlyQuitting) {
    context.closeChoice = CloseChoice::Tray;
    context.trayIconAdded = false;
    recorder.answer = ClosePromptAnswer{2, 100, false};
    show();
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.shown[0].content, "系统托盘暂时不可用。");
    EXPECT_EQ(recorder.shown[0].radioButtons.size(), 1u);
    EXPECT_EQ(recorder.hides, 0);
}

TEST_F(ClosePromptTest, TrayLostWhileAskingSavesNothingAndStays) {
    context.trayIconAdded = true;
    recorder.answer = ClosePromptAnswer{1, 101, true};
    recorder.whileOpen = [this] {
        context.trayIconAdded = false;
    };
    show();
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(context.closeChoice, CloseChoice::Ask);
    EXPECT_EQ(recorder.closes + recorder.hides, 0);
}

TEST_F(ClosePromptTest, SecondRequestWhileOpenIsDropped) {
    context.trayIconAdded = true;
    recorder.answer = ClosePromptAnswer{2, 101, false};
    recorder.whileOpen = [this] {
        recorder.whileOpen = nullptr;
        show();
    };
    show();
    EXPECT_EQ(recorder.shown.size(), 1u);
    EXPECT_FALSE(context.closePromptOpen);
}

TEST_F(ClosePromptTest, DialogFailureIsLoggedAndLeavesTheWindow) {
    recorder.answer = std::nullopt;
    show();
    EXPECT_NE(fixture.errorLog().find("无法显示关闭选项\n"), std::string::npos);
    EXPECT_EQ(recorder.closes + recorder.hides, 0);
    EXPECT_FALSE(context.closePromptOpen);
}

TEST_F(ClosePromptTest, FailedSaveWarnsButStillActs) {
    // A directory where the settings file should be makes the atomic write fail.
    fs::create_directories(file());
    context.trayIconAdded = true;
    recorder.answer = ClosePromptAnswer{1, 101, true};
    show();
    EXPECT_EQ(recorder.warnings, std::vector<std::string>{"无法保存关闭方式，下次仍会提示。"});
    EXPECT_NE(fixture.errorLog().find("替换文件失败，原文件已保留"), std::string::npos);
    EXPECT_EQ(context.closeChoice, CloseChoice::Ask);
    EXPECT_EQ(recorder.hides, 1);
}

TEST_F(ClosePromptTest, ResetStoresAskAndFailureKeepsTheChoice) {
    context.closeChoice = CloseChoice::Exit;
    std::vector<std::string> warnings;
    const auto warn = [&warnings](const std::string& text) {
        warnings.push_back(text);
    };
    kes::resetClosePrompt(context, warn);
    EXPECT_EQ(kes::test::readAll(file()), R"({"action":"ask"})");
    EXPECT_EQ(context.closeChoice, CloseChoice::Ask);
    EXPECT_TRUE(warnings.empty());

    context.closeChoice = CloseChoice::Tray;
    fs::remove(file());
    fs::create_directories(file());
    kes::resetClosePrompt(context, warn);
    EXPECT_EQ(warnings, std::vector<std::string>{"无法保存关闭提示设置，请重试。"});
    EXPECT_EQ(context.closeChoice, CloseChoice::Tray);
    EXPECT_NE(fixture.errorLog().find("替换文件失败，原文件已保留"), std::string::npos);
}

// The log folder replaced by a file of the same name: every log write throws. The answer still acts.
TEST_F(ClosePromptTest, AnUnusableLogNeverStopsTheChosenAction) {
    context.trayIconAdded = true;
    fs::remove_all(fixture.root / "logs");
    kes::test::writeAll(fixture.root / "logs", "not a folder");
    fs::create_directories(file()); // the choice cannot be saved either
    struct Case {
        ClosePromptAnswer answer;
        int closes;
        int hides;
    };
    for (const Case& c : {Case{{1, 100, true}, 1, 0}, Case{{1, 101, true}, 0, 1}}) {
        recorder = PromptRecorder{};
        recorder.context = &context;
        recorder.answer = c.answer;
        EXPECT_NO_THROW(show());
        EXPECT_EQ(recorder.closes, c.closes) << c.answer.radioButton;
        EXPECT_EQ(recorder.hides, c.hides) << c.answer.radioButton;
        EXPECT_EQ(recorder.warnings, std::vector<std::string>{"无法保存关闭方式，下次仍会提示。"});
        EXPECT_EQ(context.closeChoice, CloseChoice::Ask);
    }
    recorder = PromptRecorder{};
    recorder.context = &context;
    recorder.answer = std::nullopt; // the dialog could not be shown
    EXPECT_NO_THROW(show());
    EXPECT_FALSE(context.closePromptOpen);
    EXPECT_NO_THROW(kes::resetClosePrompt(context, recorder.actions().warn));
    EXPECT_EQ(recorder.warnings, std::vector<std::string>{"无法保存关闭提示设置，请重试。"});
}
