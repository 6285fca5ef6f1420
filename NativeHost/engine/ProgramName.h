#pragma once
#include <string>

namespace kes {

// The final component of a program path, backslash and slash both separating ("D:\Games\game.exe" and
// "game.exe" both give "game.exe"); a path ending in a separator gives the empty name.
std::wstring programFileName(const std::wstring& path);

// Program names compare without regard to ASCII letter case, as the system's file names do.
bool sameProgramName(const std::wstring& a, const std::wstring& b);

} // namespace kes
