#include "shell/gtk/SessionBus.h"

#include <string>

namespace kes::gtk {

GDBusConnection* sessionBusIfRunning() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string userBus = std::string(g_get_user_runtime_dir()) + "/bus";
    if ((address == nullptr || *address == '\0') && !g_file_test(userBus.c_str(), G_FILE_TEST_EXISTS))
        return nullptr;
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

} // namespace kes::gtk
