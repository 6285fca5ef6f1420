#pragma once
#include <functional>

namespace kes {

// The operating-system side of the master switch hotkey and the tray icon. The Windows shell installs the
// real operations at start-up; tests install doubles. Unset operations do nothing (and a registration then
// fails), which is how a system without these services behaves.
struct DesktopServices {
    std::function<bool(int id, int key)> registerMasterHotkey;
    std::function<void(int id, int key)> unregisterMasterHotkey;
    std::function<void(void* window)> addTrayIcon;
    std::function<void(void* window)> updateTrayIcon;
    // Installs the F12 watch again after the system removed it; true when it is installed.
    std::function<bool()> reinstallF12Watch;
};

DesktopServices& desktopServices();

// Watches F-key `key` (1..12) under registration `id`; true when it is now watched.
bool registerMasterHotkey(int id, int key);
void unregisterMasterHotkey(int id, int key);
// Adds the tray icon (and asks for notification version 4); refreshes it after the master switch changed.
void addTrayIcon(void* window);
void updateTrayIcon(void* window);

} // namespace kes
