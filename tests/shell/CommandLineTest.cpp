#include "shell/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct Flags {
    bool startupCheck, selfCheck, performance, printLicenses, simulateFailure, webviewDialogCheck;
    bool operator==(const Flags&) const = default;
};

Flags flagsOf(std::vector<std::wstring> words) {
    words.insert(words.begin(), L"C:\\程序\\Kestrava.exe");
    const kes::CommandLineOptions o = kes::parseCommandLine(words);
    return {o.startupCheck,  o.selfCheck,       o.performance,
            o.printLicenses, o.simulateFailure, o.webviewDialogCheck};
}

std::ostream& operator<<(std::ostream& out, const Flags& f) {
    return out << f.startupCheck << f.selfCheck << f.performance << f.printLicenses << f.simulateFailure
               << f.webviewDialogCheck;
}

} // namespace

TEST(CommandLine, EachWordSetsItsFlags) {
    const std::pair<const wchar_t*, Flags> cases[] = {
        {L"--startup-check", {true, false, false, false, false, false}},
        {L"--check", {false, true, false, false, false, false}},
        {L"--licenses", {false, false, false, true, false, false}},
        {L"--simulate-failure", {false, false, false, false, true, false}},
        {L"--diagnostics", {false, false, true, false, false, false}},
        {L"--performance", {false, false, true, false, false, false}},
        {L"--webview-dialog-check", {true, false, false, false, false, true}},
    };
    for (const auto& [word, flags] : cases) {
        EXPECT_EQ(flagsOf({word}), flags) << std::wstring(word).size();
    }
}

TEST(CommandLine, WordsAreComparedWholeAndCaseSensitively) {
    const Flags none{};
    for (const wchar_t* word : {L"--Check", L"--CHECK", L"-check", L"--check=1", L"--check ", L" --check",
                                L"check", L"--checks", L"/check", L"--check\u3000", L"--licence", L""}) {
        EXPECT_EQ(flagsOf({word}), none) << std::wstring(word).size();
    }
}

TEST(CommandLine, ProgramPathIsSkippedAndOrderAndRepetitionDoNotMatter) {
    EXPECT_EQ(kes::parseCommandLine({L"--check"}).selfCheck, false);
    EXPECT_EQ(kes::parseCommandLine({}).selfCheck, false);
    const Flags both{false, true, false, true, false, false};
    EXPECT_EQ(flagsOf({L"--check", L"--licenses"}), both);
    EXPECT_EQ(flagsOf({L"--licenses", L"unknown", L"--check", L"--check"}), both);
}
