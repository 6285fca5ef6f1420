#include "shell/KeyRelease.h"

#include "storage/QuietLog.h"

#include <exception>

namespace kes {
namespace {

// The main window's messages and their codes, as the system numbers them.
constexpr unsigned queryEndSessionMessage = 0x0011; // WM_QUERYENDSESSION
constexpr unsigned endSessionMessage = 0x0016;      // WM_ENDSESSION (wParam: whether the session ends)
constexpr unsigned powerBroadcastMessage = 0x0218;  // WM_POWERBROADCAST
constexpr unsigned sessionChangeMessage = 0x02B1;   // WM_WTSSESSION_CHANGE
constexpr std::uintptr_t suspendEvent = 0x4;        // PBT_APMSUSPEND
constexpr std::uintptr_t consoleDisconnect = 0x2;   // WTS_CONSOLE_DISCONNECT
constexpr std::uintptr_t remoteDisconnect = 0x4;    // WTS_REMOTE_DISCONNECT
constexpr std::uintptr_t sessionLogoff = 0x6;       // WTS_SESSION_LOGOFF
constexpr std::uintptr_t sessionLock = 0x7;         // WTS_SESSION_LOCK

const char* occasionText(ReleaseOccasion occasion) {
    switch (occasion) {
    case ReleaseOccasion::SessionLocked:
        return "会话已锁定";
    case ReleaseOccasion::SessionSwitchedAway:
        return "已切换到其他会话";
    case ReleaseOccasion::LoggingOff:
        return "用户正在注销";
    case ReleaseOccasion::Suspending:
        return "系统即将睡眠";
    case ReleaseOccasion::EndingSession:
        return "系统正在注销或关机";
    }
    return "";
}

} // namespace

std::optional<ReleaseOccasion> releaseOccasionOf(unsigned message, std::uintptr_t wParam) {
    switch (message) {
    case sessionChangeMessage:
        switch (wParam) {
        case sessionLock:
            return ReleaseOccasion::SessionLocked;
        case consoleDisconnect:
        case remoteDisconnect:
            return ReleaseOccasion::SessionSwitchedAway;
        case sessionLogoff:
            return ReleaseOccasion::LoggingOff;
        default:
            return std::nullopt;
        }
    case powerBroadcastMessage:
        return wParam == suspendEvent ? std::optional(ReleaseOccasion::Suspending) : std::nullopt;
    case queryEndSessionMessage:
        return ReleaseOccasion::EndingSession;
    case endSessionMessage:
        return wParam != 0 ? std::optional(ReleaseOccasion::EndingSession) : std::nullopt;
    default:
        return std::nullopt;
    }
}

std::string releaseLogLine(ReleaseOccasion occasion, const Engine::Release& release) {
    return std::string(occasionText(occasion)) + "：已结束 " + std::to_string(release.jobsEnded) +
           " 个运行中的宏，松开 " + std::to_string(release.keysReleased) + " 个按键";
}

void releaseHeldKeys(HostContext& context, ReleaseOccasion occasion) {
    if (!context.engine) {
        return;
    }
    try {
        const Engine::Release release = context.engine->releaseHeldKeys();
        logQuietly(context.log, LogLevel::Info, releaseLogLine(occasion, release));
    } catch (const std::exception& e) {
        logQuietly(context.log, LogLevel::Error,
                   std::string(occasionText(occasion)) + "：松开按键失败：" + e.what());
    }
}

} // namespace kes
