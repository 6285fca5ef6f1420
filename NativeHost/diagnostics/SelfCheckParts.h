#pragma once
#include "diagnostics/CheckedEngine.h"
#include "storage/Log.h"

#include <filesystem>
#include <string>

namespace kes::selfcheck {

// Throws `message` unless `condition` holds.
void require(bool condition, const char* message);

// The groups of the self-check, in the order they run. The engine checks run against the engines that
// `makeEngine` makes.
void checkKeyTexts();
void checkBehaviours(Log& log, const CheckedEngineMaker& makeEngine = realEngine);
void checkReleaseOrder(Log& log, const CheckedEngineMaker& makeEngine = realEngine);
void checkModifiersProgramAndSwitchOff(Log& log, const CheckedEngineMaker& makeEngine = realEngine);
void checkSimultaneousMatch(Log& log, const CheckedEngineMaker& makeEngine = realEngine);
void checkStorage(const std::filesystem::path& dataDir, Log& log);

} // namespace kes::selfcheck
