#pragma once
#include "engine/Engine.h"

#include <cstddef>
#include <vector>

namespace kes {

constexpr unsigned long keyEventExtendedKey = 1; // KEYEVENTF_EXTENDEDKEY
constexpr unsigned long keyEventKeyUp = 2;       // KEYEVENTF_KEYUP

struct KeyEventArgs {
    unsigned char scan = 0;
    bool extended = false;
};

// Page Up/Down, End, Home, the arrows, Insert, Delete, both Windows keys, keypad divide, PrintScreen, Menu
// and NumLock.
bool isExtendedKey(int vk);

// The scan code and extended bit of a virtual key; throws "虚拟键超出有效范围" or "无法转换硬件扫描码".
KeyEventArgs keyEventArgs(int vk);

// Presses `keys` in order, counting in `pressed` each key that went down. If a key fails, the keys already
// down are released (last pressed first) before the error leaves.
void pressGroup(const std::vector<int>& keys, std::size_t& pressed, const KeySender& sender,
                PerfCounters* counters);

// Releases the first `pressed` keys, last pressed first, counting `pressed` down to 0. A key that fails does
// not keep the keys before it down: they are still released, and the first failure is thrown afterwards.
void releaseGroup(const std::vector<int>& keys, std::size_t& pressed, const KeySender& sender,
                  PerfCounters* counters);

// releaseGroup for a failure path that is already carrying an error: releases what it can, throws nothing.
void releaseGroupQuietly(const std::vector<int>& keys, std::size_t& pressed, const KeySender& sender,
                         PerfCounters* counters) noexcept;

// keybd_event through the platform layer.
KeySender defaultKeySender();

} // namespace kes
