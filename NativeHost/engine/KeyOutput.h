#pragma once
#include "engine/Engine.h"
#include "engine/KeyLedger.h"

#include <cstddef>
#include <vector>

namespace kes {

constexpr unsigned long keyEventExtendedKey = 1; // KEYEVENTF_EXTENDEDKEY
constexpr unsigned long keyEventKeyUp = 2;       // KEYEVENTF_KEYUP

struct KeyEventArgs {
    unsigned char scan = 0;
    bool extended = false;
};

// Where a group's key events go: the sender, the optional statistics, the keyboard layout's scan codes and
// the optional ledger of the keys held down.
struct KeyOutput {
    const KeySender& sender;
    PerfCounters* counters = nullptr;
    const ScanCodeLookup& scanCodeOf;
    KeyLedger* ledger = nullptr;
};

// One key of a group that went down, with the scan code it was sent with: its release sends the same code,
// even when the keyboard layout changed while it was down.
struct PressedKey {
    int vk = 0;
    KeyEventArgs args;
};
using PressedKeys = std::vector<PressedKey>;

// Page Up/Down, End, Home, the arrows, Insert, Delete, both Windows keys, keypad divide, PrintScreen, Menu
// and NumLock.
bool isExtendedKey(int vk);

// The scan code and extended bit of a virtual key; throws "虚拟键超出有效范围" or "无法转换硬件扫描码".
KeyEventArgs keyEventArgs(int vk, const ScanCodeLookup& scanCodeOf = defaultScanCodeLookup());

// Presses `keys` in order, adding each key that went down to `pressed`. If a key fails, the keys already
// down are released (last pressed first) before the error leaves.
void pressGroup(const std::vector<int>& keys, PressedKeys& pressed, const KeyOutput& output);

// Releases the pressed keys, last pressed first, emptying `pressed`. A key that fails does not keep the keys
// before it down: they are still released, and the first failure is thrown afterwards.
void releaseGroup(PressedKeys& pressed, const KeyOutput& output);

// releaseGroup for a failure path that is already carrying an error: releases what it can, throws nothing.
void releaseGroupQuietly(PressedKeys& pressed, const KeyOutput& output) noexcept;

// keybd_event through the platform layer.
KeySender defaultKeySender();

} // namespace kes
