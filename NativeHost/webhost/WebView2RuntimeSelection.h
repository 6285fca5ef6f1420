#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kes {

// Choosing an installed Evergreen WebView2 runtime from what the installer registered. The registry is read
// by the Windows binding; the choice itself is plain text handling and is tested everywhere.

using RuntimeVersion = std::array<std::uint32_t, 4>;

// The oldest runtime whose client library offers the environment entry point the host calls.
constexpr RuntimeVersion minimumRuntimeVersion{86, 0, 616, 0};

// Inside a runtime's version folder: the client library of the 64-bit process.
inline constexpr const wchar_t* runtimeClientLibrary = L"EBWebView\\x64\\EmbeddedBrowserWebView.dll";

// "a.b.c.d", four decimal numbers, nothing else.
std::optional<RuntimeVersion> parseRuntimeVersion(const std::wstring& text);

// One registration of the runtime (machine-wide in either registry view, or for the current user).
struct RuntimeRegistration {
    std::wstring productVersion;   // the installer's "pv"; empty or 0.0.0.0 when not installed
    std::wstring registeredFolder; // the version folder the installer recorded, empty when none
    std::wstring applicationRoot;  // the usual parent of version folders for this kind of install
};

struct InstalledRuntime {
    std::wstring version;
    std::wstring folder;
    std::wstring clientLibrary;
};

using FileExists = std::function<bool(const std::wstring& path)>;

// The first registration, in the order given, that names a usable runtime: a real product version, a version
// folder (recorded, else the application root joined with the version; only absolute paths count), no older
// than minimumRuntimeVersion, whose client library exists.
std::optional<InstalledRuntime> chooseInstalledRuntime(const std::vector<RuntimeRegistration>& registrations,
                                                       const FileExists& fileExists);

} // namespace kes
