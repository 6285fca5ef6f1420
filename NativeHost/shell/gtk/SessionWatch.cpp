#include "shell/gtk/SessionWatch.h"

#include "shell/gtk/SessionBus.h"
#include "storage/QuietLog.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <optional>

namespace kes::gtk {
namespace {

constexpr int callTimeout = 2000; // ms; logind answers at once, a stuck bus must not hold the start for long
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

// A call to logind's manager; its reply, or null with `error` set.
GVariant* callManager(GDBusConnection* bus, const char* method, GVariant* arguments, const char* replyType,
                      GError** error) {
    return g_dbus_connection_call_sync(bus, loginService, loginManagerPath, loginManagerInterface, method,
                                       arguments, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
                                       callTimeout, nullptr, error);
}

// The object path of a reply "(o)", or nothing when the call failed.
std::optional<std::string> sessionPathOf(GVariant* reply) {
    if (reply == nullptr)
        return std::nullopt;
    const char* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    std::string value = path;
    g_variant_unref(reply);
    return value;
}

// Our session: the one this process belongs to, else the one the desktop named, else the user's display
// session. `serviceMissing` tells whether logind did not answer at all.
std::optional<std::string> findSession(GDBusConnection* bus, bool& serviceMissing) {
    GError* error = nullptr;
    auto path = sessionPathOf(callManager(
        bus, "GetSessionByPID", g_variant_new("(u)", static_cast<guint32>(getpid())), "(o)", &error));
    serviceMissing =
        error != nullptr && (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                             g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER));
    g_clear_error(&error);
    if (path || serviceMissing)
        return path;
    for (const char* id : {g_getenv("XDG_SESSION_ID"), "auto"}) {
        if (id == nullptr || *id == '\0')
            continue;
        path = sessionPathOf(callManager(bus, "GetSession", g_variant_new("(s)", id), "(o)", nullptr));
        if (path)
            return path;
    }
    return std::nullopt;
}

} // namespace

SessionWatch::SessionWatch(Log& log, std::function<void(ReleaseOccasion)> release)
    : log_(log), release_(std::move(release)) {
    followLogind();
    followScreenSavers();
}

SessionWatch::~SessionWatch() {
    for (const auto& [bus, id] : subscriptions_)
        g_dbus_connection_signal_unsubscribe(bus, id);
    inhibitor_.reset();
    if (systemBus_ != nullptr)
        g_object_unref(systemBus_);
    if (sessionBus_ != nullptr)
        g_object_unref(sessionBus_);
}

void SessionWatch::followLogind() {
    systemBus_ = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
    if (systemBus_ == nullptr) {
        logQuietly(log_, LogLevel::Info, "无法连接系统总线，锁屏、睡眠和关机时无法自动松开按键");
        return;
    }
    bool serviceMissing = false;
    const std::optional<std::string> session = findSession(systemBus_, serviceMissing);
    if (serviceMissing) {
        logQuietly(log_, LogLevel::Info, "系统总线上没有 logind，锁屏、睡眠和关机时无法自动松开按键");
        return;
    }
    subscribe(systemBus_, loginService, loginManagerInterface, nullptr, loginManagerPath, nullptr);
    if (session) {
        sessionPath_ = *session;
        subscribe(systemBus_, loginService, loginSessionInterface, nullptr, sessionPath_.c_str(), nullptr);
        subscribe(systemBus_, loginService, propertiesInterface, "PropertiesChanged", sessionPath_.c_str(),
                  loginSessionInterface);
    } else {
        logQuietly(log_, LogLevel::Info, "logind 中找不到本程序的会话，锁屏和切换会话时无法自动松开按键");
    }
    if (!takeInhibitor())
        logQuietly(log_, LogLevel::Info, "logind 不允许推迟睡眠和关机，按键可能来不及在睡眠前松开");
}

void SessionWatch::followScreenSavers() {
    sessionBus_ = sessionBusIfRunning();
    if (sessionBus_ == nullptr)
        return;
    for (const char* service : screenSaverServices)
        subscribe(sessionBus_, service, service, "ActiveChanged", nullptr, nullptr);
}

void SessionWatch::subscribe(GDBusConnection* bus, const char* sender, const char* interfaceName,
                             const char* member, const char* path, const char* firstArgument) {
    const guint id =
        g_dbus_connection_signal_subscribe(bus, sender, interfaceName, member, path, firstArgument,
                                           G_DBUS_SIGNAL_FLAGS_NONE, &SessionWatch::onSignal, this, nullptr);
    subscriptions_.emplace_back(bus, id);
}

void SessionWatch::onSignal(GDBusConnection*, const char*, const char*, const char* interfaceName,
                            const char* member, GVariant* parameters, void* self) {
    auto& watch = *static_cast<SessionWatch*>(self);
    std::optional<SessionSignal> signal;
    if (std::strcmp(interfaceName, propertiesInterface) == 0) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)")))
            return;
        GVariant* changed = g_variant_get_child_value(parameters, 1);
        gboolean active = FALSE;
        if (g_variant_lookup(changed, "Active", "b", &active))
            signal = sessionSignalOf(loginSessionInterface, "Active", active != FALSE);
        g_variant_unref(changed);
    } else if (std::strcmp(member, "SessionRemoved") == 0) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(so)")))
            return;
        const char* path = nullptr;
        g_variant_get(parameters, "(&s&o)", nullptr, &path);
        signal =
            sessionSignalOf(interfaceName, member, !watch.sessionPath_.empty() && watch.sessionPath_ == path);
    } else {
        gboolean argument = FALSE;
        if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)")))
            g_variant_get(parameters, "(b)", &argument);
        signal = sessionSignalOf(interfaceName, member, argument != FALSE);
    }
    if (signal)
        watch.handle(*signal);
}

void SessionWatch::handle(SessionSignal signal) {
    const SessionResponse response = follower_.respond(signal);
    if (response.release) {
        try {
            release_(*response.release);
        } catch (const std::exception& e) {
            logQuietly(log_, LogLevel::Error, e.what()); // nothing may unwind into the bus library
        }
    }
    if (response.dropInhibitor)
        inhibitor_.reset();
    if (response.takeInhibitor && !inhibitor_)
        takeInhibitor();
}

bool SessionWatch::takeInhibitor() {
    GUnixFDList* descriptors = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        systemBus_, loginService, loginManagerPath, loginManagerInterface, "Inhibit",
        g_variant_new("(ssss)", "sleep:shutdown", "Kestrava", "先松开宏按下的按键", "delay"),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, callTimeout, nullptr, &descriptors, nullptr, nullptr);
    if (reply == nullptr)
        return false;
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    g_variant_unref(reply);
    // The list keeps its own copy; ours is the duplicate it hands out.
    const int fd = descriptors != nullptr ? g_unix_fd_list_get(descriptors, index, nullptr) : -1;
    if (descriptors != nullptr)
        g_object_unref(descriptors);
    inhibitor_.reset(fd);
    return fd >= 0;
}

} // namespace kes::gtk
