#pragma once
#include "shell/HostContext.h"

#include <memory>

namespace kes::gtk {

// The tray icon as a StatusNotifier item (through the indicator library): the icon and title follow the
// master switch, the menu is the tray menu. It exists only where a StatusNotifier watcher runs on the
// session bus; elsewhere the program runs without a tray and the close prompt offers only to exit.
class TrayIndicator {
public:
    virtual ~TrayIndicator() = default;
    // Brings the icon, title and menu up to date with the master switch and the stored close choice.
    virtual void refresh() = 0;
};

// The tray icon, or nothing where the desktop has no tray (or the program was built without the library).
std::unique_ptr<TrayIndicator> createTrayIndicator(HostContext& context);

} // namespace kes::gtk
