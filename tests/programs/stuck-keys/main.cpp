// The stuck-key campaign: plays randomized schedules against the real engine; the first failures are
// printed with the seed that replays each, and every failure is counted by its kind.
//
//   kes_stuck_keys [--schedules N] [--seed FIRST] [--workers W] [--log-dir DIR]
//   kes_stuck_keys --replay SEED        plays one schedule and prints every operation
//
// The last line is the campaign's summary: "stuck keys: N schedules, ... 0 failed".
#include "Schedule.h"
#include "Verdict.h"
#include "storage/Log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kes::campaign;

struct Options {
    std::uint64_t schedules = 1000;
    std::uint64_t firstSeed = 0;
    bool seedGiven = false;
    unsigned workers = 2;
    bool replay = false;
    std::filesystem::path logDirectory;
};

// "key 65 left down" and "key 67 left down" are one kind of failure.
std::string withoutNumbers(const std::string& text) {
    std::string kind;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (kind.empty() || kind.back() != 'N') {
                kind += 'N';
            }
        } else {
            kind += c;
        }
    }
    return kind;
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: kes_stuck_keys [--schedules N] [--seed FIRST] [--workers W] [--log-dir DIR]\n"
                 "       kes_stuck_keys --replay SEED\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            usage();
        }
        const std::string value = argv[++i];
        if (arg == "--schedules") {
            options.schedules = std::stoull(value);
        } else if (arg == "--seed") {
            options.firstSeed = std::stoull(value);
            options.seedGiven = true;
        } else if (arg == "--workers") {
            options.workers = static_cast<unsigned>(std::stoul(value));
        } else if (arg == "--replay") {
            options.firstSeed = std::stoull(value);
            options.replay = true;
        } else if (arg == "--log-dir") {
            options.logDirectory = value;
        } else {
            usage();
        }
    }
    if (options.workers == 0) {
        usage();
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const std::exception&) {
        usage();
    }
    if (!options.seedGiven && !options.replay) {
        options.firstSeed = std::random_device()() * 1000003ull;
    }
    if (options.logDirectory.empty()) {
        options.logDirectory = std::filesystem::temp_directory_path() / "kes-stuck-keys-logs";
    }
    kes::Log log;
    log.setDirectory(options.logDirectory);

    if (options.replay) {
        std::printf("replaying schedule %llu\n", static_cast<unsigned long long>(options.firstSeed));
        const Verdict verdict = playSchedule(makeSchedule(options.firstSeed), log, true);
        std::printf("%s%s\n", verdict.passed ? "passed" : "FAILED: ", verdict.failure.c_str());
        return verdict.passed ? 0 : 1;
    }

    const auto started = std::chrono::steady_clock::now();
    std::atomic<std::uint64_t> next{0};
    std::atomic<std::uint64_t> played{0};
    std::atomic<std::uint64_t> keyEvents{0};
    std::atomic<std::uint64_t> failed{0};
    std::mutex printing;
    constexpr std::uint64_t failuresShown = 20;
    std::map<std::string, std::uint64_t> failureKinds; // the failure texts without their key numbers
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < options.workers; ++w) {
        workers.emplace_back([&] {
            for (;;) {
                const std::uint64_t index = next++;
                if (index >= options.schedules) {
                    return;
                }
                const std::uint64_t seed = options.firstSeed + index;
                const Verdict verdict = playSchedule(makeSchedule(seed), log, false);
                ++played;
                keyEvents += verdict.keyEvents;
                if (!verdict.passed) {
                    std::lock_guard lock(printing);
                    ++failureKinds[withoutNumbers(verdict.failure)];
                    if (++failed > failuresShown) {
                        continue;
                    }
                    std::printf("FAIL seed %llu: %s (replay: kes_stuck_keys --replay %llu)\n",
                                static_cast<unsigned long long>(seed), verdict.failure.c_str(),
                                static_cast<unsigned long long>(seed));
                    std::fflush(stdout);
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (const auto& [kind, count] : failureKinds) {
        std::printf("%llu x %s\n", static_cast<unsigned long long>(count), kind.c_str());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "stuck keys: %llu schedules (seeds %llu to %llu), %llu key events sent, %llu failed, %.0f s\n",
        static_cast<unsigned long long>(played.load()), static_cast<unsigned long long>(options.firstSeed),
        static_cast<unsigned long long>(options.firstSeed + options.schedules - 1),
        static_cast<unsigned long long>(keyEvents.load()), static_cast<unsigned long long>(failed.load()),
        seconds);
    return failed.load() == 0 && played.load() == options.schedules ? 0 : 1;
}
