#pragma once
#include "platform/posix/UniqueFd.h"
#include "shell/KeyRelease.h"
#include "shell/gtk/SessionSignals.h"
#include "storage/Log.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

namespace kes::gtk {

// Follows logind on the system bus and the desktop's screen saver on the session bus (on the main loop) and
// calls `release` at every moment after which no key of ours may stay down: lock, switch to another
// session, log-off, sleep and shut-down. While it lives it holds a delay inhibitor of sleep and shut-down,
// so that the keys come up before the system goes; it lets go of it once they are up and takes it again
// when the system is back. What it cannot follow (no system bus, no logind, our session unknown there) it
// logs once at start, and goes on with the rest.
class SessionWatch {
public:
    SessionWatch(Log& log, std::function<void(ReleaseOccasion)> release);
    ~SessionWatch();
    SessionWatch(const SessionWatch&) = delete;
    SessionWatch& operator=(const SessionWatch&) = delete;

    // Between a lock and the unlock.
    bool locked() const { return follower_.locked(); }

private:
    static void onSignal(GDBusConnection* bus, const char* sender, const char* path,
                         const char* interfaceName, const char* member, GVariant* parameters, void* self);
    void followLogind();
    void followScreenSavers();
    void subscribe(GDBusConnection* bus, const char* sender, const char* interfaceName, const char* member,
                   const char* path, const char* firstArgument);
    void handle(SessionSignal signal);
    bool takeInhibitor();

    Log& log_;
    std::function<void(ReleaseOccasion)> release_;
    SessionFollower follower_;
    GDBusConnection* systemBus_ = nullptr;
    GDBusConnection* sessionBus_ = nullptr;
    std::string sessionPath_; // our session's object at logind, empty when unknown
    std::vector<std::pair<GDBusConnection*, unsigned>> subscriptions_;
    platform::UniqueFd inhibitor_;
};

} // namespace kes::gtk
