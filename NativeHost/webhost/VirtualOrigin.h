#pragma once
#include <string>

namespace kes {

// The page's origin. Every request to it is answered from memory, so the host name never has to resolve;
// the reserved top-level domain makes sure it never does.
inline const std::wstring virtualOrigin = L"https://kestrava.invalid";

// The three addresses derived from it, and used nowhere else.
inline const std::wstring requestFilter = virtualOrigin + L"/*";
inline const std::wstring startAddress = virtualOrigin + L"/?desktop=1";
inline const std::wstring navigationPrefix = virtualOrigin + L"/";

// Whether a top-level navigation may go ahead: exactly, case-sensitively, below the origin's root. The bare
// origin without its slash is refused.
inline bool isNavigationAllowed(const std::wstring& uri) {
    return uri.compare(0, navigationPrefix.size(), navigationPrefix) == 0;
}

} // namespace kes
