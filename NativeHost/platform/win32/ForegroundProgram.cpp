#include "platform/ForegroundProgram.h"

#include <windows.h>

namespace kes::platform {

std::optional<std::wstring> foregroundProgramPath() {
    DWORD processId = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return std::nullopt;
    }
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    const BOOL queried = QueryFullProcessImageNameW(process, 0, path.data(), &size);
    CloseHandle(process);
    if (!queried) {
        return std::nullopt;
    }
    path.resize(size);
    return path;
}

} // namespace kes::platform
