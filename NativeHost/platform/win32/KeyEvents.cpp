#include "platform/KeyEvents.h"

#include <windows.h>

namespace kes::platform {

void sendKeyEvent(unsigned char vk, unsigned char scan, unsigned long flags) {
    keybd_event(vk, scan, flags, 0);
}

unsigned scanCodeOf(int vk) {
    return MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
}

} // namespace kes::platform
