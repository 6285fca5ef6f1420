#pragma once

namespace kes::platform {

// For tests of the program's hook repair: removes every keyboard hook installed through installKeyboardHook
// from the system, the way Windows drops a hook whose procedure was too slow. The owners are not told;
// their hook objects stay as they are.
void removeKeyboardHooksBehindOwnersBack();

} // namespace kes::platform
