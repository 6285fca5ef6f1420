#include "platform/CancelEvent.h"
#include "platform/Clock.h"
#include "platform/OneShotTimer.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using kes::platform::TimerWait;

double msSince(std::int64_t begin) {
    return static_cast<double>(kes::platform::performanceCounter() - begin) * 1000.0 /
           static_cast<double>(kes::platform::performanceFrequency());
}

TEST(CancelEvent, StartsUnsetAndStaysSetOnceSet) {
    auto event = kes::platform::createCancelEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(event->isSet());
    EXPECT_FALSE(event->isSet());
    event->set();
    EXPECT_TRUE(event->isSet());
    EXPECT_TRUE(event->isSet());
    event->set();
    EXPECT_TRUE(event->isSet());
}

TEST(CancelEvent, IsSeenByOtherThreads) {
    auto event = kes::platform::createCancelEvent();
    std::thread setter([&] { event->set(); });
    setter.join();
    EXPECT_TRUE(event->isSet());
}

TEST(OneShotTimer, FiresAfterItsDelay) {
    for (const bool highResolution : {true, false}) {
        auto timer = kes::platform::createOneShotTimer(highResolution);
        if (!timer) {
            continue; // the high-resolution kind may be missing; the caller falls back
        }
        auto cancel = kes::platform::createCancelEvent();
        const std::int64_t begin = kes::platform::performanceCounter();
        ASSERT_TRUE(timer->arm(200000)); // 20 ms
        EXPECT_EQ(timer->wait(*cancel), TimerWait::Elapsed);
        const double elapsed = msSince(begin);
        EXPECT_GE(elapsed, 15.0);
        EXPECT_LT(elapsed, 1000.0);
    }
    EXPECT_TRUE(kes::platform::createOneShotTimer(true) || kes::platform::createOneShotTimer(false));
}

TEST(OneShotTimer, CanBeArmedAgainAfterFiring) {
    auto timer = kes::platform::createOneShotTimer(true);
    if (!timer) {
        timer = kes::platform::createOneShotTimer(false);
    }
    ASSERT_NE(timer, nullptr);
    auto cancel = kes::platform::createCancelEvent();
    for (int round = 0; round < 3; ++round) {
        const std::int64_t begin = kes::platform::performanceCounter();
        ASSERT_TRUE(timer->arm(50000));
        EXPECT_EQ(timer->wait(*cancel), TimerWait::Elapsed);
        EXPECT_GE(msSince(begin), 3.0);
    }
}

TEST(OneShotTimer, TheCancelEventWinsAndInterruptsTheWait) {
    auto timer = kes::platform::createOneShotTimer(true);
    if (!timer) {
        timer = kes::platform::createOneShotTimer(false);
    }
    ASSERT_NE(timer, nullptr);
    auto cancel = kes::platform::createCancelEvent();

    ASSERT_TRUE(timer->arm(100000000)); // 10 s
    const std::int64_t begin = kes::platform::performanceCounter();
    std::thread setter([&] {
        kes::platform::sleepMilliseconds(30);
        cancel->set();
    });
    EXPECT_EQ(timer->wait(*cancel), TimerWait::Cancelled);
    setter.join();
    const double elapsed = msSince(begin);
    EXPECT_GE(elapsed, 25.0);
    EXPECT_LT(elapsed, 2000.0);

    // Both signalled: the cancel event is reported.
    ASSERT_TRUE(timer->arm(1));
    kes::platform::sleepMilliseconds(5);
    EXPECT_EQ(timer->wait(*cancel), TimerWait::Cancelled);
}

TEST(Clock, CounterIsMonotonicAtItsFrequency) {
    const std::int64_t frequency = kes::platform::performanceFrequency();
    EXPECT_GE(frequency, 1000000);
    EXPECT_EQ(kes::platform::performanceFrequency(), frequency);
    const std::int64_t begin = kes::platform::performanceCounter();
    kes::platform::sleepMilliseconds(20);
    const std::int64_t end = kes::platform::performanceCounter();
    EXPECT_GE(end - begin, frequency * 19 / 1000);
    EXPECT_LT(end - begin, frequency * 2);
    for (int i = 0; i < 1000; ++i) {
        kes::platform::spinPause();
    }
    EXPECT_GE(kes::platform::performanceCounter(), end);
}

} // namespace
