#pragma once
#include <windows.h>

#include <string>

namespace kes::win32 {

// Every accessible name under the window's client object, one per line, UTF-8; empty when the window has
// no accessible object.
std::string collectAccessibleText(HWND window);

} // namespace kes::win32
