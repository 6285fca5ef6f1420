// Keys released whatever happens: the ledger follows the jobs' keys, releaseHeldKeys ends every job and
// brings their keys up while the engine stays on, and the hook can be installed again.
#include "EngineTestSupport.h"

#include "engine/KeyLedger.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;
using Events = std::vector<std::pair<int, bool>>;

kes::EngineServices servicesWith(HookSeat& seat) {
    kes::EngineServices services;
    services.installHook = seat.installer();
    return services;
}

class EngineRelease : public EngineTest {
protected:
    // Waits until the recorder saw `vk` go down.
    void waitUntilDown(int vk) {
        for (int i = 0; i < 500 && recorder.keysDown().count(vk) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(recorder.keysDown().count(vk), 1u);
    }
};

TEST_F(EngineRelease, TheLedgerHoldsExactlyTheKeysALatchKeepsDown) {
    applyOn({macro(1, "latch", keyF8, {step({keyC}), step({keyA, keyD})})});
    EXPECT_TRUE(press(keyF8));
    waitUntilDown(keyD);
    const kes::KeyLedger& ledger = engine->keyLedger();
    EXPECT_TRUE(ledger.isDown(keyA));
    EXPECT_TRUE(ledger.isDown(keyD));
    EXPECT_FALSE(ledger.isDown(keyC));
    EXPECT_EQ(ledger.keysDown(), 2u);
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
    EXPECT_EQ(ledger.keysDown(), 0u);
}

TEST_F(EngineRelease, EndsTheJobsAndBringsTheirKeysUpWhileTheEngineStaysOn) {
    applyOn({macro(1, "latch", keyF8, {step({keyA, keyD})}), macro(2, "hold", keyE, {step({keyC}, 5, 5)})});
    EXPECT_TRUE(press(keyF8));
    waitUntilDown(keyD);
    EXPECT_TRUE(press(keyE));

    const kes::Engine::Release result = engine->releaseHeldKeys();
    EXPECT_EQ(result.jobsEnded, 2u);
    EXPECT_EQ(result.keysReleased, 2u);
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_TRUE(recorder.keysDown().empty());
    EXPECT_EQ(engine->keyLedger().keysDown(), 0u);
    EXPECT_TRUE(engine->isEnabled());
    EXPECT_EQ(engine->pressedKeyCount(), 2u); // the triggers are still held

    // Nothing plays by itself afterwards.
    const std::size_t sent = recorder.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(recorder.count(), sent);

    // The triggers' ups are swallowed like their downs were; a fresh press plays again.
    EXPECT_TRUE(release(keyF8));
    EXPECT_TRUE(release(keyE));
    EXPECT_TRUE(press(keyF8));
    waitUntilDown(keyD);
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
    EXPECT_TRUE(recorder.keysDown().empty());
}

TEST_F(EngineRelease, ATriggerHeldAcrossTheReleasePlaysOnlyWhenPressedAgain) {
    applyOn({macro(1, "hold", keyF8, {step({keyA}, 1, 1)})});
    EXPECT_TRUE(press(keyF8));
    waitUntilDown(keyA);
    engine->releaseHeldKeys();
    std::size_t sent = recorder.count();

    // Auto-repeat of the trigger still held: nothing starts.
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(press(keyF8));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(recorder.count(), sent);

    // Released and pressed again: it plays.
    EXPECT_TRUE(release(keyF8));
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(recorder.waitForMoreThan(sent));
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
}

TEST_F(EngineRelease, ATriggerWhoseReleaseWasNeverSeenPlaysAgainAfterASilence) {
    // The session was locked with the trigger held; its release went to the locked desktop.
    applyOn({macro(1, "once", keyF8, {step({keyA}, 1, 1)})});
    EXPECT_TRUE(press(keyF8));
    engine->waitIdle();
    engine->releaseHeldKeys();
    const std::size_t sent = recorder.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_TRUE(press(keyF8));
    EXPECT_TRUE(recorder.waitForMoreThan(sent));
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
}

TEST_F(EngineRelease, AKeyWhoseReleaseFailedStaysInTheLedgerAndComesUpWithTheNextRelease) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})})});
    EXPECT_TRUE(press(keyF8));
    waitUntilDown(keyA);
    recorder.failOn(keyA, true);
    EXPECT_TRUE(release(keyF8));
    engine->waitIdle();
    EXPECT_TRUE(engine->keyLedger().isDown(keyA));

    recorder.failOn(-1, false);
    const kes::Engine::Release result = engine->releaseHeldKeys();
    EXPECT_EQ(result.jobsEnded, 0u);
    EXPECT_EQ(result.keysReleased, 1u);
    EXPECT_TRUE(recorder.keysDown().empty());
    EXPECT_FALSE(engine->keyLedger().isDown(keyA));
}

TEST_F(EngineRelease, AnEngineWithItsOwnSenderLeavesTheCrashPathAlone) {
    // Only an engine that sends real key events hands its ledger to the crash path; a test's keys must never
    // reach the system.
    applyOn({macro(1, "latch", keyF8, {step({keyA})})});
    EXPECT_TRUE(press(keyF8));
    waitUntilDown(keyA);
    EXPECT_EQ(kes::releaseCrashLedger(), 0u);
    EXPECT_TRUE(engine->keyLedger().isDown(keyA));
    EXPECT_TRUE(release(keyF8));
}

TEST_F(EngineRelease, RepairInstallsTheHookAgainAndItWorks) {
    HookSeat seat;
    rebuild(servicesWith(seat), false);
    applyOn({macro(1, "once", keyF8, {step({keyA}, 1, 1)})});
    ASSERT_EQ(seat.installed, 1);
    int nextCalls = 0;
    EXPECT_EQ(seat.deliver(keyC, kes::platform::KeyEventKind::Down, nextCalls), 42);
    EXPECT_EQ(seat.deliver(keyC, kes::platform::KeyEventKind::Up, nextCalls), 42);
    EXPECT_EQ(engine->hookEventCount(), 2u);

    engine->repairHook();
    EXPECT_EQ(seat.installed, 2);
    EXPECT_EQ(seat.removed, 1);
    ASSERT_NE(seat.handler, nullptr);
    EXPECT_TRUE(engine->isEnabled());
    EXPECT_EQ(seat.deliver(keyF8, kes::platform::KeyEventKind::Down, nextCalls), 1);
    EXPECT_EQ(engine->hookEventCount(), 3u);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
    seat.deliver(keyF8, kes::platform::KeyEventKind::Up, nextCalls);
}

TEST_F(EngineRelease, ARefusedRepairSwitchesTheEngineOff) {
    HookSeat seat;
    rebuild(servicesWith(seat), false);
    applyOn({macro(1, "latch", keyF8, {step({keyA})})});
    int nextCalls = 0;
    EXPECT_EQ(seat.deliver(keyF8, kes::platform::KeyEventKind::Down, nextCalls), 1);
    waitUntilDown(keyA);
    seat.refuse = true;
    try {
        engine->repairHook();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "无法安装全局键盘监听");
    }
    EXPECT_FALSE(engine->isEnabled());
    EXPECT_FALSE(engine->hasHook());
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_TRUE(recorder.keysDown().empty());

    // Without a hook there is nothing to repair.
    engine->repairHook();
    EXPECT_EQ(seat.installed, 1);
}

} // namespace
