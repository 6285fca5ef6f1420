#include "diagnostics/RecordingKeySender.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace kes {

KeySender RecordingKeySender::sender() {
    return [this](unsigned char vk, unsigned char scan, unsigned long flags) {
        if (scan == 0) {
            throw std::runtime_error("扫描码为空");
        }
        std::lock_guard lock(mutex_);
        events_.push_back({vk, static_cast<int>(flags)});
    };
}

std::size_t RecordingKeySender::count() const {
    std::lock_guard lock(mutex_);
    return events_.size();
}

std::vector<RecordedKeyEvent> RecordingKeySender::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::size_t RecordingKeySender::waitForMoreThan(std::size_t n) const {
    std::size_t seen = count();
    for (int poll = 0; poll < 500 && seen <= n; ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        seen = count();
    }
    return seen;
}

} // namespace kes
