#pragma once
#include <string_view>

namespace kes::platform {

// Writes the bytes unchanged to the process's standard output or standard error, in one write whose
// result is not checked (a program without a console shows them only when the stream is redirected).
void writeStandardOutput(std::string_view bytes);
void writeStandardError(std::string_view bytes);

} // namespace kes::platform
