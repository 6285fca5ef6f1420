// Jobs on the engine's waiting threads, and the time line a late job keeps.
#include "EngineTestSupport.h"
#include "support/ThreadCount.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>

namespace {

using namespace kes::test;
using Events = std::vector<std::pair<int, bool>>;

bool waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 2500 && !condition(); ++i) {
        kes::platform::sleepMilliseconds(2);
    }
    return condition();
}

class EngineJobs : public EngineFixture, public ::testing::Test {
protected:
    void applyOn(std::vector<kes::Macro> macros) { engine->apply(true, profileOf(std::move(macros))); }
    // A new engine whose sender is `sender` in front of the recorder.
    void rebuildWithSender(kes::KeySender sender, kes::EngineServices services = {}) {
        engine.reset();
        engine = std::make_unique<kes::Engine>(log, counters.get(), true, std::move(sender),
                                               matcher.matcher(), std::move(services));
    }
    bool sent(int vk) const {
        const auto events = recorder.events();
        return std::any_of(events.begin(), events.end(),
                           [vk](const KeyEvent& event) { return event.vk == vk; });
    }
    void TearDown() override {
        if (engine) {
            engine->stop();
        }
        EXPECT_TRUE(recorder.keysDown().empty());
    }
};

TEST_F(EngineJobs, ATriggerHandsItsJobToAWaitingThreadAndStartsNone) {
    applyOn({macro(1, "once", keyF8, {step({keyA}, 30, 5)})});
    const std::size_t before = processThreadCount();
    press(keyF8);
    EXPECT_EQ(processThreadCount(), before);
    release(keyF8);
    engine->waitIdle();
    EXPECT_EQ(keysAndDirections(recorder.events()), (Events{{keyA, true}, {keyA, false}}));
    EXPECT_EQ(processThreadCount(), before);
}

TEST_F(EngineJobs, ManyJobsAtOnceAllPlayAndEndWithTheirKeysUp) {
    std::vector<kes::Macro> macros;
    const std::vector<int> triggers = {112, 113, 114, 115, 116, 117};
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        macros.push_back(
            macro(static_cast<int>(i) + 1, "hold", triggers[i], {step({keyA + static_cast<int>(i)}, 2, 2)}));
    }
    applyOn(macros);
    for (int trigger : triggers) {
        press(trigger);
    }
    // All of them run at once and take turns at the playback lock.
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        EXPECT_TRUE(waitFor([&] { return sent(keyA + static_cast<int>(i)); })) << i;
    }
    EXPECT_EQ(engine->jobCount(), triggers.size());
    for (int trigger : triggers) {
        release(trigger);
    }
    engine->waitIdle();
    EXPECT_TRUE(recorder.keysDown().empty());
}

TEST_F(EngineJobs, StopEndsRunningJobsAndTheEngineThenPlaysAgain) {
    applyOn({macro(1, "latch", keyF8, {step({keyA})}), macro(2, "hold", keyC, {step({keyD}, 3, 3)})});
    press(keyF8);
    press(keyC);
    ASSERT_TRUE(waitFor([&] { return recorder.keysDown().count(keyA) != 0; }));
    engine->stop();
    EXPECT_TRUE(recorder.keysDown().empty());
    EXPECT_EQ(engine->jobCount(), 0u);

    const std::size_t count = recorder.count();
    applyOn({macro(3, "once", keyF8, {step({keyE}, 2, 2)})});
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), count + 2);
    EXPECT_EQ(events[count].vk, keyE);
    EXPECT_EQ(events[count + 1].vk, keyE);
}

TEST_F(EngineJobs, DestroyingTheEngineWithJobsRunningLeavesNoThreadAndNoKeyDown) {
    engine.reset();
    const std::size_t before = processThreadCount();
    rebuildWithSender(recorder.sender());
    applyOn({macro(1, "latch", keyF8, {step({keyA})}), macro(2, "hold", keyC, {step({keyD}, 3, 3)}),
             macro(3, "once", keyE, {step({keyE}, 2000, 5)})});
    press(keyF8);
    press(keyC);
    press(keyE);
    ASSERT_TRUE(waitFor([&] { return recorder.keysDown().count(keyA) != 0; }));
    EXPECT_GT(processThreadCount(), before);
    engine.reset();
    EXPECT_TRUE(recorder.keysDown().empty());
    EXPECT_EQ(processThreadCount(), before);
}

TEST_F(EngineJobs, ASenderThatBlocksOnceSqueezesNoKeyAndTheMovedTimeLineKeeps) {
    // The press of C takes 20 ms: its 30 ms hold may absorb only 15 ms of that.
    std::atomic<bool> blocked{false};
    const kes::KeySender record = recorder.sender();
    rebuildWithSender([&](unsigned char vk, unsigned char scan, unsigned long flags) {
        if (vk == keyC && (flags & 2u) == 0 && !blocked.exchange(true)) {
            kes::platform::sleepMilliseconds(20);
        }
        record(vk, scan, flags);
    });
    applyOn(
        {macro(1, "once", keyF8,
               {step({keyA}, 30, 50), step({keyC}, 30, 50), step({keyD}, 30, 50), step({keyE}, 30, 50)})});
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(keysAndDirections(events), (Events{{keyA, true},
                                                 {keyA, false},
                                                 {keyC, true},
                                                 {keyC, false},
                                                 {keyD, true},
                                                 {keyD, false},
                                                 {keyE, true},
                                                 {keyE, false}}));
    for (std::size_t k = 0; k + 1 < events.size(); ++k) {
        const double half = k % 2 == 0 ? 15.0 : 25.0;
        EXPECT_GE(msBetween(events[k].time, events[k + 1].time), half) << k;
    }
    // C's hold took at least 15 ms from the moment its press returned, and the rest keeps to the time line
    // moved by that: each event a whole number of steps after C's release is due, never earlier.
    const double offsets[] = {15.0, 65.0, 95.0, 145.0, 175.0};
    for (std::size_t k = 3; k < events.size(); ++k) {
        const double since = msBetween(events[2].time, events[k].time);
        EXPECT_GE(since, offsets[k - 3]) << k;
        EXPECT_LT(since, offsets[k - 3] + 250.0) << k;
    }
    EXPECT_GE(msBetween(events[0].time, events[3].time), 80.0 + 20.0 + 15.0);
}

TEST_F(EngineJobs, ASlowScanCodeLookupDoesNotShortenTheFirstHold) {
    // The first lookup of each key takes 20 ms, as the first key call of a thread can under Wine.
    std::mutex mutex;
    std::set<int> looked;
    kes::EngineServices services;
    services.scanCodeOf = [&](int vk) {
        bool first = false;
        {
            std::lock_guard lock(mutex);
            first = looked.insert(vk).second;
        }
        if (first) {
            kes::platform::sleepMilliseconds(20);
        }
        return kes::defaultScanCodeLookup()(vk);
    };
    rebuildWithSender(recorder.sender(), std::move(services));
    applyOn({macro(1, "once", keyF8, {step({keyA}, 30, 50), step({keyC}, 30, 50)})});
    press(keyF8);
    release(keyF8);
    engine->waitIdle();
    const auto events = recorder.events();
    ASSERT_EQ(keysAndDirections(events), (Events{{keyA, true}, {keyA, false}, {keyC, true}, {keyC, false}}));
    // Both lookups came before the time line started, so the first hold is its full length (a lookup inside
    // it would have left 15 ms); the rest are at least half theirs whatever the machine does.
    EXPECT_GE(msBetween(events[0].time, events[1].time), 29.9);
    EXPECT_GE(msBetween(events[1].time, events[2].time), 25.0);
    EXPECT_GE(msBetween(events[2].time, events[3].time), 15.0);
}

} // namespace
