// The engine's Win32 services for real: the low-level hook, keybd_event output and the foreground program.
#include "engine/DefaultProgramMatcher.h"
#include "engine/EngineTestSupport.h"
#include "engine/ProgramName.h"
#include "platform/ForegroundProgram.h"
#include "platform/KeyEvents.h"
#include "platform/KeyboardHook.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

using namespace kes::test;

constexpr int keyF9 = 120;

// Pumps the calling thread's messages (the hook is called from them) until `done` or about two seconds.
template <typename Done> bool pumpUntil(Done done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return done();
}

void sendKey(int vk, bool down) {
    kes::platform::sendKeyEvent(static_cast<unsigned char>(vk),
                                static_cast<unsigned char>(kes::platform::scanCodeOf(vk)), down ? 0 : 2);
}

struct SeenEvent {
    int vk;
    kes::platform::KeyEventKind kind;
    bool injected;
};
std::vector<SeenEvent> seenEvents;

std::intptr_t recordAndPassOn(const kes::platform::KeyboardHookEvent& event,
                              const kes::platform::NextHook& next) {
    seenEvents.push_back({event.vk, event.kind, event.injected});
    return next();
}

TEST(Win32KeyboardHook, SeesKeybdEventOutputAsInjectedDownAndUp) {
    seenEvents.clear();
    auto hook = kes::platform::installKeyboardHook(&recordAndPassOn);
    ASSERT_NE(hook, nullptr);
    sendKey(keyF9, true);
    sendKey(keyF9, false);
    ASSERT_TRUE(pumpUntil([] { return seenEvents.size() >= 2; }));
    hook.reset();
    EXPECT_EQ(seenEvents[0].vk, keyF9);
    EXPECT_EQ(seenEvents[0].kind, kes::platform::KeyEventKind::Down);
    EXPECT_TRUE(seenEvents[0].injected);
    EXPECT_EQ(seenEvents[1].vk, keyF9);
    EXPECT_EQ(seenEvents[1].kind, kes::platform::KeyEventKind::Up);
    EXPECT_TRUE(seenEvents[1].injected);

    // Removed: no further calls.
    seenEvents.clear();
    sendKey(keyF9, true);
    sendKey(keyF9, false);
    pumpUntil([] { return false; });
    EXPECT_TRUE(seenEvents.empty());
}

TEST(Win32KeyboardHook, TheEnginesHookPassesInjectedTriggersOnUntouched) {
    ScratchDirectory directory("win32-hook");
    kes::Log log;
    log.setDirectory(directory.path());
    kes::PerfCounters counters;
    RecordingSender recorder;
    kes::Engine engine(log, &counters, false, recorder.sender(), [](const std::wstring&) { return true; });
    engine.apply(true, profileOf({macro(1, "once", keyF9, {step({keyA})})}));
    sendKey(keyF9, true);
    sendKey(keyF9, false);
    ASSERT_TRUE(pumpUntil([&] { return counters.hookTime.count.load() >= 2; }));
    EXPECT_EQ(engine.jobCount(), 0u);
    EXPECT_EQ(engine.pressedKeyCount(), 0u);
    EXPECT_EQ(recorder.count(), 0u);
    engine.stop();
}

// Another low-level hook on this thread, as the master switch's F12 watch is in the program.
std::vector<SeenEvent> watchedEvents;

std::intptr_t watchAndPassOn(const kes::platform::KeyboardHookEvent& event,
                             const kes::platform::NextHook& next) {
    watchedEvents.push_back({event.vk, event.kind, event.injected});
    return next();
}

bool watched(int vk, kes::platform::KeyEventKind kind) {
    for (const SeenEvent& event : watchedEvents) {
        if (event.vk == vk && event.kind == kind && event.injected) {
            return true;
        }
    }
    return false;
}

// The job's releases are input that must pass this thread's hooks; switching off waits for the job, so
// it has to keep delivering their calls instead of holding them until the system's hook timeout.
class Win32SwitchOff : public ::testing::TestWithParam<bool> {};

TEST_P(Win32SwitchOff, ReleasesALatchedKeyPromptlyAndKeepsTheHooksWorking) {
    const bool byProfile = GetParam();
    ScratchDirectory directory("win32-switch-off");
    kes::Log log;
    log.setDirectory(directory.path());
    kes::PerfCounters counters;
    kes::Engine engine(log, &counters, false, {}, [](const std::wstring&) { return true; });
    watchedEvents.clear();
    auto watch = kes::platform::installKeyboardHook(&watchAndPassOn);
    ASSERT_NE(watch, nullptr);
    engine.apply(true, profileOf({macro(1, "latch", keyF9, {step({keyA})})}));
    EXPECT_TRUE(engine.onKey(keyF9, true, false)); // the trigger, as from the keyboard
    ASSERT_TRUE(pumpUntil([] { return watched(keyA, kes::platform::KeyEventKind::Down); }));

    const std::int64_t begin = kes::platform::performanceCounter();
    if (byProfile) {
        engine.apply(true, profileOf({macro(1, "latch", keyF9, {step({keyA})})}, L"other.exe"));
    } else {
        engine.setEnabled(false);
    }
    const double switchOffMs = msBetween(begin, kes::platform::performanceCounter());
    std::printf("switch-off %s: %.1f ms\n", byProfile ? "by a profile for another program" : "by the switch",
                switchOffMs);
    EXPECT_EQ(engine.jobCount(), 0u);
    EXPECT_TRUE(watched(keyA, kes::platform::KeyEventKind::Up)); // seen while switching off
    EXPECT_LT(switchOffMs, 250.0);
    EXPECT_EQ(GetAsyncKeyState(keyA) & 0x8000, 0);

    // Both hooks still see input afterwards.
    const std::int64_t hookCalls = counters.hookTime.count.load();
    sendKey(keyF9, true);
    sendKey(keyF9, false);
    EXPECT_TRUE(pumpUntil([] { return watched(keyF9, kes::platform::KeyEventKind::Up); }));
    if (byProfile) {
        EXPECT_TRUE(pumpUntil([&] { return counters.hookTime.count.load() >= hookCalls + 2; }));
    }
    engine.stop();
}

std::string switchOffName(const ::testing::TestParamInfo<bool>& way) {
    return way.param ? "ByAProfileForAnotherProgram" : "ByTheSwitch";
}

INSTANTIATE_TEST_SUITE_P(Ways, Win32SwitchOff, ::testing::Bool(), switchOffName);

TEST(Win32ForegroundProgram, NamesTheProgramOwningTheForegroundWindow) {
    HWND window = CreateWindowExW(0, L"STATIC", L"kes foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    const bool inFront = pumpUntil([&] { return GetForegroundWindow() == window; });
    ASSERT_TRUE(inFront)
        << "the window did not come to the front; this test needs a desktop (an X display under Wine)";

    const auto path = kes::platform::foregroundProgramPath();
    ASSERT_TRUE(path.has_value());
    wchar_t own[32768];
    const DWORD length = GetModuleFileNameW(nullptr, own, 32768);
    const std::wstring ownName = kes::programFileName(std::wstring(own, length));
    EXPECT_TRUE(kes::sameProgramName(kes::programFileName(*path), ownName));

    EXPECT_TRUE(kes::defaultProgramMatcher(ownName));
    std::wstring upper = ownName;
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(towupper(c));
    }
    EXPECT_TRUE(kes::defaultProgramMatcher(upper));
    EXPECT_FALSE(kes::defaultProgramMatcher(L"other.exe"));
    EXPECT_TRUE(kes::defaultProgramMatcher(L""));
    DestroyWindow(window);
}

TEST(Win32ScanCodes, EveryKeyTheEngineNamesHasOne) {
    for (int vk : {8,  9,  13, 16, 17, 18, 27, 32,  33,  34,  35,  36,
                   37, 38, 39, 40, 45, 46, 91, 106, 107, 109, 110, 111}) {
        EXPECT_NE(kes::platform::scanCodeOf(vk), 0u) << vk;
    }
    for (int vk = 'A'; vk <= 'Z'; ++vk) {
        EXPECT_NE(kes::platform::scanCodeOf(vk), 0u) << vk;
    }
    for (int vk = 96; vk <= 105; ++vk) {
        if (kes::test::scanCodeMissingUnderWine(vk)) {
            continue;
        }
        EXPECT_NE(kes::platform::scanCodeOf(vk), 0u) << vk;
    }
    for (int vk = 112; vk <= 123; ++vk) {
        EXPECT_NE(kes::platform::scanCodeOf(vk), 0u) << vk;
    }
}

} // namespace
