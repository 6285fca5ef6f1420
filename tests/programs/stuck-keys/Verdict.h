#pragma once
#include "Schedule.h"
#include "storage/Log.h"

#include <cstddef>
#include <string>

namespace kes::campaign {

struct Verdict {
    bool passed = true;
    std::string failure;       // what went wrong, when it did
    std::size_t keyEvents = 0; // key events the engine sent
};

// Plays the schedule against a hook-less engine with a recording sender, a scripted foreground program and
// the player's held keys as the system's key state, then judges it: after the player let go of every key,
// every job ends by itself, every key the engine pressed has come up, the foreground program saw every key it
// saw go down come up, no injected event was swallowed, and stop leaves no job. With `trace`, each operation
// and what it did is printed.
Verdict playSchedule(const Schedule& schedule, Log& log, bool trace);

} // namespace kes::campaign
