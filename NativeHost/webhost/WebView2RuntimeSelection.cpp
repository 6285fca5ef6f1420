#include "webhost/WebView2RuntimeSelection.h"

namespace kes {

namespace {

std::wstring withoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

std::wstring lastComponent(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// "X:\…" (or "X:/…") and "\\server\share\…": a path that names one place whatever the current folder
// and drive are.
bool isAbsoluteWindowsPath(const std::wstring& path) {
    const auto separator = [](wchar_t c) {
        return c == L'\\' || c == L'/';
    };
    if (path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && separator(path[2]))
        return true;
    return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

bool isZero(const RuntimeVersion& version) {
    for (const auto part : version)
        if (part != 0)
            return false;
    return true;
}

} // namespace

std::optional<RuntimeVersion> parseRuntimeVersion(const std::wstring& text) {
    RuntimeVersion version{};
    std::size_t position = 0;
    for (std::size_t index = 0; index < version.size(); ++index) {
        if (index > 0) {
            if (position >= text.size() || text[position] != L'.')
                return std::nullopt;
            ++position;
        }
        const std::size_t start = position;
        std::uint64_t value = 0;
        while (position < text.size() && text[position] >= L'0' && text[position] <= L'9') {
            value = value * 10 + static_cast<std::uint64_t>(text[position] - L'0');
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
            ++position;
        }
        if (position == start)
            return std::nullopt;
        version[index] = static_cast<std::uint32_t>(value);
    }
    if (position != text.size())
        return std::nullopt;
    return version;
}

std::optional<InstalledRuntime> chooseInstalledRuntime(const std::vector<RuntimeRegistration>& registrations,
                                                       const FileExists& fileExists) {
    for (const auto& registration : registrations) {
        const auto productVersion = parseRuntimeVersion(registration.productVersion);
        if (!productVersion || isZero(*productVersion))
            continue;
        std::wstring folder = withoutTrailingSeparators(registration.registeredFolder);
        // A relative folder would be looked up from whatever the current folder is: it names nothing.
        if (!isAbsoluteWindowsPath(folder))
            folder.clear();
        if (folder.empty()) {
            const std::wstring root = withoutTrailingSeparators(registration.applicationRoot);
            if (!isAbsoluteWindowsPath(root))
                continue;
            folder = root + L"\\" + registration.productVersion;
        }
        // The folder's own name is the version of the files that will be loaded.
        std::wstring versionText = lastComponent(folder);
        auto version = parseRuntimeVersion(versionText);
        if (!version) {
            versionText = registration.productVersion;
            version = productVersion;
        }
        if (*version < minimumRuntimeVersion)
            continue;
        std::wstring clientLibrary = folder + L"\\" + runtimeClientLibrary;
        if (!fileExists(clientLibrary))
            continue;
        return InstalledRuntime{versionText, folder, clientLibrary};
    }
    return std::nullopt;
}

} // namespace kes
