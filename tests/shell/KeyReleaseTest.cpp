// What the main window does on lock, session switch, log-off, suspend and shut-down.
#include "shell/KeyRelease.h"

#include "engine/EngineTestSupport.h"
#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using kes::ReleaseOccasion;

struct OccasionCase {
    unsigned message;
    std::uintptr_t wParam;
    std::optional<ReleaseOccasion> occasion;
};

TEST(KeyRelease, TheSystemMessagesThatReleaseTheKeys) {
    const OccasionCase cases[] = {
        {0x02B1, 0x7, ReleaseOccasion::SessionLocked},       // WTS_SESSION_LOCK
        {0x02B1, 0x8, std::nullopt},                         // WTS_SESSION_UNLOCK
        {0x02B1, 0x2, ReleaseOccasion::SessionSwitchedAway}, // WTS_CONSOLE_DISCONNECT
        {0x02B1, 0x4, ReleaseOccasion::SessionSwitchedAway}, // WTS_REMOTE_DISCONNECT
        {0x02B1, 0x1, std::nullopt},                         // WTS_CONSOLE_CONNECT
        {0x02B1, 0x6, ReleaseOccasion::LoggingOff},          // WTS_SESSION_LOGOFF
        {0x0218, 0x4, ReleaseOccasion::Suspending},          // PBT_APMSUSPEND
        {0x0218, 0x7, std::nullopt},                         // PBT_APMRESUMESUSPEND
        {0x0218, 0x12, std::nullopt},                        // PBT_APMRESUMEAUTOMATIC
        {0x0011, 0x0, ReleaseOccasion::EndingSession},       // WM_QUERYENDSESSION
        {0x0016, 0x1, ReleaseOccasion::EndingSession},       // WM_ENDSESSION, the session ends
        {0x0016, 0x0, std::nullopt},                         // WM_ENDSESSION, it goes on
        {0x0113, 0x7, std::nullopt},                         // WM_TIMER
    };
    for (const OccasionCase& c : cases) {
        EXPECT_EQ(kes::releaseOccasionOf(c.message, c.wParam), c.occasion) << c.message << " " << c.wParam;
    }
}

TEST(KeyRelease, OneLogLineEachTime) {
    EXPECT_EQ(kes::releaseLogLine(ReleaseOccasion::SessionLocked, {1, 2}),
              "会话已锁定：已结束 1 个运行中的宏，松开 2 个按键");
    EXPECT_EQ(kes::releaseLogLine(ReleaseOccasion::Suspending, {0, 0}),
              "系统即将睡眠：已结束 0 个运行中的宏，松开 0 个按键");
    EXPECT_EQ(kes::releaseLogLine(ReleaseOccasion::EndingSession, {2, 1}).rfind("系统正在注销或关机：", 0),
              0u);
    EXPECT_EQ(
        kes::releaseLogLine(ReleaseOccasion::SessionSwitchedAway, {0, 0}).rfind("已切换到其他会话：", 0), 0u);
    EXPECT_EQ(kes::releaseLogLine(ReleaseOccasion::LoggingOff, {0, 0}).rfind("用户正在注销：", 0), 0u);
}

TEST(KeyRelease, TheHostReleasesALatchAndLogsItWithTheSwitchLeftOn) {
    kes::test::ContextFixture fixture{"release"};
    kes::HostContext& context = fixture.context;
    kes::test::RecordingSender recorder;
    context.engine = std::make_unique<kes::Engine>(context.log, nullptr, true, recorder.sender(),
                                                   [](const std::wstring&) { return true; });
    kes::releaseHeldKeys(context, ReleaseOccasion::SessionLocked); // nothing running: still one line
    context.engine->apply(true, kes::test::profileOf({kes::test::macro(
                                    1, "latch", kes::test::keyF8, {kes::test::step({kes::test::keyA})})}));
    EXPECT_TRUE(context.engine->onKey(kes::test::keyF8, true, false));
    ASSERT_TRUE(recorder.waitForMoreThan(0));

    kes::releaseHeldKeys(context, ReleaseOccasion::SessionLocked);
    EXPECT_TRUE(recorder.keysDown().empty());
    EXPECT_EQ(context.engine->jobCount(), 0u);
    EXPECT_TRUE(context.engine->isEnabled());
    const std::string log = fixture.runLog();
    EXPECT_NE(log.find("会话已锁定：已结束 0 个运行中的宏，松开 0 个按键\n"), std::string::npos) << log;
    EXPECT_NE(log.find("会话已锁定：已结束 1 个运行中的宏，松开 1 个按键\n"), std::string::npos) << log;

    context.engine.reset();
    kes::releaseHeldKeys(context, ReleaseOccasion::Suspending); // without an engine: nothing
    EXPECT_EQ(fixture.runLog(), log);
}

} // namespace
