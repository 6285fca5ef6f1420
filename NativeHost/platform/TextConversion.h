#pragma once
#include <string>

namespace kes {

// The only conversions between the system's wide strings and the UTF-8 of JSON, messages and logs.
// toUtf8 never fails (unpaired surrogates become U+FFFD); toWide throws "UTF-8 文本无效".
std::string toUtf8(const std::wstring& text);
std::wstring toWide(const std::string& text);

} // namespace kes
