#include "platform/MouseHook.h"

#include <array>
#include <atomic>
#include <windows.h>

namespace kes::platform {
namespace {

// A low-level hook procedure carries no context, so each installation gets one of a few procedures, each
// bound to its own handler slot.
constexpr std::size_t slotCount = 2;
std::array<std::atomic<KeyboardHookHandler>, slotCount> handlers{};

struct NextHookCall {
    int code;
    WPARAM wParam;
    LPARAM lParam;
};

std::intptr_t callNextHook(const void* context) {
    const auto* call = static_cast<const NextHookCall*>(context);
    return CallNextHookEx(nullptr, call->code, call->wParam, call->lParam);
}

// The button event as a key event of the button's virtual key; false for every other mouse event.
bool buttonEventOf(WPARAM message, const MSLLHOOKSTRUCT& info, KeyboardHookEvent& event) {
    switch (message) {
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        event.vk = VK_MBUTTON;
        event.kind = message == WM_MBUTTONDOWN ? KeyEventKind::Down : KeyEventKind::Up;
        break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
        const WORD button = HIWORD(info.mouseData);
        if (button != XBUTTON1 && button != XBUTTON2) {
            return false;
        }
        event.vk = button == XBUTTON1 ? VK_XBUTTON1 : VK_XBUTTON2;
        event.kind = message == WM_XBUTTONDOWN ? KeyEventKind::Down : KeyEventKind::Up;
        break;
    }
    default:
        return false;
    }
    event.injected = (info.flags & LLMHF_INJECTED) != 0;
    return true;
}

template <std::size_t Slot> LRESULT CALLBACK hookProcedure(int code, WPARAM wParam, LPARAM lParam) {
    const KeyboardHookHandler handler = handlers[Slot].load(std::memory_order_acquire);
    KeyboardHookEvent event;
    // Moves and wheel turns, the bulk of mouse events, go on at once.
    if (code < 0 || handler == nullptr ||
        !buttonEventOf(wParam, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam), event)) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    const NextHookCall call{code, wParam, lParam};
    return static_cast<LRESULT>(handler(event, NextHook{&callNextHook, &call}));
}

constexpr std::array<HOOKPROC, slotCount> procedures = {&hookProcedure<0>, &hookProcedure<1>};

class LowLevelMouseHook final : public MouseHook {
public:
    LowLevelMouseHook(HHOOK hook, std::size_t slot) : hook_(hook), slot_(slot) {}
    ~LowLevelMouseHook() override {
        UnhookWindowsHookEx(hook_);
        handlers[slot_].store(nullptr, std::memory_order_release);
    }
    LowLevelMouseHook(const LowLevelMouseHook&) = delete;
    LowLevelMouseHook& operator=(const LowLevelMouseHook&) = delete;

private:
    HHOOK hook_;
    std::size_t slot_;
};

} // namespace

std::unique_ptr<MouseHook> installMouseHook(KeyboardHookHandler handler) {
    for (std::size_t slot = 0; slot < slotCount; ++slot) {
        KeyboardHookHandler free = nullptr;
        if (!handlers[slot].compare_exchange_strong(free, handler)) {
            continue;
        }
        HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, procedures[slot], GetModuleHandleW(nullptr), 0);
        if (hook == nullptr) {
            handlers[slot].store(nullptr, std::memory_order_release);
            return nullptr;
        }
        return std::make_unique<LowLevelMouseHook>(hook, slot);
    }
    return nullptr;
}

} // namespace kes::platform
