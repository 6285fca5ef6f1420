#pragma once
#include "engine/PerfCounters.h"
#include "platform/ProcessInspection.h"
#include "storage/Log.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace kes {

// Where the sampler finds processes: the system's list by default, a scripted one in tests.
class ProcessSource {
public:
    virtual ~ProcessSource() = default;
    virtual std::vector<platform::ProcessEntry> snapshot() = 0;
    // Null when the process cannot be opened.
    virtual std::unique_ptr<platform::InspectedProcess> open(std::uint32_t id) = 0;
};

std::shared_ptr<ProcessSource> systemProcessSource();

// What the sampler reads besides the counters block; every empty member means the system's own.
struct SamplerEnvironment {
    std::shared_ptr<ProcessSource> processes;
    std::function<std::int64_t()> counter;  // the performance counter
    std::int64_t frequency = 0;             // its ticks per second
    std::function<std::string()> timestamp; // localTimestamp
    std::uint32_t ownProcessId = 0;         // the running program's id
};

// Phase labels of the marker hotkeys Ctrl+Shift+F6 to F8 (ids 6 to 8); id 9 ends the sampling.
inline constexpr int firstMarkerHotkeyId = 6;
inline constexpr int finishMarkerHotkeyId = 9;
const char* markerPhaseLabel(int hotkeyId);

// The performance sampling mode: about once a second, for at most five minutes, the CPU and memory of the
// program's own process tree and of the game (processes whose name begins with "dnf"), with the engine's
// interval statistics; at the end a JSON report, a CSV table and a short summary. It lives in
// <log directory>\性能检测\<tick count> and runs on the user-interface thread only.
class PerformanceSampler {
public:
    static constexpr std::int64_t maximumMilliseconds = 300000;

    // Creates the folder (throwing when it cannot) and logs the start.
    PerformanceSampler(const std::filesystem::path& logDirectory, Log& log, PerfCounters* counters,
                       SamplerEnvironment environment = {});
    // finish(); a failure to write the reports is logged.
    ~PerformanceSampler();
    PerformanceSampler(const PerformanceSampler&) = delete;
    PerformanceSampler& operator=(const PerformanceSampler&) = delete;

    // Takes one sample and appends it to "采样.jsonl"; ends the sampling after five minutes. Throws
    // "性能采样日志写入失败" when the line cannot be written.
    void sample();
    // Starts a new phase.
    void mark(const std::string& label);
    // Writes "报告.json", "采样数据.csv" and "性能报告.txt" once; throws the atomic store's errors.
    void finish();

    const std::filesystem::path& folder() const { return folder_; }
    const nlohmann::json& samples() const { return samples_; }
    const nlohmann::json& marks() const { return marks_; }
    const std::string& phase() const { return phase_; }
    bool finished() const { return finished_; }
    PerfCounters* counters() const { return counters_; }

private:
    struct CpuReading {
        std::uint64_t cpuTime;
        std::int64_t counter;
    };

    bool isOwnTree(std::uint32_t id, const std::map<std::uint32_t, platform::ProcessEntry>& processes) const;
    nlohmann::json readProcesses();

    std::filesystem::path folder_;
    Log& log_;
    PerfCounters* counters_;
    SamplerEnvironment environment_;
    nlohmann::json samples_ = nlohmann::json::array();
    nlohmann::json marks_ = nlohmann::json::array();
    std::map<std::pair<std::uint32_t, std::uint64_t>, CpuReading> cpuHistory_;
    std::int64_t start_;
    bool finished_ = false;
    std::string phase_ = "未标记";
};

// The interval statistics object of one block field, read and zeroed: "次数", "总毫秒", "最大毫秒".
nlohmann::json takeTimingStat(TimingStat& stat);

} // namespace kes
