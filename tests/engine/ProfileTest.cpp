#include "engine/Profile.h"
#include "engine/ProgramName.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace {

using nlohmann::json;

json macrosOf(std::size_t count) {
    json macros = json::array();
    for (std::size_t i = 0; i < count; ++i) {
        macros.push_back({{"id", i}});
    }
    return macros;
}

json stepsOf(std::size_t count) {
    json steps = json::array();
    for (std::size_t i = 0; i < count; ++i) {
        steps.push_back({{"key", "A"}});
    }
    return steps;
}

// The text of whatever parseProfile throws.
std::string failureOf(const json& profile) {
    try {
        kes::parseProfile(profile);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no failure)";
}

TEST(ParseProfile, KeepsOnlyTheProgramFileName) {
    EXPECT_EQ(kes::parseProfile(json{{"program", "D:\\Games\\game.exe"}, {"macros", json::array()}}).program,
              L"game.exe");
    EXPECT_EQ(kes::parseProfile(json{{"program", "D:/Games/sub\\game.exe"}}).program, L"game.exe");
    EXPECT_EQ(kes::parseProfile(json{{"program", "game.exe"}}).program, L"game.exe");
    EXPECT_EQ(kes::parseProfile(json{{"program", "C:\\游戏\\测试.exe"}}).program, L"测试.exe");
    EXPECT_EQ(kes::parseProfile(json{{"program", "D:\\Games\\"}}).program, L"");
    EXPECT_EQ(kes::parseProfile(json{{"program", ""}}).program, L"");
    EXPECT_EQ(kes::parseProfile(json::object()).program, L"");
}

TEST(ParseProfile, WithoutMacrosIsValidAndEmpty) {
    const kes::Profile profile = kes::parseProfile(json{{"name", "x"}, {"programTitle", "t"}});
    EXPECT_TRUE(profile.macros.empty());
}

TEST(ParseProfile, AppliesDefaultsOfAMacroAndItsSteps) {
    const kes::Profile profile =
        kes::parseProfile(json{{"macros", json::array({json{{"steps", json::array({json::object()})}}})}});
    ASSERT_EQ(profile.macros.size(), 1u);
    const kes::Macro& macro = profile.macros[0];
    EXPECT_EQ(macro.id, 0);
    EXPECT_TRUE(macro.enabled);
    EXPECT_EQ(macro.behavior, "once");
    EXPECT_EQ(macro.trigger, "");
    EXPECT_EQ(macro.triggerKey, 0);
    EXPECT_TRUE(macro.modifiers.empty());
    ASSERT_EQ(macro.steps.size(), 1u);
    EXPECT_TRUE(macro.steps[0].keys.empty());
    EXPECT_EQ(macro.steps[0].hold, 30);
    EXPECT_EQ(macro.steps[0].gap, 50);
}

TEST(ParseProfile, ReadsTriggerModifiersAndSteps) {
    const json document = {
        {"program", "game.exe"},
        {"macros",
         json::array(
             {json{{"id", 7},
                   {"name", "ignored"},
                   {"enabled", false},
                   {"behavior", "latch"},
                   {"trigger", "Ctrl + Alt + Q"},
                   {"text", "ignored"},
                   {"steps", json::array({json{{"key", "Ctrl + C + C"}}, json{{"key", " "}, {"hold", 9}},
                                          json{{"key", "B"}, {"hold", 12.9}, {"gap", true}}})}},
              json{{"id", 8}, {"trigger", "Ctrl + Ctrl + Q"}}, json{{"id", 9}, {"trigger", "Nothing"}}})}};
    const kes::Profile profile = kes::parseProfile(document);
    ASSERT_EQ(profile.macros.size(), 3u);
    const kes::Macro& first = profile.macros[0];
    EXPECT_EQ(first.id, 7);
    EXPECT_FALSE(first.enabled);
    EXPECT_EQ(first.behavior, "latch");
    EXPECT_EQ(first.trigger, "Ctrl + Alt + Q");
    EXPECT_EQ(first.triggerKey, 81);
    EXPECT_EQ(first.modifiers, (std::vector<int>{17, 18}));
    ASSERT_EQ(first.steps.size(), 3u);
    EXPECT_EQ(first.steps[0].keys, (std::vector<int>{17, 67}));
    EXPECT_EQ(first.steps[0].hold, 30);
    EXPECT_EQ(first.steps[0].gap, 50);
    EXPECT_TRUE(first.steps[1].keys.empty());
    EXPECT_EQ(first.steps[1].hold, 9);
    EXPECT_EQ(first.steps[2].hold, 12);
    EXPECT_EQ(first.steps[2].gap, 1);
    EXPECT_EQ(profile.macros[1].modifiers, (std::vector<int>{17, 17}));
    EXPECT_EQ(profile.macros[1].triggerKey, 81);
    EXPECT_EQ(profile.macros[2].triggerKey, 0);
    EXPECT_TRUE(profile.macros[2].modifiers.empty());
}

TEST(ParseProfile, ReadsMouseButtonTriggersWithModifiers) {
    const json document = {
        {"macros",
         json::array({json{{"id", 1}, {"trigger", "MButton"}, {"steps", json::array({json{{"key", "A"}}})}},
                      json{{"id", 2}, {"trigger", "Ctrl + Shift + XButton1"}},
                      json{{"id", 3}, {"trigger", "Alt + XButton2"}, {"behavior", "hold"}}})}};
    const kes::Profile profile = kes::parseProfile(document);
    ASSERT_EQ(profile.macros.size(), 3u);
    EXPECT_EQ(profile.macros[0].triggerKey, 4);
    EXPECT_TRUE(profile.macros[0].modifiers.empty());
    EXPECT_EQ(profile.macros[0].steps[0].keys, (std::vector<int>{65}));
    EXPECT_EQ(profile.macros[1].triggerKey, 5);
    EXPECT_EQ(profile.macros[1].modifiers, (std::vector<int>{17, 16}));
    EXPECT_EQ(profile.macros[2].triggerKey, 6);
    EXPECT_EQ(profile.macros[2].modifiers, (std::vector<int>{18}));
}

struct ClampCase {
    json hold;
    json gap;
    int expectedHold;
    int expectedGap;
};

class StepTimeClamping : public ::testing::TestWithParam<ClampCase> {};

TEST_P(StepTimeClamping, KeepsTimesInRange) {
    const json document = {
        {"macros",
         json::array(
             {json{{"steps", json::array({json{{"hold", GetParam().hold}, {"gap", GetParam().gap}}})}}})}};
    const kes::Step step = kes::parseProfile(document).macros.at(0).steps.at(0);
    EXPECT_EQ(step.hold, GetParam().expectedHold);
    EXPECT_EQ(step.gap, GetParam().expectedGap);
}

INSTANTIATE_TEST_SUITE_P(Ranges, StepTimeClamping,
                         ::testing::Values(ClampCase{0, -3, 1, 0}, ClampCase{-5, -1, 1, 0},
                                           ClampCase{60001, 60001, 60000, 60000}, ClampCase{1, 0, 1, 0},
                                           ClampCase{60000, 60000, 60000, 60000}, ClampCase{0.5, 0.9, 1, 0},
                                           ClampCase{4294967297LL, -4294967297LL, 60000, 0},
                                           ClampCase{1e300, -1e300, 60000, 0},
                                           ClampCase{json(18446744073709551615ULL), json(0u), 60000, 0},
                                           ClampCase{false, true, 1, 1}));

TEST(ParseProfile, AcceptsTheLimitsAndRefusesOneMore) {
    EXPECT_EQ(kes::parseProfile(json{{"macros", macrosOf(1000)}}).macros.size(), 1000u);
    EXPECT_EQ(failureOf(json{{"macros", macrosOf(1001)}}), "宏列表格式无效");
    EXPECT_EQ(kes::parseProfile(json{{"macros", json::array({json{{"steps", stepsOf(10000)}}})}})
                  .macros[0]
                  .steps.size(),
              10000u);
    EXPECT_EQ(failureOf(json{{"macros", json::array({json{{"steps", stepsOf(10001)}}})}}),
              "按键序列格式无效");
}

struct FailureCase {
    const char* name;
    json profile;
    std::string message;
};

class ProfileRefusal : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ProfileRefusal, ThrowsItsMessage) {
    EXPECT_EQ(failureOf(GetParam().profile), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    ProgramMessages, ProfileRefusal,
    ::testing::Values(
        FailureCase{"NullMacros", json{{"macros", nullptr}}, "宏列表格式无效"},
        FailureCase{"ObjectMacros", json{{"macros", json::object()}}, "宏列表格式无效"},
        FailureCase{"TwoMacrosWithoutId", json{{"macros", json::array({json::object(), json::object()})}},
                    "宏编号重复"},
        FailureCase{"DuplicateIdOfDisabledMacro",
                    json{{"macros", json::array({json{{"id", 3}, {"enabled", false}}, json{{"id", 3}}})}},
                    "宏编号重复"},
        FailureCase{"DuplicateAfterTruncation",
                    json{{"macros", json::array({json{{"id", 3}}, json{{"id", 3.7}}})}}, "宏编号重复"},
        FailureCase{"DuplicateIdReportedBeforeBehavior",
                    json{{"macros", json::array({json{{"id", 1}}, json{{"id", 1}, {"behavior", "bad"}}})}},
                    "宏编号重复"},
        FailureCase{"CapitalisedBehavior", json{{"macros", json::array({json{{"behavior", "Once"}}})}},
                    "触发方式无效"},
        FailureCase{"EmptyBehavior", json{{"macros", json::array({json{{"behavior", ""}}})}}, "触发方式无效"},
        FailureCase{"ObjectSteps", json{{"macros", json::array({json{{"steps", json::object()}}})}},
                    "按键序列格式无效"},
        FailureCase{"NullSteps", json{{"macros", json::array({json{{"steps", nullptr}}})}},
                    "按键序列格式无效"},
        FailureCase{"MiddleButtonStep",
                    json{{"macros", json::array({json{{"steps", json::array({json{{"key", "MButton"}}})}}})}},
                    kes::mouseButtonStepMessage},
        FailureCase{
            "SideButtonInAChordStep",
            json{{"macros", json::array({json{{"trigger", "XButton1"},
                                              {"steps", json::array({json{{"key", "A"}},
                                                                     json{{"key", "Ctrl + xbutton2"}}})}}})}},
            kes::mouseButtonStepMessage},
        FailureCase{
            "SideButtonStepOfRepeat",
            json{{"macros", json::array({json{{"behavior", "repeat"},
                                              {"steps", json::array({json{{"key", "XButton1"}}})}}})}},
            kes::mouseButtonStepMessage},
        FailureCase{"InvalidUtf8Program", json{{"program", std::string("game\xFF.exe")}}, "UTF-8 文本无效"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The JSON library's own type errors: the exception id and the type wording are shared by every version.
struct TypeErrorCase {
    const char* name;
    json profile;
    std::string id;
    std::string wording;
};

class ProfileTypeError : public ::testing::TestWithParam<TypeErrorCase> {};

TEST_P(ProfileTypeError, ThrowsTheLibraryTypeError) {
    try {
        kes::parseProfile(GetParam().profile);
        FAIL() << "no failure";
    } catch (const json::type_error& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find(GetParam().id), std::string::npos) << text;
        EXPECT_NE(text.find(GetParam().wording), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    LibraryWording, ProfileTypeError,
    ::testing::Values(
        TypeErrorCase{"ArrayProfile", json::array(), "[json.exception.type_error.306]",
                      "cannot use value() with array"},
        TypeErrorCase{"NumberProfile", json(5), "[json.exception.type_error.306]",
                      "cannot use value() with number"},
        TypeErrorCase{"NumberProgram", json{{"program", 5}}, "[json.exception.type_error.302]",
                      "type must be string, but is number"},
        TypeErrorCase{"StringMacro", json{{"macros", json::array({"x"})}}, "[json.exception.type_error.306]",
                      "cannot use value() with string"},
        TypeErrorCase{"StringId", json{{"macros", json::array({json{{"id", "1"}}})}},
                      "[json.exception.type_error.302]", "type must be number, but is string"},
        TypeErrorCase{"NullId", json{{"macros", json::array({json{{"id", nullptr}}})}},
                      "[json.exception.type_error.302]", "type must be number, but is null"},
        TypeErrorCase{"NumberEnabled", json{{"macros", json::array({json{{"enabled", 1}}})}},
                      "[json.exception.type_error.302]", "type must be boolean, but is number"},
        TypeErrorCase{"NumericBehavior", json{{"macros", json::array({json{{"behavior", 1}}})}},
                      "[json.exception.type_error.302]", "type must be string, but is number"},
        TypeErrorCase{"ArrayTrigger", json{{"macros", json::array({json{{"trigger", json::array()}}})}},
                      "[json.exception.type_error.302]", "type must be string, but is array"},
        TypeErrorCase{"NumberStep", json{{"macros", json::array({json{{"steps", json::array({1})}}})}},
                      "[json.exception.type_error.306]", "cannot use value() with number"},
        TypeErrorCase{"NumberKey",
                      json{{"macros", json::array({json{{"steps", json::array({json{{"key", 1}}})}}})}},
                      "[json.exception.type_error.302]", "type must be string, but is number"},
        TypeErrorCase{"StringHold",
                      json{{"macros", json::array({json{{"steps", json::array({json{{"hold", "30"}}})}}})}},
                      "[json.exception.type_error.302]", "type must be number, but is string"},
        TypeErrorCase{
            "ObjectGap",
            json{{"macros", json::array({json{{"steps", json::array({json{{"gap", json::object()}}})}}})}},
            "[json.exception.type_error.302]", "type must be number, but is object"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ProgramName, SplitsAtBothSeparatorsAndComparesWithoutCase) {
    EXPECT_EQ(kes::programFileName(L"C:\\a/b\\Game.EXE"), L"Game.EXE");
    EXPECT_EQ(kes::programFileName(L"D:game.exe"), L"game.exe");
    EXPECT_EQ(kes::programFileName(L"/usr/bin/"), L"");
    EXPECT_EQ(kes::programFileName(L""), L"");
    EXPECT_TRUE(kes::sameProgramName(L"Game.EXE", L"game.exe"));
    EXPECT_TRUE(kes::sameProgramName(L"测试.exe", L"测试.EXE"));
    EXPECT_FALSE(kes::sameProgramName(L"game.exe", L"game.ex"));
    EXPECT_FALSE(kes::sameProgramName(L"game1.exe", L"game2.exe"));
}

} // namespace

namespace {

json oneMacro(json macro) {
    if (!macro.contains("id")) {
        macro["id"] = 1;
    }
    return json{{"macros", json::array({std::move(macro)})}};
}

json stepsMacro(json steps, const std::string& behavior = "once") {
    return oneMacro(json{{"behavior", behavior}, {"steps", std::move(steps)}});
}

TEST(ParseProfile, ReadsPlayCountAndJitterWithTheirDefaults) {
    const kes::Macro plain = kes::parseProfile(oneMacro(json::object())).macros.at(0);
    EXPECT_EQ(plain.playCount, 1);
    EXPECT_EQ(plain.jitter, 0);
    const kes::Macro set =
        kes::parseProfile(oneMacro(json{{"playCount", 1000}, {"jitter", 1000}})).macros.at(0);
    EXPECT_EQ(set.playCount, 1000);
    EXPECT_EQ(set.jitter, 1000);
    const kes::Macro whole =
        kes::parseProfile(oneMacro(json{{"playCount", 2.0}, {"jitter", 0}})).macros.at(0);
    EXPECT_EQ(whole.playCount, 2);
}

TEST(ParseProfile, RefusesPlayCountAndJitterOfAWrongTypeOrRangeNamingTheMember) {
    const std::pair<json, const char*> cases[] = {
        {json{{"playCount", 0}}, kes::playCountMessage},
        {json{{"playCount", 1001}}, kes::playCountMessage},
        {json{{"playCount", -3}}, kes::playCountMessage},
        {json{{"playCount", 2.5}}, kes::playCountMessage},
        {json{{"playCount", "2"}}, kes::playCountMessage},
        {json{{"playCount", true}}, kes::playCountMessage},
        {json{{"playCount", nullptr}}, kes::playCountMessage},
        {json{{"playCount", 18446744073709551615ull}}, kes::playCountMessage},
        {json{{"jitter", -1}}, kes::jitterMessage},
        {json{{"jitter", 1001}}, kes::jitterMessage},
        {json{{"jitter", 0.5}}, kes::jitterMessage},
        {json{{"jitter", json::array()}}, kes::jitterMessage},
    };
    for (const auto& [macro, message] : cases) {
        EXPECT_EQ(failureOf(oneMacro(macro)), message) << macro.dump();
    }
}

TEST(ParseProfile, ReadsKeptAndReleasedKeysOfSteps) {
    const kes::Macro macro = kes::parseProfile(stepsMacro(json::array({
                                                   json{{"key", "W + A"}, {"keep", "w"}},
                                                   json{{"key", "Space"}},
                                                   json{{"key", ""}, {"release", "W"}},
                                               })))
                                 .macros.at(0);
    ASSERT_EQ(macro.steps.size(), 3u);
    EXPECT_EQ(macro.steps[0].keep, (std::vector<int>{87}));
    EXPECT_TRUE(macro.steps[0].release.empty());
    EXPECT_TRUE(macro.steps[1].keep.empty());
    EXPECT_EQ(macro.steps[2].release, (std::vector<int>{87}));
    // Keys are kept again after their release, and a later pass (a loop's next round) starts with none.
    EXPECT_NO_THROW(kes::parseProfile(stepsMacro(json::array({
                                                     json{{"key", "W"}, {"keep", "W"}},
                                                     json{{"key", "A"}, {"release", "W"}},
                                                     json{{"key", "W"}, {"keep", "W"}},
                                                 }),
                                                 "hold")));
}

TEST(ParseProfile, RefusesKeptAndReleasedKeysThatDoNotFitNamingTheMember) {
    const std::pair<json, const char*> cases[] = {
        // keep names a key the step does not press, or is not text.
        {stepsMacro(json::array({json{{"key", "A"}, {"keep", "W"}}})), kes::keepMessage},
        {stepsMacro(json::array({json{{"key", "A"}, {"keep", 65}}})), kes::keepMessage},
        // release names a key nothing keeps, one already released, or is not text.
        {stepsMacro(json::array({json{{"key", "A"}, {"release", "W"}}})), kes::releaseMessage},
        {stepsMacro(json::array(
             {json{{"key", "W"}, {"keep", "W"}}, json{{"release", "W"}}, json{{"release", "W"}}})),
         kes::releaseMessage},
        {stepsMacro(json::array({json{{"key", "W"}, {"keep", "W"}}, json{{"release", true}}})),
         kes::releaseMessage},
        // A kept key pressed again before its release.
        {stepsMacro(json::array({json{{"key", "W"}, {"keep", "W"}}, json{{"key", "Shift + W"}}})),
         kes::pressKeptMessage},
        // Rapid fire plays single steps: nothing to keep across.
        {stepsMacro(json::array({json{{"key", "W"}, {"keep", "W"}}}), "repeat"), kes::repeatKeepMessage},
    };
    for (const auto& [profile, message] : cases) {
        EXPECT_EQ(failureOf(profile), message) << profile.dump();
    }
}

} // namespace
