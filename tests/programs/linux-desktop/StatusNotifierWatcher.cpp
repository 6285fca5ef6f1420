// A minimal StatusNotifier watcher for the tray checks: owns the watcher's name on the session bus, accepts
// items and prints each registration as "item SENDER PATH" on its own line, then keeps running until killed.
#include <gio/gio.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const watcherInterface = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>)";

void onMethod(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    if (std::strcmp(method, "RegisterStatusNotifierItem") == 0) {
        const gchar* service = nullptr;
        g_variant_get(parameters, "(&s)", &service);
        // An item names either its object path (on the caller's connection) or a bus name.
        if (service[0] == '/')
            std::printf("item %s %s\n", sender, service);
        else
            std::printf("item %s /StatusNotifierItem\n", service);
        std::fflush(stdout);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* onProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError**,
                     gpointer) {
    if (std::strcmp(name, "IsStatusNotifierHostRegistered") == 0)
        return g_variant_new_boolean(TRUE);
    if (std::strcmp(name, "ProtocolVersion") == 0)
        return g_variant_new_int32(0);
    return g_variant_new_strv(nullptr, 0);
}

const GDBusInterfaceVTable watcherCalls = {onMethod, onProperty, nullptr, {}};

void onBus(GDBusConnection* bus, const gchar*, gpointer data) {
    auto* info = static_cast<GDBusNodeInfo*>(data);
    g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", info->interfaces[0], &watcherCalls,
                                      nullptr, nullptr, nullptr);
}

void onNameAcquired(GDBusConnection*, const gchar*, gpointer) {
    std::printf("ready\n");
    std::fflush(stdout);
}

void onNameLost(GDBusConnection*, const gchar*, gpointer) {
    std::fprintf(stderr, "error: the watcher's name is taken or the bus is gone\n");
    std::_Exit(1);
}

} // namespace

int main() {
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(watcherInterface, nullptr);
    g_bus_own_name(G_BUS_TYPE_SESSION, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE, onBus,
                   onNameAcquired, onNameLost, info, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
