#pragma once
#include "webhost/Browser.h"

#include <functional>

namespace kes {

// What the web host asks of the main window: its rectangles, the page's three window commands and the
// start-up check's probes. The Windows shell installs the real operations (webhost/win32/); tests install
// doubles. An unset operation does nothing and reports an empty rectangle, hit code 0 or false.
struct WindowServices {
    std::function<ClientRect(void* window)> clientRect; // client area, client coordinates
    std::function<ClientRect(void* window)> windowRect; // whole window, screen coordinates
    std::function<void(void* window)> postCloseRequest; // asks the window to run its close prompt
    std::function<void(void* window)> minimize;
    std::function<void(void* window)> beginDrag; // lets the system move the window with the mouse
    std::function<int(void* window, int screenX, int screenY)> hitTest;
    std::function<bool(void* window)> isMinimized;
    std::function<void(void* window)> restore;
    std::function<void(void* window)> postClose; // closes the window (the orderly shutdown)
};

WindowServices& windowServices();

} // namespace kes
