#include "webhost/win32/WebView2Runtime.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kes {
namespace {

const std::wstring clientsKey =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::wstring clientStateKey =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

bool userKeyExists(const std::wstring& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void setUserString(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(WebView2Runtime, AMissingRuntimeIsReportedLikeTheLoaderDoes) {
    if (findInstalledWebView2Runtime())
        GTEST_SKIP() << "a WebView2 runtime is installed here";
    wchar_t* version = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(getAvailableWebView2BrowserVersion(&version), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(version, nullptr);
    EXPECT_EQ(getAvailableWebView2BrowserVersion(nullptr), E_POINTER);
}

// Registers a fake per-user runtime (registry values and an empty client library file) and removes it again.
class PerUserRuntime : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override {
        if (findInstalledWebView2Runtime() || userKeyExists(clientsKey) || userKeyExists(clientStateKey))
            GTEST_SKIP() << "a WebView2 runtime is registered here; the fake one would disturb it";
        root = std::filesystem::temp_directory_path() /
               ("kes-webview2-runtime-" + std::to_string(GetCurrentProcessId()));
        created = true;
    }
    void TearDown() override {
        if (!created)
            return;
        RegDeleteTreeW(HKEY_CURRENT_USER, clientsKey.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, clientStateKey.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::wstring installFakeLibrary(const std::wstring& version) {
        const auto library = root / version / L"EBWebView" / L"x64" / L"EmbeddedBrowserWebView.dll";
        std::filesystem::create_directories(library.parent_path());
        std::ofstream(library).put('\0');
        return (root / version).wstring();
    }

private:
    bool created = false;
};

TEST_F(PerUserRuntime, IsFoundWithItsVersionAndClientLibrary) {
    const std::wstring folder = installFakeLibrary(L"130.0.2849.80");
    setUserString(clientsKey, L"pv", L"130.0.2849.80");
    setUserString(clientStateKey, L"EBWebView", folder);

    const auto runtime = findInstalledWebView2Runtime();
    ASSERT_TRUE(runtime.has_value());
    EXPECT_EQ(runtime->version, L"130.0.2849.80");
    EXPECT_EQ(runtime->folder, folder);
    EXPECT_EQ(runtime->clientLibrary, folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");

    wchar_t* version = nullptr;
    ASSERT_EQ(getAvailableWebView2BrowserVersion(&version), S_OK);
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version, L"130.0.2849.80");
    CoTaskMemFree(version);
}

TEST_F(PerUserRuntime, AnUninstalledMarkerOrMissingLibraryCountsAsMissing) {
    const std::wstring folder = installFakeLibrary(L"130.0.2849.80");
    setUserString(clientStateKey, L"EBWebView", folder);
    setUserString(clientsKey, L"pv", L"0.0.0.0");
    EXPECT_FALSE(findInstalledWebView2Runtime().has_value());

    setUserString(clientsKey, L"pv", L"131.0.1.1");
    setUserString(clientStateKey, L"EBWebView", (root / L"131.0.1.1").wstring());
    wchar_t* version = nullptr;
    EXPECT_EQ(getAvailableWebView2BrowserVersion(&version), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(version, nullptr);
}

} // namespace
} // namespace kes
