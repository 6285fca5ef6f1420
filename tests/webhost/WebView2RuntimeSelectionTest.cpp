#include "webhost/WebView2RuntimeSelection.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <set>

namespace kes {
namespace {

TEST(RuntimeVersion, ParsesExactlyFourDecimalNumbers) {
    EXPECT_EQ(parseRuntimeVersion(L"120.0.2210.91"), (RuntimeVersion{120, 0, 2210, 91}));
    EXPECT_EQ(parseRuntimeVersion(L"0.0.0.0"), (RuntimeVersion{0, 0, 0, 0}));
    for (const wchar_t* bad :
         {L"", L"120", L"120.0.2210", L"120.0.2210.91.1", L"120.0.2210.x", L"120..2210.91", L" 120.0.2210.91",
          L"120.0.2210.91 ", L"4294967296.0.0.0", L"-1.0.0.0"})
        EXPECT_FALSE(parseRuntimeVersion(bad).has_value()) << std::string(bad, bad + std::wcslen(bad));
}

class RuntimeChoice : public ::testing::Test {
protected:
    std::set<std::wstring> files;
    FileExists exists() {
        return [this](const std::wstring& path) {
            return files.count(path) > 0;
        };
    }
};

TEST_F(RuntimeChoice, UsesTheRecordedVersionFolderAndReportsItsVersion) {
    const std::wstring folder =
        L"C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\Application\\120.0.2210.91";
    files.insert(folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    const auto runtime =
        chooseInstalledRuntime({{L"120.0.2210.91", folder + L"\\", L"D:\\elsewhere"}}, exists());
    ASSERT_TRUE(runtime.has_value());
    EXPECT_EQ(runtime->version, L"120.0.2210.91");
    EXPECT_EQ(runtime->folder, folder);
    EXPECT_EQ(runtime->clientLibrary, folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
}

TEST_F(RuntimeChoice, FallsBackToTheApplicationRootJoinedWithTheProductVersion) {
    files.insert(
        L"C:\\Users\\u\\AppData\\Local\\Microsoft\\EdgeWebView\\Application\\121.0.1.2\\EBWebView\\x64\\"
        L"EmbeddedBrowserWebView.dll");
    const auto runtime = chooseInstalledRuntime(
        {{L"121.0.1.2", L"", L"C:\\Users\\u\\AppData\\Local\\Microsoft\\EdgeWebView\\Application"}},
        exists());
    ASSERT_TRUE(runtime.has_value());
    EXPECT_EQ(runtime->version, L"121.0.1.2");
}

TEST_F(RuntimeChoice, SkipsRegistrationsThatAreNotUsableAndTakesTheFirstThatIs) {
    files.insert(L"C:\\R\\100.0.1.1\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    files.insert(L"C:\\R\\85.0.600.0\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    files.insert(L"D:\\U\\130.0.0.1\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    files.insert(L"D:\\U\\131.0.0.1\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    const std::vector<RuntimeRegistration> registrations{
        {L"", L"C:\\R\\100.0.1.1", L"C:\\R"},          // no product version: not installed
        {L"0.0.0.0", L"C:\\R\\100.0.1.1", L"C:\\R"},   // uninstalled marker
        {L"garbage", L"C:\\R\\100.0.1.1", L"C:\\R"},   // unreadable version
        {L"85.0.600.0", L"", L"C:\\R"},                // too old for the entry point
        {L"101.0.0.0", L"C:\\R\\101.0.0.0", L"C:\\R"}, // client library missing
        {L"102.0.0.0", L"", L""},                      // nowhere to look
        {L"130.0.0.1", L"D:\\U\\130.0.0.1", L"D:\\U"}, // usable
        {L"131.0.0.1", L"D:\\U\\131.0.0.1", L"D:\\U"}, // usable but later
    };
    const auto runtime = chooseInstalledRuntime(registrations, exists());
    ASSERT_TRUE(runtime.has_value());
    EXPECT_EQ(runtime->version, L"130.0.0.1");
    EXPECT_EQ(runtime->folder, L"D:\\U\\130.0.0.1");
}

TEST_F(RuntimeChoice, MinimumVersionItselfIsAccepted) {
    files.insert(L"C:\\R\\86.0.616.0\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    EXPECT_TRUE(chooseInstalledRuntime({{L"86.0.616.0", L"", L"C:\\R"}}, exists()).has_value());
    files.insert(L"C:\\R\\86.0.615.99\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    EXPECT_FALSE(chooseInstalledRuntime({{L"86.0.615.99", L"", L"C:\\R"}}, exists()).has_value());
}

TEST_F(RuntimeChoice, AFolderNotNamedByVersionKeepsTheProductVersion) {
    files.insert(L"D:\\runtime\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    const auto runtime = chooseInstalledRuntime({{L"110.0.0.0", L"D:\\runtime", L""}}, exists());
    ASSERT_TRUE(runtime.has_value());
    EXPECT_EQ(runtime->version, L"110.0.0.0");
}

// A registry value is only text: a folder that is not absolute would be found relative to whatever the
// current folder is, so it names nothing (the application root is used instead, when that is absolute).
TEST_F(RuntimeChoice, OnlyAbsoluteFoldersCount) {
    const std::wstring library = L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
    for (const wchar_t* relative : {L"runtime\\120.0.0.1", L"\\runtime\\120.0.0.1", L"C:runtime\\120.0.0.1",
                                    L".\\120.0.0.1", L"..\\120.0.0.1", L"\\\\\\120.0.0.1"}) {
        files = {std::wstring(relative) + library, std::wstring(relative) + L"\\120.0.0.1" + library};
        EXPECT_FALSE(chooseInstalledRuntime({{L"120.0.0.1", relative, L""}}, exists()).has_value())
            << std::string(relative, relative + std::wcslen(relative));
        EXPECT_FALSE(chooseInstalledRuntime({{L"120.0.0.1", L"", relative}}, exists()).has_value());
    }
    files = {L"C:\\Root\\120.0.0.1" + library};
    const auto fallback =
        chooseInstalledRuntime({{L"120.0.0.1", L"runtime\\120.0.0.1", L"C:\\Root"}}, exists());
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->folder, L"C:\\Root\\120.0.0.1");
    for (const wchar_t* absolute : {L"c:/runtime/120.0.0.1", L"\\\\server\\share\\120.0.0.1"}) {
        files = {std::wstring(absolute) + library};
        EXPECT_TRUE(chooseInstalledRuntime({{L"120.0.0.1", absolute, L""}}, exists()).has_value())
            << std::string(absolute, absolute + std::wcslen(absolute));
    }
}

TEST_F(RuntimeChoice, NothingRegisteredFindsNothing) {
    EXPECT_FALSE(chooseInstalledRuntime({}, exists()).has_value());
    EXPECT_FALSE(chooseInstalledRuntime({{L"", L"", L""}, {L"", L"", L""}}, exists()).has_value());
}

} // namespace
} // namespace kes
