#include "webhost/win32/WebView2Runtime.h"

#include <objbase.h>

#include <cstring>
#include <vector>

namespace kes {

namespace {

// The Evergreen runtime's product id with the update service (stable channel).
constexpr const wchar_t* runtimeProductId = L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

class RegistryKey {
public:
    RegistryKey(HKEY root, const std::wstring& subKey, REGSAM view) {
        if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | view, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    std::wstring readString(const wchar_t* name) const {
        if (key_ == nullptr)
            return {};
        DWORD bytes = 0;
        if (RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
            bytes < sizeof(wchar_t))
            return {};
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer.data(), &bytes) != ERROR_SUCCESS)
            return {};
        return std::wstring(buffer.data());
    }

private:
    HKEY key_ = nullptr;
};

std::wstring environmentVariable(const wchar_t* name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return {};
    std::vector<wchar_t> buffer(length, L'\0');
    const DWORD written = GetEnvironmentVariableW(name, buffer.data(), length);
    if (written == 0 || written >= length)
        return {};
    return std::wstring(buffer.data(), written);
}

std::wstring applicationRootUnder(const std::wstring& base) {
    return base.empty() ? std::wstring() : base + L"\\Microsoft\\EdgeWebView\\Application";
}

RuntimeRegistration readRegistration(HKEY root, REGSAM view, const std::wstring& applicationRoot) {
    const std::wstring clients =
        std::wstring(L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\") + runtimeProductId;
    const std::wstring clientState =
        std::wstring(L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\") + runtimeProductId;
    RuntimeRegistration registration;
    registration.productVersion = RegistryKey(root, clients, view).readString(L"pv");
    registration.registeredFolder = RegistryKey(root, clientState, view).readString(L"EBWebView");
    registration.applicationRoot = applicationRoot;
    return registration;
}

bool regularFileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

std::optional<InstalledRuntime> findInstalledWebView2Runtime() {
    std::wstring programFiles = environmentVariable(L"ProgramFiles(x86)");
    if (programFiles.empty())
        programFiles = environmentVariable(L"ProgramFiles");
    const std::wstring machineRoot = applicationRootUnder(programFiles);
    const std::wstring userRoot = applicationRootUnder(environmentVariable(L"LOCALAPPDATA"));
    // Machine-wide installs first (the 32-bit view is where the 32-bit update service writes), then per user.
    const std::vector<RuntimeRegistration> registrations{
        readRegistration(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, machineRoot),
        readRegistration(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, machineRoot),
        readRegistration(HKEY_CURRENT_USER, 0, userRoot),
    };
    return chooseInstalledRuntime(registrations, regularFileExists);
}

HRESULT getAvailableWebView2BrowserVersion(wchar_t** versionInfo) {
    if (versionInfo == nullptr)
        return E_POINTER;
    *versionInfo = nullptr;
    const auto runtime = findInstalledWebView2Runtime();
    if (!runtime)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const std::size_t bytes = (runtime->version.size() + 1) * sizeof(wchar_t);
    auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (text == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(text, runtime->version.c_str(), bytes);
    *versionInfo = text;
    return S_OK;
}

} // namespace kes
