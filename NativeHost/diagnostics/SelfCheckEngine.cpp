#include "diagnostics/RecordingKeySender.h"
#include "diagnostics/SelfCheckParts.h"
#include "engine/Engine.h"
#include "engine/KeyNames.h"
#include "engine/Profile.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

namespace kes::selfcheck {
namespace {

constexpr int keyA = 65;
constexpr int keyC = 67;
constexpr int keyD = 68;
constexpr int keyE = 69;
constexpr int keyF8 = 119;
constexpr int keyF12 = 123;
constexpr int keyCtrl = 17;
constexpr int keyShift = 16;

nlohmann::json step(const char* key) {
    return {{"key", key}, {"hold", 5}, {"gap", 5}};
}

nlohmann::json macro(int id, const char* behavior, const char* trigger, nlohmann::json steps) {
    return {{"id", id},
            {"enabled", true},
            {"behavior", behavior},
            {"trigger", trigger},
            {"steps", std::move(steps)}};
}

Profile profile(const char* program, nlohmann::json macros) {
    return parseProfile({{"program", program}, {"macros", std::move(macros)}});
}

ProgramMatcher alwaysMatching() {
    return [](const std::wstring&) {
        return true;
    };
}

// How long a check that must see no key event waits for one that a wrongly started job would send.
constexpr auto quietWait = std::chrono::milliseconds(50);

std::size_t countAfterQuietWait(const RecordingKeySender& recorder) {
    std::this_thread::sleep_for(quietWait);
    return recorder.count();
}

bool isKeyUp(const RecordedKeyEvent& event) {
    return (event.flags & keyUpFlag) != 0;
}

void checkBehaviour(Log& log, const CheckedEngineMaker& makeEngine, const char* behavior) {
    const std::string name = behavior;
    const bool loops = name == "hold" || name == "repeat";
    const int testKey = name == "repeat" ? keyA : keyF8;

    RecordingKeySender recorder;
    auto engine = makeEngine(log, recorder.sender(), alwaysMatching());
    engine->apply(true, profile("", {macro(1, behavior, "F8", {step("A")})}));

    require(!engine->onKey(testKey, true, true), "注入事件被递归处理");
    require(countAfterQuietWait(recorder) == 0, "注入事件触发了宏");
    require(engine->onKey(testKey, true, false), "触发键未处理");
    require(recorder.waitForMoreThan(0) >= 1, "宏未产生按下事件");
    if (loops) {
        require(recorder.waitForMoreThan(3) > 3, "循环没有执行下一轮");
    }
    if (name == "latch") {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        require(recorder.count() == 1, "保持末键被重复按下或提前释放");
    }
    engine->onKey(testKey, false, false);
    engine->waitIdle();
    engine->stop();

    const std::vector<RecordedKeyEvent> events = recorder.events();
    require(events.front().vk == keyA && events.front().flags == 0, "按下事件错误");
    require(isKeyUp(events.back()), "停止后未释放按键");
}

} // namespace

void checkKeyTexts() {
    require(parseKeyList(" S + D + I + S ", true) == std::vector<int>{83, 68, 73}, "组合键解析错误");
    require(parseKeyName("F24") == 135 && parseKeyName("Num9") == 105 && parseKeyName(";") == 186,
            "特殊键解析错误");
}

void checkBehaviours(Log& log, const CheckedEngineMaker& makeEngine) {
    for (const char* behavior : {"once", "hold", "repeat", "latch"}) {
        checkBehaviour(log, makeEngine, behavior);
    }
}

void checkReleaseOrder(Log& log, const CheckedEngineMaker& makeEngine) {
    RecordingKeySender recorder;
    auto engine = makeEngine(log, recorder.sender(), alwaysMatching());
    engine->apply(true, profile("", {macro(1, "latch", "F8", {step("A + D")})}));
    engine->onKey(keyF8, true, false);
    recorder.waitForMoreThan(1);
    engine->stop();
    const std::vector<RecordedKeyEvent> events = recorder.events();
    require(events.size() == 4 && events[2].vk == keyD && events[3].vk == keyA, "组合按键未反序释放");
}

void checkModifiersProgramAndSwitchOff(Log& log, const CheckedEngineMaker& makeEngine) {
    // Shared with the matcher, which job threads may call until the engine is gone.
    auto inForeground = std::make_shared<std::atomic<bool>>(true);
    RecordingKeySender recorder;
    auto engine = makeEngine(log, recorder.sender(),
                             [inForeground](const std::wstring&) { return inForeground->load(); });
    engine->apply(true, profile("测试.exe", {macro(1, "latch", "Ctrl + F8", {step("A")})}));

    engine->onKey(keyF8, true, false);
    engine->onKey(keyF8, false, false);
    require(countAfterQuietWait(recorder) == 0, "缺少修饰键仍被触发");

    engine->onKey(keyCtrl, true, false);
    engine->onKey(keyF8, true, false);
    recorder.waitForMoreThan(0);
    engine->onKey(keyCtrl, false, false);
    engine->onKey(keyF8, false, false);
    engine->waitIdle();
    require(recorder.count() == 2, "先松开修饰键时末键没有释放");

    engine->onKey(keyCtrl, true, false);
    engine->onKey(keyF8, true, false);
    recorder.waitForMoreThan(2);
    inForeground->store(false);
    engine->checkForeground();
    engine->waitIdle();
    require(recorder.count() == 4, "切换生效程序后没有释放");

    inForeground->store(true);
    engine->onKey(keyF8, false, false);
    engine->onKey(keyF8, true, false);
    recorder.waitForMoreThan(4);

    engine->onKey(keyShift, true, false);
    const bool f12Swallowed = engine->onKey(keyF12, true, false);
    require(!f12Swallowed && engine->isEnabled(), "旧紧急停止组合键仍被拦截");

    engine->stop();
    const std::vector<RecordedKeyEvent> events = recorder.events();
    require(!engine->isEnabled() && events.size() == 6 && events.back().vk == keyA && isKeyUp(events.back()),
            "关闭宏没有释放末键");
}

void checkSimultaneousMatch(Log& log, const CheckedEngineMaker& makeEngine) {
    RecordingKeySender recorder;
    auto engine = makeEngine(log, recorder.sender(), alwaysMatching());
    engine->apply(true, profile("", {macro(1, "once", "F8", {step("A"), step("C")}),
                                     macro(2, "once", "F8", {step("D"), step("E")})}));
    engine->onKey(keyF8, true, false);
    engine->waitIdle();
    const std::vector<RecordedKeyEvent> events = recorder.events();
    require(events.size() == 8, "同时匹配的两条宏未完整执行");
    const std::vector<int> pressed{events[0].vk, events[2].vk, events[4].vk, events[6].vk};
    require(pressed == std::vector<int>{keyA, keyC, keyD, keyE} ||
                pressed == std::vector<int>{keyD, keyE, keyA, keyC},
            "两条宏的序列相互穿插");
}

} // namespace kes::selfcheck
