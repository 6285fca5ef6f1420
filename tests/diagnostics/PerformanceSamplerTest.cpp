#include "diagnostics/PerformanceSampler.h"

#include "platform/Process.h"
#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace fs = std::filesystem;
using kes::platform::ProcessEntry;
using kes::platform::ProcessMemory;
using kes::platform::ProcessTimes;

namespace {

// A process list the test edits between samples.
struct ScriptedProcess {
    ProcessEntry entry;
    bool opens = true;
    std::optional<ProcessTimes> times = ProcessTimes{};
    std::optional<ProcessMemory> memory = ProcessMemory{};
};

class ScriptedSource final : public kes::ProcessSource {
public:
    std::vector<ProcessEntry> snapshot() override {
        std::vector<ProcessEntry> entries;
        for (const auto& [id, process] : processes) {
            entries.push_back(process.entry);
        }
        return entries;
    }
    std::unique_ptr<kes::platform::InspectedProcess> open(std::uint32_t id) override {
        opened.push_back(id);
        const auto found = processes.find(id);
        if (found == processes.end() || !found->second.opens) {
            return nullptr;
        }
        return std::make_unique<Handle>(found->second);
    }

    void add(std::uint32_t id, std::uint32_t parent, const std::string& name) {
        processes[id].entry = {id, parent, name};
    }

    std::map<std::uint32_t, ScriptedProcess> processes;
    std::vector<std::uint32_t> opened;

private:
    struct Handle final : kes::platform::InspectedProcess {
        explicit Handle(ScriptedProcess process) : process_(std::move(process)) {}
        std::optional<ProcessTimes> times() override { return process_.times; }
        std::optional<ProcessMemory> memory() override { return process_.memory; }
        ScriptedProcess process_;
    };
};

constexpr std::uint32_t ownId = 500;

struct SamplerTest : ::testing::Test {
    kes::test::ContextFixture fixture{"sampler"};
    std::shared_ptr<ScriptedSource> source = std::make_shared<ScriptedSource>();
    kes::PerfCounters counters;
    std::int64_t now = 1000; // milliseconds: the counter runs at 1000 per second
    int stamps = 0;

    std::unique_ptr<kes::PerformanceSampler> make() {
        kes::SamplerEnvironment environment;
        environment.processes = source;
        environment.counter = [this] {
            return now;
        };
        environment.frequency = 1000;
        environment.timestamp = [this] {
            std::string stamp = std::to_string(++stamps);
            stamp.insert(stamp.begin(), 'T');
            return stamp;
        };
        environment.ownProcessId = ownId;
        return std::make_unique<kes::PerformanceSampler>(fixture.root / "logs", fixture.context.log,
                                                         &counters, environment);
    }

    static const nlohmann::json* processEntry(const nlohmann::json& sample, std::uint32_t id) {
        for (const nlohmann::json& entry : sample.at("进程")) {
            if (entry.at("pid") == id) {
                return &entry;
            }
        }
        return nullptr;
    }
};

} // namespace

TEST_F(SamplerTest, FolderIsUnderTheLogDirectoryAndStartIsLogged) {
    const auto sampler = make();
    EXPECT_TRUE(fs::is_directory(sampler->folder()));
    EXPECT_EQ(sampler->folder().parent_path(), fixture.root / "logs" / fs::path(u8"性能检测"));
    EXPECT_NE(fixture.runLog().find("性能采样开始，最长五分钟，不采集游戏帧率\n"), std::string::npos);
    EXPECT_EQ(sampler->phase(), "未标记");
}

TEST_F(SamplerTest, OwnTreeAndGameProcessesAreChosen) {
    source->add(1, 0, "init");
    source->add(ownId, 1, "Kestrava.exe");
    source->add(600, ownId, "msedgewebview2.exe");
    source->add(601, 600, "msedgewebview2.exe");
    source->add(700, 1, "DNF.exe");
    source->add(701, 1, "mydnf.exe");
    source->add(702, 1, "dn");
    source->add(703, 1, "dnf");
    source->add(704, 1, "Dnfx.exe");
    source->add(800, 801, "loop-a"); // a parent cycle never reaches the program
    source->add(801, 800, "loop-b");
    source->add(802, 999, "orphan");
    const auto sampler = make();
    sampler->sample();
    const nlohmann::json& sample = sampler->samples().at(0);
    std::vector<std::uint32_t> ids;
    for (const nlohmann::json& entry : sample.at("进程")) {
        ids.push_back(entry.at("pid"));
    }
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{ownId, 600, 601, 700, 703, 704}));
    EXPECT_EQ(processEntry(sample, 601)->at("助手进程"), true);
    EXPECT_EQ(processEntry(sample, ownId)->at("助手进程"), true);
    EXPECT_EQ(processEntry(sample, 700)->at("助手进程"), false);
    EXPECT_EQ(processEntry(sample, 700)->at("名称"), "DNF.exe");
    EXPECT_EQ(source->opened, (std::vector<std::uint32_t>{ownId, 600, 601, 700, 703, 704}));
}

TEST_F(SamplerTest, CpuPercentNeedsTwoReadingsOfTheSameProcess) {
    source->add(700, 1, "dnf.exe");
    source->processes[700].times = ProcessTimes{11111, 40000000};
    source->processes[700].memory = ProcessMemory{4096, 8192};
    const auto sampler = make();
    sampler->sample();
    EXPECT_TRUE(processEntry(sampler->samples().at(0), 700)->at("单核CPU百分比").is_null());

    // 0.5 s of CPU time in 1000 ms: 50 %.
    now += 1000;
    source->processes[700].times = ProcessTimes{11111, 45000000};
    sampler->sample();
    const nlohmann::json& entry = *processEntry(sampler->samples().at(1), 700);
    EXPECT_DOUBLE_EQ(entry.at("单核CPU百分比").get<double>(), 50.0);
    EXPECT_EQ(entry.at("私有字节"), 4096u);
    EXPECT_EQ(entry.at("工作集字节"), 8192u);

    // The id reused by a new process (another creation time) starts again.
    now += 1000;
    source->processes[700].times = ProcessTimes{22222, 46000000};
    sampler->sample();
    EXPECT_TRUE(processEntry(sampler->samples().at(2), 700)->at("单核CPU百分比").is_null());

    // No time passed on the counter: no percentage rather than a division by zero.
    source->processes[700].times = ProcessTimes{22222, 47000000};
    sampler->sample();
    EXPECT_TRUE(processEntry(sampler->samples().at(3), 700)->at("单核CPU百分比").is_null());
}

TEST_F(SamplerTest, UnreadableProcessesAreMarkedOrLeftOut) {
    source->add(700, 1, "dnf-a.exe");
    source->processes[700].opens = false;
    source->add(701, 1, "dnf-b.exe");
    source->processes[701].times = std::nullopt;
    source->add(702, 1, "dnf-c.exe");
    source->processes[702].memory = std::nullopt;
    const auto sampler = make();
    sampler->sample();
    const nlohmann::json& sample = sampler->samples().at(0);
    EXPECT_EQ(*processEntry(sample, 700),
              (nlohmann::json{{"pid", 700}, {"名称", "dnf-a.exe"}, {"读取失败", true}}));
    EXPECT_EQ(processEntry(sample, 701), nullptr);
    EXPECT_TRUE(processEntry(sample, 702)->at("私有字节").is_null());
    EXPECT_TRUE(processEntry(sample, 702)->at("工作集字节").is_null());
}

TEST_F(SamplerTest, StatisticsReportOnlyTheIntervalAndTheLineIsAppended) {
    const auto sampler = make();
    counters.hookTime.add(1500000);
    counters.hookTime.add(500000);
    counters.keySend.add(250000);
    counters.activeJobs = 2;
    counters.engineEnabled = 1;
    sampler->sample();
    counters.hookTime.add(3000000);
    counters.engineEnabled = 0;
    counters.activeJobs = 0;
    sampler->sample();

    const nlohmann::json& first = sampler->samples().at(0);
    EXPECT_EQ(first.at("输入回调"), (nlohmann::json{{"次数", 2}, {"总毫秒", 2.0}, {"最大毫秒", 1.5}}));
    EXPECT_EQ(first.at("发键调用"), (nlohmann::json{{"次数", 1}, {"总毫秒", 0.25}, {"最大毫秒", 0.25}}));
    EXPECT_EQ(first.at("调度迟到").at("次数"), 0);
    EXPECT_EQ(first.at("已启用"), true);
    EXPECT_EQ(first.at("执行线程"), 2);
    const nlohmann::json& second = sampler->samples().at(1);
    EXPECT_EQ(second.at("输入回调"), (nlohmann::json{{"次数", 1}, {"总毫秒", 3.0}, {"最大毫秒", 3.0}}));
    EXPECT_EQ(second.at("发键调用").at("次数"), 0);
    EXPECT_EQ(second.at("已启用"), false);
    EXPECT_EQ(counters.hookTime.count.load(), 0);

    const std::string lines = kes::test::readAll(sampler->folder() / fs::path(u8"采样.jsonl"));
    EXPECT_EQ(lines, first.dump() + "\n" + second.dump() + "\n");
    EXPECT_EQ(first.dump().find(' '), std::string::npos);
}

TEST_F(SamplerTest, MarksSetThePhaseOfLaterSamples) {
    const auto sampler = make();
    sampler->sample();
    sampler->mark(kes::markerPhaseLabel(7));
    sampler->sample();
    sampler->sample();
    sampler->mark(kes::markerPhaseLabel(8));
    sampler->sample();
    EXPECT_EQ(sampler->samples().at(0).at("阶段"), "未标记");
    EXPECT_EQ(sampler->samples().at(1).at("阶段"), "空打");
    EXPECT_EQ(sampler->samples().at(2).at("阶段"), "空打");
    EXPECT_EQ(sampler->samples().at(3).at("阶段"), "命中");
    EXPECT_EQ(sampler->marks(),
              (nlohmann::json{{{"时间", "T2"}, {"阶段", "空打"}}, {{"时间", "T5"}, {"阶段", "命中"}}}));
    EXPECT_STREQ(kes::markerPhaseLabel(6), "关闭宏");
    EXPECT_STREQ(kes::markerPhaseLabel(99), "命中");
}

TEST_F(SamplerTest, EarlyEndWritesEmptyReportsOnce) {
    const auto sampler = make();
    const fs::path folder = sampler->folder();
    sampler->finish();
    EXPECT_TRUE(sampler->finished());
    EXPECT_EQ(kes::test::readAll(folder / fs::path(u8"报告.json")),
              "{\n  \"采样\": [],\n  \"阶段标记\": [],\n  \"限制\": "
              "\"区间CPU可能漏过尖峰；工作集可能重复共享页面；未读取游戏帧率，不能单独判断掉帧原因。\"\n}");
    EXPECT_EQ(kes::test::readAll(folder / fs::path(u8"采样数据.csv")), "时间,阶段,已启用,执行线程\n");
    EXPECT_EQ(kes::test::readAll(folder / fs::path(u8"性能报告.txt")),
              "Kestrava Vantix 性能检测\n采样次数：0\n完整进程CPU、内存及内部耗时见同目录报告.json。\n"
              "Ctrl+Shift+F6/F7/F8 标记关闭宏、空打、命中，F9 "
              "结束采样。\n没有采集游戏帧率，不能据此宣称解决游戏掉帧。\n");
    EXPECT_NE(fixture.runLog().find("性能检测已结束，报告已保存\n"), std::string::npos);

    // Nothing more is sampled or written; marks still change the phase in memory.
    fs::remove(folder / fs::path(u8"报告.json"));
    sampler->sample();
    sampler->finish();
    sampler->mark("空打");
    EXPECT_TRUE(sampler->samples().empty());
    EXPECT_EQ(sampler->phase(), "空打");
    EXPECT_FALSE(fs::exists(folder / fs::path(u8"报告.json")));
    EXPECT_FALSE(fs::exists(folder / fs::path(u8"采样.jsonl")));
}

TEST_F(SamplerTest, TablesListEverySample) {
    const auto sampler = make();
    counters.engineEnabled = 1;
    counters.activeJobs = 3;
    sampler->sample();
    sampler->mark("关闭宏");
    counters.engineEnabled = 0;
    counters.activeJobs = 0;
    sampler->sample();
    sampler.get()->finish();
    EXPECT_EQ(kes::test::readAll(sampler->folder() / fs::path(u8"采样数据.csv")),
              "时间,阶段,已启用,执行线程\nT1,未标记,true,3\nT3,关闭宏,false,0\n");
    const std::string summary = kes::test::readAll(sampler->folder() / fs::path(u8"性能报告.txt"));
    EXPECT_NE(summary.find("采样次数：2\n"), std::string::npos);
    const nlohmann::json report =
        nlohmann::json::parse(kes::test::readAll(sampler->folder() / fs::path(u8"报告.json")));
    EXPECT_EQ(report.at("采样"), sampler->samples());
    EXPECT_EQ(report.at("阶段标记"), sampler->marks());
}

TEST_F(SamplerTest, FiveMinutesEndTheSamplingAtTheFirstSampleAfterThem) {
    const auto sampler = make();
    now += 299999;
    sampler->sample();
    EXPECT_FALSE(sampler->finished());
    now += 1;
    sampler->sample();
    EXPECT_TRUE(sampler->finished());
    EXPECT_TRUE(fs::exists(sampler->folder() / fs::path(u8"报告.json")));
    now += 1000;
    sampler->sample();
    EXPECT_EQ(sampler->samples().size(), 2u);
}

TEST_F(SamplerTest, DestructionWritesTheReports) {
    fs::path folder;
    {
        const auto sampler = make();
        folder = sampler->folder();
        sampler->sample();
    }
    EXPECT_NE(kes::test::readAll(folder / fs::path(u8"性能报告.txt")).find("采样次数：1\n"),
              std::string::npos);
}

TEST_F(SamplerTest, UnwritableSampleLineThrows) {
    const auto sampler = make();
    fs::create_directories(sampler->folder() / fs::path(u8"采样.jsonl"));
    try {
        sampler->sample();
        FAIL() << "the sample line cannot be written";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "性能采样日志写入失败");
    }
}

TEST_F(SamplerTest, FailingReportIsLoggedAtDestruction) {
    {
        const auto sampler = make();
        fs::create_directories(sampler->folder() / fs::path(u8"报告.json"));
    }
    EXPECT_NE(fixture.errorLog().find("替换文件失败，原文件已保留"), std::string::npos);
}

TEST(SystemProcessSource, FindsTheRunningProgram) {
    const auto source = kes::systemProcessSource();
    const std::vector<ProcessEntry> entries = source->snapshot();
    const auto own = static_cast<std::uint32_t>(kes::platform::currentProcessId());
    bool found = false;
    for (const ProcessEntry& entry : entries) {
        found = found || entry.id == own;
    }
    EXPECT_TRUE(found);
    const auto process = source->open(own);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(process->times().has_value());
    EXPECT_GT(process->times()->creationTime, 0u);
    ASSERT_TRUE(process->memory().has_value());
    EXPECT_GT(process->memory()->workingSetBytes, 0u);
}
