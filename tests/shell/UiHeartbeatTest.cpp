#include "shell/UiHeartbeat.h"

#include <gtest/gtest.h>

TEST(UiHeartbeat, LatenessPastOneHundredMillisecondsIsRecorded) {
    kes::PerfCounters counters;
    // A counter in microseconds.
    kes::UiHeartbeat heartbeat(5000, 1000000);
    heartbeat.tick(5000 + 100000, counters);          // on time
    heartbeat.tick(5000 + 100000 + 60000, counters);  // early: no lateness
    heartbeat.tick(5000 + 160000 + 150500, counters); // 50.5 ms late
    EXPECT_EQ(counters.uiHeartbeat.count.load(), 3);
    EXPECT_EQ(counters.uiHeartbeat.totalNs.load(), 50500000);
    EXPECT_EQ(counters.uiHeartbeat.maxNs.load(), 50500000);
    heartbeat.tick(5000 + 310500 + 120000, counters); // 20 ms late
    EXPECT_EQ(counters.uiHeartbeat.totalNs.load(), 70500000);
    EXPECT_EQ(counters.uiHeartbeat.maxNs.load(), 50500000);
}

TEST(UiHeartbeat, FirstTickMeasuresFromTheStartAndEveryTenthSamples) {
    kes::PerfCounters counters;
    kes::UiHeartbeat heartbeat(0, 1000);
    std::vector<int> due;
    std::int64_t now = 0;
    for (int tick = 1; tick <= 25; ++tick) {
        now += tick == 1 ? 350 : 100;
        if (heartbeat.tick(now, counters)) {
            due.push_back(tick);
        }
    }
    EXPECT_EQ(due, (std::vector<int>{10, 20}));
    EXPECT_EQ(counters.uiHeartbeat.maxNs.load(), 250000000);
    EXPECT_EQ(counters.uiHeartbeat.count.load(), 25);
}
