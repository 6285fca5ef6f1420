#include "webhost/gtk/SchemeAddress.h"

#include "webhost/VirtualOrigin.h"

namespace kes {
namespace {

const std::wstring httpsPrefix = L"https://";
const std::wstring pagePrefix = L"kestrava://";

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool isVirtualOrigin(const std::wstring& address, const std::wstring& origin) {
    // The origin itself or anything below it, never a longer host name that merely begins like it.
    if (!startsWith(address, origin))
        return false;
    return address.size() == origin.size() || address[origin.size()] == L'/' ||
           address[origin.size()] == L'?';
}

} // namespace

std::wstring browserAddress(const std::wstring& address) {
    if (!isVirtualOrigin(address, virtualOrigin))
        return address;
    return pagePrefix + address.substr(httpsPrefix.size());
}

std::wstring hostAddress(const std::wstring& address) {
    const std::wstring pageOrigin = pagePrefix + virtualOrigin.substr(httpsPrefix.size());
    if (!isVirtualOrigin(address, pageOrigin))
        return L"browser:" + address;
    return virtualOrigin + address.substr(pageOrigin.size());
}

bool matchesRequestFilter(const std::wstring& pattern, const std::wstring& address) {
    if (!pattern.empty() && pattern.back() == L'*')
        return startsWith(address, pattern.substr(0, pattern.size() - 1));
    return address == pattern;
}

} // namespace kes
