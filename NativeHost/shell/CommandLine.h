#pragma once
#include "shell/CommandLineOptions.h"

#include <string>
#include <vector>

namespace kes {

// The mode flags from the program's words. Word 0, the program path, is skipped; every other word is
// compared whole and case-sensitively; unknown words are ignored, order and repetition do not matter.
CommandLineOptions parseCommandLine(const std::vector<std::wstring>& words);

} // namespace kes
