#include "engine/DefaultProgramMatcher.h"
#include "engine/Engine.h"
#include "engine/Job.h"
#include "engine/JobThreads.h"
#include "engine/KeyOutput.h"
#include "engine/ProgramName.h"
#include "engine/RandomDelay.h"
#include "platform/CancelEvent.h"
#include "platform/Clock.h"
#include "platform/HookThreadWait.h"
#include "platform/KeyEvents.h"
#include "platform/KeyboardHook.h"
#include "platform/KeyboardState.h"
#include "platform/MouseHook.h"
#include "platform/OneShotTimer.h"
#include "platform/ProcessElevation.h"
#include "platform/ThreadPriority.h"
#include "storage/Log.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace kes {
namespace {

// Two threads wait for triggers from the start: one for a job, one for the job that comes while it plays.
constexpr std::size_t initialJobThreads = 2;

// The crash path's way out for the keys of an engine that sends real key events.
void sendSystemKeyEvent(unsigned char vk, unsigned char scan, unsigned long flags, void*) {
    platform::sendKeyEvent(vk, scan, flags);
}

// The release of the keys left in the ledger, through the engine's own sender.
void sendThroughSender(unsigned char vk, unsigned char scan, unsigned long flags, void* context) {
    try {
        (*static_cast<const KeySender*>(context))(vk, scan, flags);
    } catch (...) {
        // One key failing must not keep the others down.
    }
}

// Job threads run at the lowest priority, and make their first key-code lookup before any trigger: on some
// systems the first one of a thread is slow.
void prepareJobThread() {
    platform::lowerCurrentThreadPriority();
    platform::scanCodeOf('A');
}

} // namespace

Engine::Engine(Log& log, PerfCounters* counters, bool noHook, KeySender sender, ProgramMatcher matcher,
               EngineServices services)
    : noHook_(noHook), systemOutput_(!sender), sender_(sender ? std::move(sender) : defaultKeySender()),
      matcher_(matcher ? std::move(matcher) : ProgramMatcher(&defaultProgramMatcher)), log_(log),
      counters_(counters), services_(std::move(services)) {
    if (!services_.makeTimer) {
        services_.makeTimer = &platform::createOneShotTimer;
    }
    if (!services_.makeSignal) {
        services_.makeSignal = &platform::createCancelEvent;
    }
    if (!services_.installHook) {
        services_.installHook = &platform::installKeyboardHook;
    }
    if (!services_.installMouseHook) {
        services_.installMouseHook = &platform::installMouseHook;
    }
    if (!services_.runsElevated) {
        services_.runsElevated = noHook_ ? std::function<bool()>([] { return false; })
                                         : std::function<bool()>(&platform::currentProcessElevated);
    }
    if (!services_.foregroundElevation) {
        services_.foregroundElevation =
            noHook_ ? std::function<platform::ForegroundElevation()>(
                          [] { return platform::ForegroundElevation{}; })
                    : std::function<platform::ForegroundElevation()>(&platform::foregroundElevation);
    }
    selfElevated_ = services_.runsElevated();
    if (!services_.keysDown) {
        services_.keysDown = noHook_ ? std::function<std::vector<int>()>([] { return std::vector<int>(); })
                                     : std::function<std::vector<int>()>(&platform::keysDownNow);
    }
    if (!services_.drawMilliseconds) {
        services_.drawMilliseconds = &drawUniformly;
    }
    if (!services_.scanCodeOf) {
        services_.scanCodeOf = defaultScanCodeLookup();
    }
    indexMacros();
    jobThreads_ = std::make_unique<JobThreads>(initialJobThreads, &prepareJobThread);
    if (systemOutput_) {
        registerCrashLedger(&ledger_, &sendSystemKeyEvent, nullptr);
    }
}

Engine::~Engine() {
    try {
        stop();
    } catch (...) {
        // Nothing may leave a destructor; every job has ended and released its keys by now.
    }
    unregisterCrashLedger(&ledger_);
}

void Engine::setEnabled(bool on) {
    if (on == enabled_) {
        return;
    }
    if (!on) {
        stop();
        return;
    }
    if (!noHook_) {
        installHook();
    }
    const std::vector<int> down = services_.keysDown();
    downAtSwitchOn_.insert(down.begin(), down.end());
    enabled_ = true;
    if (counters_ != nullptr) {
        counters_->engineEnabled.store(1);
    }
    log_.write(LogLevel::Info, "全局宏引擎已启用；Vantix、keybd_event、最低优先级线程和绝对时间轴");
    if (statusCallback) {
        statusCallback(true, "宏已启用。");
    }
}

void Engine::stop() {
    enabled_ = false;
    if (counters_ != nullptr) {
        counters_->engineEnabled.store(0);
    }
    removeHook();
    cancelAll();
    pressedKeys_.clear();
    swallowedPresses_.clear();
    downAtSwitchOn_.clear();
    passedForElevation_.clear();
    keysHeldAtRelease_.clear();
}

Engine::Release Engine::releaseHeldKeys() {
    Release release;
    release.keysReleased = ledger_.keysDown();
    reapFinished();
    release.jobsEnded = jobs_.size();
    std::exception_ptr failure;
    try {
        cancelAll();
    } catch (...) {
        failure = std::current_exception();
    }
    // The jobs released their own keys; whatever failed to come up goes up now.
    ledger_.releaseAll(&sendThroughSender, &sender_);
    // A trigger still held must not start its macro again by its auto-repeat; its release may never reach
    // the hook (a locked session has a desktop of its own), so a long silence counts as a release too.
    const std::int64_t now = platform::performanceCounter();
    for (int vk : pressedKeys_) {
        keysHeldAtRelease_[vk] = now;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return release;
}

void Engine::cancelAll() {
    // Out of the table first: the hook may be called while this thread waits, and may start new jobs.
    std::map<std::string, std::shared_ptr<Job>> ending;
    ending.swap(jobs_);
    for (auto& [key, job] : ending) {
        job->cancelEvent->set();
    }
    for (auto& [key, job] : ending) {
        waitForEnd(*job);
    }
}

void Engine::waitForEnd(Job& job) {
    // The job's last key events pass the low-level hooks of this very thread: a plain join here would hold
    // them, and every other input, until the system gives up on the hooks.
    platform::waitDeliveringHookCalls(*job.endedEvent);
}

void Engine::apply(bool enabled, Profile profile) {
    const bool sameProgram = sameProgramName(profile.program, program_);
    program_ = std::move(profile.program);
    macros_ = std::move(profile.macros);
    indexMacros();
    if (!sameProgram) {
        cancelAll();
    } else {
        for (auto& [key, job] : jobs_) {
            // A changed macro may have another trigger or behaviour, under which the trigger's release would
            // no longer reach this job.
            const Macro& started = job->macro;
            const bool unchanged =
                std::any_of(macros_.begin(), macros_.end(),
                            [&started](const Macro& macro) { return macro.enabled && macro == started; });
            if (!unchanged) {
                job->cancelEvent->set();
            }
        }
    }
    setEnabled(enabled);
}

void Engine::checkForeground() {
    reapFinished();
    for (auto& [key, job] : jobs_) {
        if (!matcher_(job->program)) {
            job->cancelEvent->set();
        }
    }
}

void Engine::waitIdle() {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        reapFinished();
        if (jobs_.empty()) {
            return;
        }
        platform::sleepMilliseconds(2);
    }
    reapFinished();
    if (!jobs_.empty()) {
        throw std::runtime_error("执行线程未结束");
    }
}

} // namespace kes
