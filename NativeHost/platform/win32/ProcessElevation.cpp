#include "platform/ProcessElevation.h"

#include <windows.h>

namespace kes::platform {
namespace {

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

Elevation elevationOf(HANDLE process) {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) {
        return GetLastError() == ERROR_ACCESS_DENIED ? Elevation::AccessDenied : Elevation::Unknown;
    }
    const OwnedHandle token(rawToken);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return Elevation::Unknown;
    }
    return elevation.TokenIsElevated != 0 ? Elevation::Elevated : Elevation::NotElevated;
}

} // namespace

bool currentProcessElevated() {
    return elevationOf(GetCurrentProcess()) == Elevation::Elevated;
}

ForegroundElevation foregroundElevation() {
    ForegroundElevation result;
    DWORD processId = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &processId);
    if (processId == 0) {
        return result;
    }
    const OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (process.get() == nullptr) {
        result.elevation =
            GetLastError() == ERROR_ACCESS_DENIED ? Elevation::AccessDenied : Elevation::Unknown;
        return result;
    }
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) {
        path.resize(size);
        result.programPath = std::move(path);
    }
    result.elevation = elevationOf(process.get());
    return result;
}

} // namespace kes::platform
