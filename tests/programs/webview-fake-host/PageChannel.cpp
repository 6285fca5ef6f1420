#include "PageChannel.h"

#include "platform/TextConversion.h"
#include "platform/win32/KeyboardHookRemoval.h"
#include "shell/HostContext.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace kes::test {

namespace {

constexpr UINT_PTR pollTimer = 0x4B50; // beside the window's own timers 1 and 2
PageChannel* active = nullptr;

// The test's fault: an access violation on a thread of its own, which nothing catches (the system catches
// those of timer procedures on the window's thread).
DWORD WINAPI crashThread(void*) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

std::string readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

PageChannel::PageChannel(std::filesystem::path folder, std::shared_ptr<fake::FakeWebView> page, HWND window)
    : folder_(std::move(folder)), page_(std::move(page)), window_(window) {
    active = this;
    page_->onPosted = [this](const std::wstring& json) {
        record(json);
    };
    SetTimer(window_, pollTimer, 50, &PageChannel::poll);
}

PageChannel::~PageChannel() {
    if (active == this)
        active = nullptr;
}

void CALLBACK PageChannel::poll(HWND, UINT, UINT_PTR, DWORD) {
    if (active != nullptr)
        active->deliverWaitingMessages();
}

void PageChannel::deliverWaitingMessages() {
    std::vector<std::filesystem::path> waiting;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error))
        if (entry.path().extension() == ".msg")
            waiting.push_back(entry.path());
    std::sort(waiting.begin(), waiting.end());
    for (const auto& file : waiting) {
        const std::string text = readWhole(file);
        std::filesystem::remove(file, error);
        if (text == "!quit") {
            PostMessageW(window_, WM_CLOSE, 0, 0);
            continue;
        }
        if (text == "!navigated" || text == "!navigation-failed") {
            completeNavigation(text == "!navigated");
            continue;
        }
        if (text == "!window") {
            describeWindow();
            continue;
        }
        if (text.rfind("!message ", 0) == 0) {
            sendToWindow(text.substr(9));
            continue;
        }
        if (text == "!remove-hooks") {
            removeHooksBehindProgramsBack();
            continue;
        }
        if (text == "!crash") {
            CreateThread(nullptr, 0, &crashThread, nullptr, 0, nullptr);
            continue;
        }
        // The page may be gone once the window closed.
        if (auto page = page_)
            page->postString(toWide(text));
    }
}

void PageChannel::completeNavigation(bool success) {
    auto page = page_;
    if (!page)
        return;
    const std::size_t known = page->scripts.size();
    page->completeNavigation(success);
    std::ofstream out(folder_ / "scripts.log", std::ios::binary | std::ios::app);
    for (std::size_t i = known; i < page->scripts.size(); ++i)
        out << toUtf8(page->scripts[i]) << '\n';
}

void PageChannel::sendToWindow(const std::string& numbers) {
    std::istringstream in(numbers);
    unsigned long long message = 0, wParam = 0, lParam = 0;
    in >> message >> wParam >> lParam;
    const LRESULT result = SendMessageW(window_, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                        static_cast<LPARAM>(lParam));
    std::ofstream out(folder_ / "results.log", std::ios::binary | std::ios::app);
    out << numbers << " -> " << result << '\n';
}

void PageChannel::removeHooksBehindProgramsBack() {
    platform::removeKeyboardHooksBehindOwnersBack();
    HostContext& context = hostContext();
    if (context.f12Hook != nullptr)
        UnhookWindowsHookEx(static_cast<HHOOK>(context.f12Hook));
}

void PageChannel::describeWindow() {
    const bool exists = IsWindow(window_) != FALSE;
    std::ofstream out(folder_ / "window.tmp", std::ios::binary | std::ios::trunc);
    out << "exists=" << exists << " visible=" << (exists && IsWindowVisible(window_) != FALSE)
        << " minimised=" << (exists && IsIconic(window_) != FALSE)
        << " foreground=" << (exists && GetForegroundWindow() == window_) << '\n';
    out.close();
    std::error_code error;
    std::filesystem::rename(folder_ / "window.tmp", folder_ / "window.txt", error);
}

void PageChannel::record(const std::wstring& json) {
    std::ofstream out(folder_ / "posted.log", std::ios::binary | std::ios::app);
    out << toUtf8(json) << '\n';
}

} // namespace kes::test
