#include "shell/MasterHotkey.h"

#include "engine/Engine.h"
#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "shell/ShellTestSupport.h"
#include "support/FakeBrowser.h"
#include "webhost/MacroStatus.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Installs recording hotkey and tray services for one test and removes them afterwards.
struct ServiceRecorder {
    ServiceRecorder() {
        auto& services = kes::desktopServices();
        services.registerMasterHotkey = [this](int id, int key) {
            calls.push_back("register " + std::to_string(id) + " F" + std::to_string(key));
            return refusedKey != key;
        };
        services.unregisterMasterHotkey = [this](int id, int key) {
            calls.push_back("unregister " + std::to_string(id) + " F" + std::to_string(key));
        };
        services.updateTrayIcon = [this](void*) {
            calls.push_back("tray");
            if (trayThrows) {
                throw std::runtime_error("托盘出错");
            }
        };
    }
    ~ServiceRecorder() { kes::desktopServices() = {}; }
    ServiceRecorder(const ServiceRecorder&) = delete;
    ServiceRecorder& operator=(const ServiceRecorder&) = delete;

    std::vector<std::string> calls;
    int refusedKey = 0;
    bool trayThrows = false;
};

struct MasterHotkeyTest : ::testing::Test {
    kes::test::ContextFixture fixture{"hotkey"};
    kes::HostContext& context = fixture.context;
    ServiceRecorder services;
    std::shared_ptr<kes::fake::FakeWebView> page =
        std::make_shared<kes::fake::FakeWebView>(std::make_shared<kes::fake::CallList>());

    void SetUp() override { context.webView = page; }
    fs::path file() const { return context.dataDir / fs::path(kes::masterHotkeyFileName); }
    std::vector<std::string> posted() const {
        std::vector<std::string> texts;
        for (const std::wstring& json : page->postedJson) {
            texts.push_back(kes::toUtf8(json));
        }
        return texts;
    }
    std::string lastPosted() const { return posted().empty() ? "" : posted().back(); }
};

std::string loadError(kes::HostContext& context) {
    try {
        kes::loadMasterHotkey(context);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(MasterHotkeyIds, AlternateBetweenTheTwoIds) {
    EXPECT_EQ(kes::nextMasterHotkeyId(100), 101);
    EXPECT_EQ(kes::nextMasterHotkeyId(101), 100);
    EXPECT_EQ(kes::nextMasterHotkeyId(0), 100);
    EXPECT_EQ(kes::functionKeyCode(1), 0x70);
    EXPECT_EQ(kes::functionKeyCode(12), 0x7B);
}

TEST_F(MasterHotkeyTest, LoadingKeepsOnlyValidKeys) {
    const std::pair<const char*, int> cases[] = {
        {R"({"key":5})", 5},  {R"({"key":13})", 8},    {R"({"key":0})", 8},
        {R"({})", 8},         {R"({"key":12})", 12},   {R"({"key":1})", 1},
        {R"({"key":-3})", 8}, {R"({"key":1e300})", 8}, {R"({"key":4294967304})", 8},
    };
    for (const auto& [text, expected] : cases) {
        context.masterHotkeyKey = 8;
        kes::test::writeAll(file(), text);
        kes::loadMasterHotkey(context);
        EXPECT_EQ(context.masterHotkeyKey, expected) << text;
    }
}

TEST_F(MasterHotkeyTest, LoadingKeepsTheEarlierKeyWhenTheFileIsMissingOrBad) {
    context.masterHotkeyKey = 3;
    kes::loadMasterHotkey(context);
    EXPECT_EQ(context.masterHotkeyKey, 3);

    const std::pair<const char*, const char*> cases[] = {
        {R"({"key":"5"})", "type must be number, but is string"},
        {R"({"key":true})", "type must be number, but is boolean"},
        {R"([5])", "cannot use value() with array"},
        {R"({"key":5)", "parse_error"},
    };
    for (const auto& [text, expected] : cases) {
        kes::test::writeAll(file(), text);
        EXPECT_NE(loadError(context).find(expected), std::string::npos) << text;
        EXPECT_EQ(context.masterHotkeyKey, 3);
    }
}

TEST_F(MasterHotkeyTest, ResultMessageHasSortedMembers) {
    EXPECT_EQ(kes::shortcutResultMessage(5, true, ""),
              R"({"error":"","key":5,"saved":true,"type":"shortcut-result"})");
    context.masterHotkeyKey = 9;
    kes::sendShortcutResult(false, "", context);
    EXPECT_EQ(lastPosted(), R"({"error":"","key":9,"saved":false,"type":"shortcut-result"})");

    context.webView.reset();
    kes::sendShortcutResult(true, "x", context);
    EXPECT_EQ(page->postedJson.size(), 1u);
}

TEST_F(MasterHotkeyTest, OutOfRangeIsRefusedWithoutRegistering) {
    context.masterHotkeyId = 100;
    for (int n : {0, 13, -1}) {
        kes::setMasterHotkey(n, context);
        EXPECT_EQ(lastPosted(),
                  R"({"error":"请选择 F1 到 F12。","key":8,"saved":false,"type":"shortcut-result"})");
    }
    EXPECT_TRUE(services.calls.empty());
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(MasterHotkeyTest, TheKeyInForceNeedsNoChange) {
    context.masterHotkeyId = 100;
    kes::setMasterHotkey(8, context);
    EXPECT_EQ(lastPosted(), R"({"error":"","key":8,"saved":true,"type":"shortcut-result"})");
    EXPECT_TRUE(services.calls.empty());
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(MasterHotkeyTest, ChangesAlternateIdsAndReleaseTheOldKeyLast) {
    context.masterHotkeyId = 100;
    kes::setMasterHotkey(12, context);
    EXPECT_EQ(lastPosted(), R"({"error":"","key":12,"saved":true,"type":"shortcut-result"})");
    EXPECT_EQ(kes::test::readAll(file()), R"({"key":12})");
    kes::setMasterHotkey(8, context);
    EXPECT_EQ(lastPosted(), R"({"error":"","key":8,"saved":true,"type":"shortcut-result"})");
    EXPECT_EQ(kes::test::readAll(file()), R"({"key":8})");
    EXPECT_EQ(services.calls, (std::vector<std::string>{"register 101 F12", "unregister 100 F8",
                                                        "register 100 F8", "unregister 101 F12"}));
    EXPECT_EQ(context.masterHotkeyId, 100);
    EXPECT_EQ(context.masterHotkeyKey, 8);
}

TEST_F(MasterHotkeyTest, WithoutARegistrationEvenTheConfiguredKeyIsRegistered) {
    context.masterHotkeyId = 0;
    kes::setMasterHotkey(8, context);
    EXPECT_EQ(services.calls, std::vector<std::string>{"register 100 F8"});
    EXPECT_EQ(context.masterHotkeyId, 100);
    EXPECT_EQ(kes::test::readAll(file()), R"({"key":8})");
}

TEST_F(MasterHotkeyTest, ATakenKeyLeavesTheOldOneInForce) {
    context.masterHotkeyId = 100;
    services.refusedKey = 5;
    kes::setMasterHotkey(5, context);
    EXPECT_EQ(
        lastPosted(),
        R"({"error":"该快捷键无法注册，可能已被其他程序占用。","key":8,"saved":false,"type":"shortcut-result"})");
    EXPECT_EQ(services.calls, std::vector<std::string>{"register 101 F5"});
    EXPECT_EQ(context.masterHotkeyId, 100);
    EXPECT_EQ(context.masterHotkeyKey, 8);
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(MasterHotkeyTest, AFailedSaveReleasesTheNewRegistration) {
    context.masterHotkeyId = 101;
    fs::create_directories(file());
    kes::setMasterHotkey(5, context);
    EXPECT_EQ(lastPosted(),
              R"({"error":"保存快捷键失败，仍使用原设置。","key":8,"saved":false,"type":"shortcut-result"})");
    EXPECT_EQ(services.calls, (std::vector<std::string>{"register 100 F5", "unregister 100 F5"}));
    EXPECT_EQ(context.masterHotkeyId, 101);
    EXPECT_EQ(context.masterHotkeyKey, 8);
    EXPECT_NE(fixture.errorLog().find("替换文件失败，原文件已保留"), std::string::npos);
}

TEST_F(MasterHotkeyTest, ToggleWaitsForThePageState) {
    context.engine = std::make_unique<kes::Engine>(
        context.log, nullptr, true, [](unsigned char, unsigned char, unsigned long) {},
        [](const std::wstring&) { return true; });
    kes::toggleMasterSwitch(context);
    EXPECT_FALSE(context.engine->isEnabled());
    EXPECT_TRUE(page->postedJson.empty());

    context.pageStateReceived = true;
    context.webView.reset();
    kes::toggleMasterSwitch(context);
    EXPECT_FALSE(context.engine->isEnabled());
    EXPECT_TRUE(services.calls.empty());
}

TEST_F(MasterHotkeyTest, ToggleSwitchesTheEngineRefreshesTheTrayAndTellsThePage) {
    context.engine = std::make_unique<kes::Engine>(
        context.log, nullptr, true, [](unsigned char, unsigned char, unsigned long) {},
        [](const std::wstring&) { return true; });
    context.pageStateReceived = true;
    kes::toggleMasterSwitch(context);
    EXPECT_TRUE(context.engine->isEnabled());
    EXPECT_EQ(lastPosted(), R"({"enabled":true,"type":"macro-toggle-result"})");
    kes::toggleMasterSwitch(context);
    EXPECT_FALSE(context.engine->isEnabled());
    EXPECT_EQ(lastPosted(), R"({"enabled":false,"type":"macro-toggle-result"})");
    EXPECT_EQ(services.calls, (std::vector<std::string>{"tray", "tray"}));
}

TEST_F(MasterHotkeyTest, ToggleFailureIsLoggedAndReportedToThePage) {
    context.engine = std::make_unique<kes::Engine>(
        context.log, nullptr, true, [](unsigned char, unsigned char, unsigned long) {},
        [](const std::wstring&) { return true; });
    context.pageStateReceived = true;
    services.trayThrows = true;
    kes::toggleMasterSwitch(context);
    EXPECT_NE(fixture.errorLog().find("] 切换宏总开关失败：托盘出错\n"), std::string::npos);
    EXPECT_EQ(posted(), std::vector<std::string>{kes::macroStatusFailure});
    EXPECT_EQ(std::string(kes::macroStatusFailure),
              R"({"type":"macro-status","enabled":false,"message":"无法启用宏，请查看错误日志。"})");
}

// The log folder replaced by a file of the same name: the page is still answered on every failure path.
TEST_F(MasterHotkeyTest, AnUnusableLogNeverKeepsTheAnswerFromThePage) {
    fs::remove_all(fixture.root / "logs");
    kes::test::writeAll(fixture.root / "logs", "not a folder");
    context.masterHotkeyId = 100;
    fs::create_directories(file());
    EXPECT_NO_THROW(kes::setMasterHotkey(5, context));
    EXPECT_EQ(lastPosted(),
              R"({"error":"保存快捷键失败，仍使用原设置。","key":8,"saved":false,"type":"shortcut-result"})");
    EXPECT_EQ(services.calls, (std::vector<std::string>{"register 101 F5", "unregister 101 F5"}));

    context.engine = std::make_unique<kes::Engine>(
        context.log, nullptr, true, [](unsigned char, unsigned char, unsigned long) {},
        [](const std::wstring&) { return true; });
    context.pageStateReceived = true;
    services.trayThrows = true;
    EXPECT_NO_THROW(kes::toggleMasterSwitch(context));
    EXPECT_EQ(lastPosted(), kes::macroStatusFailure);
}

TEST(F12Watch, OnePhysicalPressTogglesOnce) {
    bool down = false;
    constexpr int f12 = 0x7B;
    // A held key repeats its key-down events: only the first counts.
    EXPECT_TRUE(kes::f12WatchAccepts(down, f12, false, false, false));
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, false, false, false));
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, false, false, false));
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, true, false, false));
    EXPECT_FALSE(down);
    EXPECT_TRUE(kes::f12WatchAccepts(down, f12, false, false, false));
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, true, false, false));
}

TEST(F12Watch, ModifiersInjectionAndOtherKeysDoNotToggle) {
    bool down = false;
    constexpr int f12 = 0x7B;
    // Ctrl+F12, then releasing Ctrl while F12 stays down: no toggle at all.
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, false, false, true));
    EXPECT_TRUE(down);
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, false, false, false));
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, true, false, false));
    // Injected F12 (a macro's own output) is ignored, also its release.
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, false, true, false));
    EXPECT_FALSE(down);
    EXPECT_TRUE(kes::f12WatchAccepts(down, f12, false, false, false));
    EXPECT_FALSE(kes::f12WatchAccepts(down, f12, true, true, false));
    EXPECT_TRUE(down);
    // Other keys never toggle and never touch the state.
    EXPECT_FALSE(kes::f12WatchAccepts(down, 0x7A, true, false, false));
    EXPECT_TRUE(down);
}
