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

Step parseStep(const json& element) {
    Step step;
    step.keys = parseKeyList(element.value("key", std::string()), true);
    // Key output is the keyboard's: a mouse button may start a macro but is never sent by one.
    if (std::any_of(step.keys.begin(), step.keys.end(), &isMouseButton)) {
        throw std::runtime_error(mouseButtonStepMessage);
    }
    step.hold = stepMilliseconds(element, "hold", 30, 1, maxStepMilliseconds);
    step.gap = stepMilliseconds(element, "gap", 50, 0, maxStepMilliseconds);
    return step;
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
