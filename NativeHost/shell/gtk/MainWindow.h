#pragma once
#include "shell/HostContext.h"

#include <gtk/gtk.h>

namespace kes::gtk {

// The borderless main window: the page fills it; the resize band along its edges starts a resize, the
// page's top bar a move ("drag"), and the page's close button the close prompt. Closing stops the engine,
// closes the web view and ends the main loop.
GtkWidget* createMainWindow(HostContext& context);

// The window services the web host and the start-up check use, bound to this window.
void installWindowServices(HostContext& context);

// The orderly close (the close prompt's "exit", the start-up check, a fatal error): stops the engine,
// closes the web view, destroys the window.
void closeMainWindow(HostContext& context);

// Runs `work` on the main loop once the current event has been handled.
void postToMainLoop(std::function<void()> work);

} // namespace kes::gtk
