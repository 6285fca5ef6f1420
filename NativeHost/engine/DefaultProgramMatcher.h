#pragma once
#include <string>

namespace kes {

// Whether the foreground window belongs to a process whose image file name is `program` (ignoring ASCII
// case); an empty program matches every foreground program. Holds no state; safe from any thread.
bool defaultProgramMatcher(const std::wstring& program);

} // namespace kes
