#include "engine/PlaybackLock.h"

#include <algorithm>

namespace kes {

bool PlaybackLock::acquire(const platform::CancelEvent& cancel, std::chrono::milliseconds slice) {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = nextTicket_++;
    waiting_.push_back(ticket);
    while (held_ || waiting_.front() != ticket) {
        if (cancel.isSet()) {
            waiting_.erase(std::find(waiting_.begin(), waiting_.end(), ticket));
            // The job behind may now be first in line.
            changed_.notify_all();
            return false;
        }
        changed_.wait_for(lock, slice);
    }
    waiting_.pop_front();
    held_ = true;
    return true;
}

void PlaybackLock::release() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    changed_.notify_all();
}

} // namespace kes
