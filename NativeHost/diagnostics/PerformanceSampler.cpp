#include "diagnostics/PerformanceSampler.h"

#include "platform/Clock.h"
#include "platform/Process.h"
#include "storage/AtomicFileStore.h"

#include <cctype>
#include <fstream>
#include <set>
#include <stdexcept>

namespace kes {
namespace {

class SystemProcessSource final : public ProcessSource {
public:
    std::vector<platform::ProcessEntry> snapshot() override { return platform::processSnapshot(); }
    std::unique_ptr<platform::InspectedProcess> open(std::uint32_t id) override {
        return platform::openProcessForInspection(id);
    }
};

SamplerEnvironment completed(SamplerEnvironment environment) {
    if (!environment.processes) {
        environment.processes = systemProcessSource();
    }
    if (!environment.counter) {
        environment.counter = [] {
            return platform::performanceCounter();
        };
    }
    if (environment.frequency <= 0) {
        environment.frequency = platform::performanceFrequency();
    }
    if (!environment.timestamp) {
        environment.timestamp = [] {
            return localTimestamp();
        };
    }
    if (environment.ownProcessId == 0) {
        environment.ownProcessId = static_cast<std::uint32_t>(platform::currentProcessId());
    }
    return environment;
}

bool isGameName(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower.size() >= 3 && lower.compare(0, 3, "dnf") == 0;
}

nlohmann::json optionalBytes(const std::optional<platform::ProcessMemory>& memory,
                             std::uint64_t platform::ProcessMemory::*member) {
    return memory ? nlohmann::json((*memory).*member) : nlohmann::json(nullptr);
}

constexpr const char* reportLimits =
    "区间CPU可能漏过尖峰；工作集可能重复共享页面；未读取游戏帧率，不能单独判断掉帧原因。";

} // namespace

std::shared_ptr<ProcessSource> systemProcessSource() {
    return std::make_shared<SystemProcessSource>();
}

const char* markerPhaseLabel(int hotkeyId) {
    if (hotkeyId == 6) {
        return "关闭宏";
    }
    if (hotkeyId == 7) {
        return "空打";
    }
    return "命中";
}

nlohmann::json takeTimingStat(TimingStat& stat) {
    const std::int64_t count = stat.count.exchange(0);
    const std::int64_t total = stat.totalNs.exchange(0);
    const std::int64_t maximum = stat.maxNs.exchange(0);
    return {{"次数", count},
            {"总毫秒", static_cast<double>(total) / 1000000.0},
            {"最大毫秒", static_cast<double>(maximum) / 1000000.0}};
}

PerformanceSampler::PerformanceSampler(const std::filesystem::path& logDirectory, Log& log,
                                       PerfCounters* counters, SamplerEnvironment environment)
    : folder_(logDirectory / u8"性能检测" / std::to_string(platform::tickCount64())), log_(log),
      counters_(counters), environment_(completed(std::move(environment))), start_(environment_.counter()) {
    std::filesystem::create_directories(folder_);
    log_.write(LogLevel::Info, "性能采样开始，最长五分钟，不采集游戏帧率");
}

PerformanceSampler::~PerformanceSampler() {
    try {
        finish();
    } catch (const std::exception& e) {
        try {
            log_.write(LogLevel::Error, e.what());
        } catch (const std::exception&) {
            // Nothing more can be reported while the sampler goes away.
        }
    }
}

bool PerformanceSampler::isOwnTree(std::uint32_t id,
                                   const std::map<std::uint32_t, platform::ProcessEntry>& processes) const {
    std::set<std::uint32_t> visited;
    for (std::uint32_t current = id;;) {
        if (current == environment_.ownProcessId) {
            return true;
        }
        if (!visited.insert(current).second) {
            return false;
        }
        const auto found = processes.find(current);
        if (found == processes.end()) {
            return false;
        }
        current = found->second.parentId;
    }
}

nlohmann::json PerformanceSampler::readProcesses() {
    std::map<std::uint32_t, platform::ProcessEntry> processes;
    for (platform::ProcessEntry& entry : environment_.processes->snapshot()) {
        const std::uint32_t id = entry.id;
        processes[id] = std::move(entry);
    }
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& [id, entry] : processes) {
        const bool ownTree = isOwnTree(id, processes);
        if (!ownTree && !isGameName(entry.name)) {
            continue;
        }
        const std::unique_ptr<platform::InspectedProcess> process = environment_.processes->open(id);
        if (!process) {
            entries.push_back({{"pid", id}, {"名称", entry.name}, {"读取失败", true}});
            continue;
        }
        const std::optional<platform::ProcessTimes> times = process->times();
        if (!times) {
            continue;
        }
        const std::int64_t now = environment_.counter();
        nlohmann::json percent = nullptr;
        const auto key = std::make_pair(id, times->creationTime);
        const auto previous = cpuHistory_.find(key);
        if (previous != cpuHistory_.end() && previous->second.counter < now) {
            const double milliseconds = static_cast<double>(now - previous->second.counter) * 1000.0 /
                                        static_cast<double>(environment_.frequency);
            const double cpuDelta =
                static_cast<double>(times->cpuTime) - static_cast<double>(previous->second.cpuTime);
            percent = cpuDelta / 10000.0 / milliseconds * 100.0;
        }
        cpuHistory_[key] = {times->cpuTime, now};
        const std::optional<platform::ProcessMemory> memory = process->memory();
        entries.push_back({{"pid", id},
                           {"名称", entry.name},
                           {"助手进程", ownTree},
                           {"单核CPU百分比", percent},
                           {"私有字节", optionalBytes(memory, &platform::ProcessMemory::privateBytes)},
                           {"工作集字节", optionalBytes(memory, &platform::ProcessMemory::workingSetBytes)}});
    }
    return entries;
}

void PerformanceSampler::sample() {
    if (finished_) {
        return;
    }
    PerfCounters none;
    PerfCounters& counters = counters_ != nullptr ? *counters_ : none;
    nlohmann::json sample = nlohmann::json::object();
    sample["时间"] = environment_.timestamp();
    sample["阶段"] = phase_;
    sample["已启用"] = counters.engineEnabled.load() != 0;
    sample["执行线程"] = counters.activeJobs.load();
    sample["进程"] = readProcesses();
    sample["输入回调"] = takeTimingStat(counters.hookTime);
    sample["发键调用"] = takeTimingStat(counters.keySend);
    sample["调度迟到"] = takeTimingStat(counters.timerOvershoot);
    sample["序列排队"] = takeTimingStat(counters.lockWait);
    sample["界面心跳"] = takeTimingStat(counters.uiHeartbeat);
    samples_.push_back(sample);

    {
        std::ofstream out(folder_ / u8"采样.jsonl", std::ios::binary | std::ios::app);
        const std::string line = sample.dump() + "\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        out.close();
        if (!out) {
            throw std::runtime_error("性能采样日志写入失败");
        }
    }

    const std::int64_t elapsed = (environment_.counter() - start_) * 1000 / environment_.frequency;
    if (elapsed >= maximumMilliseconds) {
        finish();
    }
}

void PerformanceSampler::mark(const std::string& label) {
    phase_ = label;
    marks_.push_back({{"时间", environment_.timestamp()}, {"阶段", label}});
}

void PerformanceSampler::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    const nlohmann::json report = {{"采样", samples_}, {"阶段标记", marks_}, {"限制", reportLimits}};
    writeFileAtomically(folder_ / u8"报告.json", report.dump(2));

    std::string table = "时间,阶段,已启用,执行线程\n";
    for (const nlohmann::json& sample : samples_) {
        table += sample.at("时间").get<std::string>() + "," + sample.at("阶段").get<std::string>() + "," +
                 (sample.at("已启用").get<bool>() ? "true" : "false") + "," +
                 std::to_string(sample.at("执行线程").get<std::int64_t>()) + "\n";
    }
    writeFileAtomically(folder_ / u8"采样数据.csv", table);

    const std::string summary =
        "Kestrava Vantix 性能检测\n采样次数：" + std::to_string(samples_.size()) +
        "\n完整进程CPU、内存及内部耗时见同目录报告.json。\nCtrl+Shift+F6/F7/F8 "
        "标记关闭宏、空打、命中，F9 结束采样。\n没有采集游戏帧率，不能据此宣称解决游戏掉帧。\n";
    writeFileAtomically(folder_ / u8"性能报告.txt", summary);
    log_.write(LogLevel::Info, "性能检测已结束，报告已保存");
}

} // namespace kes
