#pragma once
#include "storage/Log.h"

#include <filesystem>

namespace kes {

inline constexpr const char8_t* selfCheckReportName = u8"Vantix自检.json";

// The built-in acceptance test of "--check": drives test engines through a recording key sender (no real
// key is sent, no hook installed), exercises the state store, the migration and the local API inside
// dataDir, and writes "Vantix自检.json" there last. Throws the failing check's message.
void runSelfCheck(const std::filesystem::path& dataDir, Log& log);

} // namespace kes
