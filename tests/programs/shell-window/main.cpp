// The main window, tray icon, close prompt and hotkeys of the desktop shell with the real Win32 window,
// without a web view (a recording fake stands in for the page where one is needed). Task dialogs and menus
// are driven through their own messages from a thread timer; the real key presses of the last scenario
// come from run.sh (xdotool). Prints PASS/FAIL lines and exits 0 when every check passed.
//
// Usage: kes_shell_window.exe <scratch directory>
#include "Checks.h"
#include "Driver.h"

#include "diagnostics/PerformanceSampler.h"
#include "engine/Engine.h"
#include "platform/TextConversion.h"
#include "shell/CloseChoice.h"
#include "shell/HostContext.h"
#include "shell/MasterHotkey.h"
#include "shell/TrayLogic.h"
#include "shell/WindowGeometry.h"
#include "shell/win32/HotkeyRegistration.h"
#include "shell/win32/MainWindow.h"
#include "shell/win32/ShellServices.h"
#include "shell/win32/TrayIcon.h"
#include "support/FakeBrowser.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace fs = std::filesystem;
using namespace kes::shelltest;
using kes::hostContext;
using kes::HostContext;

namespace {

HINSTANCE instance = nullptr;
fs::path scratch;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string runLog() {
    return readAll(scratch / "logs" / fs::path(u8"运行.log"));
}
std::string errorLog() {
    return readAll(scratch / "logs" / fs::path(u8"错误.log"));
}
bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
fs::path closeFile() {
    return hostContext().dataDir / fs::path(kes::closeChoiceFileName);
}

// Key events of the engine's sender, with whether the main window still existed at that moment.
struct SentKey {
    unsigned char vk;
    unsigned long flags;
    bool windowAlive;
};
std::mutex sentMutex;
std::vector<SentKey> sentKeys;
std::atomic<HWND> watchedWindow{nullptr};

std::unique_ptr<kes::Engine> recordingEngine() {
    return std::make_unique<kes::Engine>(
        hostContext().log, nullptr, true,
        [](unsigned char vk, unsigned char, unsigned long flags) {
            const std::lock_guard lock(sentMutex);
            sentKeys.push_back({vk, flags, IsWindow(watchedWindow.load()) != FALSE});
        },
        [](const std::wstring&) { return true; });
}

std::shared_ptr<kes::fake::FakeWebView> attachPage() {
    auto page = std::make_shared<kes::fake::FakeWebView>(std::make_shared<kes::fake::CallList>());
    hostContext().webView = page;
    return page;
}

std::vector<std::string> posted(const kes::fake::FakeWebView& page) {
    std::vector<std::string> texts;
    for (const std::wstring& json : page.postedJson) {
        texts.push_back(kes::toUtf8(json));
    }
    return texts;
}

// Puts the host context back to the state before a window exists.
void resetContext() {
    HostContext& context = hostContext();
    context.engine.reset();
    context.sampler.reset();
    context.controller.reset();
    context.webView.reset();
    context.window = nullptr;
    context.trayIconAdded = false;
    context.trayVersion4 = false;
    context.closePromptOpen = false;
    context.exitCode = 0;
    context.closeChoice = kes::CloseChoice::Ask;
    context.masterHotkeyId = 0;
    context.masterHotkeyKey = 8;
    context.pageStateReceived = false;
    context.options = {};
    takeQuitCode();
}

HWND newWindow(bool show = true) {
    resetContext();
    HWND window = kes::win32::createMainWindow(instance);
    if (show) {
        ShowWindow(window, SW_SHOW);
        pumpFor(200);
    }
    return window;
}

// Closes the window the normal way and returns the exit code its WM_QUIT carried.
int closeWindow(HWND window) {
    if (IsWindow(window)) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    pumpFor(3000, [window] { return !IsWindow(window); });
    pumpFor(200);
    return takeQuitCode();
}

RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

LRESULT hitAt(HWND window, int x, int y) {
    return SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void windowGeometry() {
    HWND window = newWindow();
    const RECT rect = windowRect(window);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const kes::WindowOrigin origin =
        kes::centredWindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    // The system keeps a window within its largest tracking size (the screen plus the frame), so on a
    // screen narrower than the window the width is that limit.
    const int expectedWidth = std::min(1430, GetSystemMetrics(SM_CXMAXTRACK));
    const int expectedHeight = std::min(860, GetSystemMetrics(SM_CYMAXTRACK));
    check(width == expectedWidth && height == expectedHeight, "window.size",
          std::to_string(width) + "x" + std::to_string(height));
    check(rect.left == origin.x && rect.top == origin.y, "window.centred",
          std::to_string(rect.left) + "," + std::to_string(rect.top));
    check((GetWindowLongW(window, GWL_STYLE) & 0x800E0000) == 0x800E0000, "window.style");
    wchar_t text[64] = {};
    GetClassNameW(window, text, 64);
    check(std::wstring(text) == L"KestravaNative", "window.class");
    GetWindowTextW(window, text, 64);
    check(std::wstring(text) == L"Kestrava", "window.title");
    check(GetClassLongPtrW(window, GCLP_HICON) != 0, "window.classIcon");
    check(FindWindowW(L"KestravaNative", nullptr) == window, "window.findByClass");

    RECT client{};
    GetClientRect(window, &client);
    check(client.right == width && client.bottom == height, "window.noFrame",
          std::to_string(client.right) + "x" + std::to_string(client.bottom));

    struct Point {
        int dx, dy;
        LRESULT code;
        const char* name;
    };
    const Point points[] = {
        {0, 0, HTTOPLEFT, "topLeft"},
        {7, 7, HTTOPLEFT, "topLeftInner"},
        {1, 1, HTTOPLEFT, "checkPointTopLeft"},
        {8, 0, HTTOP, "top"},
        {width - 1, 0, HTTOPRIGHT, "topRight"},
        {0, 200, HTLEFT, "left"},
        {width - 8, 200, HTRIGHT, "right"},
        {0, height - 1, HTBOTTOMLEFT, "bottomLeft"},
        {200, height - 8, HTBOTTOM, "bottom"},
        {width - 1, height - 1, HTBOTTOMRIGHT, "bottomRight"},
        {width - 2, height - 2, HTBOTTOMRIGHT, "checkPointBottomRight"},
        {width / 2, height / 2, HTCLIENT, "centre"},
        {8, 8, HTCLIENT, "insideBand"},
    };
    for (const Point& point : points) {
        const LRESULT code = hitAt(window, rect.left + point.dx, rect.top + point.dy);
        check(code == point.code, std::string("hitTest.") + point.name, std::to_string(code));
    }

    MINMAXINFO limits{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    check(limits.ptMinTrackSize.x == 760 && limits.ptMinTrackSize.y == 560, "minimumTrackSize.message");
    SetWindowPos(window, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT shrunk = windowRect(window);
    check(shrunk.right - shrunk.left == 760 && shrunk.bottom - shrunk.top == 560, "minimumTrackSize.resize",
          std::to_string(shrunk.right - shrunk.left) + "x" + std::to_string(shrunk.bottom - shrunk.top));
    SetWindowPos(window, nullptr, 0, 0, 1000, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    const RECT before = windowRect(window);
    for (const WPARAM command : {WPARAM{SC_MAXIMIZE}, WPARAM{SC_MAXIMIZE | 2}, WPARAM{SC_MAXIMIZE | 0xF}}) {
        SendMessageW(window, WM_SYSCOMMAND, command, 0);
        pumpFor(100);
    }
    const RECT after = windowRect(window);
    check(!IsZoomed(window) && EqualRect(&before, &after), "sysCommand.maximizeIgnored");
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    pumpFor(200);
    check(IsIconic(window) != FALSE, "sysCommand.minimizeStillWorks");
    ShowWindow(window, SW_RESTORE);
    pumpFor(100);

    check(closeWindow(window) == 0, "close.exitCodeZero");
}

// Opens the tray menu with a context-menu notification and plays `keys` into it.
void trayMenu(HWND window, std::vector<WPARAM> keys, const std::function<void(HMENU)>& inspect,
              const char* name) {
    Driver driver;
    HWND menuWindow = nullptr;
    std::vector<Driver::Step> steps;
    steps.push_back([&menuWindow, &inspect] {
        menuWindow = findThreadWindow(L"#32768");
        if (menuWindow != nullptr && inspect) {
            inspect(reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0)));
        }
        return menuWindow != nullptr;
    });
    for (const WPARAM key : keys) {
        steps.push_back([&menuWindow, key] {
            PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
            return true;
        });
    }
    driver.start(
        std::move(steps), [] { EndMenu(); }, 50);
    SendMessageW(window, kes::win32::trayNotifyMessage, MAKEWPARAM(200, 200), MAKELPARAM(WM_CONTEXTMENU, 1));
    pumpFor(300);
    check(driver.finished() && !driver.gaveUp(), std::string("trayMenu.") + name + ".driven");
}

void trayIcon() {
    HWND window = newWindow();
    HostContext& context = hostContext();
    context.engine = recordingEngine();

    const NOTIFYICONDATAW adding = kes::win32::buildTrayIconData(window, true);
    const NOTIFYICONDATAW updating = kes::win32::buildTrayIconData(window, false);
    const auto sharedIcon = [](int id) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_SHARED));
    };
    check(adding.uFlags == 0x87 && updating.uFlags == 0x86, "tray.flags");
    check(adding.uID == 1 && adding.uCallbackMessage == 0x8002 && adding.hWnd == window, "tray.record");
    check(adding.hIcon != nullptr && adding.hIcon == sharedIcon(2), "tray.iconOff");
    check(std::wstring(adding.szTip) == L"Kestrava · 宏已关闭", "tray.tipOff");

    kes::win32::addTrayIcon(window);
    check(context.trayIconAdded, "tray.added");
    check(context.trayVersion4, "tray.version4");
    check(contains(runLog(), "已添加系统托盘图标"), "tray.addLogged");

    // A restarted shell gets the icon back, but only once the web view exists.
    const auto addLines = [] {
        const std::string text = runLog();
        std::size_t count = 0;
        for (std::size_t at = text.find("已添加系统托盘图标"); at != std::string::npos;
             at = text.find("已添加系统托盘图标", at + 1)) {
            ++count;
        }
        return count;
    };
    const std::size_t addedBefore = addLines();
    SendMessageW(window, context.taskbarCreatedMessage, 0, 0);
    check(addLines() == addedBefore, "tray.notReaddedWithoutWebView");

    // Left click toggles once the page has handed its macros over; nothing while the prompt is open.
    const auto page = attachPage();
    // A restarted notification area has lost the icon; only then can it be added again.
    check(kes::win32::removeTrayIcon(window), "tray.removedForShellRestart");
    SendMessageW(window, context.taskbarCreatedMessage, 0, 0);
    check(addLines() == addedBefore + 1 && context.trayIconAdded, "tray.readdedAfterShellRestart");
    context.options.startupCheck = true;
    context.pageStateReceived = true;
    SendMessageW(window, kes::win32::trayNotifyMessage, 0, MAKELPARAM(WM_LBUTTONUP, 1));
    check(!context.engine->isEnabled() && page->postedJson.empty(), "tray.ignoredInStartupCheckMode");
    context.options.startupCheck = false;
    context.pageStateReceived = false;
    SendMessageW(window, kes::win32::trayNotifyMessage, 0, MAKELPARAM(WM_LBUTTONUP, 1));
    check(!context.engine->isEnabled() && page->postedJson.empty(), "tray.clickBeforePageState");
    context.pageStateReceived = true;
    SendMessageW(window, kes::win32::trayNotifyMessage, 0, MAKELPARAM(WM_LBUTTONUP, 1));
    check(context.engine->isEnabled(), "tray.clickToggles");
    check(posted(*page) == std::vector<std::string>{R"({"enabled":true,"type":"macro-toggle-result"})"},
          "tray.clickTellsThePage");
    const NOTIFYICONDATAW enabledRecord = kes::win32::buildTrayIconData(window, false);
    check(enabledRecord.hIcon == sharedIcon(1) && std::wstring(enabledRecord.szTip) == L"Kestrava · 宏已启用",
          "tray.iconOn");
    check(!contains(errorLog(), "无法更新系统托盘图标"), "tray.updated");
    context.closePromptOpen = true;
    SendMessageW(window, kes::win32::trayNotifyMessage, 0, MAKELPARAM(WM_LBUTTONUP, 1));
    SendMessageW(window, kes::win32::trayNotifyMessage, MAKEWPARAM(200, 200), MAKELPARAM(WM_CONTEXTMENU, 1));
    check(context.engine->isEnabled() && page->postedJson.size() == 1, "tray.ignoredWhilePromptOpen");
    context.closePromptOpen = false;
    SendMessageW(window, kes::win32::trayNotifyMessage, 0, MAKELPARAM(NIN_KEYSELECT, 1));
    check(!context.engine->isEnabled() && page->postedJson.size() == 2, "tray.keySelectToggles");

    // The menu: "恢复关闭提示" is grayed while nothing is stored; dismissing does nothing.
    bool grayed = false;
    trayMenu(
        window, {VK_ESCAPE},
        [&grayed](HMENU menu) { grayed = (GetMenuState(menu, 103, MF_BYCOMMAND) & MF_GRAYED) != 0; },
        "dismiss");
    check(grayed, "trayMenu.resetGrayedWhileAsk");

    ShowWindow(window, SW_HIDE);
    pumpFor(100);
    trayMenu(window, {VK_DOWN, VK_RETURN}, nullptr, "open");
    check(IsWindowVisible(window) != FALSE, "trayMenu.openShowsTheWindow");
    ShowWindow(window, SW_MINIMIZE);
    pumpFor(100);
    trayMenu(window, {VK_DOWN, VK_RETURN}, nullptr, "openMinimized");
    check(!IsIconic(window) && IsWindowVisible(window), "trayMenu.openRestoresTheWindow");

    context.closeChoice = kes::CloseChoice::Tray;
    bool enabledItem = false;
    trayMenu(
        window, {VK_DOWN, VK_DOWN, VK_RETURN},
        [&enabledItem](HMENU menu) {
            enabledItem = (GetMenuState(menu, 103, MF_BYCOMMAND) & MF_GRAYED) == 0;
        },
        "reset");
    check(enabledItem, "trayMenu.resetEnabledWhenStored");
    check(context.closeChoice == kes::CloseChoice::Ask && readAll(closeFile()) == R"({"action":"ask"})",
          "trayMenu.resetStoresAsk", readAll(closeFile()));

    // "退出程序" quits even with hiding stored, without a prompt.
    context.closeChoice = kes::CloseChoice::Tray;
    context.exitCode = 3;
    trayMenu(window, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, nullptr, "exit");
    pumpFor(3000, [window] { return !IsWindow(window); });
    pumpFor(100);
    check(!IsWindow(window), "trayMenu.exitCloses");
    check(takeQuitCode() == 3, "trayMenu.exitCarriesTheExitCode");
    check(contains(runLog(), "已移除系统托盘图标"), "tray.removedAtDestroy");
}

// Counts the radio buttons of a task dialog and reads its static texts (Wine builds it from real controls).
struct DialogView {
    int radios = 0;
    std::wstring texts;
};

BOOL CALLBACK collectChild(HWND child, LPARAM data) {
    auto& view = *reinterpret_cast<DialogView*>(data);
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    view.texts += text;
    view.texts += L'\n';
    if (lstrcmpiW(name, L"Button") == 0 &&
        (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
        ++view.radios;
    }
    return TRUE;
}

struct PromptPlay {
    int radio = 0; // 0: leave the default
    bool verify = false;
    int button = 1;
    bool requestAgain = false; // a second close request while the prompt is up
};

// Runs one close request with the prompt answered as given; returns what the dialog showed.
DialogView closeRequest(HWND window, const PromptPlay& play, const char* name) {
    Driver driver;
    HWND dialog = nullptr;
    DialogView view;
    int dialogsSeen = 0;
    std::vector<Driver::Step> steps;
    steps.push_back([&] {
        dialog = findThreadWindow(L"#32770");
        if (dialog == nullptr) {
            return false;
        }
        EnumChildWindows(dialog, collectChild, reinterpret_cast<LPARAM>(&view));
        if (play.requestAgain) {
            PostMessageW(window, kes::win32::closeRequestMessage, 0, 0);
        }
        return true;
    });
    steps.push_back([&] {
        // The repeated request must not have opened another prompt.
        dialogsSeen = 0;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND candidate, LPARAM count) {
                wchar_t className[32] = {};
                GetClassNameW(candidate, className, 32);
                if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(candidate)) {
                    ++*reinterpret_cast<int*>(count);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&dialogsSeen));
        if (play.radio != 0) {
            SendMessageW(dialog, TDM_CLICK_RADIO_BUTTON, static_cast<WPARAM>(play.radio), 0);
        }
        if (play.verify) {
            SendMessageW(dialog, TDM_CLICK_VERIFICATION, TRUE, FALSE);
        }
        return true;
    });
    steps.push_back([&] {
        PostMessageW(dialog, TDM_CLICK_BUTTON, static_cast<WPARAM>(play.button), 0);
        return true;
    });
    driver.start(
        std::move(steps), [&dialog] { PostMessageW(dialog, WM_CLOSE, 0, 0); }, 60);
    PostMessageW(window, kes::win32::closeRequestMessage, 0, 0);
    pumpFor(6000, [&driver] { return driver.finished() || driver.gaveUp(); });
    pumpFor(400);
    check(driver.finished() && !driver.gaveUp(), std::string("closePrompt.") + name + ".driven");
    check(dialogsSeen == 1, std::string("closePrompt.") + name + ".single", std::to_string(dialogsSeen));
    check(!hostContext().closePromptOpen, std::string("closePrompt.") + name + ".guardCleared");
    return view;
}

void closePrompt() {
    HWND window = newWindow();
    HostContext& context = hostContext();
    fs::remove(closeFile());
    kes::win32::addTrayIcon(window);

    const DialogView withTray = closeRequest(window, {101, true, 1, true}, "hide");
    check(withTray.radios == 2, "closePrompt.twoRadiosWithTray", std::to_string(withTray.radios));
    check(contains(kes::toUtf8(withTray.texts), "隐藏到托盘后，Kestrava会继续运行。"), "closePrompt.trayText",
          kes::toUtf8(withTray.texts));
    check(readAll(closeFile()) == R"({"action":"tray"})", "closePrompt.hideStored", readAll(closeFile()));
    check(context.closeChoice == kes::CloseChoice::Tray, "closePrompt.hideChoice");
    check(!IsWindowVisible(window), "closePrompt.hidden");

    // Stored hiding: the next request hides at once.
    ShowWindow(window, SW_SHOW);
    pumpFor(100);
    PostMessageW(window, kes::win32::closeRequestMessage, 0, 0);
    pumpFor(500);
    check(!IsWindowVisible(window) && findThreadWindow(L"#32770") == nullptr,
          "closePrompt.storedHideSkipsPrompt");

    // Cancel changes nothing, whatever was chosen.
    ShowWindow(window, SW_SHOW);
    context.closeChoice = kes::CloseChoice::Ask;
    closeRequest(window, {100, true, 2, false}, "cancel");
    check(IsWindow(window) && IsWindowVisible(window), "closePrompt.cancelKeepsTheWindow");
    check(readAll(closeFile()) == R"({"action":"tray"})" && context.closeChoice == kes::CloseChoice::Ask,
          "closePrompt.cancelStoresNothing");

    // Without a tray only quitting is offered; quitting without the box closes and stores nothing.
    context.trayIconAdded = false;
    const DialogView withoutTray = closeRequest(window, {100, false, 1, false}, "quit");
    check(withoutTray.radios == 1, "closePrompt.oneRadioWithoutTray", std::to_string(withoutTray.radios));
    check(contains(kes::toUtf8(withoutTray.texts), "系统托盘暂时不可用。"), "closePrompt.noTrayText");
    pumpFor(2000, [window] { return !IsWindow(window); });
    check(!IsWindow(window), "closePrompt.quitCloses");
    check(readAll(closeFile()) == R"({"action":"tray"})", "closePrompt.quitWithoutBoxStoresNothing");
    takeQuitCode();
}

void closeStopsTheEngine() {
    HWND window = newWindow();
    HostContext& context = hostContext();
    watchedWindow = window;
    {
        const std::lock_guard lock(sentMutex);
        sentKeys.clear();
    }
    context.engine = recordingEngine();
    kes::Macro latch;
    latch.id = 1;
    latch.behavior = "latch";
    latch.trigger = "F2";
    latch.triggerKey = VK_F2;
    latch.steps = {kes::Step{{'A'}, 20, 20}};
    kes::Profile profile;
    profile.macros = {latch};
    context.engine->apply(true, profile);
    context.engine->onKey(VK_F2, true, false);
    const auto aIsDown = [] {
        const std::lock_guard lock(sentMutex);
        return !sentKeys.empty() && sentKeys.front().vk == 'A' &&
               (sentKeys.front().flags & KEYEVENTF_KEYUP) == 0;
    };
    pumpFor(3000, aIsDown);
    pumpFor(300);
    check(aIsDown() && context.engine->jobCount() == 1, "close.latchHoldsItsKey");

    auto calls = std::make_shared<kes::fake::CallList>();
    auto view = std::make_shared<kes::fake::FakeWebView>(calls);
    auto controller = std::make_shared<kes::fake::FakeController>(calls, view);
    context.controller = controller;
    context.webView = view;
    SetWindowPos(window, nullptr, 0, 0, 900, 650, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    check(!controller->bounds.empty() && controller->bounds.back().right == 900 &&
              controller->bounds.back().bottom == 650,
          "size.boundsToTheWebView");

    SendMessageW(window, WM_CLOSE, 0, 0);
    bool released = false;
    bool releasedWhileAlive = false;
    {
        const std::lock_guard lock(sentMutex);
        for (const SentKey& key : sentKeys) {
            if (key.vk == 'A' && (key.flags & KEYEVENTF_KEYUP) != 0) {
                released = true;
                releasedWhileAlive = key.windowAlive;
            }
        }
    }
    check(!IsWindow(window), "close.windowDestroyed");
    check(released && releasedWhileAlive, "close.latchedKeyReleasedBeforeTheWindowIsGone");
    check(!context.engine->isEnabled() && context.engine->jobCount() == 0, "close.engineStopped");
    check(controller->closeCount == 1 && !context.controller && !context.webView,
          "close.webViewClosedAndReleased");
    pumpFor(200);
    check(takeQuitCode() == 0, "close.quitPosted");
}

void destroyReleasesHotkeys() {
    HostContext& context = hostContext();
    HWND other =
        CreateWindowExW(0, L"STATIC", L"other", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, instance, nullptr);

    HWND window = newWindow(false);
    const bool registered = kes::win32::registerMasterHotkey(100, 8);
    context.masterHotkeyId = 100;
    check(registered, "hotkey.registerF8");
    const bool takenWhileRegistered = RegisterHotKey(other, 300, MOD_NOREPEAT, VK_F8) == FALSE;
    check(takenWhileRegistered, "hotkey.f8Held");
    context.exitCode = 5;
    check(closeWindow(window) == 5, "destroy.postsTheExitCode");
    const bool freeAfterwards = RegisterHotKey(other, 300, MOD_NOREPEAT, VK_F8) != FALSE;
    check(freeAfterwards, "destroy.unregistersTheHotkey");
    UnregisterHotKey(other, 300);

    window = newWindow(false);
    check(kes::win32::registerMasterHotkey(101, 12) && context.f12Hook != nullptr,
          "hotkey.f12WatchInstalled");
    context.masterHotkeyId = 101;
    context.masterHotkeyKey = 12;
    closeWindow(window);
    check(context.f12Hook == nullptr, "destroy.removesTheF12Watch");
    DestroyWindow(other);
}

void housekeepingSamples() {
    HWND window = newWindow(false);
    HostContext& context = hostContext();
    context.engine = recordingEngine();
    static kes::PerfCounters counters;
    context.sampler = std::make_unique<kes::PerformanceSampler>(scratch / "logs", context.log, &counters);
    const fs::path folder = context.sampler->folder();
    SetTimer(window, kes::win32::housekeepingTimer, kes::win32::housekeepingPeriod, nullptr);
    pumpFor(5000, [&context] { return context.sampler && !context.sampler->samples().empty(); });
    const bool sampled = context.sampler && !context.sampler->samples().empty();
    check(sampled, "timer.samplesOnTheTenthTick");
    if (sampled) {
        const nlohmann::json& heartbeat = context.sampler->samples().at(0).at("界面心跳");
        check(heartbeat.at("次数") == 10, "timer.heartbeatCountsTicks", heartbeat.dump());
    }

    SendMessageW(window, WM_HOTKEY, 7, 0);
    check(context.sampler && context.sampler->phase() == "空打", "hotkey.markerMarks");
    SendMessageW(window, WM_HOTKEY, 42, 0);
    check(context.sampler && context.sampler->phase() == "命中", "hotkey.otherIdMarksHit");

    // A sample that cannot be written stops the sampling, which then writes its reports.
    fs::remove(folder / fs::path(u8"采样.jsonl"));
    fs::create_directories(folder / fs::path(u8"采样.jsonl"));
    pumpFor(3000, [&context] { return !context.sampler; });
    check(!context.sampler, "timer.failingSampleDestroysTheSampler");
    check(contains(errorLog(), "性能采样日志写入失败"), "timer.failingSampleLogged");
    check(fs::exists(folder / fs::path(u8"报告.json")), "timer.reportsWrittenAfterFailure");
    closeWindow(window);
}

void startupCheckTimeout() {
    HWND window = newWindow(false);
    HostContext& context = hostContext();
    context.options.startupCheck = true;
    SetTimer(window, kes::win32::startupCheckTimer, 300, nullptr);
    pumpFor(5000, [window] { return !IsWindow(window); });
    pumpFor(200);
    check(!IsWindow(window), "startupCheckTimer.closesTheWindow");
    check(takeQuitCode() == 1, "startupCheckTimer.exitCodeOne");
    check(contains(errorLog(), "窗口启动验收超时"), "startupCheckTimer.logged");
    context.options = {};
}

// Real key presses from run.sh: F12 as the master hotkey (held, with Ctrl, again) and Ctrl+Shift+F6 to F9.
void realKeys(const fs::path& readyFile) {
    HWND window = newWindow();
    HostContext& context = hostContext();
    context.engine = recordingEngine();
    static kes::PerfCounters counters;
    context.sampler = std::make_unique<kes::PerformanceSampler>(scratch / "logs", context.log, &counters);
    const fs::path folder = context.sampler->folder();
    kes::win32::registerMarkerHotkeys(window);
    check(!contains(errorLog(), "性能标记快捷键被其他程序占用"), "markers.registered");

    const auto page = attachPage();
    context.pageStateReceived = true;
    context.masterHotkeyId = 100;
    kes::setMasterHotkey(12);
    check(context.masterHotkeyKey == 12 && context.masterHotkeyId == 101 && context.f12Hook != nullptr,
          "f12.setAsHotkey");
    check(posted(*page) ==
              std::vector<std::string>{R"({"error":"","key":12,"saved":true,"type":"shortcut-result"})"},
          "f12.setAnswered");

    // An injected F12 (like a macro's own output) never toggles.
    keybd_event(VK_F12, 0, 0, 0);
    keybd_event(VK_F12, 0, KEYEVENTF_KEYUP, 0);
    pumpFor(500);
    check(page->postedJson.size() == 1, "f12.injectedIgnored");

    RECT rect = windowRect(window);
    {
        std::ofstream ready(readyFile);
        ready << "ready " << (std::max<LONG>(rect.left, 0) + 200) << " "
              << (std::max<LONG>(rect.top, 0) + 200) << "\n";
    }
    say("ready-keys");
    pumpFor(60000, [&context] { return context.sampler && context.sampler->finished(); });

    int toggles = 0;
    for (const std::string& message : posted(*page)) {
        toggles += contains(message, "macro-toggle-result") ? 1 : 0;
    }
    check(toggles == 2, "f12.plainPressesToggleOnceEach", std::to_string(toggles));
    check(!context.engine->isEnabled(), "f12.toggledTwice");
    const nlohmann::json expected = nlohmann::json::array({"关闭宏", "空打", "命中"});
    nlohmann::json labels = nlohmann::json::array();
    if (context.sampler) {
        for (const nlohmann::json& mark : context.sampler->marks()) {
            labels.push_back(mark.at("阶段"));
        }
    }
    check(labels == expected, "markers.reachTheSampler", labels.dump());
    check(context.sampler && context.sampler->finished(), "markers.f9Finishes");
    for (const char8_t* name : {u8"报告.json", u8"采样数据.csv", u8"性能报告.txt"}) {
        check(fs::exists(folder / fs::path(name)),
              std::string("markers.wrote ") + reinterpret_cast<const char*>(name));
    }
    closeWindow(window);
    check(context.f12Hook == nullptr, "f12.watchRemovedAtDestroy");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        say("usage: kes_shell_window.exe <scratch directory> [ready file]");
        return 2;
    }
    scratch = fs::path(argv[1]);
    const bool withKeys = argc >= 3;
    instance = GetModuleHandleW(nullptr);
    HostContext& context = hostContext();
    context.dataDir = scratch / "data";
    context.log.setDirectory(scratch / "logs");
    kes::win32::prepareDesktopShell(context);
    kes::win32::registerMainWindowClass(instance);
    check(context.taskbarCreatedMessage != 0, "taskbarCreated.registered");

    try {
        windowGeometry();
        trayIcon();
        closePrompt();
        closeStopsTheEngine();
        destroyReleasesHotkeys();
        housekeepingSamples();
        startupCheckTimeout();
        if (withKeys) {
            realKeys(fs::path(argv[2]));
        }
    } catch (const std::exception& e) {
        check(false, "unexpected exception", e.what());
    }
    resetContext();
    say(failureCount() == 0 ? "all passed" : std::to_string(failureCount()) + " failed");
    return failureCount() == 0 ? 0 : 1;
}
