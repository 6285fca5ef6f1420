#include "platform/win32/Win32CancelEvent.h"

namespace kes::platform {

std::unique_ptr<CancelEvent> createCancelEvent() {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32CancelEvent>(event);
}

} // namespace kes::platform
