#include "shell/gtk/SessionSignals.h"

namespace kes {

std::optional<SessionSignal> sessionSignalOf(std::string_view interfaceName, std::string_view member,
                                             bool argument) {
    if (interfaceName == loginSessionInterface) {
        if (member == "Lock")
            return SessionSignal::Locked;
        if (member == "Unlock")
            return SessionSignal::Unlocked;
        if (member == "Active")
            return argument ? SessionSignal::Active : SessionSignal::Inactive;
        return std::nullopt;
    }
    if (interfaceName == loginManagerInterface) {
        if (member == "PrepareForSleep")
            return argument ? SessionSignal::SleepComing : SessionSignal::Resumed;
        if (member == "PrepareForShutdown")
            return argument ? SessionSignal::ShutdownComing : SessionSignal::ShutdownCancelled;
        if (member == "SessionRemoved" && argument)
            return SessionSignal::Removed;
        return std::nullopt;
    }
    for (const char* screenSaver : screenSaverServices) {
        if (interfaceName == screenSaver && member == "ActiveChanged")
            return argument ? SessionSignal::Locked : SessionSignal::Unlocked;
    }
    return std::nullopt;
}

SessionResponse SessionFollower::respond(SessionSignal signal) {
    SessionResponse response;
    switch (signal) {
    case SessionSignal::Locked:
        if (!locked_)
            response.release = ReleaseOccasion::SessionLocked;
        locked_ = true;
        break;
    case SessionSignal::Unlocked:
        locked_ = false;
        break;
    case SessionSignal::Inactive:
        if (!inactive_)
            response.release = ReleaseOccasion::SessionSwitchedAway;
        inactive_ = true;
        break;
    case SessionSignal::Active:
        inactive_ = false;
        break;
    case SessionSignal::Removed:
        response.release = ReleaseOccasion::LoggingOff;
        break;
    case SessionSignal::SleepComing:
        response.release = ReleaseOccasion::Suspending;
        response.dropInhibitor = true;
        break;
    case SessionSignal::ShutdownComing:
        response.release = ReleaseOccasion::EndingSession;
        response.dropInhibitor = true;
        break;
    case SessionSignal::Resumed:
    case SessionSignal::ShutdownCancelled:
        response.takeInhibitor = true;
        break;
    }
    return response;
}

} // namespace kes
