#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace kes::test {

// Whether the Windows build runs under Wine (its ntdll exports wine_get_version). Some Windows behaviour
// Wine does not give is left out of a check only there.
inline bool runningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Wine's MapVirtualKeyW gives no scan code for the number pad's digit keys (VK_NUMPAD0 to VK_NUMPAD9).
inline bool scanCodeMissingUnderWine(int vk) {
    return runningUnderWine() && vk >= 0x60 && vk <= 0x69;
}

} // namespace kes::test
