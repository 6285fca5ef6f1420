// Switch-off under real hooks: the engine with its low-level hook and keybd_event output, the shell's F12
// watch as the master key, and a recording hook. A "latch" on F4 holds H; run.sh switches the engine off by
// F12 and, after switching it on again, by a profile for another program (F11). Each switch-off must end
// well within the system's hook timeout with H released while it ran, and both hooks must work afterwards.
// Prints its figures and exits 0 when every check passed.
#include "engine/Engine.h"
#include "engine/Profile.h"
#include "shell/HostContext.h"
#include "shell/MasterHotkey.h"
#include "shell/win32/HotkeyRegistration.h"
#include "support/FakeBrowser.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace {

constexpr int keyH = 0x48, keyF11 = 0x7A;
constexpr UINT applyOtherProgramMessage = WM_APP + 1;
constexpr UINT reportMessage = WM_APP + 2;
constexpr UINT_PTR safetyTimer = 1;
constexpr double promptMs = 250.0; // the system's hook timeout is several times longer

struct App {
    HWND window = nullptr;
    HHOOK recorder = nullptr;
    kes::PerfCounters counters;
    LARGE_INTEGER frequency{};
    double hDownAt = -1, hUpAt = -1; // the latched key's last injected down and up, as the recorder saw them
    int latches = 0;
    int toggles = 0;
    int failures = 0;
    std::int64_t hookCallsAfterProfileSwitch = -1;
};

App app;

double nowMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(app.frequency.QuadPart);
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void check(bool ok, const std::string& what) {
    say(std::string(ok ? "ok: " : "FAILED: ") + what);
    app.failures += ok ? 0 : 1;
}

kes::Profile latchProfile(const char* program) {
    return kes::parseProfile(
        {{"program", program},
         {"macros", nlohmann::json::array({{{"id", 1},
                                            {"behavior", "latch"},
                                            {"trigger", "F4"},
                                            {"steps", {{{"key", "H"}, {"hold", 20}, {"gap", 20}}}}}})}});
}

// Called before every other hook of the program (installed last). Lines are printed outside the hook.
LRESULT CALLBACK recorderProcedure(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        const bool injected = (event->flags & LLKHF_INJECTED) != 0;
        if (injected && event->vkCode == keyH) {
            (down ? app.hDownAt : app.hUpAt) = nowMs();
            if (down) {
                PostMessageW(app.window, reportMessage, 0, 0);
            }
        }
        if (!injected && event->vkCode == keyF11) {
            if (!down) {
                PostMessageW(app.window, applyOtherProgramMessage, 0, 0);
            }
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

// Runs one switch-off and judges it.
template <typename SwitchOff> void judgeSwitchOff(const std::string& how, SwitchOff switchOff) {
    const double begin = nowMs();
    switchOff();
    const double end = nowMs();
    char figures[200];
    std::snprintf(figures, sizeof figures, "switch-off %s: %.1f ms, H released %.1f ms after it began",
                  how.c_str(), end - begin, app.hUpAt - begin);
    say(figures);
    check(end - begin < promptMs, how + " completes well within the hook timeout");
    check(app.hUpAt >= begin && app.hUpAt <= end, how + ": H came up through the hooks while it ran");
    check((GetAsyncKeyState(keyH) & 0x8000) == 0, how + ": H is up");
    kes::HostContext& context = kes::hostContext();
    check(context.engine->jobCount() == 0, how + ": no job left");
}

void finish() {
    KillTimer(app.window, safetyTimer);
    say(app.failures == 0 ? "switch-off: passed" : "switch-off: FAILED");
    DestroyWindow(app.window);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    kes::HostContext& context = kes::hostContext();
    switch (message) {
    case WM_HOTKEY:
        if (static_cast<int>(wParam) != context.masterHotkeyId) {
            return 0;
        }
        ++app.toggles;
        if (app.toggles == 1) {
            judgeSwitchOff("by the F12 master key", [] { kes::toggleMasterSwitch(); });
            check(!context.engine->isEnabled(), "the master key switched the engine off");
        } else {
            kes::toggleMasterSwitch();
            say(context.engine->isEnabled() ? "switched on" : "switched off");
        }
        if (app.toggles == 3) {
            // The last press: the F12 watch still works after both switch-offs, and the engine's hook saw the
            // keys pressed since the second one (F9, then this F12).
            check(true, "the F12 watch still toggles after both switch-offs");
            check(app.hookCallsAfterProfileSwitch >= 0 &&
                      app.counters.hookTime.count.load() >= app.hookCallsAfterProfileSwitch + 2,
                  "the engine's hook still sees keys after the switch-off by a profile");
            finish();
        }
        return 0;
    case applyOtherProgramMessage: {
        judgeSwitchOff("by a profile for another program",
                       [&] { context.engine->apply(true, latchProfile("other.exe")); });
        app.hookCallsAfterProfileSwitch = app.counters.hookTime.count.load();
        say("profile switched");
        return 0;
    }
    case reportMessage:
        ++app.latches;
        say("latched " + std::to_string(app.latches));
        return 0;
    case WM_TIMER:
        if (wParam == safetyTimer) {
            check(false, "the scenario ended in time");
            finish();
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int main() {
    QueryPerformanceFrequency(&app.frequency);
    kes::HostContext& context = kes::hostContext();
    const std::filesystem::path logs = std::filesystem::temp_directory_path() / "kes-switch-off-logs";
    context.log.setDirectory(logs);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KesSwitchOff";
    RegisterClassExW(&windowClass);
    app.window = CreateWindowExW(0, windowClass.lpszClassName, L"Kestrava switch-off", WS_OVERLAPPEDWINDOW,
                                 100, 100, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (app.window == nullptr) {
        say("FAILED: no window");
        return 1;
    }
    context.window = app.window;
    context.webView = std::make_shared<kes::fake::FakeWebView>(std::make_shared<kes::fake::CallList>());
    context.pageStateReceived = true;
    context.engine = std::make_unique<kes::Engine>(context.log, &app.counters, false, kes::KeySender(),
                                                   kes::ProgramMatcher());
    context.engine->apply(true, latchProfile(""));

    context.masterHotkeyKey = 12;
    if (!kes::win32::registerMasterHotkey(kes::masterHotkeyFirstId, 12)) {
        say("FAILED: the F12 watch could not be installed");
        return 1;
    }
    context.masterHotkeyId = kes::masterHotkeyFirstId;
    app.recorder = SetWindowsHookExW(WH_KEYBOARD_LL, recorderProcedure, GetModuleHandleW(nullptr), 0);
    SetTimer(app.window, safetyTimer, 90000, nullptr);
    // X key events reach the program only once one of its windows has been clicked.
    ShowWindow(app.window, SW_SHOW);
    UpdateWindow(app.window);
    SetForegroundWindow(app.window);
    RECT area{};
    GetWindowRect(app.window, &area);
    say("ready " + std::to_string((area.left + area.right) / 2) + " " +
        std::to_string((area.top + area.bottom) / 2));

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    UnhookWindowsHookEx(app.recorder);
    kes::win32::unregisterMasterHotkey(context.masterHotkeyId, 12);
    context.engine->stop();
    context.engine.reset();
    context.webView.reset();
    return app.failures == 0 ? 0 : 1;
}
