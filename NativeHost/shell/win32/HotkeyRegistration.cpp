#include "shell/win32/HotkeyRegistration.h"

#include "diagnostics/PerformanceSampler.h"
#include "shell/HostContext.h"
#include "shell/MasterHotkey.h"
#include "shell/PerformanceMarkers.h"

namespace kes::win32 {
namespace {

bool modifierHeld() {
    for (const int key : {VK_CONTROL, VK_SHIFT, VK_MENU, VK_LWIN, VK_RWIN}) {
        if ((GetAsyncKeyState(key) & 0x8000) != 0) {
            return true;
        }
    }
    return false;
}

HWND mainWindow() {
    return static_cast<HWND>(hostContext().window);
}

} // namespace

bool registerMasterHotkey(int id, int n) {
    HostContext& context = hostContext();
    if (n != 12) {
        return RegisterHotKey(mainWindow(), id, MOD_NOREPEAT, static_cast<UINT>(functionKeyCode(n))) != FALSE;
    }
    context.f12Down = false;
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, f12HookProc, GetModuleHandleW(nullptr), 0);
    context.f12Hook = hook;
    return hook != nullptr;
}

void unregisterMasterHotkey(int id, int n) {
    HostContext& context = hostContext();
    if (n != 12) {
        UnregisterHotKey(mainWindow(), id);
        return;
    }
    if (context.f12Hook != nullptr) {
        UnhookWindowsHookEx(static_cast<HHOOK>(context.f12Hook));
        context.f12Hook = nullptr;
    }
}

bool reinstallF12Watch() {
    HostContext& context = hostContext();
    // Removing a hook the system already dropped does no harm.
    if (context.f12Hook != nullptr) {
        UnhookWindowsHookEx(static_cast<HHOOK>(context.f12Hook));
    }
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, f12HookProc, GetModuleHandleW(nullptr), 0);
    context.f12Hook = hook;
    return hook != nullptr;
}

LRESULT CALLBACK f12HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        HostContext& context = hostContext();
        ++context.f12Events;
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool keyUp = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
        const bool injected = (event->flags & LLKHF_INJECTED) != 0;
        // The modifiers matter only for a fresh physical press of F12.
        const bool fresh = event->vkCode == VK_F12 && !injected && !keyUp && !context.f12Down;
        if (f12WatchAccepts(context.f12Down, static_cast<int>(event->vkCode), keyUp, injected,
                            fresh && modifierHeld())) {
            PostMessageW(mainWindow(), WM_HOTKEY, static_cast<WPARAM>(context.masterHotkeyId), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void registerMarkerHotkeys(HWND window) {
    static_assert(markerHotkeyModifiers == (MOD_CONTROL | MOD_SHIFT));
    kes::registerMarkerHotkeys(hostContext().log, [window](int id, int vk) {
        return RegisterHotKey(window, id, markerHotkeyModifiers | MOD_NOREPEAT, static_cast<UINT>(vk)) !=
               FALSE;
    });
}

} // namespace kes::win32
