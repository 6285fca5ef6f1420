// Keyboard end-to-end driver target: the real engine with its real low-level hook, the default key
// sender and the default program matcher, playing into a Win32 edit control. run.sh presses the keys
// with xdotool; this program records what the hooks and the edit control saw, judges it on F12 and
// exits 0 when every check passed.
#include "Scenario.h"
#include "Trace.h"

#include "driver-window/DriverWindow.h"
#include "engine/Engine.h"
#include "engine/Profile.h"
#include "platform/TextConversion.h"
#include "storage/Log.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace kes::e2e;

constexpr UINT nextPhaseMessage = WM_APP + 1;
constexpr UINT finishMessage = WM_APP + 2;
constexpr UINT_PTR safetyTimer = 1;
constexpr UINT_PTR settleTimer = 2;
constexpr UINT safetyMilliseconds = 180000;
constexpr UINT settleMilliseconds = 400;

struct App {
    HWND window = nullptr;
    HWND edit = nullptr;
    WNDPROC editProcedure = nullptr;
    HHOOK recorderHook = nullptr;
    kes::Engine* engine = nullptr;
    nlohmann::json otherProgramProfile;
    std::filesystem::path logDirectory;
    Phase phase = Phase::OwnProgram;
    Trace trace;
    LARGE_INTEGER start{};
    LARGE_INTEGER frequency{};
    bool finishing = false;
    int exitCode = 1;
};

App app;

double elapsedMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - app.start.QuadPart) * 1000.0 /
           static_cast<double>(app.frequency.QuadPart);
}

std::string foregroundImageName() {
    DWORD pid = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        return "(unknown)";
    }
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    const bool ok = QueryFullProcessImageNameW(process, 0, path.data(), &size) != 0;
    CloseHandle(process);
    return ok ? kes::toUtf8(path.substr(0, size)) : "(unknown)";
}

// Runs before the engine's hook (it was installed later), so it sees the events the engine swallows.
LRESULT CALLBACK recorderProcedure(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
        const bool injected = (event->flags & LLKHF_INJECTED) != 0;
        const int vk = static_cast<int>(event->vkCode);
        if (down || up) {
            app.trace.hook.push_back({app.phase, vk, down, injected, elapsedMs()});
            if (!injected && isDriverKey(vk)) {
                if (up && vk == nextPhaseKey && app.phase == Phase::OwnProgram) {
                    app.phase = Phase::OtherProgram;
                    PostMessageW(app.window, nextPhaseMessage, 0, 0);
                } else if (up && vk == finishKey) {
                    PostMessageW(app.window, finishMessage, 0, 0);
                }
                return 1;
            }
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK editRecorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        app.trace.edit.push_back({app.phase, static_cast<int>(wParam), true, elapsedMs()});
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        app.trace.edit.push_back({app.phase, static_cast<int>(wParam), false, elapsedMs()});
        break;
    default:
        break;
    }
    return CallWindowProcW(app.editProcedure, window, message, wParam, lParam);
}

std::string readErrorLog(const std::filesystem::path& directory) {
    std::ifstream in(directory / std::filesystem::path(u8"错误.log"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void report() {
    const std::vector<Verdict> verdicts = judge(app.trace);
    int failures = 0;
    for (const Verdict& v : verdicts) {
        say(std::string(v.passed ? "PASS " : "FAIL ") + v.name + ": " + v.detail);
        failures += v.passed ? 0 : 1;
    }
    if (failures != 0) {
        say("hook events in input order (+ down, - up, * injected, [phase]):");
        std::string line;
        for (const HookRecord& r : app.trace.hook) {
            std::ostringstream item;
            item.precision(1);
            item << std::fixed << r.ms << "ms[" << static_cast<int>(r.phase) << "]" << describe({r}) << " ";
            line += item.str();
        }
        say(line);
        line.clear();
        say("edit control key messages:");
        for (const EditRecord& r : app.trace.edit) {
            std::ostringstream item;
            item.precision(1);
            item << std::fixed << r.ms << "ms[" << static_cast<int>(r.phase) << "]" << (r.down ? "+" : "-")
                 << r.vk << " ";
            line += item.str();
        }
        say(line);
    }
    say("edit control text: \"" + app.trace.textAtEnd + "\"");
    say(std::to_string(verdicts.size() - static_cast<std::size_t>(failures)) + " checks passed, " +
        std::to_string(failures) + " failed");
    app.exitCode = failures == 0 ? 0 : 1;
}

void beginFinish() {
    if (app.finishing) {
        return;
    }
    app.finishing = true;
    KillTimer(app.window, safetyTimer);
    // Releases whatever a job still holds; the key messages of that release arrive while the settle
    // timer runs.
    app.engine->stop();
    SetTimer(app.window, settleTimer, settleMilliseconds, nullptr);
}

void completeFinish() {
    KillTimer(app.window, settleTimer);
    app.trace.textAtEnd = kes::e2e::windowText(app.edit);
    for (int vk : outputKeys) {
        if ((GetAsyncKeyState(vk) & 0x8000) != 0) {
            app.trace.keysLeftDown.push_back(vk);
        }
    }
    app.trace.engineErrors = readErrorLog(app.logDirectory);
    if (app.recorderHook) {
        UnhookWindowsHookEx(app.recorderHook);
        app.recorderHook = nullptr;
    }
    report();
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
        app.trace.sawNextPhase = true;
        app.trace.textAfterOwnProgram = kes::e2e::windowText(app.edit);
        say("foreground program: " + foregroundImageName());
        try {
            app.engine->apply(true, kes::parseProfile(app.otherProgramProfile));
            say("phase 2: the same macros bound to notepad.exe");
        } catch (const std::exception& e) {
            say(std::string("error: applying the second profile failed: ") + e.what());
            beginFinish();
        }
        return 0;
    case finishMessage:
        app.trace.sawFinish = true;
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
    const bool ok = kes::e2e::createDriverWindow(
        created, L"KestravaKeyboardEndToEnd", L"Kestrava keyboard end-to-end", windowProcedure, editRecorder);
    app.window = created.window;
    app.edit = created.edit;
    app.editProcedure = created.editProcedure;
    return ok;
}

int run() {
    QueryPerformanceFrequency(&app.frequency);
    QueryPerformanceCounter(&app.start);

    app.logDirectory = std::filesystem::temp_directory_path() /
                       ("kes-keyboard-e2e-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(app.logDirectory);
    kes::Log log;
    log.setDirectory(app.logDirectory);

    const std::string ownProgram = kes::toUtf8(ownExecutablePath());
    const nlohmann::json ownProgramProfile = scenarioProfile(ownProgram);
    app.otherProgramProfile = scenarioProfile("C:\\Windows\\notepad.exe");

    // The real engine: its own hook, the default sender (keybd_event) and the default matcher.
    auto engine = std::make_unique<kes::Engine>(log, nullptr, false, kes::KeySender{}, kes::ProgramMatcher{});
    app.engine = engine.get();

    if (!createWindow()) {
        say("error: cannot create the window");
        return 1;
    }
    try {
        engine->apply(true, kes::parseProfile(ownProgramProfile));
    } catch (const std::exception& e) {
        say(std::string("error: switching the engine on failed: ") + e.what());
        return 1;
    }
    // Installed after the engine's hook, so it is called first.
    app.recorderHook = SetWindowsHookExW(WH_KEYBOARD_LL, recorderProcedure, GetModuleHandleW(nullptr), 0);
    if (!app.recorderHook) {
        say("error: cannot install the recording hook");
        return 1;
    }
    SetTimer(app.window, safetyTimer, safetyMilliseconds, nullptr);

    say("phase 1: macros bound to " + ownProgram);
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
