// A stand-in for logind on a private system bus and for the desktop's screen savers on the session bus, for
// the lock and sleep checks. It answers the calls a desktop program makes (its session by process id or
// name, a delay inhibitor) and emits, on request, the signals logind and the screen savers send.
//
// Requests: the method Emit(s) of org.kestrava.test.LoginStandIn at /org/kestrava/test on the system bus,
// with one of: lock, unlock, inactive, active, sleep, wake, shutdown, shutdown-cancelled, logoff,
// other-logoff (another session ends), screensaver-on, screensaver-off, gnome-screensaver-on,
// gnome-screensaver-off. Standard output: "ready" once every name is owned, "inhibitor taken WHAT MODE
// WHO" for each inhibitor handed out and "inhibitor released" when its holder closes it.
#include <gio/gio.h>
#include <glib-unix.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const sessionPath = "/org/freedesktop/login1/session/_31";
const char* const otherSessionPath = "/org/freedesktop/login1/session/_32";

const char* const loginXml = R"(<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="GetSessionByPID"><arg type="u" direction="in"/><arg type="o" direction="out"/></method>
    <method name="GetSession"><arg type="s" direction="in"/><arg type="o" direction="out"/></method>
    <method name="Inhibit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="h" direction="out"/>
    </method>
    <signal name="PrepareForSleep"><arg type="b"/></signal>
    <signal name="PrepareForShutdown"><arg type="b"/></signal>
    <signal name="SessionRemoved"><arg type="s"/><arg type="o"/></signal>
  </interface>
  <interface name="org.freedesktop.login1.Session">
    <property name="Active" type="b" access="read"/>
    <signal name="Lock"/>
    <signal name="Unlock"/>
  </interface>
  <interface name="org.kestrava.test.LoginStandIn">
    <method name="Emit"><arg type="s" direction="in"/></method>
  </interface>
</node>)";

const char* const screenSaverXml = R"(<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="GetActive"><arg type="b" direction="out"/></method>
    <signal name="ActiveChanged"><arg type="b"/></signal>
  </interface>
  <interface name="org.gnome.ScreenSaver">
    <method name="GetActive"><arg type="b" direction="out"/></method>
    <signal name="ActiveChanged"><arg type="b"/></signal>
  </interface>
</node>)";

GDBusNodeInfo* loginInfo = nullptr;
GDBusNodeInfo* screenSaverInfo = nullptr;
GDBusConnection* systemBus = nullptr;
GDBusConnection* sessionBus = nullptr;
bool sessionActive = true;
int namesOwned = 0;

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void emit(GDBusConnection* bus, const char* path, const char* interfaceName, const char* member,
          GVariant* arguments) {
    g_dbus_connection_emit_signal(bus, nullptr, path, interfaceName, member, arguments, nullptr);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

void emitActive(bool active) {
    sessionActive = active;
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&changed, "{sv}", "Active", g_variant_new_boolean(active));
    emit(systemBus, sessionPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
         g_variant_new("(sa{sv}as)", "org.freedesktop.login1.Session", &changed, nullptr));
}

bool emitNamed(const std::string& what) {
    const char* manager = "org.freedesktop.login1.Manager";
    const char* session = "org.freedesktop.login1.Session";
    if (what == "lock")
        emit(systemBus, sessionPath, session, "Lock", nullptr);
    else if (what == "unlock")
        emit(systemBus, sessionPath, session, "Unlock", nullptr);
    else if (what == "inactive" || what == "active")
        emitActive(what == "active");
    else if (what == "sleep" || what == "wake")
        emit(systemBus, "/org/freedesktop/login1", manager, "PrepareForSleep",
             g_variant_new("(b)", what == "sleep"));
    else if (what == "shutdown" || what == "shutdown-cancelled")
        emit(systemBus, "/org/freedesktop/login1", manager, "PrepareForShutdown",
             g_variant_new("(b)", what == "shutdown"));
    else if (what == "logoff")
        emit(systemBus, "/org/freedesktop/login1", manager, "SessionRemoved",
             g_variant_new("(so)", "31", sessionPath));
    else if (what == "other-logoff")
        emit(systemBus, "/org/freedesktop/login1", manager, "SessionRemoved",
             g_variant_new("(so)", "32", otherSessionPath));
    else if (what == "screensaver-on" || what == "screensaver-off")
        emit(sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
             g_variant_new("(b)", what == "screensaver-on"));
    else if (what == "gnome-screensaver-on" || what == "gnome-screensaver-off")
        emit(sessionBus, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged",
             g_variant_new("(b)", what == "gnome-screensaver-on"));
    else
        return false;
    return true;
}

gboolean onInhibitorClosed(gint fd, GIOCondition, gpointer) {
    close(fd);
    say("inhibitor released");
    return G_SOURCE_REMOVE;
}

void handOutInhibitor(GVariant* parameters, GDBusMethodInvocation* invocation) {
    const gchar *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    g_variant_get(parameters, "(&s&s&s&s)", &what, &who, &why, &mode);
    int ends[2];
    if (pipe(ends) != 0) {
        g_dbus_method_invocation_return_error(invocation, G_IO_ERROR, G_IO_ERROR_FAILED, "no pipe");
        return;
    }
    // The holder gets the writing end; when it closes it, the reading end here sees the hang-up.
    GUnixFDList* descriptors = g_unix_fd_list_new();
    const gint index = g_unix_fd_list_append(descriptors, ends[1], nullptr);
    close(ends[1]);
    g_unix_fd_add(ends[0], static_cast<GIOCondition>(G_IO_HUP | G_IO_ERR), onInhibitorClosed, nullptr);
    say(std::string("inhibitor taken ") + what + " " + mode + " " + who);
    g_dbus_method_invocation_return_value_with_unix_fd_list(invocation, g_variant_new("(h)", index),
                                                            descriptors);
    g_object_unref(descriptors);
}

void onLoginMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                   GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    if (std::strcmp(method, "GetSessionByPID") == 0 || std::strcmp(method, "GetSession") == 0) {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", sessionPath));
    } else if (std::strcmp(method, "Inhibit") == 0) {
        handOutInhibitor(parameters, invocation);
    } else if (std::strcmp(method, "Emit") == 0) {
        const gchar* what = nullptr;
        g_variant_get(parameters, "(&s)", &what);
        if (emitNamed(what))
            g_dbus_method_invocation_return_value(invocation, nullptr);
        else
            g_dbus_method_invocation_return_error(invocation, G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT,
                                                  "unknown signal %s", what);
    }
}

GVariant* onLoginProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
                          gpointer) {
    return g_variant_new_boolean(sessionActive);
}

void onScreenSaverMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
                         GDBusMethodInvocation* invocation, gpointer) {
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
}

const GDBusInterfaceVTable loginCalls = {onLoginMethod, onLoginProperty, nullptr, {}};
const GDBusInterfaceVTable screenSaverCalls = {onScreenSaverMethod, nullptr, nullptr, {}};

void onSystemBus(GDBusConnection* bus, const gchar*, gpointer) {
    systemBus = bus;
    g_dbus_connection_register_object(bus, "/org/freedesktop/login1", loginInfo->interfaces[0], &loginCalls,
                                      nullptr, nullptr, nullptr);
    g_dbus_connection_register_object(bus, sessionPath, loginInfo->interfaces[1], &loginCalls, nullptr,
                                      nullptr, nullptr);
    g_dbus_connection_register_object(bus, "/org/kestrava/test", loginInfo->interfaces[2], &loginCalls,
                                      nullptr, nullptr, nullptr);
}

void onSessionBus(GDBusConnection* bus, const gchar*, gpointer) {
    sessionBus = bus;
    g_dbus_connection_register_object(bus, "/org/freedesktop/ScreenSaver", screenSaverInfo->interfaces[0],
                                      &screenSaverCalls, nullptr, nullptr, nullptr);
    g_dbus_connection_register_object(bus, "/org/gnome/ScreenSaver", screenSaverInfo->interfaces[1],
                                      &screenSaverCalls, nullptr, nullptr, nullptr);
}

void onNameAcquired(GDBusConnection*, const gchar*, gpointer) {
    if (++namesOwned == 3)
        say("ready");
}

void onNameLost(GDBusConnection*, const gchar* name, gpointer) {
    std::fprintf(stderr, "error: the name %s is taken or its bus is gone\n", name);
    std::_Exit(1);
}

} // namespace

int main() {
    loginInfo = g_dbus_node_info_new_for_xml(loginXml, nullptr);
    screenSaverInfo = g_dbus_node_info_new_for_xml(screenSaverXml, nullptr);
    g_bus_own_name(G_BUS_TYPE_SYSTEM, "org.freedesktop.login1", G_BUS_NAME_OWNER_FLAGS_NONE, onSystemBus,
                   onNameAcquired, onNameLost, nullptr, nullptr);
    g_bus_own_name(G_BUS_TYPE_SESSION, "org.freedesktop.ScreenSaver", G_BUS_NAME_OWNER_FLAGS_NONE,
                   onSessionBus, onNameAcquired, onNameLost, nullptr, nullptr);
    g_bus_own_name(G_BUS_TYPE_SESSION, "org.gnome.ScreenSaver", G_BUS_NAME_OWNER_FLAGS_NONE, nullptr,
                   onNameAcquired, onNameLost, nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
