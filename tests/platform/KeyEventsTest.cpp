#include "platform/KeyEvents.h"
#include "platform/ThreadPriority.h"

#include "engine/DefaultProgramMatcher.h"
#include "platform/ForegroundProgram.h"

#include <gtest/gtest.h>

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

TEST(ScanCodes, UnassignedKeysHaveNone) {
    EXPECT_EQ(kes::platform::scanCodeOf(7), 0u);
    EXPECT_EQ(kes::platform::scanCodeOf(0), 0u);
}

TEST(ScanCodes, CommonKeysHaveTheirUsLayoutCodes) {
    EXPECT_EQ(kes::platform::scanCodeOf(65), 0x1Eu);  // A
    EXPECT_EQ(kes::platform::scanCodeOf(13), 0x1Cu);  // Enter
    EXPECT_EQ(kes::platform::scanCodeOf(112), 0x3Bu); // F1
    EXPECT_EQ(kes::platform::scanCodeOf(17), 0x1Du);  // Ctrl
    EXPECT_EQ(kes::platform::scanCodeOf(37), 0x4Bu);  // Left
}

TEST(DefaultProgramMatcher, AGlobalProfileMatchesWhateverIsInFront) {
    EXPECT_TRUE(kes::defaultProgramMatcher(L""));
}

#ifdef _WIN32

TEST(ThreadPriority, JobThreadsRunAtTheLowestPriority) {
    int priority = 0;
    std::thread([&] {
        kes::platform::lowerCurrentThreadPriority();
        priority = GetThreadPriority(GetCurrentThread());
    }).join();
    EXPECT_EQ(priority, THREAD_PRIORITY_LOWEST);
}

#else

TEST(ScanCodes, EveryFunctionKeyHasOne) {
    for (int vk = 112; vk <= 135; ++vk) {
        EXPECT_NE(kes::platform::scanCodeOf(vk), 0u) << vk;
    }
}

TEST(KeyOutputHere, TheDefaultSenderRefusesClearly) {
    try {
        kes::platform::sendKeyEvent(65, 0x1E, 0);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "此系统暂不支持按键输出");
    }
}

TEST(ThreadPriority, JobThreadsAreNicerThanTheirCreator) {
    const int creator = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    int job = 0;
    std::thread([&] {
        kes::platform::lowerCurrentThreadPriority();
        job = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    }).join();
    EXPECT_EQ(job, std::min(creator + 2, 19));
}

TEST(DefaultProgramMatcher, NoForegroundProgramIsKnownHere) {
    EXPECT_FALSE(kes::platform::foregroundProgramPath().has_value());
    EXPECT_FALSE(kes::defaultProgramMatcher(L"game.exe"));
}

#endif

} // namespace
