#include "engine/PreciseTimer.h"

#include "EngineTestSupport.h"
#include "engine/Cancelled.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using kes::test::msBetween;

std::int64_t ticksOfMs(int ms) {
    return kes::platform::performanceFrequency() * ms / 1000;
}

std::unique_ptr<kes::platform::CancelEvent> newEvent() {
    auto event = kes::platform::createCancelEvent();
    if (!event) {
        throw std::runtime_error("no cancel event");
    }
    return event;
}

// A timer that fires at once (the busy wait then carries the whole wait) and records how it was armed.
class FakeTimer : public kes::platform::OneShotTimer {
public:
    struct Record {
        std::vector<std::int64_t> dues;
        bool armSucceeds = true;
        kes::platform::TimerWait result = kes::platform::TimerWait::Elapsed;
    };
    explicit FakeTimer(Record& record) : record_(record) {}
    bool arm(std::int64_t due100ns) override {
        record_.dues.push_back(due100ns);
        return record_.armSucceeds;
    }
    kes::platform::TimerWait wait(const kes::platform::CancelEvent&) override { return record_.result; }

private:
    Record& record_;
};

TEST(PreciseTimer, WaitsEndOnTheAbsoluteTimeLineWithoutDrift) {
    auto cancel = newEvent();
    kes::PreciseTimer timer(kes::createTimer());
    timer.resetDeadline();
    const std::int64_t start = timer.deadline();
    timer.waitMs(30, *cancel, nullptr);
    const std::int64_t firstEnd = kes::platform::performanceCounter();
    // 10 ms past the first deadline, spun rather than slept: on a busy machine a sleep, or a late wake-up
    // from the first wait, may take much longer. The second wait is long (60 ms), so that the time line moves
    // on only when it begins more than 30 ms late (half its length): a thread put aside between reading
    // the clock here and the wait reading it keeps the line unless it was put aside for 20 ms.
    while (kes::platform::performanceCounter() < start + ticksOfMs(40)) {
    }
    const std::int64_t secondStart = kes::platform::performanceCounter();
    timer.waitMs(60, *cancel, nullptr);
    const std::int64_t secondEnd = kes::platform::performanceCounter();

    if (secondStart <= start + ticksOfMs(50)) {
        EXPECT_EQ(timer.deadline(), start + ticksOfMs(30) + ticksOfMs(60));
    } else {
        // The first wait woke more than 10 ms late (a busy machine): the second may absorb only half its
        // length.
        EXPECT_GE(timer.deadline(), start + ticksOfMs(30) + ticksOfMs(60));
        EXPECT_GE(timer.deadline(), secondStart + ticksOfMs(30));
    }
    EXPECT_GE(firstEnd, start + ticksOfMs(30));
    EXPECT_GE(secondEnd, start + ticksOfMs(90));
    // The 10 ms between the waits were absorbed by the second one.
    EXPECT_LT(msBetween(start, secondEnd), 90.0 + 10.0 + 250.0);
}

// The system's timer, recording each due time it is armed with.
class ArmRecordingTimer : public kes::platform::OneShotTimer {
public:
    explicit ArmRecordingTimer(std::vector<std::int64_t>& dues)
        : dues_(dues), timer_(kes::platform::createOneShotTimer(true)) {}
    bool arm(std::int64_t due100ns) override {
        dues_.push_back(due100ns);
        return timer_->arm(due100ns);
    }
    kes::platform::TimerWait wait(const kes::platform::CancelEvent& cancel) override {
        return timer_->wait(cancel);
    }

private:
    std::vector<std::int64_t>& dues_;
    std::unique_ptr<kes::platform::OneShotTimer> timer_;
};

TEST(PreciseTimer, AWaitAfterADelayIsArmedForWhatRemains) {
    auto cancel = newEvent();
    std::vector<std::int64_t> dues;
    kes::PreciseTimer timer(std::make_unique<ArmRecordingTimer>(dues));
    timer.resetDeadline();
    const std::int64_t start = timer.deadline();
    timer.waitMs(30, *cancel, nullptr);
    kes::platform::sleepMilliseconds(10);
    const std::int64_t secondCalled = kes::platform::performanceCounter();
    timer.waitMs(30, *cancel, nullptr);
    // The first wait is armed for at most its 30 ms. The second, called at least 40 ms into the time line,
    // is armed for at most what was left then of the 60 ms (in 100 ns units), not for 30 ms; on a machine so
    // slow that less than half of it was left, for at most that half.
    ASSERT_GE(dues.size(), 1u);
    EXPECT_GT(dues[0], 0);
    EXPECT_LE(dues[0], 300000);
    const std::int64_t left = std::max(start + ticksOfMs(60) - secondCalled, ticksOfMs(15)) * 10000000 /
                              kes::platform::performanceFrequency();
    ASSERT_EQ(dues.size(), 2u);
    EXPECT_GT(dues[1], 0);
    EXPECT_LE(dues[1], std::min<std::int64_t>(left, 200000));
}

TEST(PreciseTimer, ManyShortWaitsAccumulateNoError) {
    auto cancel = newEvent();
    kes::PreciseTimer timer(kes::createTimer());
    const std::int64_t start = timer.deadline();
    for (int i = 0; i < 50; ++i) {
        timer.waitMs(1, *cancel, nullptr);
    }
    // Exactly 50 ms on, unless a wait came more than half a millisecond late and moved the time line on (a
    // busy machine may do that); never less.
    EXPECT_GE(timer.deadline(), start + 50 * ticksOfMs(1));
    EXPECT_GE(kes::platform::performanceCounter(), timer.deadline());
}

TEST(PreciseTimer, ClampsTheMilliseconds) {
    auto cancel = newEvent();
    kes::PreciseTimer timer(kes::createTimer());
    const std::int64_t start = timer.deadline();
    timer.waitMs(-5, *cancel, nullptr);
    EXPECT_EQ(timer.deadline(), start);

    // 60001 ms advance the deadline by 60000 ms; the wait is cut short by cancelling it.
    bool cancelled = false;
    std::thread waiter([&] {
        try {
            timer.waitMs(60001, *cancel, nullptr);
        } catch (const kes::Cancelled&) {
            cancelled = true;
        }
    });
    kes::platform::sleepMilliseconds(20);
    cancel->set();
    waiter.join();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(timer.deadline(), start + ticksOfMs(60000));
}

TEST(PreciseTimer, CancellingALongWaitEndsItAtOnce) {
    auto cancel = newEvent();
    kes::PreciseTimer timer(kes::createTimer());
    const std::int64_t begin = kes::platform::performanceCounter();
    std::thread canceller([&] {
        kes::platform::sleepMilliseconds(30);
        cancel->set();
    });
    EXPECT_THROW(timer.waitMs(5000, *cancel, nullptr), kes::Cancelled);
    const double elapsed = msBetween(begin, kes::platform::performanceCounter());
    canceller.join();
    EXPECT_GE(elapsed, 29.0);
    EXPECT_LT(elapsed, 2000.0);
}

TEST(PreciseTimer, ASetEventThrowsBeforeAnythingAdvances) {
    auto cancel = newEvent();
    cancel->set();
    FakeTimer::Record record;
    kes::PreciseTimer timer(std::make_unique<FakeTimer>(record));
    const std::int64_t start = timer.deadline();
    EXPECT_THROW(timer.waitMs(0, *cancel, nullptr), kes::Cancelled);
    EXPECT_THROW(timer.waitMs(20, *cancel, nullptr), kes::Cancelled);
    EXPECT_EQ(timer.deadline(), start);
    EXPECT_TRUE(record.dues.empty());
}

TEST(PreciseTimer, APassedDeadlineArmsNoTimer) {
    auto cancel = newEvent();
    FakeTimer::Record record;
    kes::PreciseTimer timer(std::make_unique<FakeTimer>(record));
    const std::int64_t start = timer.deadline();
    kes::platform::sleepMilliseconds(20);
    timer.waitMs(0, *cancel, nullptr);
    EXPECT_TRUE(record.dues.empty());
    // A zero wait does not move the time line: the next wait still absorbs the lateness.
    EXPECT_EQ(timer.deadline(), start);
    // Far enough ahead to be still in the future after the 20 ms sleep on a loaded machine.
    timer.waitMs(100, *cancel, nullptr);
    ASSERT_EQ(record.dues.size(), 1u);
    EXPECT_GT(record.dues[0], 0);
    EXPECT_LE(record.dues[0], 1000000); // at most the 100 ms asked for, in 100 ns units
}

TEST(PreciseTimer, LatenessIsAbsorbedOnlyDownToHalfTheWaitAndTheMovedTimeLineIsKept) {
    auto cancel = newEvent();
    kes::PreciseTimer timer(kes::createTimer());
    const std::int64_t start = timer.deadline();
    // 20 ms late for a 30 ms wait: only 15 ms of it may be absorbed.
    kes::platform::sleepMilliseconds(20);
    const std::int64_t before = kes::platform::performanceCounter();
    timer.waitMs(30, *cancel, nullptr);
    EXPECT_GE(timer.deadline(), before + ticksOfMs(15));
    EXPECT_GE(kes::platform::performanceCounter(), timer.deadline());
    EXPECT_GE(timer.deadline(), start + ticksOfMs(35)); // moved on by the excess

    const std::int64_t moved = timer.deadline();
    const std::int64_t secondStart = kes::platform::performanceCounter();
    timer.waitMs(50, *cancel, nullptr);
    if (secondStart <= moved + ticksOfMs(20)) {
        EXPECT_EQ(timer.deadline(), moved + ticksOfMs(50));
    } else {
        // The first wait woke far too late (a busy machine): the floor applies again.
        EXPECT_GE(timer.deadline(), secondStart + ticksOfMs(25));
    }
}

TEST(PreciseTimer, ArmsTheTimerTheMarginBeforeTheDeadlineAndBusyWaitsTheRest) {
    auto cancel = newEvent();
    FakeTimer::Record record;
    kes::TimerMargin margin(ticksOfMs(1), ticksOfMs(1) / 50, ticksOfMs(2));
    kes::PreciseTimer timer(std::make_unique<FakeTimer>(record), margin);
    const std::int64_t start = timer.deadline();
    timer.waitMs(30, *cancel, nullptr);
    ASSERT_EQ(record.dues.size(), 1u);
    EXPECT_LE(record.dues[0], 290000); // 30 ms less the 1 ms margin, in 100 ns units
    EXPECT_GT(record.dues[0], 0);
    // The fake fires at once: the busy wait still ends the wait at the deadline, not before it.
    EXPECT_GE(kes::platform::performanceCounter(), start + ticksOfMs(30));

    // A wait that ends within the margin is a busy wait only.
    timer.waitMs(1, *cancel, nullptr);
    EXPECT_EQ(record.dues.size(), 1u);
    EXPECT_GE(kes::platform::performanceCounter(), start + ticksOfMs(31));
}

TEST(PreciseTimer, ATimerThatIsNeverLateEarnsTheLeastMargin) {
    auto cancel = newEvent();
    FakeTimer::Record record;
    kes::TimerMargin margin(ticksOfMs(1), ticksOfMs(1) / 50, ticksOfMs(2));
    kes::PreciseTimer timer(std::make_unique<FakeTimer>(record), margin);
    // Only waits longer than the margin arm the timer; a busy machine may leave some of them shorter.
    for (int i = 0; i < 500 && record.dues.size() < kes::TimerMargin::warmUp; ++i) {
        timer.waitMs(2, *cancel, nullptr);
    }
    ASSERT_EQ(record.dues.size(), kes::TimerMargin::warmUp);
    EXPECT_EQ(timer.margin().current(), ticksOfMs(1) / 50);
    record.dues.clear();
    timer.waitMs(30, *cancel, nullptr);
    ASSERT_EQ(record.dues.size(), 1u);
    EXPECT_LE(record.dues[0], 299800); // 30 ms less 20 us
    EXPECT_GT(record.dues[0], 0);
}

TEST(PreciseTimer, RelativeDueTimeIsInHundredNanosecondsAndAtLeastOne) {
    EXPECT_EQ(kes::relativeDueTime(1, 1000000000), 1);
    EXPECT_EQ(kes::relativeDueTime(199, 1000000000), 1);
    EXPECT_EQ(kes::relativeDueTime(1000, 1000000000), 10);
    EXPECT_EQ(kes::relativeDueTime(1, 10000000), 1);
    EXPECT_EQ(kes::relativeDueTime(300000, 10000000), 300000);
    EXPECT_EQ(kes::relativeDueTime(10000000LL * 60, 10000000), 600000000);
    EXPECT_EQ(kes::relativeDueTime(1000000000LL * 60, 1000000000), 600000000);
}

TEST(PreciseTimer, TimerFailuresBecomeTheirErrors) {
    auto cancel = newEvent();
    FakeTimer::Record record;
    kes::PreciseTimer timer(std::make_unique<FakeTimer>(record));
    record.armSucceeds = false;
    try {
        timer.waitMs(20, *cancel, nullptr);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "高精度计时器启动失败");
    }
    record.armSucceeds = true;
    record.result = kes::platform::TimerWait::Failed;
    try {
        timer.waitMs(20, *cancel, nullptr);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "高精度等待失败");
    }
    record.result = kes::platform::TimerWait::Cancelled;
    EXPECT_THROW(timer.waitMs(20, *cancel, nullptr), kes::Cancelled);
}

TEST(PreciseTimer, CreationFallsBackToAnOrdinaryTimer) {
    FakeTimer::Record record;
    std::vector<bool> asked;
    auto timer = kes::createTimer([&](bool highResolution) -> std::unique_ptr<kes::platform::OneShotTimer> {
        asked.push_back(highResolution);
        if (highResolution) {
            return nullptr;
        }
        return std::make_unique<FakeTimer>(record);
    });
    EXPECT_NE(timer, nullptr);
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));

    try {
        kes::createTimer([](bool) { return std::unique_ptr<kes::platform::OneShotTimer>(); });
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "无法创建高精度计时器");
    }
}

TEST(PreciseTimer, AddsOvershootToTheStatistics) {
    auto cancel = newEvent();
    kes::PerfCounters counters;
    kes::PreciseTimer timer(kes::createTimer());
    timer.waitMs(2, *cancel, &counters);
    timer.waitMs(0, *cancel, &counters);
    EXPECT_EQ(counters.timerOvershoot.count.load(), 2);
    EXPECT_GE(counters.timerOvershoot.totalNs.load(), 0);
    EXPECT_LT(counters.timerOvershoot.maxNs.load(), 1000000000);
}

TEST(PreciseTimer, TicksToMsUsesTheCounterFrequency) {
    const std::int64_t frequency = kes::platform::performanceFrequency();
    EXPECT_DOUBLE_EQ(kes::ticksToMs(frequency), 1000.0);
    EXPECT_DOUBLE_EQ(kes::ticksToMs(frequency / 1000), 1.0);
    EXPECT_EQ(kes::ticksToNs(frequency), 1000000000);
}

} // namespace
