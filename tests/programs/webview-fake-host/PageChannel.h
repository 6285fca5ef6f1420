#pragma once
#include "support/FakeBrowser.h"

#include <windows.h>

#include <filesystem>
#include <memory>

namespace kes::test {

// The page's side of the fake browser, played from outside through a folder: every file "<n>.msg" that
// appears is posted to the host as the page's string message (in name order, then deleted); every message
// the host posts to the page is appended to "posted.log", one line each. A file holding exactly "!quit"
// closes the main window instead (the test's way to end the run).
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

    std::filesystem::path folder_;
    std::shared_ptr<fake::FakeWebView> page_;
    HWND window_;
};

} // namespace kes::test
