#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;

class EngineMatching : public EngineTest {};

TEST_F(EngineMatching, InjectedEventsAreNeverMatchedSwallowedOrRecorded) {
    applyOn({macro(1, "once", keyF8, {step({keyA})})});
    EXPECT_FALSE(engine->onKey(keyF8, true, true));
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(engine->pressedKeyCount(), 0u);
    EXPECT_FALSE(engine->onKey(keyF8, false, true));

    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(engine->hasJob("trigger:1:119"));
    EXPECT_EQ(engine->pressedKeyCount(), 1u);
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
}

TEST_F(EngineMatching, ADisabledEnginePassesEverythingOnAndRecordsNothing) {
    engine->apply(false, profileOf({macro(1, "hold", keyF8, {step({keyA})})}));
    EXPECT_FALSE(press(keyCtrl));
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(engine->pressedKeyCount(), 0u);
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(matcher.calls.load(), 0);
}

TEST_F(EngineMatching, LatchTriggerNeedsItsModifierDownFirstButEndsOnTheTriggerAlone) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})}, {keyCtrl})});
    EXPECT_FALSE(press(keyF8));
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_FALSE(release(keyF8)); // its down went on to the program, so its up must too

    EXPECT_FALSE(press(keyCtrl));
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(engine->hasJob("trigger:1:119"));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    EXPECT_FALSE(release(keyCtrl));
    EXPECT_TRUE(release(keyF8)); // still ends the job although Ctrl is up
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (std::vector<std::pair<int, bool>>{{keyA, true}, {keyA, false}}));
}

TEST_F(EngineMatching, OnceTriggerUpPassesWhenItsModifierWasReleasedFirst) {
    applyOn({macro(1, "once", keyF8, {step({keyA})}, {keyCtrl})});
    press(keyCtrl);
    EXPECT_TRUE(press(keyF8));
    release(keyCtrl);
    EXPECT_FALSE(release(keyF8));

    press(keyCtrl);
    engine->waitIdle();
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(release(keyF8)); // with Ctrl still held the up is claimed too
    release(keyCtrl);
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 4u);
}

TEST_F(EngineMatching, RepeatKeysAreTheSingleKeySteps) {
    applyOn({macro(3, "repeat", 0, {step({keyA}), step({keyCtrl, keyC}), step({keyA, keyA})})});
    EXPECT_TRUE(press(keyA));
    EXPECT_TRUE(engine->hasJob("repeat:3:65"));
    EXPECT_FALSE(press(keyC));
    EXPECT_FALSE(release(keyC));
    EXPECT_EQ(engine->jobCount(), 1u);
    ASSERT_TRUE(recorder.waitForMoreThan(2));
    EXPECT_TRUE(release(keyA));
    engine->waitIdle();
    for (const KeyEvent& event : recorder.events()) {
        EXPECT_EQ(event.vk, keyA);
    }
    EXPECT_TRUE(recorder.keysDown().empty());
}

TEST_F(EngineMatching, RepeatIgnoresTheMacroTrigger) {
    kes::Macro repeat = macro(3, "repeat", keyF8, {step({keyA})});
    applyOn({repeat});
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(engine->jobCount(), 0u);
}

TEST_F(EngineMatching, SeveralMacrosOfOneTriggerAllStart) {
    applyOn({macro(1, "once", keyF8, {step({keyA})}), macro(2, "once", keyF8, {step({keyD})})});
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(engine->hasJob("trigger:1:119"));
    EXPECT_TRUE(engine->hasJob("trigger:2:119"));
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 4u);
}

TEST_F(EngineMatching, AHeldTriggerStartsOneJobAndItsAutoRepeatsAreSwallowed) {
    applyOn({macro(1, "hold", keyF8, {step({keyA})})});
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(press(keyF8));
    EXPECT_EQ(engine->jobCount(), 1u);
    EXPECT_EQ(engine->pressedKeyCount(), 1u);
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
}

TEST_F(EngineMatching, AnotherProgramInFrontPassesTriggersOnButStillEndsRunningJobs) {
    applyOn({macro(1, "once", keyF8, {step({keyA})}), macro(2, "latch", keyE, {step({keyD})})}, L"game.exe");
    EXPECT_TRUE(press(keyE));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    matcher.active = false;
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(release(keyF8));
    EXPECT_TRUE(release(keyE)); // the running latch is ended and its up claimed
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (std::vector<std::pair<int, bool>>{{keyD, true}, {keyD, false}}));
}

TEST_F(EngineMatching, TheTriggerKeyComparesExactlyAndModifiersWiden) {
    applyOn({macro(1, "once", keyCtrl, {step({keyA})}), macro(2, "once", keyF8, {step({keyD})}, {keyCtrl})});
    EXPECT_FALSE(press(keyLeftCtrl)); // 162 is not the trigger 17 ...
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_TRUE(engine->isPressed(keyCtrl)); // ... but satisfies the modifier 17
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(engine->hasJob("trigger:2:119"));
    release(keyF8);
    release(keyLeftCtrl);
    EXPECT_TRUE(press(keyCtrl));
    EXPECT_TRUE(engine->hasJob("trigger:1:17"));
    release(keyCtrl);
    engine->waitIdle();
}

struct WideningCase {
    int asked;
    int held;
    bool pressed;
};

class ModifierWidening : public EngineFixture, public ::testing::TestWithParam<WideningCase> {};

TEST_P(ModifierWidening, FollowsTheSideTable) {
    engine->setEnabled(true);
    press(GetParam().held);
    EXPECT_EQ(engine->isPressed(GetParam().asked), GetParam().pressed)
        << GetParam().asked << " with " << GetParam().held << " down";
    engine->stop();
}

INSTANTIATE_TEST_SUITE_P(Sides, ModifierWidening,
                         ::testing::Values(WideningCase{16, 16, true}, WideningCase{16, 160, true},
                                           WideningCase{16, 161, true}, WideningCase{17, 17, true},
                                           WideningCase{17, 162, true}, WideningCase{17, 163, true},
                                           WideningCase{18, 18, true}, WideningCase{18, 164, true},
                                           WideningCase{18, 165, true}, WideningCase{91, 91, true},
                                           WideningCase{91, 92, true}, WideningCase{92, 91, false},
                                           WideningCase{162, 17, false}, WideningCase{16, 17, false},
                                           WideningCase{65, 65, true}, WideningCase{65, 66, false}));

TEST_F(EngineMatching, DisabledMacrosNeverMatch) {
    kes::Macro off = macro(1, "once", keyF8, {step({keyA})});
    off.enabled = false;
    kes::Macro offRepeat = macro(2, "repeat", 0, {step({keyD})});
    offRepeat.enabled = false;
    applyOn({off, offRepeat});
    EXPECT_FALSE(press(keyF8));
    EXPECT_FALSE(press(keyD));
    EXPECT_EQ(engine->jobCount(), 0u);
}

TEST_F(EngineMatching, ARunningOnceJobIsNotStartedAgain) {
    applyOn({macro(1, "once", keyF8, {step({keyA}, 300, 0)})});
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(release(keyF8));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    EXPECT_TRUE(press(keyF8)); // still swallowed, starts nothing
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
}

TEST_F(EngineMatching, AsksTheMatcherAtMostOncePerEventAndOnlyWhenAMacroNeedsIt) {
    applyOn({macro(1, "once", keyF8, {step({keyA})}), macro(2, "hold", keyF8, {step({keyD})})});
    press(keyE);
    release(keyE);
    EXPECT_EQ(matcher.calls.load(), 0);
    matcher.active = false;
    press(keyF8);
    EXPECT_EQ(matcher.calls.load(), 1);
}

// An up event is swallowed only when the program in front did not see that key go down.
class UpEventSwallowing : public EngineMatching {};

TEST_F(UpEventSwallowing, HoldTriggerPressedBeforeSwitchingOnComesUpInTheProgram) {
    engine->apply(false, profileOf({macro(1, "hold", keyF8, {step({keyA})})}));
    EXPECT_FALSE(press(keyF8)); // before switching on
    engine->setEnabled(true);
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(engine->jobCount(), 0u);
}

TEST_F(UpEventSwallowing, LatchTriggerPressedWithAnotherProgramInFrontComesUpThere) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})})}, L"game.exe");
    matcher.active = false;
    EXPECT_FALSE(press(keyF8));
    matcher.active = true;
    EXPECT_FALSE(release(keyF8));
    EXPECT_EQ(engine->jobCount(), 0u);
}

TEST_F(UpEventSwallowing, TriggerPressedWithoutItsModifierComesUpInTheProgram) {
    applyOn({macro(1, "hold", keyF8, {step({keyA})}, {keyCtrl})});
    EXPECT_FALSE(press(keyF8));
    press(keyCtrl);
    EXPECT_FALSE(release(keyF8));
    release(keyCtrl);
}

TEST_F(UpEventSwallowing, AutoRepeatsPassedOnAfterTheProgramLeftMakeTheUpPassToo) {
    applyOn({macro(1, "hold", keyF8, {step({keyA})})}, L"game.exe");
    EXPECT_TRUE(press(keyF8));
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    matcher.active = false;
    EXPECT_FALSE(press(keyF8)); // auto-repeat reaches the program now in front
    matcher.active = true;
    EXPECT_TRUE(press(keyF8));
    EXPECT_FALSE(release(keyF8));
    engine->waitIdle(); // the job was still ended by the up event
    EXPECT_TRUE(recorder.keysDown().empty());
}

TEST_F(UpEventSwallowing, RepeatKeyPressedWithAnotherProgramInFrontComesUpThere) {
    applyOn({macro(1, "repeat", 0, {step({keyA})})}, L"game.exe");
    matcher.active = false;
    EXPECT_FALSE(press(keyA));
    matcher.active = true;
    EXPECT_FALSE(release(keyA));
}

TEST_F(UpEventSwallowing, SwitchingOffForgetsSwallowedPresses) {
    applyOn({macro(1, "hold", keyF8, {step({keyA})})});
    EXPECT_TRUE(press(keyF8));
    engine->setEnabled(false);
    engine->setEnabled(true);
    EXPECT_FALSE(release(keyF8));
}

} // namespace
