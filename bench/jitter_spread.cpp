// How a macro with random delays spreads its holds and gaps, and whether its time line stays drift-free:
// one "once" macro of one step (hold 20 ms, gap 30 ms, jitter 10 ms) played `rounds` times in a row. The
// draws go through the engine's own random source, recorded on the way, so every key event's due time is
// known: the sum of the drawn times before it on one absolute time line from the first key.
//   kes_bench_jitter_spread [rounds=400]
#include "BenchSupport.h"
#include "engine/Engine.h"
#include "engine/RandomDelay.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace {

constexpr int triggerKey = 119; // F8
constexpr int playedKey = 65;   // A
constexpr int hold = 20, gap = 30, jitter = 10;

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 400;
    std::mutex mutex;
    std::vector<std::int64_t> times;
    std::vector<int> draws;
    kes::EngineServices services;
    services.drawMilliseconds = [&](int low, int high) {
        const int drawn = kes::drawUniformly(low, high);
        std::lock_guard lock(mutex);
        draws.push_back(drawn);
        return drawn;
    };
    kes::Log log;
    kes::bench::prepareLog(log, "jitter");
    kes::Engine engine(
        log, nullptr, true,
        [&](unsigned char, unsigned char, unsigned long) {
            const std::int64_t now = kes::platform::performanceCounter();
            std::lock_guard lock(mutex);
            times.push_back(now);
        },
        [](const std::wstring&) { return true; }, std::move(services));
    kes::Macro macro;
    macro.id = 1;
    macro.behavior = "once";
    macro.triggerKey = triggerKey;
    macro.steps = {kes::Step{{playedKey}, hold, gap}};
    macro.playCount = rounds;
    macro.jitter = jitter;
    kes::Profile profile;
    profile.macros = {macro};
    engine.apply(true, profile);
    engine.onKey(triggerKey, true, false);
    engine.onKey(triggerKey, false, false);
    while (true) {
        {
            std::lock_guard lock(mutex);
            if (times.size() >= static_cast<std::size_t>(2 * rounds)) {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    engine.waitIdle();
    engine.stop();

    // Draws alternate hold, gap, hold, ...; the last round's gap is not waited and not drawn.
    std::map<int, int> holdCounts, gapCounts;
    double sum[2] = {0, 0}, squares[2] = {0, 0};
    int count[2] = {0, 0};
    for (std::size_t i = 0; i < draws.size(); ++i) {
        const int kind = static_cast<int>(i % 2);
        (kind == 0 ? holdCounts : gapCounts)[draws[i]] += 1;
        sum[kind] += draws[i];
        squares[kind] += static_cast<double>(draws[i]) * draws[i];
        count[kind] += 1;
    }
    const double expectedSd = std::sqrt(((2.0 * jitter + 1) * (2.0 * jitter + 1) - 1) / 12.0);
    for (int kind = 0; kind < 2; ++kind) {
        const double mean = sum[kind] / count[kind];
        const double sd = std::sqrt(squares[kind] / count[kind] - mean * mean);
        const auto& counts = kind == 0 ? holdCounts : gapCounts;
        std::printf("%s: %d draws, %d..%d ms (set %d ± %d), mean %.2f ms, sd %.2f ms (even spread: %.2f), "
                    "%zu of %d values seen\n",
                    kind == 0 ? "holds" : "gaps", count[kind], counts.begin()->first, counts.rbegin()->first,
                    kind == 0 ? hold : gap, jitter, mean, sd, expectedSd, counts.size(), 2 * jitter + 1);
    }

    // Lateness of every event against its due time from the first key down.
    std::vector<double> lateness;
    double due = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
        if (k > 0) {
            due += draws[k - 1];
        }
        lateness.push_back(kes::bench::ticksToMicroseconds(times[k] - times.front()) - due * 1000.0);
    }
    std::printf(
        "time line over %d rounds (%.1f s): lateness p50 %.0f us, p99 %.0f us, max %.0f us; last event %.0f "
        "us "
        "late (drift), first half p50 %.0f us, second half p50 %.0f us\n",
        rounds, due / 1000.0, kes::bench::percentile(lateness, 0.5), kes::bench::percentile(lateness, 0.99),
        kes::bench::percentile(lateness, 1.0), lateness.back(),
        kes::bench::percentile({lateness.begin(), lateness.begin() + static_cast<long>(lateness.size() / 2)},
                               0.5),
        kes::bench::percentile({lateness.begin() + static_cast<long>(lateness.size() / 2), lateness.end()},
                               0.5));
    return 0;
}
