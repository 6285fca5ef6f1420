#include "PageChannel.h"

#include "platform/TextConversion.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kes::test {

namespace {

constexpr UINT_PTR pollTimer = 0x4B50; // beside the window's own timers 1 and 2
PageChannel* active = nullptr;

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
        // The page may be gone once the window closed.
        if (auto page = page_)
            page->postString(toWide(text));
    }
}

void PageChannel::record(const std::wstring& json) {
    std::ofstream out(folder_ / "posted.log", std::ios::binary | std::ios::app);
    out << toUtf8(json) << '\n';
}

} // namespace kes::test
