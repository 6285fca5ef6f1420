#pragma once
#include <memory>

namespace kes::platform {

// A manual-reset signal: created unset, and once set it stays set. Any thread may set or test it; a one-shot
// timer wait watches it together with the timer (OneShotTimer.h).
class CancelEvent {
public:
    virtual ~CancelEvent() = default;
    virtual void set() = 0;
    // Never blocks.
    virtual bool isSet() const = 0;
};

// Null when the system cannot give one.
std::unique_ptr<CancelEvent> createCancelEvent();

} // namespace kes::platform
