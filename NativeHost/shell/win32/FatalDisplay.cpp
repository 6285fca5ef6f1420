#include "shell/win32/FatalDisplay.h"

#include "shell/HostContext.h"
#include "shell/win32/DisplayText.h"

#include <windows.h>

namespace kes::win32 {

void presentFatal(const std::string& message) {
    const HostContext& context = hostContext();
    const auto window = static_cast<HWND>(context.window);
    if (!context.options.startupCheck && !context.options.selfCheck) {
        showMessageBox(window, message, MB_ICONERROR);
    }
    if (window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

} // namespace kes::win32
