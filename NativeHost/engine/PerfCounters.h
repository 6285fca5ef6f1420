#pragma once
#include <atomic>
#include <cstdint>

namespace kes {

// count, total and maximum of one timed path, in nanoseconds; changed only by atomic operations.
struct TimingStat {
    std::atomic<std::int64_t> count{0};
    std::atomic<std::int64_t> totalNs{0};
    std::atomic<std::int64_t> maxNs{0};

    void add(std::int64_t ns) {
        if (ns < 0) {
            ns = 0;
        }
        count.fetch_add(1, std::memory_order_relaxed);
        totalNs.fetch_add(ns, std::memory_order_relaxed);
        std::int64_t seen = maxNs.load(std::memory_order_relaxed);
        while (ns > seen && !maxNs.compare_exchange_weak(seen, ns, std::memory_order_relaxed)) {
        }
    }
};

// The statistics block filled by the engine and the main window in performance mode.
struct PerfCounters {
    TimingStat hookTime;
    TimingStat keySend;
    TimingStat timerOvershoot;
    TimingStat lockWait;
    TimingStat uiHeartbeat;
    std::atomic<std::int32_t> activeJobs{0};
    std::atomic<std::int32_t> engineEnabled{0};
};

} // namespace kes
