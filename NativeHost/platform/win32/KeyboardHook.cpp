#include "platform/KeyboardHook.h"
#include "platform/win32/KeyboardHookRemoval.h"

#include <array>
#include <atomic>
#include <windows.h>

namespace kes::platform {
namespace {

// A low-level hook procedure carries no context, so each installation gets one of a few procedures, each
// bound to its own handler slot.
constexpr std::size_t slotCount = 4;
std::array<std::atomic<KeyboardHookHandler>, slotCount> handlers{};
std::array<std::atomic<HHOOK>, slotCount> systemHooks{};

struct NextHookCall {
    int code;
    WPARAM wParam;
    LPARAM lParam;
};

std::intptr_t callNextHook(const void* context) {
    const auto* call = static_cast<const NextHookCall*>(context);
    return CallNextHookEx(nullptr, call->code, call->wParam, call->lParam);
}

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
    const KeyboardHookHandler handler = handlers[Slot].load(std::memory_order_acquire);
    if (code < 0 || handler == nullptr) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    KeyboardHookEvent event;
    event.vk = static_cast<int>(info->vkCode);
    event.kind = kindOf(wParam);
    event.injected = (info->flags & LLKHF_INJECTED) != 0;
    const NextHookCall call{code, wParam, lParam};
    return static_cast<LRESULT>(handler(event, NextHook{&callNextHook, &call}));
}

constexpr std::array<HOOKPROC, slotCount> procedures = {&hookProcedure<0>, &hookProcedure<1>,
                                                        &hookProcedure<2>, &hookProcedure<3>};

class LowLevelKeyboardHook final : public KeyboardHook {
public:
    LowLevelKeyboardHook(HHOOK hook, std::size_t slot) : hook_(hook), slot_(slot) {}
    ~LowLevelKeyboardHook() override {
        systemHooks[slot_].store(nullptr, std::memory_order_release);
        UnhookWindowsHookEx(hook_);
        handlers[slot_].store(nullptr, std::memory_order_release);
    }
    LowLevelKeyboardHook(const LowLevelKeyboardHook&) = delete;
    LowLevelKeyboardHook& operator=(const LowLevelKeyboardHook&) = delete;

private:
    HHOOK hook_;
    std::size_t slot_;
};

} // namespace

std::unique_ptr<KeyboardHook> installKeyboardHook(KeyboardHookHandler handler) {
    for (std::size_t slot = 0; slot < slotCount; ++slot) {
        KeyboardHookHandler free = nullptr;
        if (!handlers[slot].compare_exchange_strong(free, handler)) {
            continue;
        }
        HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, procedures[slot], GetModuleHandleW(nullptr), 0);
        if (hook == nullptr) {
            handlers[slot].store(nullptr, std::memory_order_release);
            return nullptr;
        }
        systemHooks[slot].store(hook, std::memory_order_release);
        return std::make_unique<LowLevelKeyboardHook>(hook, slot);
    }
    return nullptr;
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
