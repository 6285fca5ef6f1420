#include "engine/KeyOutput.h"

#include "EngineTestSupport.h"
#include "engine/KeyNames.h"
#include "engine/Profile.h"
#include "support/Wine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdexcept>

namespace {

using kes::test::keysAndDirections;
using kes::test::RecordingSender;
using Events = std::vector<std::pair<int, bool>>;

const kes::ScanCodeLookup systemScanCodes = kes::defaultScanCodeLookup();

// The output of a group through `sender`, with the system's scan codes unless told otherwise.
kes::KeyOutput outputTo(const kes::KeySender& sender, kes::PerfCounters* counters = nullptr,
                        const kes::ScanCodeLookup& scanCodes = systemScanCodes) {
    return kes::KeyOutput{sender, counters, scanCodes};
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no failure)";
}

TEST(KeyOutput, ExtendedKeysAreExactlyTheNavigationWindowsKeypadDivideAndSystemKeys) {
    std::vector<int> extended;
    for (int vk = 1; vk <= 254; ++vk) {
        if (kes::isExtendedKey(vk)) {
            extended.push_back(vk);
        }
    }
    EXPECT_EQ(extended, (std::vector<int>{33, 34, 35, 36, 37, 38, 39, 40, 44, 45, 46, 91, 92, 93, 111, 144}));
}

TEST(KeyOutput, RefusesKeysOutsideTheValidRange) {
    EXPECT_EQ(failureOf([] { kes::keyEventArgs(0); }), "虚拟键超出有效范围");
    EXPECT_EQ(failureOf([] { kes::keyEventArgs(255); }), "虚拟键超出有效范围");
    EXPECT_EQ(failureOf([] { kes::keyEventArgs(-1); }), "虚拟键超出有效范围");
    // 7 is an unassigned virtual key: no layout gives it a scan code.
    EXPECT_EQ(failureOf([] { kes::keyEventArgs(7); }), "无法转换硬件扫描码");
}

TEST(KeyOutput, GroupGoesDownInOrderAndUpInReverse) {
    RecordingSender recorder;
    const std::vector<int> keys{65, 68};
    kes::PressedKeys pressed;
    kes::pressGroup(keys, pressed, outputTo(recorder.sender()));
    EXPECT_EQ(pressed.size(), 2u);
    kes::releaseGroup(pressed, outputTo(recorder.sender()));
    EXPECT_TRUE(pressed.empty());
    const auto events = recorder.events();
    EXPECT_EQ(keysAndDirections(events), (Events{{65, true}, {68, true}, {68, false}, {65, false}}));
    for (const auto& event : events) {
        EXPECT_EQ(event.flags & ~2ul, 0ul);
        EXPECT_NE(event.scan, 0);
    }
    EXPECT_EQ(events[0].flags, 0ul);
    EXPECT_EQ(events[2].flags, 2ul);
}

TEST(KeyOutput, ExtendedBitFollowsTheKey) {
    struct Case {
        int vk;
        unsigned long down, up;
    };
    for (const Case c : {Case{37, 1, 3}, Case{111, 1, 3}, Case{46, 1, 3}, Case{91, 1, 3}, Case{191, 0, 2},
                         Case{107, 0, 2}, Case{13, 0, 2}}) {
        RecordingSender recorder;
        kes::PressedKeys pressed;
        kes::pressGroup({c.vk}, pressed, outputTo(recorder.sender()));
        kes::releaseGroup(pressed, outputTo(recorder.sender()));
        const auto events = recorder.events();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].flags, c.down) << c.vk;
        EXPECT_EQ(events[1].flags, c.up) << c.vk;
    }
}

TEST(KeyOutput, KeysPressedBeforeAFailingKeyAreReleasedFirst) {
    RecordingSender recorder;
    kes::PressedKeys pressed;
    EXPECT_EQ(failureOf([&] {
                  kes::pressGroup({65, 68, 255}, pressed, outputTo(recorder.sender()));
              }),
              "虚拟键超出有效范围");
    EXPECT_TRUE(pressed.empty());
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{65, true}, {68, true}, {68, false}, {65, false}}));

    RecordingSender noScan;
    EXPECT_EQ(failureOf([&] {
                  kes::pressGroup({65, 7}, pressed, outputTo(noScan.sender()));
              }),
              "无法转换硬件扫描码");
    EXPECT_EQ(keysAndDirections(noScan.events()), (Events{{65, true}, {65, false}}));
}

TEST(KeyOutput, SenderFailureLeavesAfterTheSameRelease) {
    RecordingSender recorder;
    recorder.failOn(67, false);
    kes::PressedKeys pressed;
    EXPECT_EQ(failureOf([&] {
                  kes::pressGroup({65, 68, 67}, pressed, outputTo(recorder.sender()));
              }),
              "发送失败");
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{65, true}, {68, true}, {68, false}, {65, false}}));
}

TEST(KeyOutput, AFailingReleaseStillReleasesTheKeysBeforeIt) {
    RecordingSender recorder;
    kes::PressedKeys pressed;
    kes::pressGroup({65, 68, 67}, pressed, outputTo(recorder.sender()));
    recorder.failOn(68, true);
    EXPECT_EQ(failureOf([&] { kes::releaseGroup(pressed, outputTo(recorder.sender())); }), "发送失败");
    EXPECT_TRUE(pressed.empty());
    EXPECT_EQ(keysAndDirections(recorder.events()),
              (Events{{65, true}, {68, true}, {67, true}, {67, false}, {65, false}}));
}

TEST(KeyOutput, AReleaseSendsTheScanCodeItsPressWasSentWith) {
    // The keyboard layout changes while the keys are down: the releases still match their presses.
    unsigned layout = 0x10;
    const kes::ScanCodeLookup scanCodes = [&layout](int vk) {
        return layout + static_cast<unsigned>(vk - 65);
    };
    RecordingSender recorder;
    kes::PressedKeys pressed;
    kes::pressGroup({65, 68}, pressed, outputTo(recorder.sender(), nullptr, scanCodes));
    layout = 0x40;
    kes::releaseGroup(pressed, outputTo(recorder.sender(), nullptr, scanCodes));
    const auto events = recorder.events();
    ASSERT_EQ(keysAndDirections(events), (Events{{65, true}, {68, true}, {68, false}, {65, false}}));
    EXPECT_EQ(events[0].scan, 0x10);
    EXPECT_EQ(events[1].scan, 0x13);
    EXPECT_EQ(events[2].scan, 0x13);
    EXPECT_EQ(events[3].scan, 0x10);

    // A layout that lost the key meanwhile cannot keep it down either.
    kes::pressGroup({65}, pressed, outputTo(recorder.sender(), nullptr, scanCodes));
    const kes::ScanCodeLookup none = [](int) {
        return 0u;
    };
    kes::releaseGroup(pressed, outputTo(recorder.sender(), nullptr, none));
    EXPECT_TRUE(recorder.keysDown().empty());
    EXPECT_EQ(recorder.events().back().scan, 0x40);
}

TEST(KeyOutput, TimesEverySenderCallWhenCountersArePresent) {
    RecordingSender recorder;
    kes::PerfCounters counters;
    kes::PressedKeys pressed;
    kes::pressGroup({65, 68}, pressed, outputTo(recorder.sender(), &counters));
    kes::releaseGroup(pressed, outputTo(recorder.sender(), &counters));
    EXPECT_EQ(counters.keySend.count.load(), 4);
    EXPECT_GE(counters.keySend.maxNs.load(), 0);
}

// The lock and system keys have the same scan code on every layout; Pause and NumLock share 0x45 and
// only the extended bit tells them apart, so both must be exact for the right key to come out.
TEST(KeyOutput, LockAndSystemKeysGoOutWithTheirOwnScanCodeAndExtendedBit) {
    struct Case {
        std::string name;
        int vk;
        unsigned char scan;
        unsigned long down, up;
    };
    const std::vector<Case> cases = {
        {"CapsLock", 20, 0x3A, 0, 2}, {"ScrollLock", 145, 0x46, 0, 2}, {"NumLock", 144, 0x45, 1, 3},
        {"Pause", 19, 0x45, 0, 2},    {"PrintScreen", 44, 0x37, 1, 3}, {"Menu", 93, 0x5D, 1, 3},
    };
    for (const Case& c : cases) {
        const kes::Profile profile = kes::parseProfile(
            nlohmann::json::parse(R"({"macros":[{"id":1,"steps":[{"key":")" + c.name + R"("}]}]})"));
        ASSERT_EQ(profile.macros.at(0).steps.at(0).keys, std::vector<int>{c.vk}) << c.name;
        RecordingSender recorder;
        kes::PressedKeys pressed;
        kes::pressGroup(profile.macros[0].steps[0].keys, pressed, outputTo(recorder.sender()));
        kes::releaseGroup(pressed, outputTo(recorder.sender()));
        const auto events = recorder.events();
        ASSERT_EQ(events.size(), 2u) << c.name;
        EXPECT_EQ(events[0].vk, c.vk) << c.name;
        EXPECT_EQ(events[0].scan, c.scan) << c.name;
        EXPECT_EQ(events[0].flags, c.down) << c.name;
        EXPECT_EQ(events[1].scan, c.scan) << c.name;
        EXPECT_EQ(events[1].flags, c.up) << c.name;
    }
}

TEST(KeyOutput, EveryNameableKeyHasAScanCode) {
    std::vector<std::string> names = {
        "space",       "enter",      "tab",        "esc",      "backspace",   "delete", "insert",
        "home",        "end",        "pageup",     "pagedown", "up",          "down",   "left",
        "right",       "ctrl",       "shift",      "alt",      "win",         "numadd", "numsubtract",
        "nummultiply", "numdivide",  "numdecimal", ";",        "=",           ",",      "-",
        "capslock",    "scrolllock", "numlock",    "pause",    "printscreen", "menu",   ".",
        "/",           "`",          "[",          "\\",       "]",           "'"};
    for (char c = 'a'; c <= 'z'; ++c) {
        names.emplace_back(1, c);
    }
    for (char c = '0'; c <= '9'; ++c) {
        names.emplace_back(1, c);
        names.push_back(std::string("num") + c);
    }
    for (int f = 1; f <= 12; ++f) {
        names.push_back(std::string(1, 'f').append(std::to_string(f)));
    }
    for (const std::string& name : names) {
        const int vk = kes::parseKeyName(name);
        ASSERT_NE(vk, 0) << name;
        if (kes::test::scanCodeMissingUnderWine(vk)) {
            continue;
        }
        EXPECT_NO_THROW(kes::keyEventArgs(vk)) << name;
    }
}

} // namespace
