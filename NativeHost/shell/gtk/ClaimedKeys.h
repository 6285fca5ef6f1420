#pragma once
#include "engine/Profile.h"

#include <optional>
#include <set>
#include <string>

namespace kes {

// The keys whose events the engine may claim under a profile: the trigger key of every enabled "once",
// "hold" and "latch" macro and every single-key step of an enabled "repeat" macro. On X11 only these keys
// are held back for the engine's decision; every other key goes its way at once.
std::set<int> claimedKeys(const Profile& profile);

// The claimed keys of the profile a page message hands the engine: set only for a "macro-state" message
// whose profile is valid; nothing for any other message.
std::optional<std::set<int>> claimedKeysOfPageMessage(const std::string& text);

} // namespace kes
