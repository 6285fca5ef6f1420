#include "platform/KeyboardState.h"

#include <windows.h>

namespace kes::platform {

std::vector<int> keysDownNow() {
    std::vector<int> down;
    for (int vk = 1; vk <= 254; ++vk) {
        if ((GetAsyncKeyState(vk) & 0x8000) != 0) {
            down.push_back(vk);
        }
    }
    return down;
}

} // namespace kes::platform
