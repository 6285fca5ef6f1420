#include "engine/KeyOutput.h"

#include "engine/PreciseTimer.h"
#include "platform/Clock.h"
#include "platform/KeyEvents.h"

#include <exception>
#include <stdexcept>

namespace kes {
namespace {

void send(const KeyOutput& output, const PressedKey& key, unsigned long flags) {
    if (key.args.extended) {
        flags |= keyEventExtendedKey;
    }
    const auto vk = static_cast<unsigned char>(key.vk);
    if (output.counters == nullptr) {
        output.sender(vk, key.args.scan, flags);
        return;
    }
    const std::int64_t start = platform::performanceCounter();
    output.sender(vk, key.args.scan, flags);
    output.counters->keySend.add(ticksToNs(platform::performanceCounter() - start));
}

// Keys whose scan code is the same on every layout and which the layout's own mapping misreports or lacks:
// Pause shares 0x45 with NumLock (only NumLock is extended), PrintScreen is reported as Alt+SysRq's 0x54.
unsigned fixedScanCode(int vk) {
    switch (vk) {
    case 19: // Pause
        return 0x45;
    case 20: // CapsLock
        return 0x3A;
    case 44: // PrintScreen
        return 0x37;
    case 93: // Menu
        return 0x5D;
    case 144: // NumLock
        return 0x45;
    case 145: // ScrollLock
        return 0x46;
    default:
        return 0;
    }
}

} // namespace

ScanCodeLookup defaultScanCodeLookup() {
    return &platform::scanCodeOf;
}

bool isExtendedKey(int vk) {
    return (vk >= 33 && vk <= 40) || vk == 45 || vk == 46 || vk == 91 || vk == 92 || vk == 111 || vk == 44 ||
           vk == 93 || vk == 144;
}

KeyEventArgs keyEventArgs(int vk, const ScanCodeLookup& scanCodeOf) {
    if (vk < 1 || vk > 254) {
        throw std::runtime_error("虚拟键超出有效范围");
    }
    const unsigned fixed = fixedScanCode(vk);
    const unsigned scan = fixed != 0 ? fixed : scanCodeOf(vk);
    if (scan == 0) {
        throw std::runtime_error("无法转换硬件扫描码");
    }
    return {static_cast<unsigned char>(scan & 0xFFu), isExtendedKey(vk)};
}

void pressGroup(const std::vector<int>& keys, PressedKeys& pressed, const KeyOutput& output) {
    try {
        for (std::size_t i = pressed.size(); i < keys.size(); ++i) {
            const PressedKey key{keys[i], keyEventArgs(keys[i], output.scanCodeOf)};
            // In the ledger before it can be down, so that nothing can leave it down unrecorded.
            if (output.ledger != nullptr) {
                output.ledger->pressed(key.vk, key.args.scan, key.args.extended);
            }
            try {
                send(output, key, 0);
            } catch (...) {
                if (output.ledger != nullptr) {
                    output.ledger->released(key.vk);
                }
                throw;
            }
            pressed.push_back(key);
        }
    } catch (...) {
        releaseGroupQuietly(pressed, output);
        throw;
    }
}

void releaseGroup(PressedKeys& pressed, const KeyOutput& output) {
    std::exception_ptr firstFailure;
    while (!pressed.empty()) {
        const PressedKey key = pressed.back();
        pressed.pop_back();
        try {
            send(output, key, keyEventKeyUp);
            // A key whose up event failed stays in the ledger: it may still be down.
            if (output.ledger != nullptr) {
                output.ledger->released(key.vk);
            }
        } catch (...) {
            if (!firstFailure) {
                firstFailure = std::current_exception();
            }
        }
    }
    if (firstFailure) {
        std::rethrow_exception(firstFailure);
    }
}

void releaseGroupQuietly(PressedKeys& pressed, const KeyOutput& output) noexcept {
    try {
        releaseGroup(pressed, output);
    } catch (...) {
    }
}

KeySender defaultKeySender() {
    return [](unsigned char vk, unsigned char scan, unsigned long flags) {
        platform::sendKeyEvent(vk, scan, flags);
    };
}

} // namespace kes
