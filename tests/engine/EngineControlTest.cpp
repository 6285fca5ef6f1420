#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace kes::test;
using Events = std::vector<std::pair<int, bool>>;

const char* const startLine = "全局宏引擎已启用；Vantix、keybd_event、最低优先级线程和绝对时间轴";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class EngineControl : public EngineTest {};

TEST_F(EngineControl, StartsOffAndEmpty) {
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(engine->pressedKeyCount(), 0u);
    EXPECT_FALSE(engine->statusCallback);
}

TEST_F(EngineControl, SwitchingOnTwiceLogsAndReportsOnce) {
    std::vector<std::pair<bool, std::string>> reports;
    engine->statusCallback = [&](bool enabled, const std::string& message) {
        reports.emplace_back(enabled, message);
    };
    engine->setEnabled(true);
    engine->setEnabled(true);
    EXPECT_TRUE(engine->isEnabled());
    EXPECT_EQ(occurrences(runLog(), startLine), 1u);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].first);
    EXPECT_EQ(reports[0].second, "宏已启用。");

    engine->setEnabled(false);
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_EQ(reports.size(), 1u); // switching off reports nothing
    engine->setEnabled(true);
    EXPECT_EQ(occurrences(runLog(), startLine), 2u);
}

TEST_F(EngineControl, ApplyingWhileOffInstallsTheProfileButPlaysNothing) {
    engine->apply(false, profileOf({macro(1, "once", keyF8, {step({keyA})})}));
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_FALSE(press(keyF8));
    engine->setEnabled(true);
    release(keyF8);
    EXPECT_TRUE(press(keyF8));
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
}

TEST_F(EngineControl, StopReleasesALatchedKeyBeforeItReturns) {
    engine->apply(true, profileOf({macro(1, "latch", keyF8, {step({keyA, keyD})})}));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(1));
    engine->stop();
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{keyA, true}, {keyD, true}, {keyD, false}, {keyA, false}}));
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(engine->pressedKeyCount(), 0u);
}

TEST_F(EngineControl, DestroyingTheEngineReleasesItsKeys) {
    engine->apply(true, profileOf({macro(1, "hold", keyF8, {step({keyA}, 5000, 0)})}));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    engine.reset();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
    engine = std::make_unique<kes::Engine>(log, nullptr, true, recorder.sender(), matcher.matcher());
}

TEST_F(EngineControl, CheckForegroundEndsJobsWhoseProgramLeft) {
    engine->apply(true, profileOf({macro(1, "hold", keyF8, {step({keyA}, 5000, 0)})}, L"game.exe"));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    engine->checkForeground();
    kes::platform::sleepMilliseconds(20);
    EXPECT_EQ(recorder.count(), 1u); // still in front: keeps playing
    matcher.active = false;
    engine->checkForeground();
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

TEST_F(EngineControl, ApplyKeepsJobsOfMacrosStillPresentAndEnabled) {
    const kes::Macro latch = macro(1, "latch", keyF8, {step({keyA})});
    engine->apply(true, profileOf({latch}, L"Game.exe"));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    engine->apply(true, profileOf({macro(2, "once", keyE, {step({keyD})}), latch}, L"GAME.EXE"));
    kes::platform::sleepMilliseconds(30);
    EXPECT_TRUE(engine->hasJob("trigger:1:119"));
    EXPECT_EQ(recorder.count(), 1u);

    kes::Macro disabled = latch;
    disabled.enabled = false;
    engine->apply(true, profileOf({disabled}, L"game.exe"));
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

// A job is kept across a new profile only when its macro is exactly the same: otherwise the trigger's
// release would look the job up through the changed macro and never reach it.
struct MacroChange {
    const char* what;
    std::function<void(kes::Macro&)> change;
};

void PrintTo(const MacroChange& change, std::ostream* out) {
    *out << change.what;
}

class ApplyWithAChangedMacro : public EngineTest, public ::testing::WithParamInterface<MacroChange> {};

TEST_P(ApplyWithAChangedMacro, CancelsItsRunningJobAndReleasesItsKeys) {
    const kes::Macro latch = macro(1, "latch", keyF8, {step({keyA})}, {keyCtrl});
    applyOn({latch});
    press(keyCtrl);
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    kes::Macro changed = latch;
    GetParam().change(changed);
    applyOn({changed});
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}})) << GetParam().what;
    release(keyF8);
    release(keyCtrl);
}

INSTANTIATE_TEST_SUITE_P(Changes, ApplyWithAChangedMacro,
                         ::testing::Values(MacroChange{"trigger key",
                                                       [](kes::Macro& m) {
                                                           m.triggerKey = keyE;
                                                       }},
                                           MacroChange{"modifiers",
                                                       [](kes::Macro& m) {
                                                           m.modifiers = {};
                                                       }},
                                           MacroChange{"behaviour",
                                                       [](kes::Macro& m) {
                                                           m.behavior = "hold";
                                                       }},
                                           MacroChange{"step keys",
                                                       [](kes::Macro& m) {
                                                           m.steps[0].keys = {keyD};
                                                       }},
                                           MacroChange{"hold time",
                                                       [](kes::Macro& m) {
                                                           m.steps[0].hold = 6;
                                                       }},
                                           MacroChange{"gap time",
                                                       [](kes::Macro& m) {
                                                           m.steps[0].gap = 6;
                                                       }},
                                           MacroChange{"another step", [](kes::Macro& m) {
                                                           m.steps.push_back(step({keyC}));
                                                       }}));

TEST_F(EngineControl, ApplyCancelsTheJobOfARemovedMacro) {
    engine->apply(true, profileOf({macro(1, "latch", keyF8, {step({keyA})})}));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    engine->apply(true, profileOf({macro(2, "latch", keyF8, {step({keyD})})}));
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
    EXPECT_TRUE(release(keyF8));
}

TEST_F(EngineControl, ApplyWithAnotherProgramEndsEveryJobBeforeReturning) {
    engine->apply(true, profileOf({macro(1, "latch", keyF8, {step({keyA})})}, L"one.exe"));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    engine->apply(true, profileOf({macro(1, "latch", keyF8, {step({keyA})})}, L"two.exe"));
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

TEST_F(EngineControl, ApplyingOffSwitchesOffAndEndsJobs) {
    engine->apply(true, profileOf({macro(1, "latch", keyF8, {step({keyA})})}));
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    engine->apply(false, profileOf({macro(1, "latch", keyF8, {step({keyA})})}));
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(recorder.count(), 2u);
}

TEST_F(EngineControl, WaitIdleWithoutJobsReturnsAtOnce) {
    const std::int64_t begin = kes::platform::performanceCounter();
    engine->waitIdle();
    EXPECT_LT(msBetween(begin, kes::platform::performanceCounter()), 500.0);
}

TEST_F(EngineControl, WaitIdleGivesUpAfterAboutTwoSeconds) {
    engine->apply(true, profileOf({macro(1, "latch", keyF8, {step({keyA})})}));
    press(keyF8);
    const std::int64_t begin = kes::platform::performanceCounter();
    try {
        engine->waitIdle();
        FAIL() << "no failure";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "执行线程未结束");
    }
    EXPECT_GE(msBetween(begin, kes::platform::performanceCounter()), 2000.0);
    EXPECT_TRUE(engine->hasJob("trigger:1:119"));
}

} // namespace
