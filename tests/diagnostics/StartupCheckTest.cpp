#include "diagnostics/StartupCheck.h"
#include "platform/TextConversion.h"
#include "webhost/MacroStatus.h"
#include "webhost/PageMessages.h"
#include "webhost/WebHostFixture.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace kes {
namespace {

using Calls = std::vector<std::string>;

const std::wstring passingResult =
    LR"({"type":"startup-check-result","title":true,"fonts":true,"controls":true,"macroDisabled":true,)"
    LR"("demoDisabled":true,"apiSave":true,"apiWindows":true})";

class StartupCheckTest : public test::WebHostFixture {
protected:
    void SetUp() override {
        WebHostFixture::SetUp();
        context.options.startupCheck = true;
        view = openWebView();
        context.exitCode = -1;
    }

    std::filesystem::path report() const { return scratch / u8"启动验收.json"; }
    nlohmann::json reportJson() const { return nlohmann::json::parse(test::fileBytes(report())); }

    std::shared_ptr<fake::FakeWebView> view;
};

TEST_F(StartupCheckTest, APassingRunWritesTheSortedIndentedReportAndClosesWithZero) {
    view->postString(passingResult);
    EXPECT_EQ(test::fileBytes(report()), "{\n"
                                         "  \"apiSave\": true,\n"
                                         "  \"apiWindows\": true,\n"
                                         "  \"controls\": true,\n"
                                         "  \"demoDisabled\": true,\n"
                                         "  \"fonts\": true,\n"
                                         "  \"macroDisabled\": true,\n"
                                         "  \"minimize\": true,\n"
                                         "  \"nativeFrame\": true,\n"
                                         "  \"resizeEdges\": true,\n"
                                         "  \"title\": true,\n"
                                         "  \"type\": \"startup-check-result\"\n"
                                         "}");
    EXPECT_EQ(context.exitCode, 0);
    EXPECT_EQ(calls().calls, (Calls{"window.windowRect", "window.clientRect", "window.hitTest 246,111",
                                    "window.hitTest 1673,968", "window.minimize", "window.isMinimized",
                                    "window.restore", "window.postClose"}));
    EXPECT_TRUE(view->postedJson.empty());
}

TEST_F(StartupCheckTest, AnyFailingPageMemberFailsTheRunButTheReportIsWritten) {
    for (const char* member : startupCheckPageMembers) {
        SCOPED_TRACE(member);
        nlohmann::json message = nlohmann::json::parse(passingResult);
        message[member] = false;
        context.exitCode = -1;
        completeStartupCheck(message, context);
        EXPECT_EQ(context.exitCode, 1);
        EXPECT_EQ(reportJson()[member], false);
        message.erase(member);
        context.exitCode = -1;
        completeStartupCheck(message, context);
        EXPECT_EQ(context.exitCode, 1);
        EXPECT_FALSE(reportJson().contains(member));
    }
}

TEST_F(StartupCheckTest, APageScriptErrorIsReportedAndFails) {
    view->postString(LR"({"type":"startup-check-result","error":"TypeError: 无法读取"})");
    EXPECT_EQ(context.exitCode, 1);
    EXPECT_EQ(reportJson(),
              nlohmann::json::parse(R"({"type":"startup-check-result","error":"TypeError: 无法读取",)"
                                    R"("nativeFrame":true,"resizeEdges":true,"minimize":true})"));
    EXPECT_TRUE(called("window.postClose"));
}

TEST_F(StartupCheckTest, EachHostCheckCanFailOnItsOwn) {
    enum class Break { FrameSize, TopLeftCorner, BottomRightCorner, Minimizing };
    struct Case {
        const char* member;
        Break what;
    };
    const std::vector<Case> cases{{"nativeFrame", Break::FrameSize},
                                  {"resizeEdges", Break::TopLeftCorner},
                                  {"resizeEdges", Break::BottomRightCorner},
                                  {"minimize", Break::Minimizing}};
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.member);
        windowArea = {245, 110, 1675, 970};
        topLeftCode = HitTopLeft;
        bottomRightCode = HitBottomRight;
        minimizes = true;
        switch (failure.what) {
        case Break::FrameSize:
            windowArea = {245, 110, 1691, 1001};
            break;
        case Break::TopLeftCorner:
            topLeftCode = HitTop;
            break;
        case Break::BottomRightCorner:
            bottomRightCode = HitBottom;
            break;
        case Break::Minimizing:
            minimizes = false;
            break;
        }
        context.exitCode = -1;
        completeStartupCheck(nlohmann::json::parse(passingResult), context);
        EXPECT_EQ(context.exitCode, 1);
        const auto written = reportJson();
        EXPECT_EQ(written[failure.member], false);
        EXPECT_EQ(written["nativeFrame"].get<bool>() + written["resizeEdges"].get<bool>() +
                      written["minimize"].get<bool>(),
                  2);
    }
}

TEST_F(StartupCheckTest, APageMemberThatIsNotABooleanWritesNoReportAndLeavesTheRunToItsTimeout) {
    view->postString(
        LR"({"type":"startup-check-result","title":"yes","fonts":true,"controls":true,"macroDisabled":true,)"
        LR"("demoDisabled":true,"apiSave":true,"apiWindows":true})");
    EXPECT_FALSE(std::filesystem::exists(report()));
    EXPECT_EQ(context.exitCode, -1);
    EXPECT_FALSE(called("window.postClose"));
    EXPECT_FALSE(called("window.minimize"));
    EXPECT_EQ(view->postedJson, std::vector<std::wstring>{toWide(macroStatusFailure)});
    EXPECT_NE(errorLog().find(
                  "应用宏配置失败：[json.exception.type_error.302] type must be boolean, but is string"),
              std::string::npos);
}

TEST_F(StartupCheckTest, TheScriptIsOneLineThatReportsThroughTheWebMessage) {
    const std::string script = startupCheckScript;
    EXPECT_EQ(script.find('\n'), std::string::npos);
    EXPECT_EQ(script.rfind("(async()=>{try{await document.fonts.ready;", 0), 0u);
    EXPECT_NE(
        script.find("window.chrome.webview.postMessage(JSON.stringify({type:'startup-check-result',title:"),
        std::string::npos);
    EXPECT_EQ(script.substr(script.size() - 5), "}})()");
    EXPECT_EQ(startupCheckScriptText(), toWide(script));
}

} // namespace
} // namespace kes
