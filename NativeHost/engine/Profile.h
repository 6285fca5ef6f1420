#pragma once
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace kes {

constexpr std::size_t maxMacrosPerProfile = 1000;
constexpr std::size_t maxStepsPerMacro = 10000;
constexpr int maxStepMilliseconds = 60000;
constexpr int maxPlayCount = 1000;
constexpr int maxJitterMilliseconds = 1000;

// One group of keys pressed together, held `hold` ms (1..60000), followed by `gap` ms of rest (0..60000).
// `keep`: keys of this step that stay down after its hold, until a later step's `release` lets them up or
// the pass ends. `release`: keys kept down by earlier steps that go up as this step begins; a step with no
// keys of its own but with releases waits its gap.
struct Step {
    std::vector<int> keys;
    int hold = 30;
    int gap = 50;
    std::vector<int> keep = {};
    std::vector<int> release = {};

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
    int playCount = 1; // "once": passes played in a row on one time line (1..1000)
    int jitter = 0;    // every hold and gap drawn from [set - jitter, set + jitter] ms (0..1000)

    bool operator==(const Macro&) const = default;
};

struct Profile {
    std::wstring program; // file name of the target program; empty for a profile acting everywhere
    std::vector<Macro> macros;
};

// Refusal of a step that names a mouse button ("MButton", "XButton1", "XButton2"): those only trigger.
inline constexpr const char* mouseButtonStepMessage = "鼠标按键只能用作触发键，不能作为按键步骤";

// Refusals of the optional members, each naming its member.
inline constexpr const char* playCountMessage = "播放次数（playCount）必须是 1～1000 的整数";
inline constexpr const char* jitterMessage = "随机延迟（jitter）必须是 0～1000 的整数毫秒";
inline constexpr const char* keepMessage = "按键步骤的保持按键（keep）必须是本步按下的按键";
inline constexpr const char* releaseMessage =
    "按键步骤的松开按键（release）必须是前面步骤保持（keep）着的按键";
inline constexpr const char* pressKeptMessage = "按键步骤不能再次按下前面步骤保持（keep）着的按键";
inline constexpr const char* repeatKeepMessage = "单键连发的按键步骤不能使用保持（keep）或松开（release）";

// Validates one profile object and builds its engine record; throws on the first violation
// (std::runtime_error with the user-facing message, or the JSON library's type error).
Profile parseProfile(const nlohmann::json& profile);

} // namespace kes
