#pragma once
#include "shell/KeyRelease.h"

#include <optional>
#include <string_view>

namespace kes {

// The services of a Linux session that announce the moments after which no key of ours may stay down:
// logind on the system bus (the session's lock and activity, the manager's sleep, shut-down and log-off)
// and the desktop's screen saver on the session bus.
inline constexpr const char* loginService = "org.freedesktop.login1";
inline constexpr const char* loginManagerPath = "/org/freedesktop/login1";
inline constexpr const char* loginManagerInterface = "org.freedesktop.login1.Manager";
inline constexpr const char* loginSessionInterface = "org.freedesktop.login1.Session";
inline constexpr const char* screenSaverServices[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"};
inline constexpr const char* screenSaverPaths[] = {"/org/freedesktop/ScreenSaver", "/org/gnome/ScreenSaver"};

// What one of them said.
enum class SessionSignal {
    Locked,            // the session's Lock, or a screen saver became active
    Unlocked,          // the session's Unlock, or the screen saver ended
    Inactive,          // the session's Active property became false: another session is in front
    Active,            // and true again
    Removed,           // our session ended: the user logs off
    SleepComing,       // PrepareForSleep(true)
    Resumed,           // PrepareForSleep(false)
    ShutdownComing,    // PrepareForShutdown(true)
    ShutdownCancelled, // PrepareForShutdown(false)
};

// The signal `member` of `interfaceName` with its boolean argument. A change of the session's "Active"
// property comes as that member name with the new value; the manager's SessionRemoved with whether it
// names our session. Anything else is nothing.
std::optional<SessionSignal> sessionSignalOf(std::string_view interfaceName, std::string_view member,
                                             bool argument);

// What the host does about a signal: release the keys (and log it, as on Windows), and let go of the delay
// that holds off sleep and shut-down until then, or take that delay again once the system is back.
struct SessionResponse {
    std::optional<ReleaseOccasion> release;
    bool dropInhibitor = false;
    bool takeInhibitor = false;
};

// Follows the session through its signals. A lock is answered once until the session is unlocked, however
// many services announce it; so is a switch away until the session is in front again.
class SessionFollower {
public:
    SessionResponse respond(SessionSignal signal);
    // Between a lock and the unlock: whatever is typed now belongs to the lock screen.
    bool locked() const { return locked_; }

private:
    bool locked_ = false;
    bool inactive_ = false;
};

} // namespace kes
