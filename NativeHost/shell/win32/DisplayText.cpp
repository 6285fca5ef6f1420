#include "shell/win32/DisplayText.h"

#include "platform/TextConversion.h"

#include <exception>

namespace kes::win32 {

std::wstring displayText(const std::string& message) {
    try {
        return toWide(message);
    } catch (const std::exception&) {
        const int size =
            MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), nullptr, 0);
        std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
        if (size > 0) {
            MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), text.data(),
                                size);
        }
        return text;
    }
}

void showMessageBox(HWND owner, const std::string& message, UINT icon) {
    MessageBoxW(owner, displayText(message).c_str(), messageBoxCaption, icon);
}

} // namespace kes::win32
