#pragma once
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace kes {

constexpr std::size_t maxMacrosPerProfile = 1000;
constexpr std::size_t maxStepsPerMacro = 10000;
constexpr int maxStepMilliseconds = 60000;

// One group of keys pressed together, held `hold` ms (1..60000), followed by `gap` ms of rest (0..60000).
struct Step {
    std::vector<int> keys;
    int hold = 30;
    int gap = 50;

    bool operator==(const Step&) const = default;
};

struct Macro {
    int id = 0;
    bool enabled = true;
    std::string behavior = "once"; // "once", "hold", "repeat" or "latch"
    std::string trigger;           // the raw trigger text
    int triggerKey = 0;            // the trigger's last key, 0 when it names none
    std::vector<int> modifiers;    // the trigger's keys before the last one, in text order
    std::vector<Step> steps;

    bool operator==(const Macro&) const = default;
};

struct Profile {
    std::wstring program; // file name of the target program; empty for a profile acting everywhere
    std::vector<Macro> macros;
};

// Refusal of a step that names a mouse button ("MButton", "XButton1", "XButton2"): those only trigger.
inline constexpr const char* mouseButtonStepMessage = "鼠标按键只能用作触发键，不能作为按键步骤";

// Validates one profile object and builds its engine record; throws on the first violation
// (std::runtime_error with the user-facing message, or the JSON library's type error).
Profile parseProfile(const nlohmann::json& profile);

} // namespace kes
