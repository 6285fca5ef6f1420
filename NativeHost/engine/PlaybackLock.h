#pragma once
#include "platform/CancelEvent.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace kes {

// The engine-wide playback lock: one pass plays at a time, and the lock goes to the waiting jobs in the order
// they asked for it. A looping job that asks again for its next round therefore queues behind every job that
// was already waiting, so no job starves another.
class PlaybackLock {
public:
    // Waits for the lock, looking at the cancel event at least every `slice`; false when the event was set
    // before the lock was handed over (the lock is then not held).
    bool acquire(const platform::CancelEvent& cancel,
                 std::chrono::milliseconds slice = std::chrono::milliseconds(5));
    void release();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint64_t> waiting_; // tickets in the order of asking
    std::uint64_t nextTicket_ = 0;
    bool held_ = false;
};

// Holds the playback lock for one scope.
class PlaybackTurn {
public:
    explicit PlaybackTurn(PlaybackLock& lock) : lock_(lock) {}
    ~PlaybackTurn() { lock_.release(); }
    PlaybackTurn(const PlaybackTurn&) = delete;
    PlaybackTurn& operator=(const PlaybackTurn&) = delete;

private:
    PlaybackLock& lock_;
};

} // namespace kes
