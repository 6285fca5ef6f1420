#include "shell/WindowSettings.h"

#include "shell/CloseChoice.h"
#include "shell/DesktopServices.h"
#include "shell/MasterHotkey.h"
#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using kes::CloseChoice;

namespace {

// Start-up's settings for one pair of settings files, with F-key `takenKey` held by another program.
struct StartupSettings {
    std::optional<std::string> closeFile{};
    std::optional<std::string> hotkeyFile{};
    int takenKey = 0;

    CloseChoice closeChoice = CloseChoice::Ask;
    int key = 0;
    int id = 0;
    std::vector<std::string> registrations{};
    std::string errorLog{};
};

StartupSettings load(StartupSettings settings) {
    kes::test::ContextFixture fixture("window-settings");
    kes::HostContext& context = fixture.context;
    if (settings.closeFile)
        kes::test::writeAll(context.dataDir / fs::path(kes::closeChoiceFileName), *settings.closeFile);
    if (settings.hotkeyFile)
        kes::test::writeAll(context.dataDir / fs::path(kes::masterHotkeyFileName), *settings.hotkeyFile);
    kes::desktopServices().registerMasterHotkey = [&settings](int id, int key) {
        settings.registrations.push_back(std::to_string(id) + " F" + std::to_string(key));
        return key != settings.takenKey;
    };
    kes::loadWindowSettings(context);
    kes::desktopServices() = {};
    settings.closeChoice = context.closeChoice;
    settings.key = context.masterHotkeyKey;
    settings.id = context.masterHotkeyId;
    settings.errorLog = fixture.errorLog();
    return settings;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(WindowSettings, AbsentFilesGiveTheDefaultsAndF8) {
    const StartupSettings loaded = load({});
    EXPECT_EQ(loaded.closeChoice, CloseChoice::Ask);
    EXPECT_EQ(loaded.key, 8);
    EXPECT_EQ(loaded.id, 100);
    EXPECT_EQ(loaded.registrations, std::vector<std::string>{"100 F8"});
    EXPECT_EQ(loaded.errorLog, "");
}

TEST(WindowSettings, PreSeededFilesAreTakenOver) {
    const StartupSettings tray = load({R"({"action":"tray"})", R"({"key":3})"});
    EXPECT_EQ(tray.closeChoice, CloseChoice::Tray);
    EXPECT_EQ(tray.key, 3);
    EXPECT_EQ(tray.registrations, std::vector<std::string>{"100 F3"});
    const StartupSettings exit = load({R"({"action":"exit"})", R"({"key":12})"});
    EXPECT_EQ(exit.closeChoice, CloseChoice::Exit);
    EXPECT_EQ(exit.registrations, std::vector<std::string>{"100 F12"});
    EXPECT_EQ(exit.errorLog, "");
}

// Each malformed file is logged with the library's text; the other file and the registration go on.
TEST(WindowSettings, MalformedFilesAreLoggedAndTheDefaultsKept) {
    struct Case {
        std::optional<std::string> closeFile;
        std::optional<std::string> hotkeyFile;
        CloseChoice closeChoice;
        int key;
        std::string logged;
    };
    const std::vector<Case> cases{
        {"[1,2]", R"({"key":5})", CloseChoice::Ask, 5, "cannot use value() with array"},
        {R"({"action":7})", std::nullopt, CloseChoice::Ask, 8, "type must be string, but is number"},
        {"{bad", R"({"key":4})", CloseChoice::Ask, 4, "parse error"},
        {R"({"action":"exit"})", R"({"key":"5"})", CloseChoice::Exit, 8,
         "type must be number, but is string"},
        {R"({"action":"tray"})", "[]", CloseChoice::Tray, 8, "cannot use value() with array"},
        {R"({"action":"Tray"})", R"({"key":13})", CloseChoice::Ask, 8, ""},
    };
    for (const Case& c : cases) {
        const StartupSettings loaded = load({c.closeFile, c.hotkeyFile});
        EXPECT_EQ(loaded.closeChoice, c.closeChoice) << c.logged;
        EXPECT_EQ(loaded.key, c.key) << c.logged;
        EXPECT_EQ(loaded.id, 100) << c.logged;
        if (c.logged.empty())
            EXPECT_EQ(loaded.errorLog, "");
        else
            EXPECT_TRUE(contains(loaded.errorLog, c.logged)) << loaded.errorLog;
    }
}

TEST(WindowSettings, ATakenHotkeyIsLoggedAndTheRunGoesOnWithout) {
    const StartupSettings loaded = load({R"({"action":"tray"})", std::nullopt, 8});
    EXPECT_EQ(loaded.id, 0);
    EXPECT_EQ(loaded.key, 8);
    EXPECT_EQ(loaded.closeChoice, CloseChoice::Tray);
    EXPECT_TRUE(contains(loaded.errorLog, "] 宏总开关快捷键注册失败，可能已被占用\n")) << loaded.errorLog;
}
