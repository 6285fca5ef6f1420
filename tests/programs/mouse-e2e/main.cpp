// Mouse-trigger end-to-end driver target: the real engine with its real keyboard and mouse hooks, the
// default key sender and program matcher, playing into a Win32 edit control. run.sh clicks the middle and
// side buttons with xdotool (X buttons 2, 8 and 9); this program records what a low-level mouse hook of its
// own and the edit control saw, judges it on F12 and exits 0 when every check passed.
#include "driver-window/DriverWindow.h"
#include "engine/Engine.h"
#include "engine/Profile.h"
#include "platform/TextConversion.h"
#include "storage/Log.h"

#include <nlohmann/json.hpp>
#include <windows.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kes::e2e::ownExecutablePath;
using kes::e2e::say;

constexpr UINT nextPhaseMessage = WM_APP + 1;
constexpr UINT finishMessage = WM_APP + 2;
constexpr UINT_PTR safetyTimer = 1;
constexpr UINT_PTR settleTimer = 2;
constexpr int nextPhaseKey = VK_F11;
constexpr int finishKey = VK_F12;

// One button event: its virtual key (4 middle, 5 and 6 the side buttons) and direction.
struct ButtonEvent {
    int phase;
    int vk;
    bool down;
    bool injected;
};

struct App {
    HWND window = nullptr;
    HWND edit = nullptr;
    WNDPROC editProcedure = nullptr;
    HHOOK keyRecorder = nullptr;
    HHOOK mouseRecorder = nullptr;
    kes::Engine* engine = nullptr;
    nlohmann::json otherProgramProfile;
    std::filesystem::path logDirectory;
    int phase = 1;
    std::vector<ButtonEvent> hookSaw; // every button event, before the engine decides
    std::vector<ButtonEvent> editSaw; // the button messages that reached the edit control
    std::string textAfterPhase1;
    bool finishing = false;
    int exitCode = 1;
};

App app;

nlohmann::json profileFor(const std::string& program) {
    return {
        {"program", program},
        {"macros", nlohmann::json::array(
                       {{{"id", 1},
                         {"behavior", "hold"},
                         {"trigger", "MButton"},
                         {"steps", nlohmann::json::array({{{"key", "M"}, {"hold", 10}, {"gap", 40}}})}},
                        {{"id", 2},
                         {"behavior", "once"},
                         {"trigger", "XButton1"},
                         {"steps", nlohmann::json::array({{{"key", "X"}, {"hold", 10}, {"gap", 10}}})}},
                        {{"id", 3},
                         {"behavior", "once"},
                         {"trigger", "Shift + XButton2"},
                         {"steps", nlohmann::json::array({{{"key", "Y"}, {"hold", 10}, {"gap", 10}}})}}})}};
}

int buttonOf(WPARAM message, DWORD mouseData) {
    switch (message) {
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return VK_MBUTTON;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        return HIWORD(mouseData) == XBUTTON1 ? VK_XBUTTON1 : VK_XBUTTON2;
    default:
        return 0;
    }
}

bool isDown(WPARAM message) {
    return message == WM_MBUTTONDOWN || message == WM_XBUTTONDOWN;
}

// Installed after the engine's hooks, so it is called first and sees what the engine swallows.
LRESULT CALLBACK mouseRecorderProcedure(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
        if (const int vk = buttonOf(message, event->mouseData)) {
            app.hookSaw.push_back({app.phase, vk, isDown(message), (event->flags & LLMHF_INJECTED) != 0});
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK keyRecorderProcedure(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const int vk = static_cast<int>(event->vkCode);
        if ((event->flags & LLKHF_INJECTED) == 0 && (vk == nextPhaseKey || vk == finishKey)) {
            if (message == WM_KEYUP) {
                PostMessageW(app.window, vk == nextPhaseKey ? nextPhaseMessage : finishMessage, 0, 0);
            }
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK editRecorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const int vk = buttonOf(message, static_cast<DWORD>(wParam))) {
        app.editSaw.push_back({app.phase, vk, isDown(message), false});
    }
    return CallWindowProcW(app.editProcedure, window, message, wParam, lParam);
}

std::string readErrorLog() {
    std::ifstream in(app.logDirectory / std::filesystem::path(u8"错误.log"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "+4 -4 +5*" (down, up, injected) for the events of one phase.
std::string describe(const std::vector<ButtonEvent>& events, int phase) {
    std::string text;
    for (const ButtonEvent& e : events) {
        if (e.phase == phase) {
            text += (text.empty() ? "" : " ") + std::string(e.down ? "+" : "-") + std::to_string(e.vk) +
                    (e.injected ? "*" : "");
        }
    }
    return text;
}

int failures = 0;

void check(bool passed, const std::string& name, const std::string& detail) {
    say(std::string(passed ? "PASS " : "FAIL ") + name + ": " + detail);
    failures += passed ? 0 : 1;
}

void report(const std::string& finalText, const std::vector<int>& keysLeftDown, const std::string& errors) {
    // xdotool's clicks, as the system's mouse hooks saw them: not injected, every down with its up.
    const std::string hook1 = describe(app.hookSaw, 1);
    const std::string hook2 = describe(app.hookSaw, 2);
    check(hook1 == "+4 -4 +5 -5 +6 -6 +6 -6", "the real hook saw the clicks of phase 1", hook1);
    check(hook2 == "+4 -4 +5 -5 +6 -6", "the real hook saw the clicks of phase 2", hook2);

    // Phase 1: the middle button held plays M until it comes up, the first side button plays X, the second
    // plays Y only with Shift; the one click without Shift reaches the program, the macros' clicks do not.
    const bool played = std::regex_match(app.textAfterPhase1, std::regex("m{3,}xY"));
    check(played, "held middle button, side button 1, Shift + side button 2 played their macros",
          "\"" + app.textAfterPhase1 + "\"");
    const std::string edit1 = describe(app.editSaw, 1);
    check(edit1 == "+6 -6", "only the click without its modifier reached the program in phase 1", edit1);

    // Phase 2: the profile belongs to another program, so every click goes on and nothing plays.
    const std::string edit2 = describe(app.editSaw, 2);
    check(edit2 == "+4 -4 +5 -5 +6 -6", "every click reached the program in phase 2", edit2);
    check(finalText == app.textAfterPhase1, "nothing played in phase 2", "\"" + finalText + "\"");

    std::string left;
    for (int vk : keysLeftDown) {
        left += std::to_string(vk) + " ";
    }
    check(keysLeftDown.empty(), "no key left down", left.empty() ? "none" : left);
    check(errors.empty(), "the engine logged no error", errors.empty() ? "none" : errors);
    say(failures == 0 ? "all checks passed" : std::to_string(failures) + " checks failed");
    app.exitCode = failures == 0 ? 0 : 1;
}

void beginFinish() {
    if (app.finishing) {
        return;
    }
    app.finishing = true;
    KillTimer(app.window, safetyTimer);
    app.engine->stop();
    SetTimer(app.window, settleTimer, 400, nullptr);
}

void completeFinish() {
    KillTimer(app.window, settleTimer);
    std::vector<int> keysLeftDown;
    for (int vk : {int{'M'}, int{'X'}, int{'Y'}, VK_SHIFT, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2}) {
        if ((GetAsyncKeyState(vk) & 0x8000) != 0) {
            keysLeftDown.push_back(vk);
        }
    }
    UnhookWindowsHookEx(app.mouseRecorder);
    UnhookWindowsHookEx(app.keyRecorder);
    report(kes::e2e::windowText(app.edit), keysLeftDown, readErrorLog());
    DestroyWindow(app.window);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (app.edit) {
            MoveWindow(app.edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        }
        return 0;
    case nextPhaseMessage:
        if (app.phase == 1) {
            app.textAfterPhase1 = kes::e2e::windowText(app.edit);
            app.phase = 2;
            try {
                app.engine->apply(true, kes::parseProfile(app.otherProgramProfile));
                say("phase 2: the same macros bound to notepad.exe");
            } catch (const std::exception& e) {
                say(std::string("error: applying the second profile failed: ") + e.what());
                beginFinish();
            }
        }
        return 0;
    case finishMessage:
        beginFinish();
        return 0;
    case WM_TIMER:
        if (wParam == safetyTimer) {
            say("error: no F12 from the driver in time");
            beginFinish();
        } else if (wParam == settleTimer) {
            completeFinish();
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(app.exitCode);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool createWindow() {
    kes::e2e::DriverWindow created;
    const bool ok = kes::e2e::createDriverWindow(created, L"KestravaMouseEndToEnd",
                                                 L"Kestrava mouse end-to-end", windowProcedure, editRecorder);
    app.window = created.window;
    app.edit = created.edit;
    app.editProcedure = created.editProcedure;
    return ok;
}

int run() {
    app.logDirectory =
        std::filesystem::temp_directory_path() / ("kes-mouse-e2e-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(app.logDirectory);
    kes::Log log;
    log.setDirectory(app.logDirectory);
    app.otherProgramProfile = profileFor("C:\\Windows\\notepad.exe");

    auto engine = std::make_unique<kes::Engine>(log, nullptr, false, kes::KeySender{}, kes::ProgramMatcher{});
    app.engine = engine.get();
    if (!createWindow()) {
        say("error: cannot create the window");
        return 1;
    }
    try {
        engine->apply(true, kes::parseProfile(profileFor(kes::toUtf8(ownExecutablePath()))));
    } catch (const std::exception& e) {
        say(std::string("error: switching the engine on failed: ") + e.what());
        return 1;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    app.mouseRecorder = SetWindowsHookExW(WH_MOUSE_LL, mouseRecorderProcedure, instance, 0);
    app.keyRecorder = SetWindowsHookExW(WH_KEYBOARD_LL, keyRecorderProcedure, instance, 0);
    if (!app.mouseRecorder || !app.keyRecorder) {
        say("error: cannot install the recording hooks");
        return 1;
    }
    SetTimer(app.window, safetyTimer, 120000, nullptr);

    kes::e2e::sayReady(app.edit);

    kes::e2e::pumpMessages();
    engine.reset();
    app.engine = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(app.logDirectory, ignored);
    return app.exitCode;
}

} // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        say(std::string("error: ") + e.what());
        return 1;
    }
}
