#include "webhost/PageMessages.h"
#include "platform/TextConversion.h"
#include "shell/MasterHotkey.h"
#include "webhost/MacroStatus.h"
#include "webhost/WebHostFixture.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

using Calls = std::vector<std::string>;

const std::wstring failurePosted = toWide(macroStatusFailure);
const std::wstring switchedOnPosted =
    L"{\"enabled\":true,\"message\":\"宏已启用。\",\"type\":\"macro-status\"}";

// A profile with one "once" macro on F8.
const std::wstring validState =
    LR"({"type":"macro-state","enabled":true,"profile":{"program":"","macros":[{"id":1,"trigger":"F8",)"
    LR"("steps":[{"key":"A"}]}]}})";

class PageMessagesTest : public test::WebHostFixture {
protected:
    void SetUp() override {
        WebHostFixture::SetUp();
        view = openWebView();
    }

    // Puts the engine on through the page, then forgets what that did.
    void switchOn() {
        handleWebMessage(validState, context);
        ASSERT_TRUE(context.engine->isEnabled());
        view->postedJson.clear();
        calls().calls.clear();
    }

    void expectFailurePath(const std::wstring& text, const std::string& reason) {
        SCOPED_TRACE(toUtf8(text));
        switchOn();
        const std::string logBefore = errorLog();
        view->postString(text);
        EXPECT_FALSE(context.engine->isEnabled());
        EXPECT_EQ(view->postedJson, std::vector<std::wstring>{failurePosted});
        const std::string logged = errorLog().substr(logBefore.size());
        EXPECT_NE(logged.find(std::string("] 应用宏配置失败：") + reason), std::string::npos) << logged;
        EXPECT_TRUE(called("tray.update"));
    }

    std::shared_ptr<fake::FakeWebView> view;
};

TEST_F(PageMessagesTest, TheThreeWindowWordsActOnTheWindowAndLeaveTheEngineAlone) {
    struct Case {
        std::wstring word;
        std::string call;
    };
    for (const Case& command : {Case{L"close", "window.postCloseRequest"},
                                Case{L"minimize", "window.minimize"}, Case{L"drag", "window.beginDrag"}}) {
        switchOn();
        view->postString(command.word);
        EXPECT_EQ(calls().calls, Calls{command.call});
        EXPECT_TRUE(context.engine->isEnabled());
        EXPECT_TRUE(view->postedJson.empty());
    }
}

TEST_F(PageMessagesTest, WindowWordsMustMatchExactly) {
    for (const std::wstring near : {L"Close", L"CLOSE", L" close", L"close\n", L"minimise", L"drag "})
        expectFailurePath(near, "[json.exception.parse_error.101]");
}

TEST_F(PageMessagesTest, MessagesThatAreNotStringsAreIgnored) {
    switchOn();
    EXPECT_EQ(view->postNonString(), browserOk);
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_TRUE(view->postedJson.empty());
    EXPECT_TRUE(calls().calls.empty());
}

TEST_F(PageMessagesTest, JsonIsParsedStrictly) {
    expectFailurePath(LR"({"type":"macro-state"} // trailing comment)", "[json.exception.parse_error.101]");
    expectFailurePath(LR"({"type":"macro-state",})", "[json.exception.parse_error.101]");
    expectFailurePath(L"", "[json.exception.parse_error.101]");
}

TEST_F(PageMessagesTest, MessagesMustBeObjectsWithAStringType) {
    expectFailurePath(L"[1,2]", "[json.exception.type_error.306] cannot use value() with array");
    expectFailurePath(L"5", "[json.exception.type_error.306] cannot use value() with number");
    expectFailurePath(L"null", "[json.exception.type_error.306] cannot use value() with null");
    expectFailurePath(LR"("macro-state")", "[json.exception.type_error.306] cannot use value() with string");
    expectFailurePath(LR"({"type":5})", "[json.exception.type_error.302] type must be string, but is number");
}

TEST_F(PageMessagesTest, UnknownTypesAndObjectsWithoutTypeAreIgnored) {
    switchOn();
    for (const std::wstring text : {LR"({"type":"something-else"})", L"{}", LR"({"type":"Macro-State"})"}) {
        view->postString(text);
        EXPECT_TRUE(context.engine->isEnabled());
    }
    EXPECT_TRUE(view->postedJson.empty());
    EXPECT_TRUE(calls().calls.empty());
    EXPECT_EQ(errorLog(), "");
}

TEST_F(PageMessagesTest, SwitchingOnThroughMacroStatePostsTheStatusAndRefreshesTheTray) {
    EXPECT_FALSE(context.pageStateReceived);
    view->postString(validState);
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_TRUE(context.pageStateReceived);
    EXPECT_EQ(view->postedJson, std::vector<std::wstring>{switchedOnPosted});
    EXPECT_EQ(std::count(calls().calls.begin(), calls().calls.end(), "tray.update"), 1);
}

TEST_F(PageMessagesTest, TheAppliedProfilePlaysItsMacro) {
    view->postString(validState);
    EXPECT_TRUE(context.engine->onKey(0x77, true, false)); // F8 is swallowed: the macro matched
    EXPECT_GE(keys.waitForMoreThan(1), 2u);
    context.engine->onKey(0x77, false, false);
    context.engine->waitIdle();
    const auto events = keys.events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].vk, 'A');
    EXPECT_EQ(events[1].vk, 'A');
    EXPECT_EQ(events[1].flags & keyUpFlag, keyUpFlag);
}

TEST_F(PageMessagesTest, ChangingOnlyTheProfilePostsNothing) {
    switchOn();
    view->postString(LR"({"type":"macro-state","enabled":true,"profile":{"macros":[]}})");
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_TRUE(view->postedJson.empty());
    EXPECT_FALSE(called("tray.update"));
}

TEST_F(PageMessagesTest, SwitchingOffThroughMacroStateRefreshesTheTrayAndPostsNothing) {
    switchOn();
    view->postString(LR"({"type":"macro-state","enabled":false,"profile":{}})");
    EXPECT_FALSE(context.engine->isEnabled());
    EXPECT_TRUE(view->postedJson.empty());
    EXPECT_EQ(calls().calls, Calls{"tray.update"});
}

TEST_F(PageMessagesTest, MissingMembersMeanAnEngineOffAndAnEmptyProfile) {
    switchOn();
    view->postString(LR"({"type":"macro-state","profile":{"macros":[{"id":1,"trigger":"F8"}]}})");
    EXPECT_FALSE(context.engine->isEnabled());
    context.pageStateReceived = false;
    view->postString(LR"({"type":"macro-state","enabled":true})");
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_TRUE(context.pageStateReceived);
    EXPECT_FALSE(context.engine->onKey(0x77, true, false)); // the empty profile has no macro on F8
    EXPECT_EQ(errorLog(), "");
}

TEST_F(PageMessagesTest, ARejectedProfileTakesTheFailurePathAndKeepsThePageStateFlag) {
    expectFailurePath(LR"({"type":"macro-state","enabled":true,"profile":{"macros":[{"id":1},{"id":1}]}})",
                      "宏编号重复");
    expectFailurePath(LR"({"type":"macro-state","enabled":true,"profile":{"macros":null}})",
                      "宏列表格式无效");
    expectFailurePath(LR"({"type":"macro-state","enabled":true,"profile":[]})",
                      "[json.exception.type_error.306] cannot use value() with array");
    expectFailurePath(LR"({"type":"macro-state","enabled":"yes","profile":{}})",
                      "[json.exception.type_error.302] type must be boolean, but is string");

    HostContext& fresh = context;
    fresh.pageStateReceived = false;
    view->postString(LR"({"type":"macro-state","profile":{"macros":5}})");
    EXPECT_FALSE(fresh.pageStateReceived);
}

TEST_F(PageMessagesTest, AFailureWithTheEngineAlreadyOffLeavesTheTrayAlone) {
    view->postString(L"not json");
    EXPECT_EQ(view->postedJson, std::vector<std::wstring>{failurePosted});
    EXPECT_FALSE(called("tray.update"));
}

TEST_F(PageMessagesTest, WithoutAWebViewTheFailureIsOnlyLogged) {
    context.webView.reset();
    handleWebMessage(L"{", context);
    EXPECT_TRUE(view->postedJson.empty());
    EXPECT_NE(errorLog().find("应用宏配置失败："), std::string::npos);
}

TEST_F(PageMessagesTest, ShortcutGetAnswersWithTheKeyInForce) {
    context.masterHotkeyKey = 3;
    view->postString(LR"({"type":"shortcut-get"})");
    EXPECT_EQ(view->postedJson,
              std::vector<std::wstring>{LR"({"error":"","key":3,"saved":false,"type":"shortcut-result"})"});
}

TEST_F(PageMessagesTest, ShortcutSetChangesTheHotkeyAndAnswers) {
    view->postString(LR"({"type":"shortcut-set","key":5})");
    EXPECT_TRUE(called("hotkey.register 100,5"));
    EXPECT_EQ(context.masterHotkeyKey, 5);
    EXPECT_EQ(view->postedJson,
              std::vector<std::wstring>{LR"({"error":"","key":5,"saved":true,"type":"shortcut-result"})"});
}

TEST_F(PageMessagesTest, ShortcutSetWithoutKeyAsksForAnFKey) {
    view->postString(LR"({"type":"shortcut-set"})");
    EXPECT_EQ(view->postedJson,
              std::vector<std::wstring>{LR"({"error":"请选择 F1 到 F12。","key":8,"saved":false,)"
                                        LR"("type":"shortcut-result"})"});
}

TEST_F(PageMessagesTest, ShortcutSetWithANonNumberTakesTheFailurePath) {
    expectFailurePath(LR"({"type":"shortcut-set","key":"5"})",
                      "[json.exception.type_error.302] type must be number, but is string");
    EXPECT_FALSE(called("hotkey.register 100,5"));
}

// Only a JSON integer names a key: a boolean, a fraction or a huge number never becomes one.
TEST_F(PageMessagesTest, ShortcutSetTakesOnlyIntegers) {
    for (const std::wstring key : {L"true", L"false", L"null", L"[5]", L"{}"})
        expectFailurePath(LR"({"type":"shortcut-set","key":)" + key + L"}",
                          "[json.exception.type_error.302] type must be number, but is ");
    for (const std::wstring key : {L"5.0", L"8.5", L"1e300", L"-1e300", L"1e1"})
        expectFailurePath(LR"({"type":"shortcut-set","key":)" + key + L"}", shortcutKeyNotIntegerMessage);
    EXPECT_EQ(context.masterHotkeyKey, 8);
    EXPECT_FALSE(std::filesystem::exists(context.dataDir / std::filesystem::path(masterHotkeyFileName)));

    const std::wstring refused =
        LR"({"error":"请选择 F1 到 F12。","key":8,"saved":false,"type":"shortcut-result"})";
    for (const std::wstring key :
         {L"4294967304", L"18446744073709551615", L"-4294967288", L"0", L"13", L"-1"}) {
        view->postedJson.clear();
        view->postString(LR"({"type":"shortcut-set","key":)" + key + L"}");
        EXPECT_EQ(view->postedJson, std::vector<std::wstring>{refused}) << toUtf8(key);
    }
    EXPECT_EQ(context.masterHotkeyKey, 8);
    EXPECT_FALSE(called("hotkey.register 100,8"));
}

// Every document from the page is limited to 1 MiB of UTF-8; a larger message takes the failure path.
TEST_F(PageMessagesTest, MessagesOverOneMebibyteAreRefused) {
    const std::wstring head = LR"({"type":"macro-state","enabled":true,"pad":")";
    const std::wstring tail = LR"(","profile":{"program":"","macros":[]}})";
    const std::size_t limit = maxWebMessageSize;
    const std::wstring atLimit = head + std::wstring(limit - head.size() - tail.size(), L'x') + tail;
    ASSERT_EQ(toUtf8(atLimit).size(), limit);
    switchOn();
    view->postString(atLimit);
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_EQ(errorLog(), "");

    expectFailurePath(head + std::wstring(limit - head.size() - tail.size() + 1, L'x') + tail,
                      webMessageTooLargeMessage);
    // Counted in UTF-8 bytes, not in characters: a third of the limit in Chinese is already too much.
    const std::wstring chinese(limit / 3 + 1, L'中');
    expectFailurePath(head + chinese + tail, webMessageTooLargeMessage);
}

TEST_F(PageMessagesTest, InStartupCheckModeTheEngineStaysOffAndTheHotkeyIsUntouched) {
    context.options.startupCheck = true;
    view->postString(validState);
    EXPECT_FALSE(context.engine->isEnabled());
    EXPECT_TRUE(context.pageStateReceived);
    view->postString(LR"({"type":"macro-state","enabled":"not read","profile":{}})");
    view->postString(LR"({"type":"shortcut-set","key":"not read either"})");
    EXPECT_TRUE(view->postedJson.empty());
    EXPECT_FALSE(called("hotkey.register 100,5"));
    EXPECT_EQ(errorLog(), "");
}

TEST_F(PageMessagesTest, StartupCheckResultsOutsideThatModeAreIgnored) {
    view->postString(LR"({"type":"startup-check-result","title":true})");
    EXPECT_FALSE(std::filesystem::exists(scratch / u8"启动验收.json"));
    EXPECT_TRUE(calls().calls.empty());
    EXPECT_TRUE(view->postedJson.empty());
}

TEST_F(PageMessagesTest, MacroStatusIsPostedOnlyWithAWebView) {
    postMacroStatus(false, "说明 \"quoted\"", context);
    EXPECT_EQ(view->postedJson,
              std::vector<std::wstring>{
                  L"{\"enabled\":false,\"message\":\"说明 \\\"quoted\\\"\",\"type\":\"macro-status\"}"});
    context.webView.reset();
    postMacroStatus(true, "x", context);
    EXPECT_EQ(view->postedJson.size(), 1u);
}

} // namespace
} // namespace kes
