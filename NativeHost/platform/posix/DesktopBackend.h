#pragma once
#include "platform/KeyboardHook.h"
#include "platform/ProgramWindows.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kes::platform {

// The desktop session's keyboard and window services. A desktop host installs them once it is connected to
// its display (the X11 host does, see platform/x11/); until then, and in programs without a desktop, they
// are empty and these services report that the system has none.
struct DesktopBackend {
    std::function<std::unique_ptr<KeyboardHook>(KeyboardHookHandler handler)> installKeyboardHook;
    std::function<void(unsigned char vk, unsigned char scan, unsigned long flags)> sendKeyEvent;
    std::function<std::optional<std::wstring>()> foregroundProgramPath;
    std::function<std::vector<TopLevelWindow>()> topLevelWindows;
};

// Set on the main thread before the engine starts and cleared after it stopped; read from any thread.
DesktopBackend& desktopBackend();

} // namespace kes::platform
