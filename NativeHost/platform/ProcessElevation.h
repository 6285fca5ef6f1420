#pragma once
#include <string>

namespace kes::platform {

// What the system says about a process's token elevation.
enum class Elevation {
    NotElevated,
    Elevated,
    // The token could not be opened for lack of rights: what a program that is not elevated sees of an
    // elevated one.
    AccessDenied,
    // No process, or the question failed for another reason.
    Unknown,
};

// The process that owns the foreground window: its image path (empty when it cannot be read) and elevation.
struct ForegroundElevation {
    std::wstring programPath;
    Elevation elevation = Elevation::Unknown;
};

// Whether this process runs elevated (as administrator).
bool currentProcessElevated();

// Asks the system about the foreground window's process. Safe to call from any thread.
ForegroundElevation foregroundElevation();

} // namespace kes::platform
