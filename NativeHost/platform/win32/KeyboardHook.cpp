#include "platform/KeyboardHook.h"
#include "platform/win32/HookSlots.h"
#include "platform/win32/KeyboardHookRemoval.h"

#include <array>
#include <atomic>
#include <windows.h>

namespace kes::platform {
namespace {

constexpr std::size_t slotCount = 4;
win32::HookSlots<slotCount> slots;
std::array<std::atomic<HHOOK>, slotCount> systemHooks{};

KeyEventKind kindOf(WPARAM message) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return KeyEventKind::Down;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return KeyEventKind::Up;
    default:
        return KeyEventKind::Other;
    }
}

template <std::size_t Slot> LRESULT CALLBACK hookProcedure(int code, WPARAM wParam, LPARAM lParam) {
    const KeyboardHookHandler handler = slots.handlers[Slot].load(std::memory_order_acquire);
    if (code < 0 || handler == nullptr) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    KeyboardHookEvent event;
    event.vk = static_cast<int>(info->vkCode);
    event.kind = kindOf(wParam);
    event.injected = (info->flags & LLKHF_INJECTED) != 0;
    return win32::handToHandler(handler, event, code, wParam, lParam);
}

constexpr std::array<HOOKPROC, slotCount> procedures = {&hookProcedure<0>, &hookProcedure<1>,
                                                        &hookProcedure<2>, &hookProcedure<3>};

class LowLevelKeyboardHook final : public KeyboardHook {
public:
    LowLevelKeyboardHook(HHOOK hook, std::size_t slot) : hook_(hook), slot_(slot) {}
    ~LowLevelKeyboardHook() override {
        systemHooks[slot_].store(nullptr, std::memory_order_release);
        UnhookWindowsHookEx(hook_);
        slots.release(slot_);
    }
    LowLevelKeyboardHook(const LowLevelKeyboardHook&) = delete;
    LowLevelKeyboardHook& operator=(const LowLevelKeyboardHook&) = delete;

private:
    HHOOK hook_;
    std::size_t slot_;
};

} // namespace

std::unique_ptr<KeyboardHook> installKeyboardHook(KeyboardHookHandler handler) {
    const auto [hook, slot] = slots.install(WH_KEYBOARD_LL, procedures, handler);
    if (hook == nullptr) {
        return nullptr;
    }
    systemHooks[slot].store(hook, std::memory_order_release);
    return std::make_unique<LowLevelKeyboardHook>(hook, slot);
}

void removeKeyboardHooksBehindOwnersBack() {
    for (auto& hook : systemHooks) {
        HHOOK installed = hook.load(std::memory_order_acquire);
        if (installed != nullptr) {
            UnhookWindowsHookEx(installed);
        }
    }
}

} // namespace kes::platform
