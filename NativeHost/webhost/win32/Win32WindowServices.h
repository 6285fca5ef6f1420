#pragma once

namespace kes::win32 {

// Installs the real window operations of the web host (webhost/WindowServices.h) for the main window.
void installWindowServices();

} // namespace kes::win32
