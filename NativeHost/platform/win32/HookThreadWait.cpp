#include "platform/HookThreadWait.h"

#include "platform/win32/Win32CancelEvent.h"

namespace kes::platform {

void waitDeliveringHookCalls(const CancelEvent& signal) {
    const HANDLE handle = static_cast<const Win32CancelEvent&>(signal).handle();
    for (;;) {
        // A low-level hook is called through a message sent to the thread that installed it; one already
        // waiting counts too (MWMO_INPUTAVAILABLE), not only one that arrives during the wait.
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) {
            return;
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        // The wait itself failed: a plain wait still ends, at worst after the hooks' timeout.
        WaitForSingleObject(handle, INFINITE);
        return;
    }
}

} // namespace kes::platform
