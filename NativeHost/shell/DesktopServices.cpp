#include "shell/DesktopServices.h"

namespace kes {

DesktopServices& desktopServices() {
    static DesktopServices services;
    return services;
}

bool registerMasterHotkey(int id, int key) {
    const auto& operation = desktopServices().registerMasterHotkey;
    return operation ? operation(id, key) : false;
}

void unregisterMasterHotkey(int id, int key) {
    if (const auto& operation = desktopServices().unregisterMasterHotkey) {
        operation(id, key);
    }
}

void addTrayIcon(void* window) {
    if (const auto& operation = desktopServices().addTrayIcon) {
        operation(window);
    }
}

void updateTrayIcon(void* window) {
    if (const auto& operation = desktopServices().updateTrayIcon) {
        operation(window);
    }
}

} // namespace kes
