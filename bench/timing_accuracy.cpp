// How exactly a triggered macro keeps its time line, measured from the trigger press as a game would see it,
// and what that costs in processor time. Every figure is printed beside the same figure of a reference player
// that sleeps between its key calls, as script tools do, on the same step list in the same process.
//   kes_bench_timing_accuracy [seconds=10] [short-runs=5]
// Each long run lasts about `seconds` (at least 10 s for the CPU figure); the short runs trigger a 10-step
// 30/50 ms macro on a fresh engine each, so the first trigger after start is measured as often as asked.
#include "BenchSupport.h"
#include "engine/Engine.h"
#include "engine/KeyOutput.h"
#include "engine/PerfCounters.h"

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

constexpr int triggerKey = 119; // F8
constexpr int playedKey = 65;   // A

// Every key event a player sent, timestamped, and what the run cost.
struct Run {
    std::int64_t trigger = 0;   // counter value at the start of the trigger press
    std::int64_t hookTicks = 0; // the engine's own time in the trigger press's hook call
    std::vector<std::int64_t> times;
    double cpuMs = 0;
    double wallMs = 0;
};

struct Figures {
    double p50 = 0, p99 = 0, max = 0; // lateness from the trigger, us
    double ownP99 = 0;                // lateness along the player's own time line (from its first key), us
    double drift = 0;                 // lateness of the last event, us
    double shortestHold = 0;          // ms
    double shortestGap = 0;           // ms
    double firstKey = 0;              // trigger to first key, us
    double hook = 0;                  // us
    double cpuPercent = 0;            // of one core
};

double us(std::int64_t ticks) {
    return kes::bench::ticksToMicroseconds(ticks);
}

Figures measure(const Run& run, int hold, int gap) {
    Figures figures;
    const std::int64_t frequency = kes::platform::performanceFrequency();
    std::vector<double> fromTrigger;
    std::vector<double> fromFirst;
    for (std::size_t k = 0; k < run.times.size(); ++k) {
        // Step k/2 goes down (k/2)(hold+gap) ms into the sequence and comes up `hold` ms later.
        const std::int64_t offsetMs =
            static_cast<std::int64_t>(k / 2) * (hold + gap) + (k % 2 == 1 ? hold : 0);
        const std::int64_t offset = frequency * offsetMs / 1000;
        fromTrigger.push_back(us(run.times[k] - (run.trigger + offset)));
        fromFirst.push_back(us(run.times[k] - (run.times.front() + offset)));
    }
    if (fromTrigger.empty()) {
        return figures;
    }
    figures.p50 = kes::bench::percentile(fromTrigger, 0.50);
    figures.p99 = kes::bench::percentile(fromTrigger, 0.99);
    figures.max = *std::max_element(fromTrigger.begin(), fromTrigger.end());
    figures.ownP99 = kes::bench::percentile(fromFirst, 0.99);
    figures.drift = fromTrigger.back();
    figures.shortestHold = 1e9;
    figures.shortestGap = 1e9;
    for (std::size_t k = 0; k + 1 < run.times.size(); ++k) {
        const double length = us(run.times[k + 1] - run.times[k]) / 1000.0;
        double& shortest = k % 2 == 0 ? figures.shortestHold : figures.shortestGap;
        shortest = std::min(shortest, length);
    }
    figures.firstKey = us(run.times.front() - run.trigger);
    figures.hook = us(run.hookTicks);
    figures.cpuPercent = run.wallMs > 0 ? run.cpuMs / run.wallMs * 100.0 : 0;
    return figures;
}

// Plays a "once" macro of `steps` single-key steps on a fresh engine, triggered as the hook would.
Run playEngine(kes::Log& log, int steps, int hold, int gap) {
    Run run;
    run.times.reserve(static_cast<std::size_t>(steps) * 2);
    kes::Engine engine(
        log, nullptr, true,
        [&](unsigned char, unsigned char, unsigned long) {
            run.times.push_back(kes::platform::performanceCounter());
        },
        [](const std::wstring&) { return true; });
    kes::Macro macro;
    macro.id = 1;
    macro.behavior = "once";
    macro.triggerKey = triggerKey;
    for (int i = 0; i < steps; ++i) {
        macro.steps.push_back({{playedKey}, hold, gap});
    }
    engine.apply(true, kes::Profile{L"", {macro}});
    // Let whatever the engine starts with settle, as it would between start-up and the first game key.
    kes::platform::sleepMilliseconds(50);

    const double cpuBefore = kes::bench::processCpuMs();
    run.trigger = kes::platform::performanceCounter();
    engine.onKey(triggerKey, true, false);
    run.hookTicks = kes::platform::performanceCounter() - run.trigger;
    engine.onKey(triggerKey, false, false);
    // Sleep through the playback, so that this thread adds next to nothing to the process's time.
    kes::platform::sleepMilliseconds(static_cast<unsigned>(steps * (hold + gap) - gap));
    // A job that fell behind moved its time line on, so on a busy machine it may end well after its time.
    for (int attempt = 0;; ++attempt) {
        try {
            engine.waitIdle();
            break;
        } catch (const std::runtime_error&) {
            if (attempt == 60) {
                throw;
            }
        }
    }
    run.wallMs = us(kes::platform::performanceCounter() - run.trigger) / 1000.0;
    run.cpuMs = kes::bench::processCpuMs() - cpuBefore;
    engine.stop();
    return run;
}

// The reference: a thread that is already waiting when the trigger comes, then sends each key and sleeps the
// hold or the gap, as a script tool does.
Run playSleeping(int steps, int hold, int gap) {
    Run run;
    run.times.reserve(static_cast<std::size_t>(steps) * 2);
    const kes::KeySender sender = [&](unsigned char, unsigned char, unsigned long) {
        run.times.push_back(kes::platform::performanceCounter());
    };
    const auto send = [&](unsigned long flags) {
        const kes::KeyEventArgs args = kes::keyEventArgs(playedKey);
        sender(static_cast<unsigned char>(playedKey), args.scan, flags);
    };
    std::mutex mutex;
    std::condition_variable triggered;
    bool go = false;
    std::thread player([&] {
        {
            std::unique_lock lock(mutex);
            triggered.wait(lock, [&] { return go; });
        }
        for (int i = 0; i < steps; ++i) {
            send(0);
            kes::platform::sleepMilliseconds(static_cast<unsigned>(hold));
            send(kes::keyEventKeyUp);
            if (i + 1 < steps) {
                kes::platform::sleepMilliseconds(static_cast<unsigned>(gap));
            }
        }
    });
    kes::platform::sleepMilliseconds(50);

    const double cpuBefore = kes::bench::processCpuMs();
    run.trigger = kes::platform::performanceCounter();
    {
        std::lock_guard lock(mutex);
        go = true;
    }
    triggered.notify_one();
    run.hookTicks = kes::platform::performanceCounter() - run.trigger;
    player.join();
    run.wallMs = us(kes::platform::performanceCounter() - run.trigger) / 1000.0;
    run.cpuMs = kes::bench::processCpuMs() - cpuBefore;
    return run;
}

double ratio(double reference, double engine) {
    return engine != 0 ? reference / engine : 0;
}

void printRow(const char* name, double engine, double reference, const char* unit) {
    std::printf("  %-28s %10.1f %s   reference %10.1f %s   ratio %7.1f\n", name, engine, unit, reference,
                unit, ratio(reference, engine));
}

void report(const char* title, const std::vector<Run>& engineRuns, const std::vector<Run>& referenceRuns,
            int hold, int gap) {
    std::printf("%s (%zu run%s of %zu events)\n", title, engineRuns.size(), engineRuns.size() == 1 ? "" : "s",
                engineRuns.front().times.size());
    for (std::size_t i = 0; i < engineRuns.size(); ++i) {
        const Figures e = measure(engineRuns[i], hold, gap);
        const Figures r = measure(referenceRuns[i], hold, gap);
        std::printf(" run %zu (wall %.0f ms)\n", i + 1, engineRuns[i].wallMs);
        printRow("lateness p50", e.p50, r.p50, "us");
        printRow("lateness p99", e.p99, r.p99, "us");
        printRow("lateness max", e.max, r.max, "us");
        printRow("own time line p99", e.ownP99, r.ownP99, "us");
        printRow("drift of last event", e.drift, r.drift, "us");
        std::printf("  %-28s %10.3f ms   reference %10.3f ms   (set %d ms)\n", "shortest hold",
                    e.shortestHold, r.shortestHold, hold);
        std::printf("  %-28s %10.3f ms   reference %10.3f ms   (set %d ms)\n", "shortest gap", e.shortestGap,
                    r.shortestGap, gap);
        printRow("trigger to first key", e.firstKey, r.firstKey, "us");
        std::printf("  %-28s %10.1f us   (reference: waking its waiting thread %.1f us)\n",
                    "trigger press in the hook", e.hook, r.hook);
        std::printf("  %-28s %10.2f %%    reference %10.2f %%\n", "CPU of one core", e.cpuPercent,
                    r.cpuPercent);
    }
}

void longRun(kes::Log& log, const char* title, int seconds, int hold, int gap) {
    const int steps = std::max(1, seconds * 1000 / (hold + gap));
    std::vector<Run> engineRuns{playEngine(log, steps, hold, gap)};
    std::vector<Run> referenceRuns{playSleeping(steps, hold, gap)};
    report(title, engineRuns, referenceRuns, hold, gap);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 10);
    const int shortRuns = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    kes::Log log;
    kes::bench::prepareLog(log, "timing");

    // Short runs first, so that the first one is the first trigger after the process started.
    std::vector<Run> engineRuns;
    std::vector<Run> referenceRuns;
    for (int i = 0; i < shortRuns; ++i) {
        engineRuns.push_back(playEngine(log, 10, 30, 50));
        referenceRuns.push_back(playSleeping(10, 30, 50));
    }
    report("30 ms hold / 50 ms gap, fresh engine per trigger", engineRuns, referenceRuns, 30, 50);
    longRun(log, "30 ms hold / 50 ms gap, long run", seconds, 30, 50);
    longRun(log, "1 ms hold / 1 ms gap, long run", seconds, 1, 1);
    return 0;
}
