#include "platform/UrlOpener.h"

#include "platform/TextConversion.h"

#include <windows.h>

#include <shellapi.h>

namespace kes::platform {

bool openUrlInBrowser(const std::string& url) {
    const std::wstring address = toWide(url);
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace kes::platform
