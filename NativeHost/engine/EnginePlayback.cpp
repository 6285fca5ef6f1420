#include "engine/Cancelled.h"
#include "engine/Engine.h"
#include "engine/Job.h"
#include "engine/JobThreads.h"
#include "engine/KeyOutput.h"
#include "engine/PreciseTimer.h"
#include "platform/CancelEvent.h"
#include "platform/Clock.h"
#include "platform/OneShotTimer.h"
#include "storage/Log.h"

#include <algorithm>
#include <stdexcept>

namespace kes {
namespace {

constexpr int latchCheckMilliseconds = 10;

// The scan codes looked up for the current pass.
ScanCodeLookup preparedScanCodes(const Engine::Job& job) {
    return [&job](int vk) {
        return job.scanCodes[static_cast<std::size_t>(vk & 0xFF)];
    };
}

bool named(const std::vector<int>& names, const PressedKey& key) {
    return std::find(names.begin(), names.end(), key.vk) != names.end();
}

// Moves the keys of `from` that `names` names to the end of `to`, in the order they went down.
void moveNamed(PressedKeys& from, const std::vector<int>& names, PressedKeys& to) {
    std::erase_if(from, [&](const PressedKey& key) {
        if (!named(names, key)) {
            return false;
        }
        to.push_back(key);
        return true;
    });
}

// A step's releases: the kept keys it names come up, last pressed first.
void releaseKept(PressedKeys& kept, const std::vector<int>& names, const KeyOutput& output) {
    if (names.empty()) {
        return;
    }
    PressedKeys letUp;
    moveNamed(kept, names, letUp);
    releaseGroup(letUp, output);
}

bool hasAnyKey(const std::vector<Step>& steps) {
    return std::any_of(steps.begin(), steps.end(), [](const Step& step) { return !step.keys.empty(); });
}

} // namespace

void Engine::startJob(const std::string& jobKey, const Macro& profileMacro, Macro macro) {
    reapFinished();
    if (jobs_.count(jobKey) != 0) {
        return;
    }
    auto job = std::make_shared<Job>();
    job->key = jobKey;
    job->macroId = macro.id;
    job->macro = profileMacro;
    job->program = program_;
    job->cancelEvent = services_.makeSignal();
    job->endedEvent = services_.makeSignal();
    if (!job->cancelEvent || !job->endedEvent) {
        throw std::runtime_error("无法创建宏取消信号");
    }
    jobs_.emplace(jobKey, job);
    try {
        jobThreads_->run([this, job, macro = std::move(macro)] { runJob(this, job, macro); });
    } catch (...) {
        // A job without a thread would block its key until the next cancelAll.
        jobs_.erase(jobKey);
        throw;
    }
}

void Engine::cancelJob(const std::string& jobKey) {
    const auto found = jobs_.find(jobKey);
    if (found != jobs_.end()) {
        found->second->cancelEvent->set();
    }
}

void Engine::reapFinished() {
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        Job& job = *it->second;
        if (!job.finished.load(std::memory_order_acquire)) {
            ++it;
            continue;
        }
        it = jobs_.erase(it);
    }
}

void Engine::runJob(Engine* engine, const std::shared_ptr<Job>& job, const Macro& macro) {
    PerfCounters* counters = engine->counters_;
    if (counters != nullptr) {
        counters->activeJobs.fetch_add(1);
    }
    try {
        PreciseTimer timer(createTimer(engine->services_.makeTimer));
        engine->playMacro(*job, timer, macro);
    } catch (const Cancelled&) {
    } catch (const std::exception& error) {
        try {
            engine->log_.write(LogLevel::Error, std::string("执行宏失败：") + error.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            engine->log_.write(LogLevel::Error, "执行宏失败：未知错误");
        } catch (...) {
        }
    }
    if (counters != nullptr) {
        counters->activeJobs.fetch_sub(1);
    }
    job->finished.store(true, std::memory_order_release);
    job->endedEvent->set();
}

void Engine::playMacro(Job& job, PreciseTimer& timer, const Macro& macro) {
    // A macro without a single key to press has nothing to play; a loop over it would only spin.
    if (!hasAnyKey(macro.steps)) {
        return;
    }
    if (macro.behavior == "latch") {
        lockedPass(job, timer, [&] { latchPass(job, timer, macro); });
        return;
    }
    if (macro.behavior == "hold" || macro.behavior == "repeat") {
        for (;;) {
            if (job.cancelEvent->isSet() || !matcher_(job.program)) {
                return;
            }
            lockedPass(job, timer, [&] { playSteps(job, timer, macro, true); });
        }
    }
    // "once": its passes follow one another on the one time line, the last step's gap between two.
    lockedPass(job, timer, [&] {
        for (int round = 1; round <= macro.playCount; ++round) {
            playSteps(job, timer, macro, round < macro.playCount);
        }
    });
}

template <typename Pass> void Engine::lockedPass(Job& job, PreciseTimer& timer, Pass&& pass) {
    const std::int64_t waitStart = counters_ != nullptr ? platform::performanceCounter() : 0;
    if (!playbackLock_.acquire(*job.cancelEvent)) {
        throw Cancelled{};
    }
    const PlaybackTurn turn(playbackLock_);
    if (counters_ != nullptr) {
        counters_->lockWait.add(ticksToNs(platform::performanceCounter() - waitStart));
    }
    if (job.cancelEvent->isSet()) {
        throw Cancelled{};
    }
    if (!matcher_(job.program)) {
        return;
    }
    // Everything the key calls need is looked up before the time line starts, so that a slow lookup does not
    // eat into the first hold.
    for (const Step& step : job.macro.steps) {
        for (int vk : step.keys) {
            if (vk >= 1 && vk <= 254) {
                job.scanCodes[static_cast<std::size_t>(vk)] = services_.scanCodeOf(vk);
            }
        }
    }
    timer.resetDeadline();
    pass();
}

int Engine::drawnMilliseconds(const Macro& macro, int set, int minimum) {
    if (macro.jitter == 0) {
        return set;
    }
    return std::max(minimum, services_.drawMilliseconds(set - macro.jitter, set + macro.jitter));
}

void Engine::playSteps(Job& job, PreciseTimer& timer, const Macro& macro, bool gapAfterLast) {
    const ScanCodeLookup lookup = preparedScanCodes(job);
    const KeyOutput output{sender_, counters_, lookup, &ledger_};
    PressedKeys kept;
    try {
        const std::vector<Step>& steps = macro.steps;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            playStep(job, timer, macro, steps[i], kept, output, gapAfterLast || i + 1 < steps.size());
        }
    } catch (...) {
        releaseGroupQuietly(kept, output);
        throw;
    }
    releaseGroup(kept, output);
}

void Engine::playStep(Job& job, PreciseTimer& timer, const Macro& macro, const Step& step, PressedKeys& kept,
                      const KeyOutput& output, bool withGap) {
    const platform::CancelEvent& cancel = *job.cancelEvent;
    if (cancel.isSet()) {
        throw Cancelled{};
    }
    releaseKept(kept, step.release, output);
    if (step.keys.empty()) {
        // A step that only lets keys up keeps its place on the time line; one that does nothing adds no
        // delay.
        if (!step.release.empty() && withGap) {
            timer.waitMs(drawnMilliseconds(macro, step.gap, 0), cancel, counters_);
        }
        return;
    }
    PressedKeys pressed;
    pressGroup(step.keys, pressed, output);
    try {
        timer.waitMs(drawnMilliseconds(macro, step.hold, 1), cancel, counters_);
    } catch (...) {
        releaseGroupQuietly(pressed, output);
        throw;
    }
    moveNamed(pressed, step.keep, kept);
    releaseGroup(pressed, output);
    if (withGap) {
        timer.waitMs(drawnMilliseconds(macro, step.gap, 0), cancel, counters_);
    }
}

void Engine::latchPass(Job& job, PreciseTimer& timer, const Macro& macro) {
    const platform::CancelEvent& cancel = *job.cancelEvent;
    const std::vector<Step>& steps = macro.steps;
    const ScanCodeLookup lookup = preparedScanCodes(job);
    const KeyOutput output{sender_, counters_, lookup, &ledger_};
    PressedKeys kept;
    PressedKeys pressed;
    try {
        for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
            playStep(job, timer, macro, steps[i], kept, output, true);
        }
        if (cancel.isSet()) {
            throw Cancelled{};
        }
        const Step& last = steps.back();
        const std::vector<int>& keys = last.keys;
        if (matcher_(job.program) && !keys.empty()) {
            releaseKept(kept, last.release, output);
            pressGroup(keys, pressed, output);
            while (!cancel.isSet() && matcher_(job.program)) {
                timer.waitMs(latchCheckMilliseconds, cancel, counters_);
            }
        }
    } catch (...) {
        kept.insert(kept.end(), pressed.begin(), pressed.end());
        releaseGroupQuietly(kept, output);
        throw;
    }
    // One release for both, the last step's keys first: a key that fails keeps none of the others down.
    kept.insert(kept.end(), pressed.begin(), pressed.end());
    releaseGroup(kept, output);
}

} // namespace kes
