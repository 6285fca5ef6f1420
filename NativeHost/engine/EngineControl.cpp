#include "engine/DefaultProgramMatcher.h"
#include "engine/Engine.h"
#include "engine/Job.h"
#include "engine/KeyOutput.h"
#include "engine/ProgramName.h"
#include "platform/Clock.h"
#include "platform/KeyboardHook.h"
#include "storage/Log.h"

#include <algorithm>
#include <stdexcept>

namespace kes {

Engine::Engine(Log& log, PerfCounters* counters, bool noHook, KeySender sender, ProgramMatcher matcher)
    : noHook_(noHook), sender_(sender ? std::move(sender) : defaultKeySender()),
      matcher_(matcher ? std::move(matcher) : ProgramMatcher(&defaultProgramMatcher)), log_(log),
      counters_(counters) {
    indexMacros();
}

Engine::~Engine() {
    try {
        stop();
    } catch (...) {
        // Only a join from a job thread itself can fail here, and no job thread destroys the engine.
    }
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
}

void Engine::cancelAll() {
    for (auto& [key, job] : jobs_) {
        job->cancelEvent->set();
    }
    for (auto& [key, job] : jobs_) {
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
    jobs_.clear();
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
            const int id = job->macroId;
            const bool kept = std::any_of(macros_.begin(), macros_.end(), [id](const Macro& macro) {
                return macro.enabled && macro.id == id;
            });
            if (!kept) {
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
