#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;
using Events = std::vector<std::pair<int, bool>>;

class EnginePlayback : public EngineTest {};

// The passes of different jobs never interleave: the events split into runs of one job each, every run made
// of whole passes, except that the last run of a job may stop early where the job was cancelled. Each job is
// told apart by the keys of its pass.
::testing::AssertionResult passesAreContiguous(const std::vector<KeyEvent>& events,
                                               const std::vector<Events>& passes) {
    const auto ownerOf = [&](int vk) {
        for (std::size_t job = 0; job < passes.size(); ++job) {
            for (const auto& [key, down] : passes[job]) {
                if (key == vk) {
                    return job;
                }
            }
        }
        return passes.size();
    };
    std::vector<bool> truncated(passes.size(), false);
    std::size_t at = 0;
    while (at < events.size()) {
        const std::size_t job = ownerOf(events[at].vk);
        if (job == passes.size()) {
            return ::testing::AssertionFailure() << "unknown key " << events[at].vk << " at " << at;
        }
        if (truncated[job]) {
            return ::testing::AssertionFailure()
                   << "job " << job << " played again after stopping early, at " << at;
        }
        const Events& pass = passes[job];
        std::size_t i = 0;
        for (; at + i < events.size(); ++i) {
            const auto& expected = pass[i % pass.size()];
            if (events[at + i].vk != expected.first || events[at + i].down() != expected.second) {
                break;
            }
        }
        if (i == 0) {
            return ::testing::AssertionFailure() << "event " << at << " does not start a pass";
        }
        if (i % pass.size() != 0) {
            truncated[job] = true;
        }
        at += i;
    }
    return ::testing::AssertionSuccess();
}

TEST_F(EnginePlayback, OncePlaysEachStepWithItsHoldAndGapAndNoGapAfterTheLast) {
    applyOn({macro(1, "once", keyF8, {step({keyA}, 5, 5), step({keyC}, 5, 5)})});
    // The time line starts when the job begins, after the trigger; the first key call may itself take a
    // while (Wine's first scan-code lookup does), and that time is taken from the hold, not added to it.
    const std::int64_t triggered = kes::platform::performanceCounter();
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(keysAndDirections(events), (Events{{keyA, true}, {keyA, false}, {keyC, true}, {keyC, false}}));
    EXPECT_GE(msBetween(triggered, events[1].time), 5.0);
    EXPECT_GE(msBetween(triggered, events[2].time), 10.0);
    EXPECT_GE(msBetween(triggered, events[3].time), 15.0);
}

TEST_F(EnginePlayback, OnceKeepsToTheAbsoluteTimeLine) {
    std::vector<kes::Step> steps;
    for (int i = 0; i < 10; ++i) {
        steps.push_back(step({keyA}, 30, 50));
    }
    applyOn({macro(1, "once", keyF8, steps)});
    const std::int64_t triggered = kes::platform::performanceCounter();
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 20u);
    // The tenth key goes down 9 x 80 ms after the time line's start, however long each key call took.
    EXPECT_GE(msBetween(triggered, events[18].time), 720.0);
    EXPECT_LT(msBetween(events[0].time, events[18].time), 720.0 + 300.0);
}

TEST_F(EnginePlayback, AStepWithoutKeysAddsNoDelay) {
    applyOn({macro(1, "once", keyF8, {step({keyA}, 5, 0), step({}, 400, 400), step({keyC}, 5, 0)})});
    press(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(keysAndDirections(events), (Events{{keyA, true}, {keyA, false}, {keyC, true}, {keyC, false}}));
    EXPECT_LT(msBetween(events[1].time, events[2].time), 300.0);
}

TEST_F(EnginePlayback, TwoMacrosOfOneTriggerPlayOneAfterTheOther) {
    applyOn({macro(1, "once", keyF8, {step({keyA}), step({keyC})}),
             macro(2, "once", keyF8, {step({keyD}), step({keyE})})});
    press(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 8u);
    const std::vector<int> downs{events[0].vk, events[2].vk, events[4].vk, events[6].vk};
    EXPECT_TRUE(downs == (std::vector<int>{keyA, keyC, keyD, keyE}) ||
                downs == (std::vector<int>{keyD, keyE, keyA, keyC}))
        << downs[0] << downs[1] << downs[2] << downs[3];
}

TEST_F(EnginePlayback, HoldLoopsWhileHeldAndEndsWithTheKeyUp) {
    applyOn({macro(1, "hold", keyF8, {step({keyA})})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(3, std::chrono::seconds(1)));
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    EXPECT_EQ(events.back().vk, keyA);
    EXPECT_FALSE(events.back().down());
    const std::size_t afterRelease = recorder.count();
    kes::platform::sleepMilliseconds(30);
    EXPECT_EQ(recorder.count(), afterRelease);
}

TEST_F(EnginePlayback, LatchKeepsItsLastKeyDownUntilTheTriggerIsReleased) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    kes::platform::sleepMilliseconds(25);
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}}));
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

TEST_F(EnginePlayback, LatchPlaysTheStepsBeforeTheLastAndReleasesItsGroupInReverse) {
    applyOn({macro(1, "latch", keyF8, {step({keyC}), step({keyA, keyD})})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(3));
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(
        keysAndDirections(recorder.events()),
        (Events{{keyC, true}, {keyC, false}, {keyA, true}, {keyD, true}, {keyD, false}, {keyA, false}}));
}

TEST_F(EnginePlayback, LatchLetsGoWhenItsProgramLeavesTheForeground) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})})}, L"game.exe");
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    matcher.active = false;
    ASSERT_TRUE(recorder.waitForMoreThan(1, std::chrono::seconds(2))); // no checkForeground needed
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

TEST_F(EnginePlayback, PassesOfDifferentJobsNeverInterleave) {
    applyOn({macro(1, "hold", keyF8, {step({keyA}, 3, 1), step({keyC}, 3, 1)}),
             macro(2, "repeat", 0, {step({keyD}, 2, 2)}),
             macro(3, "once", keyE, {step({keyE}, 2, 2), step({keyE}, 2, 2)})});
    press(keyF8);
    press(keyD);
    kes::platform::sleepMilliseconds(30);
    press(keyE);
    kes::platform::sleepMilliseconds(60);
    release(keyD);
    release(keyF8);
    release(keyE);
    engine->waitIdle();
    const auto events = recorder.events();
    const std::vector<Events> passes = {
        {{keyA, true}, {keyA, false}, {keyC, true}, {keyC, false}},
        {{keyD, true}, {keyD, false}},
        {{keyE, true}, {keyE, false}, {keyE, true}, {keyE, false}},
    };
    EXPECT_TRUE(passesAreContiguous(events, passes));
    int eDowns = 0;
    for (const KeyEvent& event : events) {
        eDowns += event.vk == keyE && event.down();
    }
    EXPECT_EQ(eDowns, 2);
}

std::size_t downsOf(const std::vector<KeyEvent>& events, int vk) {
    std::size_t downs = 0;
    for (const KeyEvent& event : events) {
        downs += event.vk == vk && event.down();
    }
    return downs;
}

// Waits up to `limit` until `done` holds for the recorded events.
template <typename Done>
bool eventsWithin(RecordingSender& recorder, std::chrono::milliseconds limit, Done done) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done(recorder.events())) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        kes::platform::sleepMilliseconds(2);
    }
    return true;
}

TEST_F(EnginePlayback, AJobWaitingForTheLockPlaysBeforeTheNextRoundOfALoop) {
    // Long rounds, so that the second job surely asks for the lock while a round is playing.
    applyOn({macro(1, "hold", keyF8, {step({keyA}, 5, 200)}), macro(2, "once", keyE, {step({keyD}, 5, 0)})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    press(keyE);
    release(keyE);
    // The loop goes on while its trigger is held, yet the waiting macro plays right after this round.
    EXPECT_TRUE(eventsWithin(recorder, std::chrono::seconds(3), [](const std::vector<KeyEvent>& events) {
        return downsOf(events, keyD) == 1 && events.back().vk == keyA;
    })) << "the looping job kept the playback lock";
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(
        keysAndDirections(recorder.events()),
        (Events{{keyA, true}, {keyA, false}, {keyD, true}, {keyD, false}, {keyA, true}, {keyA, false}}));
}

TEST_F(EnginePlayback, TwoHeldRapidFireKeysTakeTurns) {
    // Rounds long enough for each job to queue again while the other plays.
    applyOn({macro(1, "repeat", 0, {step({keyA}, 5, 100), step({keyD}, 5, 100)})});
    press(keyA);
    ASSERT_TRUE(recorder.waitForMoreThan(1));
    press(keyD);
    EXPECT_TRUE(eventsWithin(recorder, std::chrono::seconds(5),
                             [](const std::vector<KeyEvent>& events) {
                                 return downsOf(events, keyD) >= 3 && downsOf(events, keyA) >= 4;
                             }))
        << "A " << downsOf(recorder.events(), keyA) << ", D " << downsOf(recorder.events(), keyD);
    // Taking turns: after D started, no two rounds of A follow each other while D waits.
    const auto events = recorder.events();
    std::size_t firstD = 0;
    while (firstD < events.size() && events[firstD].vk != keyD) {
        ++firstD;
    }
    for (std::size_t i = firstD; i + 2 < events.size(); i += 2) {
        EXPECT_NE(events[i].vk, events[i + 2].vk) << "round " << i / 2;
    }
    release(keyA);
    release(keyD);
    engine->waitIdle();
}

TEST_F(EnginePlayback, ALatchHoldsThePlaybackLockSoOthersWait) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})}), macro(2, "once", keyE, {step({keyD})})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    press(keyE);
    release(keyE);
    kes::platform::sleepMilliseconds(40);
    EXPECT_EQ(recorder.count(), 1u);
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{keyA, true}, {keyA, false}, {keyD, true}, {keyD, false}}));
}

TEST_F(EnginePlayback, AJobCancelledWhileWaitingForTheLockSendsNothing) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})}), macro(2, "hold", keyE, {step({keyD})})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(0));
    press(keyE);
    kes::platform::sleepMilliseconds(20);
    release(keyE); // cancels the waiting hold job
    for (int i = 0; i < 1000 && engine->hasJob("trigger:2:69"); ++i) {
        engine->checkForeground(); // reaps finished jobs
        kes::platform::sleepMilliseconds(2);
    }
    EXPECT_FALSE(engine->hasJob("trigger:2:69"));
    EXPECT_TRUE(engine->hasJob("trigger:1:119"));
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

TEST_F(EnginePlayback, CancellingDuringAHoldReleasesTheKeysAtOnce) {
    applyOn({macro(1, "hold", keyF8, {step({keyA, keyD}, 2000, 0)})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(1));
    const std::int64_t released = kes::platform::performanceCounter();
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    EXPECT_EQ(keysAndDirections(events), (Events{{keyA, true}, {keyD, true}, {keyD, false}, {keyA, false}}));
    EXPECT_LT(msBetween(released, events.back().time), 1000.0);
}

TEST_F(EnginePlayback, ASenderFailureEndsTheJobWithItsKeysReleasedAndLogged) {
    recorder.failOn(keyC, false);
    applyOn({macro(1, "hold", keyF8, {step({keyA, keyC})})});
    press(keyF8);
    engine->waitIdle(); // the job ended by itself
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
    EXPECT_NE(errorLog().find("执行宏失败：发送失败"), std::string::npos) << errorLog();
    release(keyF8);
}

TEST_F(EnginePlayback, AKeyWithoutScanCodeEndsTheJobWithTheKeysBeforeItReleased) {
    applyOn({macro(1, "once", keyF8, {step({keyA, 7})})});
    press(keyF8);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
    EXPECT_NE(errorLog().find("执行宏失败：无法转换硬件扫描码"), std::string::npos) << errorLog();
}

TEST_F(EnginePlayback, AMacroWithoutKeysPlaysNothing) {
    applyOn({macro(1, "hold", keyF8, {step({}), step({})}), macro(2, "latch", keyE, {}),
             macro(3, "once", keyD, {step({keyA}), step({})})});
    press(keyF8);
    press(keyE);
    press(keyD);
    engine->waitIdle();
    EXPECT_EQ(engine->jobCount(), 0u);
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
}

class CountedPlayback : public EnginePlayback {
protected:
    CountedPlayback() {
        counters = std::make_unique<kes::PerfCounters>();
        engine =
            std::make_unique<kes::Engine>(log, counters.get(), true, recorder.sender(), matcher.matcher());
    }
};

TEST_F(CountedPlayback, FillsTheStatistics) {
    applyOn({macro(1, "latch", keyF8, {step({keyA}), step({keyD})})});
    EXPECT_EQ(counters->engineEnabled.load(), 1);
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(2));
    EXPECT_EQ(counters->activeJobs.load(), 1);
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(counters->activeJobs.load(), 0);
    EXPECT_EQ(counters->keySend.count.load(), 4);
    EXPECT_EQ(counters->lockWait.count.load(), 1);
    EXPECT_GE(counters->timerOvershoot.count.load(), 2);
    engine->stop();
    EXPECT_EQ(counters->engineEnabled.load(), 0);
}

} // namespace
