#pragma once
#include "platform/CancelEvent.h"

#include <atomic>

namespace kes::platform {

// An eventfd that becomes readable when set and is never read, so it stays set; the flag beside it answers
// isSet() without a system call.
class PosixCancelEvent final : public CancelEvent {
public:
    explicit PosixCancelEvent(int fd) : fd_(fd) {}
    ~PosixCancelEvent() override;
    PosixCancelEvent(const PosixCancelEvent&) = delete;
    PosixCancelEvent& operator=(const PosixCancelEvent&) = delete;

    void set() override;
    bool isSet() const override { return set_.load(std::memory_order_acquire); }
    int fd() const { return fd_; }

private:
    int fd_;
    std::atomic<bool> set_{false};
};

} // namespace kes::platform
