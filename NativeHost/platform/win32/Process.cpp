#include "platform/Process.h"

#include <windows.h>

namespace kes::platform {

unsigned long currentProcessId() {
    return GetCurrentProcessId();
}

std::uint64_t tickCount64() {
    return GetTickCount64();
}

LocalTime localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

} // namespace kes::platform
