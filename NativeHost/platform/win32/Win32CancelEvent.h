#pragma once
#include "platform/CancelEvent.h"

#include <windows.h>

namespace kes::platform {

// A manual-reset, initially unset event object.
class Win32CancelEvent final : public CancelEvent {
public:
    explicit Win32CancelEvent(HANDLE event) : event_(event) {}
    ~Win32CancelEvent() override { CloseHandle(event_); }
    Win32CancelEvent(const Win32CancelEvent&) = delete;
    Win32CancelEvent& operator=(const Win32CancelEvent&) = delete;

    void set() override { SetEvent(event_); }
    bool isSet() const override { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }
    HANDLE handle() const { return event_; }

private:
    HANDLE event_;
};

} // namespace kes::platform
