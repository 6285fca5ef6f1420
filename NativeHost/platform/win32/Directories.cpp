#include "platform/Directories.h"
#include "platform/TextConversion.h"

#include <shlobj.h>
#include <stdexcept>
#include <string>
#include <vector>
#include <windows.h>

namespace kes::platform {

std::filesystem::path programDirectory() {
    constexpr DWORD capacity = 0x8000;
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    if (length == 0 || length >= capacity) {
        throw std::runtime_error("无法定位程序目录");
    }
    return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
}

std::filesystem::path localAppDataDirectory() {
    PWSTR folder = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
    if (FAILED(result)) {
        CoTaskMemFree(folder);
        throw std::runtime_error("无法定位本地数据目录");
    }
    std::filesystem::path path(folder);
    CoTaskMemFree(folder);
    return path;
}

std::filesystem::path environmentPath(const char* name) {
    const std::wstring wideName = toWide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
    return std::filesystem::path(value);
}

} // namespace kes::platform
