#include "engine/TimerMargin.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Ticks are plain numbers here: a margin of 1000 at first, between 20 and 2000.
constexpr std::int64_t initial = 1000, least = 20, most = 2000;

TEST(TimerMargin, KeepsTheInitialMarginUntilEnoughWakeUpsWereSeen) {
    kes::TimerMargin margin(initial, least, most);
    for (std::size_t i = 0; i + 1 < kes::TimerMargin::warmUp; ++i) {
        margin.observe(100);
        EXPECT_EQ(margin.current(), 1000);
    }
    margin.observe(100);
    EXPECT_EQ(margin.current(), 100);
}

TEST(TimerMargin, FollowsTheSecondLatestRecentWakeUpWithinItsBounds) {
    struct Case {
        const char* name;
        std::vector<std::int64_t> lateness;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {"steady lateness", std::vector<std::int64_t>(64, 550), 550},
        {"one outlier is ignored",
         [] {
             std::vector<std::int64_t> v(64, 500);
             v[10] = 1900;
             return v;
         }(),
         500},
        {"two outliers set it",
         [] {
             std::vector<std::int64_t> v(64, 500);
             v[10] = 1900;
             v[40] = 1200;
             return v;
         }(),
         1200},
        {"early wake-ups keep the least margin", std::vector<std::int64_t>(64, -300), 20},
        {"hiccups are capped", std::vector<std::int64_t>(64, 50000), 2000},
        {"old wake-ups are forgotten",
         [] {
             std::vector<std::int64_t> v(2, 1900);
             v.insert(v.end(), 64, 300);
             return v;
         }(),
         300},
    };
    for (const Case& c : cases) {
        kes::TimerMargin margin(initial, least, most);
        for (std::int64_t lateness : c.lateness) {
            margin.observe(lateness);
        }
        EXPECT_EQ(margin.current(), c.expected) << c.name;
    }
}

} // namespace
