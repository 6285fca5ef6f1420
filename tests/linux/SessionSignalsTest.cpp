// What the Linux host makes of the session's lock, sleep and log-off signals.
#include "shell/gtk/SessionSignals.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using kes::ReleaseOccasion;
using kes::SessionSignal;

struct SignalCase {
    const char* interfaceName;
    const char* member;
    bool argument;
    std::optional<SessionSignal> signal;
};

TEST(SessionSignals, TheSignalsOfLogindAndTheScreenSavers) {
    const SignalCase cases[] = {
        {"org.freedesktop.login1.Session", "Lock", false, SessionSignal::Locked},
        {"org.freedesktop.login1.Session", "Unlock", false, SessionSignal::Unlocked},
        {"org.freedesktop.login1.Session", "Active", false, SessionSignal::Inactive},
        {"org.freedesktop.login1.Session", "Active", true, SessionSignal::Active},
        {"org.freedesktop.login1.Session", "PauseDevice", true, std::nullopt},
        {"org.freedesktop.login1.Manager", "PrepareForSleep", true, SessionSignal::SleepComing},
        {"org.freedesktop.login1.Manager", "PrepareForSleep", false, SessionSignal::Resumed},
        {"org.freedesktop.login1.Manager", "PrepareForShutdown", true, SessionSignal::ShutdownComing},
        {"org.freedesktop.login1.Manager", "PrepareForShutdown", false, SessionSignal::ShutdownCancelled},
        {"org.freedesktop.login1.Manager", "SessionRemoved", true, SessionSignal::Removed},
        {"org.freedesktop.login1.Manager", "SessionRemoved", false, std::nullopt}, // another user's session
        {"org.freedesktop.login1.Manager", "Lock", false, std::nullopt},
        {"org.freedesktop.ScreenSaver", "ActiveChanged", true, SessionSignal::Locked},
        {"org.freedesktop.ScreenSaver", "ActiveChanged", false, SessionSignal::Unlocked},
        {"org.gnome.ScreenSaver", "ActiveChanged", true, SessionSignal::Locked},
        {"org.gnome.ScreenSaver", "ActiveChanged", false, SessionSignal::Unlocked},
        {"org.gnome.ScreenSaver", "WakeUpScreen", true, std::nullopt},
        {"org.freedesktop.ScreenSaverX", "ActiveChanged", true, std::nullopt},
    };
    for (const SignalCase& c : cases) {
        EXPECT_EQ(kes::sessionSignalOf(c.interfaceName, c.member, c.argument), c.signal)
            << c.interfaceName << "." << c.member << "(" << c.argument << ")";
    }
}

// One signal and what the host must do about it, in order.
struct Answer {
    SessionSignal signal;
    std::optional<ReleaseOccasion> release;
    bool dropInhibitor = false;
    bool takeInhibitor = false;
};

void expectAnswers(const std::string& name, std::initializer_list<Answer> answers) {
    kes::SessionFollower follower;
    int step = 0;
    for (const Answer& answer : answers) {
        const kes::SessionResponse response = follower.respond(answer.signal);
        EXPECT_EQ(response.release, answer.release) << name << ", step " << step;
        EXPECT_EQ(response.dropInhibitor, answer.dropInhibitor) << name << ", step " << step;
        EXPECT_EQ(response.takeInhibitor, answer.takeInhibitor) << name << ", step " << step;
        ++step;
    }
}

TEST(SessionSignals, EachMomentReleasesTheKeysOnceAndSleepWaitsForIt) {
    expectAnswers("lock announced by logind and a screen saver",
                  {{SessionSignal::Locked, ReleaseOccasion::SessionLocked},
                   {SessionSignal::Locked, std::nullopt},
                   {SessionSignal::Unlocked, std::nullopt},
                   {SessionSignal::Unlocked, std::nullopt},
                   {SessionSignal::Locked, ReleaseOccasion::SessionLocked}});
    expectAnswers("switch to another session and back",
                  {{SessionSignal::Inactive, ReleaseOccasion::SessionSwitchedAway},
                   {SessionSignal::Inactive, std::nullopt},
                   {SessionSignal::Active, std::nullopt},
                   {SessionSignal::Inactive, ReleaseOccasion::SessionSwitchedAway}});
    expectAnswers("sleep and wake up twice", {{SessionSignal::SleepComing, ReleaseOccasion::Suspending, true},
                                              {SessionSignal::Resumed, std::nullopt, false, true},
                                              {SessionSignal::SleepComing, ReleaseOccasion::Suspending, true},
                                              {SessionSignal::Resumed, std::nullopt, false, true}});
    expectAnswers("shut-down, cancelled, then carried out",
                  {{SessionSignal::ShutdownComing, ReleaseOccasion::EndingSession, true},
                   {SessionSignal::ShutdownCancelled, std::nullopt, false, true},
                   {SessionSignal::ShutdownComing, ReleaseOccasion::EndingSession, true}});
    expectAnswers("log-off", {{SessionSignal::Removed, ReleaseOccasion::LoggingOff}});
    expectAnswers("a lock while switched away is still a lock",
                  {{SessionSignal::Inactive, ReleaseOccasion::SessionSwitchedAway},
                   {SessionSignal::Locked, ReleaseOccasion::SessionLocked}});
}

TEST(SessionSignals, TheFollowerKnowsWhenTheSessionIsLocked) {
    kes::SessionFollower follower;
    EXPECT_FALSE(follower.locked());
    follower.respond(SessionSignal::Locked);
    EXPECT_TRUE(follower.locked());
    follower.respond(SessionSignal::SleepComing);
    follower.respond(SessionSignal::Resumed);
    EXPECT_TRUE(follower.locked()); // waking up leaves the lock screen in front
    follower.respond(SessionSignal::Unlocked);
    EXPECT_FALSE(follower.locked());
}

} // namespace
