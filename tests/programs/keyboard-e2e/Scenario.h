#pragma once
#include <nlohmann/json.hpp>

#include <string>

// The keys of the keyboard end-to-end scenario. run.sh presses them in this order, first with a
// profile bound to this program (which owns the foreground window), then with the same macros bound
// to another program's name.
namespace kes::e2e {

constexpr int keyA = 65, keyB = 66, keyC = 67, keyE = 69, keyG = 71, keyH = 72;
constexpr int onceTrigger = 112;  // F1: "once", plays A, B
constexpr int holdTrigger = 113;  // F2: "hold", loops C
constexpr int repeatKey = keyE;   // E: "repeat", fires E while held
constexpr int latchTrigger = 115; // F4: "latch", plays G, then keeps H down
// Keys of the driver itself, swallowed by the recorder's hook before the engine sees them.
constexpr int nextPhaseKey = 122; // F11
constexpr int finishKey = 123;    // F12

constexpr int outputKeys[] = {keyA, keyB, keyC, keyE, keyG, keyH};
constexpr int scenarioKeys[] = {onceTrigger, holdTrigger, repeatKey, latchTrigger};

inline bool isDriverKey(int vk) {
    return vk == nextPhaseKey || vk == finishKey;
}

// One macro of each behaviour; `program` is the profile's target program (full path or file name).
inline nlohmann::json scenarioProfile(const std::string& program) {
    using nlohmann::json;
    auto step = [](const char* key, int hold, int gap) {
        return json{{"key", key}, {"hold", hold}, {"gap", gap}};
    };
    return json{
        {"id", 1},
        {"name", "keyboard end-to-end"},
        {"program", program},
        {"macros",
         json::array({
             json{{"id", 1},
                  {"behavior", "once"},
                  {"trigger", "F1"},
                  {"steps", {step("A", 20, 20), step("B", 20, 20)}}},
             json{{"id", 2}, {"behavior", "hold"}, {"trigger", "F2"}, {"steps", {step("C", 20, 30)}}},
             // A "repeat" macro is triggered by each of its single-key steps; its trigger text is unused.
             json{{"id", 3}, {"behavior", "repeat"}, {"trigger", "F3"}, {"steps", {step("E", 20, 30)}}},
             json{{"id", 4},
                  {"behavior", "latch"},
                  {"trigger", "F4"},
                  {"steps", {step("G", 20, 20), step("H", 20, 20)}}},
         })},
    };
}

} // namespace kes::e2e
