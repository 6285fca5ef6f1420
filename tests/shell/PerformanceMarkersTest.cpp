#include "shell/PerformanceMarkers.h"

#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

struct MarkerTest : ::testing::Test {
    kes::test::ContextFixture fixture{"markers"};
    kes::PerfCounters counters;

    kes::PerformanceSampler& startSampler() {
        fixture.context.sampler =
            std::make_unique<kes::PerformanceSampler>(fixture.root / "logs", fixture.context.log, &counters);
        return *fixture.context.sampler;
    }
};

} // namespace

TEST_F(MarkerTest, CtrlShiftF6ToF9AreRegisteredUnderIds6To9AndEachRefusalIsLogged) {
    EXPECT_EQ(kes::markerHotkeyModifiers, kes::platform::HotkeyControl | kes::platform::HotkeyShift);
    std::map<int, int> keys;
    kes::registerMarkerHotkeys(fixture.context.log, [&keys](int id, int vk) {
        keys[id] = vk;
        return id != 7 && id != 9; // another program holds Ctrl+Shift+F7 and F9
    });
    EXPECT_EQ(keys, (std::map<int, int>{{6, 0x75}, {7, 0x76}, {8, 0x77}, {9, 0x78}}));
    const std::string errors = fixture.errorLog();
    const std::string line = std::string("] ") + kes::markerHotkeyTakenMessage + "\n";
    const std::size_t first = errors.find(line);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_NE(errors.find(line, first + 1), std::string::npos) << "one line per refused marker";
    EXPECT_EQ(errors.find(line, errors.find(line, first + 1) + 1), std::string::npos);
}

TEST_F(MarkerTest, F6ToF8MarkTheirPhasesAndF9EndsTheSampling) {
    kes::PerformanceSampler& sampler = startSampler();
    const std::vector<std::pair<int, std::string>> marks = {{7, "空打"}, {6, "关闭宏"}, {8, "命中"}};
    for (const auto& [id, label] : marks) {
        EXPECT_TRUE(kes::handleMarkerHotkey(fixture.context, id));
        EXPECT_EQ(sampler.phase(), label);
    }
    EXPECT_FALSE(sampler.finished());
    EXPECT_TRUE(kes::handleMarkerHotkey(fixture.context, 9));
    EXPECT_TRUE(sampler.finished());
    const nlohmann::json report =
        nlohmann::json::parse(kes::test::readAll(sampler.folder() / fs::path(u8"报告.json")));
    ASSERT_EQ(report.at("阶段标记").size(), 3u);
    for (std::size_t i = 0; i < marks.size(); ++i)
        EXPECT_EQ(report.at("阶段标记")[i].at("阶段"), marks[i].second);
}

TEST_F(MarkerTest, WithoutSamplerNothingIsDoneAndOtherIdsMarkAHit) {
    for (const int id : {6, 7, 8, 9, 42})
        EXPECT_FALSE(kes::handleMarkerHotkey(fixture.context, id)) << id;
    kes::PerformanceSampler& sampler = startSampler();
    EXPECT_TRUE(kes::handleMarkerHotkey(fixture.context, 6));
    EXPECT_TRUE(kes::handleMarkerHotkey(fixture.context, 42));
    EXPECT_EQ(sampler.phase(), "命中");
    EXPECT_FALSE(sampler.finished());
}

TEST_F(MarkerTest, AReportThatCannotBeWrittenAtF9IsLogged) {
    kes::PerformanceSampler& sampler = startSampler();
    fs::create_directories(sampler.folder() / fs::path(u8"报告.json"));
    EXPECT_TRUE(kes::handleMarkerHotkey(fixture.context, 9));
    EXPECT_TRUE(sampler.finished());
    EXPECT_NE(fixture.errorLog().find("替换文件失败，原文件已保留"), std::string::npos);
}
