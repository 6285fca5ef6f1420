#pragma once
#include "shell/HostContext.h"
#include "storage/DataDirectories.h"

namespace kes::gtk {

// The interactive start and the start-up check on a Linux desktop with an X11 display, after the early
// start-up (which computed `directories`): single instance, state store, engine, keys on X11, window,
// settings, timers, the page in WebKitGTK and the main loop; returns the exit code once the window is closed.
// Throws on a fatal error.
int runLinuxDesktop(HostContext& context, const DataDirectories& directories, int argc, char** argv);

} // namespace kes::gtk
