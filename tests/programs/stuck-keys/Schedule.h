#pragma once
// One randomized schedule: what a player and the host do to the engine, drawn from a seed so that a
// failing schedule can be replayed from its seed alone.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kes::campaign {

enum class Action {
    Press,          // a physical key goes down
    AutoRepeat,     // the keyboard repeats the down of a held key
    Release,        // a held key comes up
    Injected,       // another program's synthetic event
    Apply,          // the page hands over a profile: a new one (triggers, behaviours, steps) or the same
    ProgramChange,  // another program comes to the foreground
    ForegroundLoss, // the profile's program leaves the foreground; the housekeeping tick notices
    Tick,           // the housekeeping tick
    SwitchOff,      // the master switch
    SwitchOn,
    Stop, // a failed page message or the window closing
    Wait, // time passes while jobs play
};

struct Operation {
    Action action = Action::Wait;
    int key = 0;            // Press, AutoRepeat, Release, Injected
    bool down = false;      // Injected
    int foreground = 0;     // ProgramChange: index into foregroundPrograms
    int milliseconds = 0;   // Wait
    bool enabled = false;   // Apply
    nlohmann::json profile; // Apply

    std::string describe() const;
};

// The programs that can own the foreground window; the last one stands for none of the profile's.
extern const std::vector<std::wstring> foregroundPrograms;

struct Schedule {
    std::uint64_t seed = 0;
    nlohmann::json firstProfile;
    std::vector<Operation> operations;
};

// The schedule of `seed`: the same seed always gives the same operations. Every key that goes down also
// comes up by its end (the player lets go of everything).
Schedule makeSchedule(std::uint64_t seed);

} // namespace kes::campaign
