#pragma once
#include "platform/KeyboardHook.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <windows.h>

namespace kes::platform::win32 {

// A low-level hook procedure carries no context, so each installation gets one of a few procedures, each
// bound to its own handler slot.
template <std::size_t Count> struct HookSlots {
    std::array<std::atomic<KeyboardHookHandler>, Count> handlers{};

    // Takes a free slot for the handler and installs its procedure: the hook and the slot it holds, or a
    // null hook (and no slot held) when every slot is taken or the system refuses.
    std::pair<HHOOK, std::size_t> install(int hookKind, const std::array<HOOKPROC, Count>& procedures,
                                          KeyboardHookHandler handler) {
        for (std::size_t slot = 0; slot < Count; ++slot) {
            KeyboardHookHandler free = nullptr;
            if (!handlers[slot].compare_exchange_strong(free, handler)) {
                continue;
            }
            HHOOK hook = SetWindowsHookExW(hookKind, procedures[slot], GetModuleHandleW(nullptr), 0);
            if (hook == nullptr) {
                handlers[slot].store(nullptr, std::memory_order_release);
            }
            return {hook, slot};
        }
        return {nullptr, 0};
    }

    void release(std::size_t slot) { handlers[slot].store(nullptr, std::memory_order_release); }
};

// Gives the event to the handler with the means to pass it on down the hook chain.
inline LRESULT handToHandler(KeyboardHookHandler handler, const KeyboardHookEvent& event, int code,
                             WPARAM wParam, LPARAM lParam) {
    struct NextHookCall {
        int code;
        WPARAM wParam;
        LPARAM lParam;
    };
    const NextHookCall call{code, wParam, lParam};
    const auto callNextHook = [](const void* context) -> std::intptr_t {
        const auto* next = static_cast<const NextHookCall*>(context);
        return CallNextHookEx(nullptr, next->code, next->wParam, next->lParam);
    };
    return static_cast<LRESULT>(handler(event, NextHook{callNextHook, &call}));
}

} // namespace kes::platform::win32
