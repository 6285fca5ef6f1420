#pragma once
#include "support/FakeBrowser.h"

#include <windows.h>

#include <filesystem>
#include <memory>

namespace kes::test {

// The page's side of the fake browser, played from outside through a folder: every file "<n>.msg" that
// appears is posted to the host as the page's string message (in name order, then deleted); every message
// the host posts to the page is appended to "posted.log", one line each. A few files are commands of the
// test instead: "!quit" closes the main window (the test's way to end the run); "!navigated" and
// "!navigation-failed" complete the page's navigation, and the scripts the host then runs in the page are
// appended to "scripts.log"; "!window" writes the main window's state to "window.txt"
// ("exists=1 visible=1 minimised=0 foreground=1"); "!message M W L" sends message M with parameters W and L
// (decimal) to the main window and appends "M W L -> result" to "results.log"; "!remove-hooks" removes the
// program's low-level keyboard hooks (the engine's and the F12 watch) from the system without telling it, as
// Windows does with a hook that was too slow; "!crash" makes an access violation on a new thread, which
// nothing handles.
class PageChannel {
public:
    PageChannel(std::filesystem::path folder, std::shared_ptr<fake::FakeWebView> page, HWND window);
    ~PageChannel();
    PageChannel(const PageChannel&) = delete;
    PageChannel& operator=(const PageChannel&) = delete;

private:
    static void CALLBACK poll(HWND window, UINT message, UINT_PTR id, DWORD time);
    void deliverWaitingMessages();
    void record(const std::wstring& json);
    void completeNavigation(bool success);
    void describeWindow();
    void sendToWindow(const std::string& numbers);
    static void removeHooksBehindProgramsBack();

    std::filesystem::path folder_;
    std::shared_ptr<fake::FakeWebView> page_;
    HWND window_;
};

} // namespace kes::test
