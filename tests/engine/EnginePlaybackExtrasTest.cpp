// Keys kept down across steps, a "once" macro played several times, and random delays.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

using namespace kes::test;
using Events = std::vector<std::pair<int, bool>>;

constexpr int keyW = 87, keySpace = 32;

kes::Step keeping(std::vector<int> keys, std::vector<int> keep, int hold, int gap) {
    kes::Step s = step(std::move(keys), hold, gap);
    s.keep = std::move(keep);
    return s;
}

kes::Step releasing(std::vector<int> release, int gap) {
    kes::Step s = step({}, 1, gap);
    s.release = std::move(release);
    return s;
}

class EnginePlaybackExtras : public EngineTest {};

// W held while Space is tapped: W down at 0, Space down at 40, up at 60, W up at 100.
TEST_F(EnginePlaybackExtras, AKeptKeyStaysDownAcrossStepsUntilItsRelease) {
    applyOn({macro(1, "once", keyF8,
                   {keeping({keyW}, {keyW}, 40, 0), step({keySpace}, 20, 40), releasing({keyW}, 0)})});
    // Times from before the trigger: the time line starts after it, and a slow first key call is taken from
    // the first hold, so the gaps between recorded events may be shorter than set, never the time line.
    const std::int64_t triggered = kes::platform::performanceCounter();
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(keysAndDirections(events),
              (Events{{keyW, true}, {keySpace, true}, {keySpace, false}, {keyW, false}}));
    EXPECT_GE(msBetween(triggered, events[1].time), 40.0);
    EXPECT_GE(msBetween(triggered, events[2].time), 60.0);
    EXPECT_GE(msBetween(triggered, events[3].time), 100.0);
    EXPECT_LT(msBetween(events[0].time, events[3].time), 100.0 + 250.0);
}

TEST_F(EnginePlaybackExtras, KeptKeysComeUpWhenThePassEndsWithoutARelease) {
    // A + D pressed, D kept; the pass ends with D still named by no release.
    applyOn({macro(1, "once", keyF8, {keeping({keyA, keyD}, {keyD}, 5, 5), step({keyC}, 5, 5)})});
    press(keyF8);
    engine->waitIdle();
    EXPECT_EQ(
        keysAndDirections(recorder.events()),
        (Events{{keyA, true}, {keyD, true}, {keyA, false}, {keyC, true}, {keyC, false}, {keyD, false}}));
}

TEST_F(EnginePlaybackExtras, CancellingALoopReleasesTheKeysItKeeps) {
    applyOn({macro(1, "hold", keyF8,
                   {keeping({keyW}, {keyW}, 5, 0), step({keyA}, 400, 5), releasing({keyW}, 5)})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(1));
    release(keyF8);
    engine->waitIdle();
    const auto events = keysAndDirections(recorder.events());
    ASSERT_EQ(events, (Events{{keyW, true}, {keyA, true}, {keyA, false}, {keyW, false}}));
}

TEST_F(EnginePlaybackExtras, ALatchReleasesKeptKeysWithItsLastStep) {
    applyOn({macro(1, "latch", keyF8, {keeping({keyW}, {keyW}, 5, 0), step({keyA}, 5, 5)})});
    press(keyF8);
    ASSERT_TRUE(recorder.waitForMoreThan(1));
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{keyW, true}, {keyA, true}, {keyA, false}, {keyW, false}}));
}

TEST_F(EnginePlaybackExtras, PlayCountPlaysTheSequenceInARowOnOneTimeLine) {
    kes::Macro m = macro(1, "once", keyF8, {step({keyA}, 10, 20), step({keyC}, 10, 30)});
    m.playCount = 3;
    applyOn({m});
    const std::int64_t triggered = kes::platform::performanceCounter();
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    Events expected;
    for (int round = 0; round < 3; ++round) {
        expected.insert(expected.end(), {{keyA, true}, {keyA, false}, {keyC, true}, {keyC, false}});
    }
    ASSERT_EQ(keysAndDirections(events), expected);
    // Each round starts 70 ms after the one before (the last step's gap between two rounds); the last ends
    // with no gap after it.
    EXPECT_GE(msBetween(triggered, events[4].time), 70.0);
    EXPECT_GE(msBetween(triggered, events[8].time), 140.0);
    EXPECT_GE(msBetween(triggered, events[11].time), 180.0);
    EXPECT_LT(msBetween(events[0].time, events[11].time), 180.0 + 300.0);
}

// The random source drawn through the engine's seam: records every range and answers by a script.
struct ScriptedDraws {
    std::mutex mutex;
    std::vector<std::pair<int, int>> ranges;
    std::function<int(int, int)> answer;
    std::function<int(int, int)> source() {
        return [this](int low, int high) {
            std::lock_guard lock(mutex);
            ranges.emplace_back(low, high);
            return answer(low, high);
        };
    }
};

TEST_F(EnginePlaybackExtras, JitterDrawsEveryHoldAndGapAroundItsSetTime) {
    ScriptedDraws draws;
    draws.answer = [](int low, int) {
        return low;
    };
    kes::EngineServices services;
    services.drawMilliseconds = draws.source();
    rebuild(std::move(services));
    kes::Macro m = macro(1, "once", keyF8, {step({keyA}, 30, 50), step({keyC}, 3, 2)});
    m.jitter = 10;
    applyOn({m});
    const std::int64_t triggered = kes::platform::performanceCounter();
    press(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 4u);
    // Holds and gaps in order; the last step's gap is not waited and not drawn.
    EXPECT_EQ(draws.ranges, (std::vector<std::pair<int, int>>{{20, 40}, {40, 60}, {-7, 13}}));
    // The draws' lower ends on the time line: 20 ms hold, 40 ms gap, and the short hold kept at 1 ms.
    EXPECT_GE(msBetween(triggered, events[1].time), 20.0);
    EXPECT_GE(msBetween(triggered, events[2].time), 60.0);
    EXPECT_GE(msBetween(triggered, events[3].time), 61.0);
    EXPECT_LT(msBetween(events[0].time, events[3].time), 61.0 + 250.0);
}

TEST_F(EnginePlaybackExtras, WithoutJitterNothingIsDrawn) {
    ScriptedDraws draws;
    draws.answer = [](int, int) {
        return 1;
    };
    kes::EngineServices services;
    services.drawMilliseconds = draws.source();
    rebuild(std::move(services));
    applyOn({macro(1, "once", keyF8, {step({keyA}, 5, 5), step({keyC}, 5, 5)})});
    press(keyF8);
    engine->waitIdle();
    EXPECT_EQ(recorder.events().size(), 4u);
    EXPECT_TRUE(draws.ranges.empty());
}

} // namespace
