// Finding a keyboard hook the system removed, and installing it again.
#include "shell/HookHealth.h"

#include "engine/EngineTestSupport.h"
#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "shell/ShellTestSupport.h"
#include "support/FakeBrowser.h"
#include "webhost/MacroStatus.h"

#include <gtest/gtest.h>

namespace {

// One event of the system: raw input, or a hook event, or the housekeeping tick's question.
enum class Seen { Raw, Hook, Tick };

struct WatchCase {
    const char* name;
    std::vector<Seen> events;
    bool lost; // the answer at the last tick
};

TEST(HookWatch, LostOnlyWhenRawInputKeepsComingWithoutTheHook) {
    using enum Seen;
    const WatchCase cases[] = {
        {"nothing happened", {Tick}, false},
        {"hook before each raw event", {Hook, Raw, Hook, Raw, Hook, Raw, Tick}, false},
        {"raw before each hook event", {Raw, Hook, Raw, Hook, Raw, Hook, Tick}, false},
        {"swallowed events reach only the hook", {Hook, Hook, Hook, Tick}, false},
        {"one raw event whose hook call may still be on its way", {Hook, Raw, Hook, Raw, Tick}, false},
        {"a single raw event without the hook", {Raw, Tick}, false},
        {"two raw events the hook missed", {Raw, Raw, Tick}, true},
        {"the hook missed a press and its release", {Hook, Raw, Raw, Raw, Tick}, true},
        {"the hook saw an event since", {Raw, Raw, Hook, Tick}, false},
        {"two hook calls handed over before their raw input", {Hook, Raw, Hook, Hook, Raw, Raw, Tick}, false},
        {"swallowed events pay for a few raw events only",
         {Hook, Hook, Hook, Hook, Hook, Hook, Hook, Hook, Raw, Raw, Raw, Raw, Raw, Raw, Tick},
         true},
        {"four swallowed events, then four raw events",
         {Hook, Hook, Hook, Hook, Raw, Raw, Raw, Raw, Tick},
         false},
    };
    for (const WatchCase& c : cases) {
        kes::HookWatch watch;
        std::uint64_t hookEvents = 0;
        bool lost = false;
        for (Seen event : c.events) {
            if (event == Hook) {
                ++hookEvents;
            } else if (event == Raw) {
                watch.rawKeyboardInput(hookEvents);
            } else {
                lost = watch.hookLost(hookEvents);
            }
        }
        EXPECT_EQ(lost, c.lost) << c.name;
    }
}

TEST(HookWatch, AfterARepairAskedAgainOnlyOnceTheNewHookSawSomething) {
    kes::HookWatch watch;
    watch.rawKeyboardInput(0);
    watch.rawKeyboardInput(0);
    ASSERT_TRUE(watch.hookLost(0));
    watch.repaired(0);
    EXPECT_FALSE(watch.hookLost(0));
    // The new hook sees nothing either (a window of an elevated program in front, say): no repair loop.
    watch.rawKeyboardInput(0);
    watch.rawKeyboardInput(0);
    watch.rawKeyboardInput(0);
    EXPECT_FALSE(watch.hookLost(0));
    // It worked for a while, then was removed again.
    watch.rawKeyboardInput(1);
    EXPECT_FALSE(watch.hookLost(1));
    watch.rawKeyboardInput(1);
    watch.rawKeyboardInput(1);
    EXPECT_TRUE(watch.hookLost(1));
    // Forgetting (no hook to watch) drops the missed events.
    watch.forget();
    EXPECT_FALSE(watch.hookLost(6));
}

struct HookHealthTest : ::testing::Test {
    kes::test::ContextFixture fixture{"hook-health"};
    kes::HostContext& context = fixture.context;
    kes::test::RecordingSender recorder;
    kes::test::HookSeat seat;
    kes::HookWatches watches;
    std::shared_ptr<kes::fake::FakeWebView> page =
        std::make_shared<kes::fake::FakeWebView>(std::make_shared<kes::fake::CallList>());
    int f12Reinstalls = 0;
    bool f12Refused = false;

    void SetUp() override {
        kes::EngineServices services;
        services.installHook = seat.installer();
        context.engine = std::make_unique<kes::Engine>(
            context.log, nullptr, false, recorder.sender(), [](const std::wstring&) { return true; },
            services);
        context.webView = page;
        kes::desktopServices().reinstallF12Watch = [this] {
            ++f12Reinstalls;
            return !f12Refused;
        };
    }
    void TearDown() override {
        context.engine.reset();
        kes::desktopServices() = {};
    }
    void switchOn() {
        context.engine->apply(
            true, kes::test::profileOf({kes::test::macro(1, "once", kes::test::keyF8,
                                                         {kes::test::step({kes::test::keyA}, 1, 1)})}));
    }
    void rawInput(int times) {
        for (int i = 0; i < times; ++i) {
            kes::noteRawKeyboardInput(context, watches);
        }
    }
    std::vector<std::string> posted() const {
        std::vector<std::string> texts;
        for (const std::wstring& json : page->postedJson) {
            texts.push_back(kes::toUtf8(json));
        }
        return texts;
    }
};

TEST_F(HookHealthTest, ARemovedEngineHookIsInstalledAgainLoggedAndToldToThePage) {
    switchOn();
    page->postedJson.clear();
    rawInput(2);
    kes::repairLostHooks(context, watches);
    EXPECT_EQ(seat.installed, 2);
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_NE(fixture.errorLog().find("宏引擎的键盘监听被系统移除，已重新安装\n"), std::string::npos);
    EXPECT_EQ(posted(),
              (std::vector<std::string>{
                  R"({"message":"键盘监听曾被系统移除，已自动恢复，宏可继续使用。","type":"notice"})"}));

    // The new hook works: the trigger plays.
    int nextCalls = 0;
    EXPECT_EQ(seat.deliver(kes::test::keyF8, kes::platform::KeyEventKind::Down, nextCalls), 1);
    context.engine->waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
    seat.deliver(kes::test::keyF8, kes::platform::KeyEventKind::Up, nextCalls);

    // A healthy hook is left alone.
    rawInput(1);
    seat.deliver(kes::test::keyC, kes::platform::KeyEventKind::Down, nextCalls);
    rawInput(1);
    kes::repairLostHooks(context, watches);
    EXPECT_EQ(seat.installed, 2);
}

TEST_F(HookHealthTest, NothingIsWatchedWhileTheEngineIsOff) {
    rawInput(3);
    kes::repairLostHooks(context, watches);
    switchOn();
    kes::repairLostHooks(context, watches); // raw input from before the switch-on does not count
    EXPECT_EQ(seat.installed, 1);
    for (const std::string& message : posted()) {
        EXPECT_EQ(message.find(R"("type":"notice")"), std::string::npos) << message;
    }
}

TEST_F(HookHealthTest, ARefusedRepairSwitchesOffAndTellsThePageTheSwitchFailed) {
    switchOn();
    page->postedJson.clear();
    seat.refuse = true;
    rawInput(2);
    kes::repairLostHooks(context, watches);
    EXPECT_FALSE(context.engine->isEnabled());
    EXPECT_NE(fixture.errorLog().find("重新安装键盘监听失败：无法安装全局键盘监听"), std::string::npos);
    EXPECT_EQ(posted(), (std::vector<std::string>{kes::macroStatusFailure}));
}

TEST_F(HookHealthTest, TheF12WatchIsRepairedThroughTheDesktopServices) {
    int f12Hook = 0;
    context.f12Hook = &f12Hook;
    context.f12Events = 4;
    rawInput(6); // four paid for by the watch's events, two missed
    kes::repairLostHooks(context, watches);
    EXPECT_EQ(f12Reinstalls, 1);
    EXPECT_NE(fixture.errorLog().find("F12 总开关的键盘监听被系统移除，已重新安装"), std::string::npos);
    EXPECT_EQ(posted().size(), 1u);

    // A refused reinstallation is logged once, not at every key.
    context.f12Events = 5;
    f12Refused = true;
    rawInput(3);
    kes::repairLostHooks(context, watches);
    rawInput(4);
    kes::repairLostHooks(context, watches);
    EXPECT_EQ(f12Reinstalls, 2);
    EXPECT_NE(fixture.errorLog().find("重新安装 F12 总开关的键盘监听失败"), std::string::npos);
}

} // namespace
