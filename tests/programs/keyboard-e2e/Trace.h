#pragma once
#include <string>
#include <vector>

namespace kes::e2e {

// Phase 1: the profile is bound to this program. Phase 2: the same macros, bound to another program.
enum class Phase { OwnProgram = 1, OtherProgram = 2 };

// One event as the recorder's low-level hook saw it, in input order. The recorder's hook is installed
// after the engine's, so it runs first and sees every event, also those the engine swallows.
struct HookRecord {
    Phase phase;
    int vk;
    bool down;
    bool injected;
    double ms; // since the program started
};

// One key message that reached the edit control.
struct EditRecord {
    Phase phase;
    int vk;
    bool down;
    double ms;
};

struct Trace {
    std::vector<HookRecord> hook;
    std::vector<EditRecord> edit;
    std::string textAfterOwnProgram; // the edit control's text when phase 2 began
    std::string textAtEnd;
    bool sawNextPhase = false;
    bool sawFinish = false;
    std::vector<int> keysLeftDown; // output keys the system still reports down after the engine stopped
    std::string engineErrors;      // the engine's error log
};

struct Verdict {
    std::string name;
    bool passed;
    std::string detail;
};

// Every check of the scenario, in a fixed order.
std::vector<Verdict> judge(const Trace& trace);

// Hook records as text for messages: "+A" a key going down, "-A" coming up, "*" marking injected ones.
std::string describe(const std::vector<HookRecord>& records);

} // namespace kes::e2e
