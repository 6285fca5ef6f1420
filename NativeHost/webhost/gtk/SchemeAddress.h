#pragma once
#include <string>

namespace kes {

// WebKitGTK cannot answer https requests itself, so the page lives under a scheme of the program's own that
// the browser treats as secure. The host keeps thinking in the virtual origin: every address crossing the
// binding is translated, and an address of any other scheme is marked so that it never passes for the
// virtual origin.

inline constexpr const char* pageScheme = "kestrava";

// The virtual origin's address as the browser names it: "https://" becomes the page scheme; any other
// address is returned unchanged.
std::wstring browserAddress(const std::wstring& hostAddress);

// The browser's address as the host names it: the page scheme becomes "https://"; every other address gets
// the prefix "browser:" so that no navigation or request outside the page scheme matches the virtual origin.
std::wstring hostAddress(const std::wstring& browserAddress);

// Whether a request address matches a filter pattern whose trailing "*" matches anything.
bool matchesRequestFilter(const std::wstring& pattern, const std::wstring& address);

} // namespace kes
