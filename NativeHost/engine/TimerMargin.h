#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace kes {

// How long before a deadline a job arms its timer, so that the timer's own lateness falls into the final busy
// wait instead of making the wait late. Calibrated from the timer's observed lateness: a margin as large as
// nearly all recent wake-ups were late, so a wait is rarely late and the busy wait stays short (it costs
// processor time for as long as the margin exceeds the lateness). All figures in performance-counter ticks.
// Safe to use from several threads.
class TimerMargin {
public:
    // Wake-ups remembered, and the rank among them that sets the margin (2 = the second latest).
    static constexpr std::size_t window = 64;
    static constexpr std::size_t rank = 2;
    // Until this many wake-ups were seen, the margin is the initial one.
    static constexpr std::size_t warmUp = 8;

    // `initial`, `least` and `most` bound the margin; `least` also keeps some margin for a timer that has
    // always been on time.
    TimerMargin(std::int64_t initial, std::int64_t least, std::int64_t most);
    TimerMargin(const TimerMargin&) = delete;
    TimerMargin& operator=(const TimerMargin&) = delete;

    // The process's margin, shared by every job so that what one job learnt serves the next: 1 ms at first,
    // between 20 us and 2 ms.
    static TimerMargin& shared();

    std::int64_t current() const { return current_.load(std::memory_order_relaxed); }
    // One wake-up of the timer, `lateness` ticks after the time it was armed for (negative when early).
    void observe(std::int64_t lateness);

private:
    std::mutex mutex_;
    std::array<std::int64_t, window> seen_{};
    std::size_t count_ = 0;
    std::size_t next_ = 0;
    std::int64_t least_;
    std::int64_t most_;
    std::atomic<std::int64_t> current_;
};

} // namespace kes
