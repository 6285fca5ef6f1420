#pragma once

namespace kes::platform {

// Emits one key event into the system's input stream: keybd_event's virtual key, scan code and flags
// (1 extended key, 2 key up), with no extra information, so the system marks it as injected.
void sendKeyEvent(unsigned char vk, unsigned char scan, unsigned long flags);

// The hardware scan code of a virtual key in the current keyboard layout; 0 when there is none.
unsigned scanCodeOf(int vk);

} // namespace kes::platform
