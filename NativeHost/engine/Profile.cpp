#include "engine/Profile.h"

#include "engine/KeyNames.h"
#include "engine/ProgramName.h"
#include "platform/TextConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <unordered_set>

namespace kes {
namespace {

using nlohmann::json;

bool isKnownBehavior(const std::string& behavior) {
    return behavior == "once" || behavior == "hold" || behavior == "repeat" || behavior == "latch";
}

// The library's conversion of a number (or boolean) to int; other types throw the library's own type error.
// Floating values beyond the int range saturate instead of being converted with undefined behaviour.
int toInt(const json& value) {
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isnan(number)) {
            return 0;
        }
        if (number >= static_cast<double>(std::numeric_limits<int>::max())) {
            return std::numeric_limits<int>::max();
        }
        if (number <= static_cast<double>(std::numeric_limits<int>::min())) {
            return std::numeric_limits<int>::min();
        }
    }
    return value.get<int>();
}

// A step time: the number if present, else the default, kept within [low, high]. Out-of-range integers are
// clamped before narrowing, so a huge hold stays the longest hold instead of wrapping round.
int stepMilliseconds(const json& step, const char* key, int fallback, int low, int high) {
    const auto found = step.find(key);
    if (found == step.end()) {
        return fallback;
    }
    const json& value = *found;
    if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
            return static_cast<int>(std::clamp<std::uint64_t>(value.get<std::uint64_t>(),
                                                              static_cast<std::uint64_t>(low),
                                                              static_cast<std::uint64_t>(high)));
        }
        return static_cast<int>(std::clamp<std::int64_t>(value.get<std::int64_t>(), low, high));
    }
    return std::clamp(toInt(value), low, high);
}

bool contains(const std::vector<int>& keys, int vk) {
    return std::find(keys.begin(), keys.end(), vk) != keys.end();
}

// An optional whole number within [low, high]: `fallback` when absent, else refused with `message` (a
// number of another kind, a fraction, a value out of range or another type).
int boundedCount(const json& macro, const char* key, int fallback, int low, int high, const char* message) {
    const auto found = macro.find(key);
    if (found == macro.end()) {
        return fallback;
    }
    const json& value = *found;
    if (value.is_number_unsigned()) {
        const std::uint64_t number = value.get<std::uint64_t>();
        if (number >= static_cast<std::uint64_t>(low) && number <= static_cast<std::uint64_t>(high)) {
            return static_cast<int>(number);
        }
    } else if (value.is_number_integer()) {
        const std::int64_t number = value.get<std::int64_t>();
        if (number >= low && number <= high) {
            return static_cast<int>(number);
        }
    } else if (value.is_number_float()) {
        const double number = value.get<double>();
        if (number >= low && number <= high && std::floor(number) == number) {
            return static_cast<int>(number);
        }
    }
    throw std::runtime_error(message);
}

// An optional key list of a step; a value that is not a string is refused with `message`.
std::vector<int> stepKeyList(const json& step, const char* key, const char* message) {
    const auto found = step.find(key);
    if (found == step.end()) {
        return {};
    }
    if (!found->is_string()) {
        throw std::runtime_error(message);
    }
    return parseKeyList(found->get<std::string>(), true);
}

Step parseStep(const json& element) {
    Step step;
    step.keys = parseKeyList(element.value("key", std::string()), true);
    // Key output is the keyboard's: a mouse button may start a macro but is never sent by one.
    if (std::any_of(step.keys.begin(), step.keys.end(), &isMouseButton)) {
        throw std::runtime_error(mouseButtonStepMessage);
    }
    step.hold = stepMilliseconds(element, "hold", 30, 1, maxStepMilliseconds);
    step.gap = stepMilliseconds(element, "gap", 50, 0, maxStepMilliseconds);
    step.keep = stepKeyList(element, "keep", keepMessage);
    step.release = stepKeyList(element, "release", releaseMessage);
    if (!std::all_of(step.keep.begin(), step.keep.end(), [&](int vk) { return contains(step.keys, vk); })) {
        throw std::runtime_error(keepMessage);
    }
    return step;
}

// Follows the keys kept down through one pass over the steps: a step releases only keys that are kept, and
// presses none of them again. The pass ends with every key up, so each pass (and each round of a loop)
// starts from none.
void checkKeptKeys(const Macro& macro) {
    const bool anyKept = std::any_of(macro.steps.begin(), macro.steps.end(), [](const Step& step) {
        return !step.keep.empty() || !step.release.empty();
    });
    if (!anyKept) {
        return;
    }
    if (macro.behavior == "repeat") {
        throw std::runtime_error(repeatKeepMessage);
    }
    std::vector<int> kept;
    for (const Step& step : macro.steps) {
        for (int vk : step.release) {
            const auto found = std::find(kept.begin(), kept.end(), vk);
            if (found == kept.end()) {
                throw std::runtime_error(releaseMessage);
            }
            kept.erase(found);
        }
        if (std::any_of(step.keys.begin(), step.keys.end(), [&](int vk) { return contains(kept, vk); })) {
            throw std::runtime_error(pressKeptMessage);
        }
        kept.insert(kept.end(), step.keep.begin(), step.keep.end());
    }
}

Macro parseMacro(const json& element, std::unordered_set<int>& ids) {
    Macro macro;
    // value() on a non-object throws the library's "cannot use value() with ..." error.
    macro.id = toInt(element.value("id", json(0)));
    if (!ids.insert(macro.id).second) {
        throw std::runtime_error("宏编号重复");
    }
    macro.enabled = element.value("enabled", true);
    macro.behavior = element.value("behavior", std::string("once"));
    if (!isKnownBehavior(macro.behavior)) {
        throw std::runtime_error("触发方式无效");
    }
    macro.trigger = element.value("trigger", std::string());
    std::vector<int> triggerKeys = parseKeyList(macro.trigger, false);
    if (!triggerKeys.empty()) {
        macro.triggerKey = triggerKeys.back();
        triggerKeys.pop_back();
        macro.modifiers = std::move(triggerKeys);
    }
    const auto steps = element.find("steps");
    if (steps != element.end()) {
        if (!steps->is_array() || steps->size() > maxStepsPerMacro) {
            throw std::runtime_error("按键序列格式无效");
        }
        macro.steps.reserve(steps->size());
        for (const json& step : *steps) {
            macro.steps.push_back(parseStep(step));
        }
    }
    macro.playCount = boundedCount(element, "playCount", 1, 1, maxPlayCount, playCountMessage);
    macro.jitter = boundedCount(element, "jitter", 0, 0, maxJitterMilliseconds, jitterMessage);
    checkKeptKeys(macro);
    return macro;
}

} // namespace

Profile parseProfile(const json& profile) {
    Profile result;
    result.program = programFileName(toWide(profile.value("program", std::string())));
    const auto macros = profile.find("macros");
    if (macros == profile.end()) {
        return result;
    }
    if (!macros->is_array() || macros->size() > maxMacrosPerProfile) {
        throw std::runtime_error("宏列表格式无效");
    }
    std::unordered_set<int> ids;
    result.macros.reserve(macros->size());
    for (const json& element : *macros) {
        result.macros.push_back(parseMacro(element, ids));
    }
    return result;
}

} // namespace kes
