#pragma once
#include <string>

namespace kes::win32 {

// The desktop shell's side of the fatal-error report: the error box (not in the check modes), then WM_CLOSE
// to the main window when it exists, so that the run ends through the window's normal close path.
void presentFatal(const std::string& message);

} // namespace kes::win32
