#include "platform/ProgramWindows.h"
#include "webhost/ProgramList.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace {

// A top-level window of this test process, destroyed with the scope.
class TestWindow {
public:
    TestWindow(const wchar_t* title, HWND owner = nullptr) {
        static const ATOM windowClass = [] {
            WNDCLASSW description{};
            description.lpfnWndProc = DefWindowProcW;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"KesProgramListTestWindow";
            return RegisterClassW(&description);
        }();
        window_ = CreateWindowExW(0, MAKEINTATOM(windowClass), title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                  owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() { DestroyWindow(window_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND get() const { return window_; }
    void show() const { ShowWindow(window_, SW_SHOWNOACTIVATE); }

private:
    HWND window_ = nullptr;
};

// The list's entries for this process.
std::vector<nlohmann::json> entriesOfThisProcess() {
    std::vector<nlohmann::json> mine;
    for (const nlohmann::json& entry : kes::listProgramWindows())
        if (entry.at("pid").get<unsigned long>() == GetCurrentProcessId())
            mine.push_back(entry);
    return mine;
}

std::wstring thisExecutableName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring text(path);
    return text.substr(text.find_last_of(L"\\/") + 1);
}

} // namespace

TEST(ProgramWindowsWin32, TheEnumerationSeesARealWindowWithItsFacts) {
    const wchar_t* title = L"Kestrava 列表测试";
    TestWindow window(title);
    ASSERT_NE(window.get(), nullptr);
    window.show();
    const auto windows = kes::platform::topLevelWindows();
    // GetWindowTextLengthW may report more than the title's length, never less.
    const auto mine =
        std::find_if(windows.begin(), windows.end(), [&](const kes::platform::TopLevelWindow& w) {
            return w.processId == GetCurrentProcessId() &&
                   w.titleLength >= static_cast<int>(std::wcslen(title));
        });
    ASSERT_NE(mine, windows.end());
    EXPECT_TRUE(mine->visible);
    EXPECT_FALSE(mine->owned);
    const auto image = kes::platform::processImagePath(GetCurrentProcessId());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->substr(image->find_last_of(L"\\/") + 1), thisExecutableName());
}

// Hidden, untitled and owned windows never list their program; one visible titled window does, once.
TEST(ProgramWindowsWin32, OnlyAVisibleTitledUnownedWindowListsThisProgram) {
    TestWindow hidden(L"隐藏的窗口");
    TestWindow untitled(L"");
    untitled.show();
    EXPECT_TRUE(entriesOfThisProcess().empty());

    TestWindow owner(L"所有者");
    TestWindow owned(L"被拥有的窗口", owner.get());
    owned.show();
    EXPECT_TRUE(entriesOfThisProcess().empty());

    TestWindow shown(L"可见的窗口");
    shown.show();
    TestWindow second(L"第二个窗口");
    second.show();
    const auto entries = entriesOfThisProcess();
    ASSERT_EQ(entries.size(), 1u) << nlohmann::json(entries).dump();
    const std::wstring executable = thisExecutableName();
    EXPECT_EQ(entries[0].at("executable").get<std::string>(),
              std::string(executable.begin(), executable.end()));
    EXPECT_EQ(entries[0].at("name").get<std::string>(),
              "Kestrava"); // the version resource's file description, shared with the product
}
