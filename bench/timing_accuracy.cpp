// How exactly a job keeps to its absolute time line, and what that costs in processor time.
//   kes_bench_timing_accuracy [steps=1000] [sequence-steps=25]
#include "BenchSupport.h"
#include "engine/Engine.h"
#include "engine/PerfCounters.h"

#include <cstdlib>
#include <memory>

namespace {

struct Run {
    std::vector<std::int64_t> times; // performance counter of every key event
    double cpuMs = 0;
    double wallMs = 0;
    kes::PerfCounters counters;
};

// Plays one "once" macro of `steps` single-key steps and timestamps every event it sends.
std::unique_ptr<Run> play(kes::Log& log, int steps, int hold, int gap) {
    auto run = std::make_unique<Run>();
    run->times.reserve(static_cast<std::size_t>(steps) * 2);
    kes::Engine engine(
        log, &run->counters, true,
        [&](unsigned char, unsigned char, unsigned long) {
            run->times.push_back(kes::platform::performanceCounter());
        },
        [](const std::wstring&) { return true; });
    kes::Macro macro;
    macro.id = 1;
    macro.behavior = "once";
    macro.triggerKey = 119;
    for (int i = 0; i < steps; ++i) {
        macro.steps.push_back({{65}, hold, gap});
    }
    engine.apply(true, kes::Profile{L"", {macro}});

    const double cpuBefore = kes::bench::processCpuMs();
    const std::int64_t start = kes::platform::performanceCounter();
    engine.onKey(119, true, false);
    engine.onKey(119, false, false);
    // Sleep through the playback, so that this thread adds next to nothing to the process's time.
    kes::platform::sleepMilliseconds(static_cast<unsigned>(steps * (hold + gap) - gap));
    engine.waitIdle();
    run->wallMs = kes::bench::ticksToMicroseconds(kes::platform::performanceCounter() - start) / 1000.0;
    run->cpuMs = kes::bench::processCpuMs() - cpuBefore;
    engine.stop();
    return run;
}

void report(const char* title, const Run& run, int hold, int gap) {
    std::vector<double> lateness;
    const std::int64_t origin = run.times.front();
    const std::int64_t frequency = kes::platform::performanceFrequency();
    for (std::size_t k = 0; k < run.times.size(); ++k) {
        // Step k/2 goes down at (k/2)(hold+gap) ms after the first event and comes up `hold` ms later.
        const std::int64_t offsetMs =
            static_cast<std::int64_t>(k / 2) * (hold + gap) + (k % 2 == 1 ? hold : 0);
        const std::int64_t ideal = origin + frequency * offsetMs / 1000;
        lateness.push_back(kes::bench::ticksToMicroseconds(run.times[k] - ideal));
    }
    const double playbackS = kes::bench::ticksToMicroseconds(run.times.back() - run.times.front()) / 1e6;
    std::printf("%s\n", title);
    std::printf("  events               %zu over %.3f s (wall %.1f ms)\n", run.times.size(), playbackS,
                run.wallMs);
    std::printf("  lateness p50         %8.1f us\n", kes::bench::percentile(lateness, 0.50));
    std::printf("  lateness p99         %8.1f us\n", kes::bench::percentile(lateness, 0.99));
    std::printf("  lateness max         %8.1f us\n", *std::max_element(lateness.begin(), lateness.end()));
    std::printf("  lateness min         %8.1f us\n", *std::min_element(lateness.begin(), lateness.end()));
    std::printf("  drift of last event  %8.1f us\n", lateness.back());
    const double overshootMean = run.counters.timerOvershoot.count > 0
                                     ? static_cast<double>(run.counters.timerOvershoot.totalNs) /
                                           static_cast<double>(run.counters.timerOvershoot.count) / 1000.0
                                     : 0.0;
    std::printf("  timer overshoot      mean %.1f us, max %.1f us over %lld waits\n", overshootMean,
                static_cast<double>(run.counters.timerOvershoot.maxNs) / 1000.0,
                static_cast<long long>(run.counters.timerOvershoot.count));
    std::printf("  process CPU          %.1f ms per s of playback (%.2f %% of one core)\n",
                run.cpuMs / (run.wallMs / 1000.0), run.cpuMs / run.wallMs * 100.0);
}

} // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int sequenceSteps = argc > 2 ? std::atoi(argv[2]) : 25;
    kes::Log log;
    kes::bench::prepareLog(log, "timing");

    const auto fast = play(log, steps, 1, 1);
    report("1 ms hold / 1 ms gap", *fast, 1, 1);
    const auto typical = play(log, sequenceSteps, 30, 50);
    report("30 ms hold / 50 ms gap", *typical, 30, 50);
    return 0;
}
