#pragma once
#include "engine/Engine.h"

#include <cstddef>
#include <mutex>
#include <vector>

namespace kes {

// One key event as the engine emitted it.
struct RecordedKeyEvent {
    unsigned char vk = 0;
    int flags = 0;
};

inline constexpr int keyUpFlag = 0x0002; // KEYEVENTF_KEYUP

// A key sender that records instead of sending; refuses a scan code of 0 with "扫描码为空". Safe to call
// from every job thread at once.
class RecordingKeySender {
public:
    KeySender sender();
    std::size_t count() const;
    std::vector<RecordedKeyEvent> events() const;
    // Polls up to 500 times, 2 ms apart, until more than `n` events were recorded; returns the count.
    std::size_t waitForMoreThan(std::size_t n) const;

private:
    mutable std::mutex mutex_;
    std::vector<RecordedKeyEvent> events_;
};

} // namespace kes
