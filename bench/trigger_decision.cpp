// What the keyboard hook's decision costs per event, for profiles of 1, 100 and 1000 macros.
//   kes_bench_trigger_decision [rounds=200000]
#include "BenchSupport.h"
#include "engine/Engine.h"

#include <cstdlib>

namespace {

// `count` macros of every behaviour on triggers spread over F1..F24 with Ctrl, Alt or Shift before them, or
// (worst case) all on Ctrl + F8.
kes::Profile profileOf(int count, bool allOnOneKey) {
    static const char* const behaviors[] = {"once", "hold", "latch", "repeat"};
    kes::Profile profile;
    for (int i = 0; i < count; ++i) {
        kes::Macro macro;
        macro.id = i + 1;
        macro.behavior = allOnOneKey ? "once" : behaviors[i % 4];
        macro.triggerKey = allOnOneKey ? 119 : 112 + i % 24;
        macro.modifiers = {i % 3 == 0 ? 17 : i % 3 == 1 ? 18 : 16};
        // Repeat keys on the keypad digits, the other macros type letters.
        macro.steps = {{{macro.behavior == "repeat" ? 96 + i % 10 : 65 + i % 26}, 30, 50}};
        profile.macros.push_back(macro);
    }
    return profile;
}

struct Events {
    const char* name;
    std::vector<int> keys;
};

double nsPerEvent(kes::Engine& engine, const std::vector<int>& keys, int rounds) {
    const std::int64_t start = kes::platform::performanceCounter();
    std::size_t swallowed = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int vk : keys) {
            swallowed += engine.onKey(vk, true, false);
            swallowed += engine.onKey(vk, false, false);
        }
    }
    const double us = kes::bench::ticksToMicroseconds(kes::platform::performanceCounter() - start);
    if (swallowed != 0) {
        std::printf("  (unexpected: %zu events swallowed)\n", swallowed);
    }
    return us * 1000.0 / (static_cast<double>(rounds) * static_cast<double>(keys.size()) * 2.0);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200000;
    kes::Log log;
    kes::bench::prepareLog(log, "trigger");
    // Typing (keys no macro uses), and trigger keys pressed without their modifier: every candidate macro is
    // examined and none starts, so no thread creation is timed.
    const std::vector<Events> workloads = {
        {"typing keys", {65, 83, 68, 70, 32, 13}},
        {"triggers without modifier", {112, 113, 119, 123, 135}},
    };
    std::printf("onKey cost, ns per event (down and up counted separately)\n");
    for (const bool allOnOneKey : {false, true}) {
        for (const int count : {1, 100, 1000}) {
            kes::Engine engine(
                log, nullptr, true, [](unsigned char, unsigned char, unsigned long) {},
                [](const std::wstring&) { return true; });
            engine.apply(true, profileOf(count, allOnOneKey));
            std::printf("  %4d macros%s:", count, allOnOneKey ? " all on Ctrl+F8" : "               ");
            for (const Events& workload : workloads) {
                std::printf("  %s %7.1f", workload.name,
                            nsPerEvent(engine, workload.keys, rounds / count + 1000));
            }
            std::printf("\n");
            engine.stop();
        }
    }
    return 0;
}
