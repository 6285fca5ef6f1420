#pragma once
#include "shell/HostContext.h"

#include <cstdint>

namespace kes {

// Tells when the system removed a low-level keyboard hook without notice (it does so when a hook procedure
// was too slow). Raw keyboard input reaches the main window for every key event whatever happens to the
// hooks, so raw input that keeps coming while the hook's count of events stands still means the hook is
// gone. Fed and asked on the main thread, which also runs the hooks.
class HookWatch {
public:
    // One raw keyboard event arrived; `hookEvents` is the hook's count of events so far.
    void rawKeyboardInput(std::uint64_t hookEvents);
    // Whether the hook has missed two key events and should be installed again. After a repair it
    // says so again only once the new hook has seen an event: a hook that sees nothing was not removed for
    // being slow, and installing it over and over would not help.
    bool hookLost(std::uint64_t hookEvents);
    // The hook was installed again.
    void repaired(std::uint64_t hookEvents);
    // There is no hook to watch at the moment.
    void forget();

private:
    void follow(std::uint64_t hookEvents);

    static constexpr std::uint64_t creditLimit = 4;

    std::uint64_t hookEvents_ = 0;
    std::uint64_t credit_ = 0; // hook events not yet matched by raw input, at most creditLimit
    unsigned missed_ = 0;      // raw events without a hook event since the hook's last one
    bool awaitingProof_ = false;
};

// The watches of the engine's hook and of the F12 watch of the master switch hotkey.
struct HookWatches {
    HookWatch engine;
    HookWatch f12;
};

inline constexpr const char* engineHookRepairedLine = "宏引擎的键盘监听被系统移除，已重新安装";
inline constexpr const char* f12HookRepairedLine = "F12 总开关的键盘监听被系统移除，已重新安装";
inline constexpr const char* hookRepairedNotice = "键盘监听曾被系统移除，已自动恢复，宏可继续使用。";

// A raw keyboard event reached the main window.
void noteRawKeyboardInput(HostContext& context, HookWatches& watches);
// On the housekeeping tick: installs again each hook that was removed, logs it and tells the page.
void repairLostHooks(HostContext& context, HookWatches& watches);

} // namespace kes
