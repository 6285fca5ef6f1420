#include "platform/x11/GrabPlan.h"
#include "platform/x11/KeyRouter.h"
#include "platform/x11/KeySymbols.h"
#include "shell/gtk/ClaimedKeys.h"
#include "webhost/VirtualOrigin.h"
#include "webhost/gtk/SchemeAddress.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

namespace {

using kes::platform::KeyEventKind;
using kes::platform::x11::KeyRouter;
using kes::platform::x11::X11KeyEvent;
using kes::platform::x11::X11KeySource;
using json = nlohmann::json;

// --- Addresses between the browser's page scheme and the host's virtual origin -----------------------

TEST(SchemeAddress, ThePageSchemeStandsForTheVirtualOriginBothWays) {
    EXPECT_EQ(kes::browserAddress(kes::startAddress), L"kestrava://kestrava.invalid/?desktop=1");
    EXPECT_EQ(kes::hostAddress(L"kestrava://kestrava.invalid/?desktop=1"), kes::startAddress);
    EXPECT_EQ(kes::hostAddress(L"kestrava://kestrava.invalid/api/state"), kes::virtualOrigin + L"/api/state");
    EXPECT_TRUE(kes::isNavigationAllowed(kes::hostAddress(L"kestrava://kestrava.invalid/index.html")));
}

TEST(SchemeAddress, NoOtherAddressPassesForTheVirtualOrigin) {
    const std::vector<std::wstring> outside = {
        L"https://kestrava.invalid/",     // the real https address would go to the network
        L"kestrava://kestrava.invalidx/", // a longer host that begins like ours
        L"kestrava://other.invalid/",     // another host under our scheme
        L"http://example.com/",           // any web address
        L"about:blank",
        L"",
    };
    for (const std::wstring& address : outside) {
        const std::wstring mapped = kes::hostAddress(address);
        EXPECT_FALSE(kes::isNavigationAllowed(mapped)) << std::string(address.begin(), address.end());
        EXPECT_FALSE(kes::matchesRequestFilter(kes::requestFilter, mapped));
    }
    // The bare page origin without its slash is the bare virtual origin, which is refused too.
    EXPECT_FALSE(kes::isNavigationAllowed(kes::hostAddress(L"kestrava://kestrava.invalid")));
}

TEST(SchemeAddress, AddressesOutsideTheOriginReachTheBrowserUnchanged) {
    EXPECT_EQ(kes::browserAddress(L"https://example.com/"), L"https://example.com/");
    EXPECT_EQ(kes::browserAddress(L"https://kestrava.invalidx/"), L"https://kestrava.invalidx/");
}

TEST(SchemeAddress, RequestFilterMatchesItsPrefixOrTheWholeAddress) {
    EXPECT_TRUE(kes::matchesRequestFilter(L"https://a/*", L"https://a/x?y"));
    EXPECT_TRUE(kes::matchesRequestFilter(L"https://a/*", L"https://a/"));
    EXPECT_FALSE(kes::matchesRequestFilter(L"https://a/*", L"https://a"));
    EXPECT_TRUE(kes::matchesRequestFilter(L"https://a/x", L"https://a/x"));
    EXPECT_FALSE(kes::matchesRequestFilter(L"https://a/x", L"https://a/xy"));
}

// --- Key symbols --------------------------------------------------------------------------------------

TEST(KeySymbols, PhysicalKeysReportTheCodesTheEngineMatches) {
    const std::map<std::uint32_t, int> cases = {
        {0x61, 65},    {0x41, 65},      {0x7a, 90},    {0x30, 48},    {0xffbe, 112}, {0xffc5, 119},
        {0xffd5, 135}, {0xffb7, 103},   {0xff95, 103}, {0xff9e, 96},  {0xffaf, 111}, {0xff8d, 13},
        {0xffe1, 160}, {0xffe2, 161},   {0xffe3, 162}, {0xffe4, 163}, {0xffe9, 164}, {0xffea, 165},
        {0xfe03, 165}, {0xffeb, 91},    {0xff51, 37},  {0x2f, 191},   {0x20, 32},    {0xfe20, 9},
        {0x0, 0},      {0x1008ff11, 0}, // a multimedia key has no name
    };
    for (const auto& [symbol, vk] : cases)
        EXPECT_EQ(kes::platform::x11::virtualKeyOfSymbol(symbol), vk) << std::hex << symbol;
}

TEST(KeySymbols, EveryNamedCodeIsSentAsAKeyThatReportsItBack) {
    for (int vk = 1; vk <= 254; ++vk) {
        const auto symbols = kes::platform::x11::symbolsOfVirtualKey(vk);
        if (symbols.empty())
            continue;
        const int reported = kes::platform::x11::virtualKeyOfSymbol(symbols.front());
        // Side-neutral modifiers are sent as their left keys, which report their side.
        const int expected = vk == 16 ? 160 : vk == 17 ? 162 : vk == 18 ? 164 : vk;
        EXPECT_EQ(reported, expected) << vk;
    }
    for (int vk : {65, 90, 48, 112, 123, 96, 105, 13, 16, 17, 18, 32, 37, 91, 186, 222})
        EXPECT_FALSE(kes::platform::x11::symbolsOfVirtualKey(vk).empty()) << vk;
    EXPECT_TRUE(kes::platform::x11::symbolsOfVirtualKey(0).empty());
    EXPECT_TRUE(kes::platform::x11::symbolsOfVirtualKey(255).empty());
}

// --- Routing recorded event streams -------------------------------------------------------------------

constexpr int physicalKeyboard = 7;
constexpr int xtestKeyboard = 5;
constexpr int f8 = 74;
constexpr int letterA = 38;
constexpr int control = 37;

struct Seen {
    int keycode;
    KeyEventKind kind;
    bool injected;
    bool decides;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> routeAll(const KeyRouter& router, const std::vector<X11KeyEvent>& stream) {
    std::vector<Seen> seen;
    for (const X11KeyEvent& event : stream) {
        if (const auto routed = router.route(event))
            seen.push_back({routed->keycode, routed->kind, routed->injected, routed->decides});
    }
    return seen;
}

KeyRouter routerGrabbing(std::set<int> keycodes) {
    KeyRouter router;
    router.setSyntheticDevices({xtestKeyboard});
    router.setGrabbedKeycodes(std::move(keycodes));
    return router;
}

X11KeyEvent raw(bool press, int keycode, int device = physicalKeyboard) {
    return {X11KeySource::Raw, press, keycode, device};
}

X11KeyEvent grabbed(bool press, int keycode, int device = physicalKeyboard) {
    return {X11KeySource::Grabbed, press, keycode, device};
}

TEST(KeyRouter, AGrabbedPressIsDecidedOnceAndItsReleaseComesFromTheRawStream) {
    // The server sends the raw press and the grabbed press in either order; the release only raw.
    for (const auto& stream : {std::vector<X11KeyEvent>{raw(true, f8), grabbed(true, f8), raw(false, f8)},
                               std::vector<X11KeyEvent>{grabbed(true, f8), raw(true, f8), raw(false, f8)}}) {
        EXPECT_EQ(
            routeAll(routerGrabbing({f8}), stream),
            (std::vector<Seen>{{f8, KeyEventKind::Down, false, true}, {f8, KeyEventKind::Up, false, false}}));
    }
}

TEST(KeyRouter, KeysOutsideTheGrabSetAreSeenButNeverHeldBack) {
    const std::vector<X11KeyEvent> stream = {raw(true, control), raw(true, letterA), raw(false, letterA),
                                             raw(false, control)};
    EXPECT_EQ(routeAll(routerGrabbing({f8}), stream),
              (std::vector<Seen>{{control, KeyEventKind::Down, false, false},
                                 {letterA, KeyEventKind::Down, false, false},
                                 {letterA, KeyEventKind::Up, false, false},
                                 {control, KeyEventKind::Up, false, false}}));
}

TEST(KeyRouter, XTestDevicesAreInjectedEvenOnGrabbedKeys) {
    // Our own output (and xdotool's) comes from the XTest device; a grab on the key still fires for it.
    const std::vector<X11KeyEvent> stream = {grabbed(true, f8, xtestKeyboard), raw(true, f8, xtestKeyboard),
                                             raw(false, f8, xtestKeyboard),
                                             raw(true, letterA, xtestKeyboard)};
    EXPECT_EQ(routeAll(routerGrabbing({f8}), stream),
              (std::vector<Seen>{{f8, KeyEventKind::Down, true, true},
                                 {f8, KeyEventKind::Up, true, false},
                                 {letterA, KeyEventKind::Down, true, false}}));
}

TEST(KeyRouter, AGrabbedReleaseLeftFromAGrabBeingGivenUpIsNotCountedTwice) {
    const std::vector<X11KeyEvent> stream = {grabbed(true, f8), grabbed(false, f8), raw(false, f8)};
    EXPECT_EQ(
        routeAll(routerGrabbing({f8}), stream),
        (std::vector<Seen>{{f8, KeyEventKind::Down, false, true}, {f8, KeyEventKind::Up, false, false}}));
}

TEST(KeyRouter, AutoRepeatedPressesOfAHeldTriggerAreDecidedEachTime) {
    const std::vector<X11KeyEvent> stream = {grabbed(true, f8), grabbed(true, f8), grabbed(true, f8),
                                             raw(false, f8)};
    const auto seen = routeAll(routerGrabbing({f8}), stream);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(seen[0].decides && seen[1].decides && seen[2].decides);
    EXPECT_EQ(seen[3].kind, KeyEventKind::Up);
}

TEST(KeyRouter, WithoutGrabsEveryRawEventIsSeenOnce) {
    const std::vector<X11KeyEvent> stream = {raw(true, f8), raw(false, f8)};
    EXPECT_EQ(
        routeAll(routerGrabbing({}), stream),
        (std::vector<Seen>{{f8, KeyEventKind::Down, false, false}, {f8, KeyEventKind::Up, false, false}}));
}

// --- Grab bookkeeping ---------------------------------------------------------------------------------

// A keymap where F8 sits on 74, A on 38, keypad 7 on 79 and, as on some layouts, Enter on two keycodes.
std::vector<int> keycodesOf(int vk) {
    switch (vk) {
    case 119:
        return {74};
    case 65:
        return {38};
    case 103:
        return {79};
    case 13:
        return {36, 104};
    default:
        return {};
    }
}

TEST(GrabPlan, ProfileKeysAreGrabbedOnlyWhileTheHookIsInstalled) {
    using kes::platform::x11::GrabWish;
    using kes::platform::x11::wantedKeycodes;
    EXPECT_EQ(wantedKeycodes(GrabWish{true, {119, 65, 13}, {}}, keycodesOf),
              (std::set<int>{36, 38, 74, 104}));
    EXPECT_EQ(wantedKeycodes(GrabWish{false, {119, 65, 13}, {}}, keycodesOf), (std::set<int>{}));
    // The master switch hotkey stays grabbed whatever the engine does.
    EXPECT_EQ(wantedKeycodes(GrabWish{false, {65}, {119}}, keycodesOf), (std::set<int>{74}));
    EXPECT_EQ(wantedKeycodes(GrabWish{true, {65}, {119}}, keycodesOf), (std::set<int>{38, 74}));
    // A key that the keymap does not have cannot be grabbed.
    EXPECT_EQ(wantedKeycodes(GrabWish{true, {250}, {}}, keycodesOf), (std::set<int>{}));
}

TEST(GrabPlan, FollowingASequenceOfAppliesAndSwitchesTouchesOnlyTheChangedKeys) {
    using kes::platform::x11::GrabWish;
    struct Step {
        const char* what;
        GrabWish wish;
        std::vector<int> release;
        std::vector<int> take;
    };
    const std::vector<Step> steps = {
        {"switch on with F8", {true, {119}, {}}, {}, {74}},
        {"apply adds A", {true, {119, 65}, {}}, {}, {38}},
        {"apply replaces F8 by keypad 7", {true, {65, 103}, {}}, {74}, {79}},
        {"hotkey F8 registered", {true, {65, 103}, {119}}, {}, {74}},
        {"master switch off", {false, {65, 103}, {119}}, {38, 79}, {}},
        {"master switch on again", {true, {65, 103}, {119}}, {}, {38, 79}},
        {"profile no longer uses A", {true, {103}, {119}}, {38}, {}},
        {"hotkey moves to Enter: both held while changing", {true, {103}, {119, 13}}, {}, {36, 104}},
        {"old hotkey released", {true, {103}, {13}}, {74}, {}},
        {"shutdown", {false, {}, {}}, {36, 79, 104}, {}},
    };
    std::set<int> held;
    for (const Step& step : steps) {
        const std::set<int> wanted = kes::platform::x11::wantedKeycodes(step.wish, keycodesOf);
        const auto changes = kes::platform::x11::planGrabChanges(held, wanted);
        EXPECT_EQ(changes.release, step.release) << step.what;
        EXPECT_EQ(changes.take, step.take) << step.what;
        for (int keycode : changes.release)
            held.erase(keycode);
        held.insert(changes.take.begin(), changes.take.end());
        EXPECT_EQ(held, wanted) << step.what;
    }
}

// --- The keys a profile claims ------------------------------------------------------------------------

TEST(ClaimedKeys, TriggersAndSingleKeyRapidFireStepsOfEnabledMacros) {
    const json profile = {
        {"macros", json::array({json{{"id", 1}, {"behavior", "once"}, {"trigger", "F8"}},
                                json{{"id", 2}, {"behavior", "hold"}, {"trigger", "Ctrl + F9"}},
                                json{{"id", 3}, {"behavior", "latch"}, {"trigger", "F4"}, {"enabled", false}},
                                json{{"id", 4},
                                     {"behavior", "repeat"},
                                     {"trigger", "F2"},
                                     {"steps", json::array({json{{"key", "E"}}, json{{"key", "Ctrl + C"}}})}},
                                json{{"id", 5}, {"behavior", "once"}, {"trigger", ""}}})}};
    // F8, F9 (not Ctrl), E; not the disabled F4, not the repeat macro's trigger, not Ctrl + C.
    EXPECT_EQ(kes::claimedKeys(kes::parseProfile(profile)), (std::set<int>{69, 119, 120}));
}

TEST(ClaimedKeys, AMouseTriggerClaimsNoKeyOfTheKeyboard) {
    const json profile = {
        {"macros", json::array({json{{"id", 1}, {"trigger", "MButton"}},
                                json{{"id", 2}, {"trigger", "Ctrl + XButton1"}},
                                json{{"id", 3}, {"trigger", "XButton2"}, {"behavior", "hold"}},
                                json{{"id", 4}, {"trigger", "F8"}}})}};
    EXPECT_EQ(kes::claimedKeys(kes::parseProfile(profile)), (std::set<int>{119}));
    for (int vk : {4, 5, 6})
        EXPECT_TRUE(kes::platform::x11::symbolsOfVirtualKey(vk).empty()) << vk;
}

TEST(ClaimedKeys, OnlyAValidMacroStateMessageNamesKeys) {
    const std::string state =
        json{{"type", "macro-state"},
             {"enabled", true},
             {"profile", {{"macros", json::array({json{{"id", 1}, {"trigger", "F8"}}})}}}}
            .dump();
    EXPECT_EQ(kes::claimedKeysOfPageMessage(state), (std::set<int>{119}));
    EXPECT_EQ(kes::claimedKeysOfPageMessage(R"({"type":"macro-state"})"), (std::set<int>{}));
    EXPECT_FALSE(kes::claimedKeysOfPageMessage("drag").has_value());
    EXPECT_FALSE(kes::claimedKeysOfPageMessage(R"({"type":"shortcut-get"})").has_value());
    EXPECT_FALSE(kes::claimedKeysOfPageMessage(R"([1,2])").has_value());
    EXPECT_FALSE(
        kes::claimedKeysOfPageMessage(R"({"type":"macro-state","profile":{"macros":[{"behavior":"never"}]}})")
            .has_value());
}

} // namespace
