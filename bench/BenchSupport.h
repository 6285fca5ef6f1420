#pragma once
#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/ProcessInspection.h"
#include "storage/Log.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::bench {

inline double ticksToMicroseconds(std::int64_t ticks) {
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(platform::performanceFrequency());
}

// CPU time of the whole process so far, in milliseconds.
inline double processCpuMs() {
    const auto process =
        platform::openProcessForInspection(static_cast<std::uint32_t>(platform::currentProcessId()));
    if (!process) {
        return -1;
    }
    const auto times = process->times();
    return times ? static_cast<double>(times->cpuTime) / 10000.0 : -1;
}

inline double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// A log in the temporary folder, so that the engine's lines go somewhere.
inline void prepareLog(Log& log, const char* name) {
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() /
        (std::string("kes-bench-") + name + "-" + std::to_string(platform::currentProcessId()));
    log.setDirectory(directory);
}

} // namespace kes::bench
