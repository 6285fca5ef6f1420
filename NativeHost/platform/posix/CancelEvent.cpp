#include "platform/posix/PosixCancelEvent.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kes::platform {

PosixCancelEvent::~PosixCancelEvent() {
    close(fd_);
}

void PosixCancelEvent::set() {
    set_.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    // The counter only grows; a full counter (never reached) would leave the fd readable anyway.
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

std::unique_ptr<CancelEvent> createCancelEvent() {
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<PosixCancelEvent>(fd);
}

} // namespace kes::platform
