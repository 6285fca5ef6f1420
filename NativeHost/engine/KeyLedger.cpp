#include "engine/KeyLedger.h"

namespace kes {
namespace {

constexpr std::uint32_t countMask = 0xFFFFu;
constexpr std::uint32_t extendedBit = 1u << 24;
constexpr unsigned long keyUpFlag = 2;       // KEYEVENTF_KEYUP
constexpr unsigned long extendedKeyFlag = 1; // KEYEVENTF_EXTENDEDKEY

bool inRange(int vk) {
    return vk >= 0 && vk < 256;
}

struct CrashLedger {
    std::atomic<KeyLedger*> ledger{nullptr};
    std::atomic<KeyLedger::ReleaseFunction> release{nullptr};
    std::atomic<void*> context{nullptr};
};

CrashLedger crashLedger;

} // namespace

void KeyLedger::pressed(int vk, unsigned char scan, bool extended) noexcept {
    if (!inRange(vk)) {
        return;
    }
    auto& entry = entries_[static_cast<std::size_t>(vk)];
    std::uint32_t current = entry.load(std::memory_order_acquire);
    for (;;) {
        const std::uint32_t count = current & countMask;
        const std::uint32_t next = (count == countMask ? count : count + 1) |
                                   (static_cast<std::uint32_t>(scan) << 16) | (extended ? extendedBit : 0u);
        if (entry.compare_exchange_weak(current, next, std::memory_order_acq_rel)) {
            return;
        }
    }
}

void KeyLedger::released(int vk) noexcept {
    if (!inRange(vk)) {
        return;
    }
    auto& entry = entries_[static_cast<std::size_t>(vk)];
    std::uint32_t current = entry.load(std::memory_order_acquire);
    for (;;) {
        const std::uint32_t count = current & countMask;
        if (count == 0) {
            return;
        }
        const std::uint32_t next = count == 1 ? 0u : current - 1;
        if (entry.compare_exchange_weak(current, next, std::memory_order_acq_rel)) {
            return;
        }
    }
}

bool KeyLedger::isDown(int vk) const noexcept {
    return inRange(vk) &&
           (entries_[static_cast<std::size_t>(vk)].load(std::memory_order_acquire) & countMask) != 0;
}

std::size_t KeyLedger::keysDown() const noexcept {
    std::size_t down = 0;
    for (const auto& entry : entries_) {
        if ((entry.load(std::memory_order_acquire) & countMask) != 0) {
            ++down;
        }
    }
    return down;
}

std::size_t KeyLedger::releaseAll(ReleaseFunction release, void* context) noexcept {
    std::size_t released = 0;
    for (std::size_t vk = 0; vk < entries_.size(); ++vk) {
        const std::uint32_t entry = entries_[vk].exchange(0, std::memory_order_acq_rel);
        if ((entry & countMask) == 0) {
            continue;
        }
        ++released;
        if (release != nullptr) {
            const auto scan = static_cast<unsigned char>((entry >> 16) & 0xFFu);
            const unsigned long flags = keyUpFlag | ((entry & extendedBit) != 0 ? extendedKeyFlag : 0);
            release(static_cast<unsigned char>(vk), scan, flags, context);
        }
    }
    return released;
}

void registerCrashLedger(KeyLedger* ledger, KeyLedger::ReleaseFunction release, void* context) noexcept {
    // The release function goes in first: the crash path reads the ledger last.
    crashLedger.ledger.store(nullptr, std::memory_order_release);
    crashLedger.release.store(release, std::memory_order_release);
    crashLedger.context.store(context, std::memory_order_release);
    crashLedger.ledger.store(ledger, std::memory_order_release);
}

void unregisterCrashLedger(KeyLedger* ledger) noexcept {
    KeyLedger* expected = ledger;
    crashLedger.ledger.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

std::size_t releaseCrashLedger() noexcept {
    KeyLedger* ledger = crashLedger.ledger.load(std::memory_order_acquire);
    if (ledger == nullptr) {
        return 0;
    }
    return ledger->releaseAll(crashLedger.release.load(std::memory_order_acquire),
                              crashLedger.context.load(std::memory_order_acquire));
}

} // namespace kes
