#pragma once
#include <windows.h>

namespace kes::win32 {

// The close prompt as a task dialog owned by the main window, with its settings file.
void showClosePrompt(HWND window);
// The tray menu's "恢复关闭提示".
void resetClosePrompt(HWND window);

} // namespace kes::win32
