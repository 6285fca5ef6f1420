// The elevation check and the mouse hook for real: the foreground window's process and its token, and
// synthesised button events through the low-level mouse hook.
#include "engine/ElevatedTarget.h"
#include "engine/EngineTestSupport.h"
#include "engine/ProgramName.h"
#include "platform/MouseHook.h"
#include "platform/ProcessElevation.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace kes::test;

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

// A window of this process in front, for as long as the object lives.
class FrontWindow {
public:
    FrontWindow() {
        window_ = CreateWindowExW(0, L"STATIC", L"kes elevation", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                  100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window_ != nullptr) {
            SetForegroundWindow(window_);
            inFront_ = pumpUntil([this] { return GetForegroundWindow() == window_; });
        }
    }
    ~FrontWindow() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    FrontWindow(const FrontWindow&) = delete;
    FrontWindow& operator=(const FrontWindow&) = delete;
    bool inFront() const { return inFront_; }

private:
    HWND window_ = nullptr;
    bool inFront_ = false;
};

std::wstring ownFileName() {
    wchar_t own[32768];
    const DWORD length = GetModuleFileNameW(nullptr, own, 32768);
    return kes::programFileName(std::wstring(own, length));
}

// Our own window in front: the check reads its program and its token, and finds it elevated exactly when this
// process is (Wine gives every process an administrator's token, so there both are), which never blocks.
TEST(Win32Elevation, TheProgramInFrontIsAskedForItsTokenAndOurOwnNeverBlocksOurKeys) {
    const FrontWindow front;
    ASSERT_TRUE(front.inFront()) << "this test needs a desktop (an X display under Wine)";
    const bool selfElevated = kes::platform::currentProcessElevated();
    const kes::platform::ForegroundElevation target = kes::platform::foregroundElevation();
    EXPECT_TRUE(kes::sameProgramName(kes::programFileName(target.programPath), ownFileName()));
    EXPECT_EQ(target.elevation,
              selfElevated ? kes::platform::Elevation::Elevated : kes::platform::Elevation::NotElevated);
    EXPECT_FALSE(kes::keyOutputBlocked(selfElevated, target.elevation));
}

TEST(Win32Elevation, TheEngineWithItsRealCheckPlaysForAProgramThatIsNotElevated) {
    const FrontWindow front;
    ASSERT_TRUE(front.inFront());
    ScratchDirectory directory("win32-elevation");
    kes::Log log;
    log.setDirectory(directory.path());
    RecordingSender recorder;
    kes::Engine engine(log, nullptr, false, recorder.sender(), [](const std::wstring&) { return true; });
    std::vector<std::string> notices;
    engine.noticeCallback = [&notices](const std::string& message) {
        notices.push_back(message);
    };
    engine.apply(true, profileOf({macro(1, "once", keyF8, {step({keyA})})}));
    EXPECT_TRUE(engine.onKey(keyF8, true, false)); // the trigger, as from the keyboard
    EXPECT_TRUE(engine.onKey(keyF8, false, false));
    engine.waitIdle();
    EXPECT_EQ(recorder.count(), 2u);
    EXPECT_TRUE(notices.empty());
    engine.stop();
}

struct SeenButton {
    int vk;
    kes::platform::KeyEventKind kind;
    bool injected;
};
std::vector<SeenButton> seenButtons;

std::intptr_t recordButton(const kes::platform::KeyboardHookEvent& event,
                           const kes::platform::NextHook& next) {
    seenButtons.push_back({event.vk, event.kind, event.injected});
    return next();
}

std::string describe(const std::vector<SeenButton>& buttons) {
    std::string text;
    for (const SeenButton& button : buttons) {
        text += (button.kind == kes::platform::KeyEventKind::Down ? " +" : " -") + std::to_string(button.vk);
    }
    return "seen:" + text;
}

void sendButton(DWORD flags, DWORD data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    SendInput(1, &input, sizeof input);
}

// Under Wine, windows shown and destroyed earlier in the process can keep synthesised clicks from its
// low-level hooks: these tests run in a process of their own (scripts/test).
TEST(Win32MouseHook, ReportsTheMiddleAndSideButtonsAsTheirKeysAndNothingElse) {
    seenButtons.clear();
    auto hook = kes::platform::installMouseHook(&recordButton);
    ASSERT_NE(hook, nullptr);
    sendButton(MOUSEEVENTF_MOVE);
    sendButton(MOUSEEVENTF_MIDDLEDOWN);
    sendButton(MOUSEEVENTF_MIDDLEUP);
    sendButton(MOUSEEVENTF_XDOWN, XBUTTON1);
    sendButton(MOUSEEVENTF_XUP, XBUTTON1);
    sendButton(MOUSEEVENTF_XDOWN, XBUTTON2);
    sendButton(MOUSEEVENTF_XUP, XBUTTON2);
    sendButton(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    ASSERT_TRUE(pumpUntil([] { return seenButtons.size() >= 6; })) << describe(seenButtons);
    pumpUntil([] { return false; }); // nothing else may follow
    hook.reset();
    using Kind = kes::platform::KeyEventKind;
    const std::vector<std::pair<int, Kind>> expected = {{4, Kind::Down}, {4, Kind::Up},   {5, Kind::Down},
                                                        {5, Kind::Up},   {6, Kind::Down}, {6, Kind::Up}};
    ASSERT_EQ(seenButtons.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seenButtons[i].vk, expected[i].first) << i;
        EXPECT_EQ(seenButtons[i].kind, expected[i].second) << i;
        EXPECT_TRUE(seenButtons[i].injected) << i;
    }

    seenButtons.clear();
    sendButton(MOUSEEVENTF_MIDDLEDOWN);
    sendButton(MOUSEEVENTF_MIDDLEUP);
    pumpUntil([] { return false; });
    EXPECT_TRUE(seenButtons.empty()) << "removed hooks are not called";
}

TEST(Win32MouseHook, TheEnginePassesInjectedClicksOnUntouched) {
    ScratchDirectory directory("win32-mouse");
    kes::Log log;
    log.setDirectory(directory.path());
    RecordingSender recorder;
    kes::PerfCounters counters;
    kes::Engine engine(log, &counters, false, recorder.sender(), [](const std::wstring&) { return true; });
    engine.apply(true, profileOf({macro(1, "once", 4, {step({keyA})})}));
    seenButtons.clear();
    auto watch = kes::platform::installMouseHook(&recordButton); // called before the engine's hook
    ASSERT_NE(watch, nullptr);
    sendButton(MOUSEEVENTF_MIDDLEDOWN);
    sendButton(MOUSEEVENTF_MIDDLEUP);
    ASSERT_TRUE(pumpUntil([&] { return counters.hookTime.count.load() >= 2; }))
        << "the engine's hook saw them";
    EXPECT_EQ(seenButtons.size(), 2u);
    EXPECT_EQ(engine.jobCount(), 0u);
    EXPECT_EQ(engine.pressedKeyCount(), 0u);
    EXPECT_EQ(recorder.count(), 0u);
    watch.reset();
    engine.stop();
}

} // namespace
