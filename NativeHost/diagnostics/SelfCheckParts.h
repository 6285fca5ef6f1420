#pragma once
#include "storage/Log.h"

#include <filesystem>
#include <string>

namespace kes::selfcheck {

// Throws `message` unless `condition` holds.
void require(bool condition, const char* message);

// The groups of the self-check, in the order they run.
void checkKeyTexts();
void checkBehaviours(Log& log);
void checkReleaseOrder(Log& log);
void checkModifiersProgramAndSwitchOff(Log& log);
void checkSimultaneousMatch(Log& log);
void checkStorage(const std::filesystem::path& dataDir, Log& log);

} // namespace kes::selfcheck
