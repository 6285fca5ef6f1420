#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kes {

// The keys our jobs hold down at this moment, kept where the key output presses and releases them. Every
// entry is one atomic word, so any thread (a crashing one included) can read and empty the ledger without a
// lock and without allocating.
class KeyLedger {
public:
    // Plain function, so that the crash path can call it without a std::function.
    using ReleaseFunction = void (*)(unsigned char vk, unsigned char scan, unsigned long flags,
                                     void* context);

    // Noted before the key's down event is sent: a key may be in the ledger without being down, never the
    // other way round.
    void pressed(int vk, unsigned char scan, bool extended) noexcept;
    // Noted after the key's up event was sent (or its down event failed).
    void released(int vk) noexcept;

    bool isDown(int vk) const noexcept;
    std::size_t keysDown() const noexcept;

    // Takes every key out of the ledger and sends its up event (keybd_event flags: 2, plus 1 for an extended
    // key) with the scan code it went down with. Returns how many keys were released.
    std::size_t releaseAll(ReleaseFunction release, void* context) noexcept;

private:
    // Per virtual key: bits 0-15 how many presses hold it, 16-23 the scan code, bit 24 the extended flag.
    std::array<std::atomic<std::uint32_t>, 256> entries_{};
};

// The ledger the crash path empties: the one of the engine that sends real key events, or none.
void registerCrashLedger(KeyLedger* ledger, KeyLedger::ReleaseFunction release, void* context) noexcept;
// Forgets the ledger if it is the registered one.
void unregisterCrashLedger(KeyLedger* ledger) noexcept;
// Releases every key of the registered ledger. For the crash path: no lock, no allocation, no exception.
std::size_t releaseCrashLedger() noexcept;

} // namespace kes
