#include "engine/Engine.h"
#include "engine/Job.h"
#include "platform/Clock.h"

#include <algorithm>
#include <optional>

namespace kes {
namespace {

constexpr std::size_t keyCodeCount = 256;
// Longer than any keyboard's auto-repeat delay: a down after such a silence is a new press.
constexpr std::int64_t autoRepeatSilenceMs = 1100;

std::string jobKeyOf(const char* prefix, int macroId, int vk) {
    return prefix + std::to_string(macroId) + ":" + std::to_string(vk);
}

} // namespace

void Engine::indexMacros() {
    candidatesByKey_.assign(keyCodeCount, {});
    for (std::size_t index = 0; index < macros_.size(); ++index) {
        const Macro& macro = macros_[index];
        if (!macro.enabled) {
            continue;
        }
        const auto macroIndex = static_cast<std::uint32_t>(index);
        if (macro.behavior == "repeat") {
            // Each single-key step makes its key a trigger; the first such step of a key is the one repeated.
            for (std::size_t step = 0; step < macro.steps.size(); ++step) {
                const std::vector<int>& keys = macro.steps[step].keys;
                if (keys.size() != 1 || keys[0] < 0 || static_cast<std::size_t>(keys[0]) >= keyCodeCount) {
                    continue;
                }
                auto& list = candidatesByKey_[static_cast<std::size_t>(keys[0])];
                const bool seen = !list.empty() && list.back().macro == macroIndex;
                if (!seen) {
                    list.push_back({macroIndex, static_cast<std::uint32_t>(step), Behavior::Repeat});
                }
            }
            continue;
        }
        if (macro.triggerKey <= 0 || static_cast<std::size_t>(macro.triggerKey) >= keyCodeCount) {
            continue;
        }
        const Behavior behavior = macro.behavior == "hold"    ? Behavior::Hold
                                  : macro.behavior == "latch" ? Behavior::Latch
                                                              : Behavior::Once;
        candidatesByKey_[static_cast<std::size_t>(macro.triggerKey)].push_back({macroIndex, 0, behavior});
    }
}

bool Engine::isPressed(int vk) const {
    const auto held = [this](int key) {
        return pressedKeys_.count(key) != 0;
    };
    switch (vk) {
    case 16:
        return held(16) || held(160) || held(161);
    case 17:
        return held(17) || held(162) || held(163);
    case 18:
        return held(18) || held(164) || held(165);
    case 91:
        return held(91) || held(92);
    default:
        return held(vk);
    }
}

bool Engine::endsHoldAcrossRelease(int vk) {
    const auto held = keysHeldAtRelease_.find(vk);
    if (held == keysHeldAtRelease_.end()) {
        return false;
    }
    const std::int64_t now = platform::performanceCounter();
    const std::int64_t silence = (now - held->second) * 1000 / platform::performanceFrequency();
    if (silence <= autoRepeatSilenceMs) {
        held->second = now;
        return false;
    }
    keysHeldAtRelease_.erase(held);
    return true;
}

bool Engine::onKey(int vk, bool isDown, bool injected) {
    if (!enabled_ || injected) {
        return false;
    }
    if (!isDown) {
        keysHeldAtRelease_.erase(vk);
    } else if (!keysHeldAtRelease_.empty() && endsHoldAcrossRelease(vk)) {
        // Its release was never seen: the program in front may have seen anything of it meanwhile.
        pressedKeys_.erase(vk);
        swallowedPresses_.erase(vk);
    }
    bool newPress = false;
    if (isDown) {
        newPress = pressedKeys_.insert(vk).second;
    } else {
        pressedKeys_.erase(vk);
    }

    // Asked at most once per event, and only when a macro of this key needs the answer.
    std::optional<bool> programActive;
    const auto isProgramActive = [&] {
        if (!programActive) {
            programActive = matcher_(program_);
        }
        return *programActive;
    };
    // Asked only when a fresh press would start a job, and at most once per event: our keys cannot reach an
    // elevated program in front, so such a press starts nothing and goes on to it, with its repeats and its
    // release.
    std::optional<bool> blockedByElevation;
    const auto isBlockedByElevation = [&] {
        if (!blockedByElevation) {
            blockedByElevation = newPress ? outputBlockedByElevation() : passedForElevation_.count(vk) != 0;
        }
        return *blockedByElevation;
    };

    bool swallow = false;
    if (vk >= 0 && static_cast<std::size_t>(vk) < candidatesByKey_.size()) {
        for (const Candidate& candidate : candidatesByKey_[static_cast<std::size_t>(vk)]) {
            const Macro& macro = macros_[candidate.macro];
            if (candidate.behavior == Behavior::Repeat) {
                if (!isDown && !jobs_.empty()) {
                    cancelJob(jobKeyOf("repeat:", macro.id, vk));
                }
                if (!isProgramActive() || isBlockedByElevation()) {
                    continue;
                }
                if (newPress) {
                    // The job plays only that step; the macro's other steps are not copied at all.
                    Macro single;
                    single.id = macro.id;
                    single.enabled = macro.enabled;
                    single.behavior = macro.behavior;
                    single.trigger = macro.trigger;
                    single.triggerKey = macro.triggerKey;
                    single.modifiers = macro.modifiers;
                    single.steps = {macro.steps[candidate.step]};
                    startJob(jobKeyOf("repeat:", macro.id, vk), macro, std::move(single));
                }
                swallow = true;
                continue;
            }
            if (!isDown && (candidate.behavior == Behavior::Hold || candidate.behavior == Behavior::Latch)) {
                // Releasing the trigger ends the job whatever the program and the modifiers are now.
                if (!jobs_.empty()) {
                    cancelJob(jobKeyOf("trigger:", macro.id, vk));
                }
                swallow = true;
                continue;
            }
            if (!isProgramActive()) {
                continue;
            }
            const bool modifiersHeld = std::all_of(macro.modifiers.begin(), macro.modifiers.end(),
                                                   [this](int modifier) { return isPressed(modifier); });
            if (!modifiersHeld || isBlockedByElevation()) {
                continue;
            }
            if (newPress) {
                startJob(jobKeyOf("trigger:", macro.id, vk), macro, macro);
            }
            swallow = true;
        }
    }

    // A key held since before the switch-on went down in the program in front, whatever happens to its
    // auto-repeats now.
    const bool seenBeforeSwitchOn = downAtSwitchOn_.count(vk) != 0;
    if (isDown && newPress && blockedByElevation.value_or(false)) {
        passedForElevation_.insert(vk);
    } else if (!isDown) {
        passedForElevation_.erase(vk);
    }
    if (isDown) {
        if (newPress && swallow && !seenBeforeSwitchOn) {
            swallowedPresses_.insert(vk);
        } else if (!swallow) {
            swallowedPresses_.erase(vk);
        }
    } else {
        downAtSwitchOn_.erase(vk);
        if (swallowedPresses_.erase(vk) == 0) {
            // The program in front saw this key go down, so it must see it come up.
            swallow = false;
        }
    }
    return swallow;
}

} // namespace kes
