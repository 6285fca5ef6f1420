#include "platform/ProgramWindows.h"

#include <cwchar>
#include <windows.h>

namespace kes::platform {
namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
    auto& windows = *reinterpret_cast<std::vector<TopLevelWindow>*>(parameter);
    TopLevelWindow facts;
    facts.visible = IsWindowVisible(window) != 0;
    facts.owned = GetWindow(window, GW_OWNER) != nullptr;
    facts.titleLength = GetWindowTextLengthW(window);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    facts.processId = processId;
    windows.push_back(facts);
    return TRUE;
}

class Win32VersionResource : public FileVersionResource {
public:
    explicit Win32VersionResource(std::vector<unsigned char> block) : block_(std::move(block)) {}

    std::vector<VersionTranslation> translations() const override {
        void* value = nullptr;
        UINT length = 0;
        std::vector<VersionTranslation> result;
        if (!VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
            value == nullptr) {
            return result;
        }
        const auto* words = static_cast<const WORD*>(value);
        for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
            result.push_back({words[i], words[i + 1]});
        }
        return result;
    }

    std::optional<VersionValue> queryString(const std::wstring& subBlock) const override {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block_.data(), subBlock.c_str(), &value, &length) || value == nullptr) {
            return std::nullopt;
        }
        const auto* text = static_cast<const wchar_t*>(value);
        return VersionValue{std::wstring(text, wcsnlen(text, length)), length};
    }

private:
    std::vector<unsigned char> block_;
};

} // namespace

std::vector<TopLevelWindow> topLevelWindows() {
    std::vector<TopLevelWindow> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::optional<std::wstring> processImagePath(unsigned long processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return std::nullopt;
    }
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    const BOOL found = QueryFullProcessImageNameW(process, 0, path.data(), &size);
    CloseHandle(process);
    if (!found) {
        return std::nullopt;
    }
    path.resize(size);
    return path;
}

std::unique_ptr<FileVersionResource> loadFileVersionResource(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return nullptr;
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        return nullptr;
    }
    return std::make_unique<Win32VersionResource>(std::move(block));
}

} // namespace kes::platform
