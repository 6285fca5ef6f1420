#include "platform/MouseHook.h"
#include "platform/win32/HookSlots.h"

#include <array>
#include <atomic>
#include <windows.h>

namespace kes::platform {
namespace {

constexpr std::size_t slotCount = 2;
win32::HookSlots<slotCount> slots;

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
    const KeyboardHookHandler handler = slots.handlers[Slot].load(std::memory_order_acquire);
    KeyboardHookEvent event;
    // Moves and wheel turns, the bulk of mouse events, go on at once.
    if (code < 0 || handler == nullptr ||
        !buttonEventOf(wParam, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam), event)) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    return win32::handToHandler(handler, event, code, wParam, lParam);
}

constexpr std::array<HOOKPROC, slotCount> procedures = {&hookProcedure<0>, &hookProcedure<1>};

class LowLevelMouseHook final : public MouseHook {
public:
    LowLevelMouseHook(HHOOK hook, std::size_t slot) : hook_(hook), slot_(slot) {}
    ~LowLevelMouseHook() override {
        UnhookWindowsHookEx(hook_);
        slots.release(slot_);
    }
    LowLevelMouseHook(const LowLevelMouseHook&) = delete;
    LowLevelMouseHook& operator=(const LowLevelMouseHook&) = delete;

private:
    HHOOK hook_;
    std::size_t slot_;
};

} // namespace

std::unique_ptr<MouseHook> installMouseHook(KeyboardHookHandler handler) {
    const auto [hook, slot] = slots.install(WH_MOUSE_LL, procedures, handler);
    if (hook == nullptr) {
        return nullptr;
    }
    return std::make_unique<LowLevelMouseHook>(hook, slot);
}

} // namespace kes::platform
