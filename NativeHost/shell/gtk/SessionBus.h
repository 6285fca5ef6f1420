#pragma once
#include <gio/gio.h>

namespace kes::gtk {

// The session bus, or null when the desktop runs none: asking GIO without one would start a bus of its own.
// The reference is the caller's to release.
GDBusConnection* sessionBusIfRunning();

} // namespace kes::gtk
