#pragma once
#include <cstdint>
#include <memory>

namespace kes::platform {

enum class KeyEventKind { Down, Up, Other };

// One event seen by the system-wide low-level keyboard hook.
struct KeyboardHookEvent {
    int vk = 0;
    KeyEventKind kind = KeyEventKind::Other;
    bool injected = false; // synthesised input (ours or another program's), not the physical keyboard
};

// Hands the event on to the next hook in the chain and returns that hook's result.
struct NextHook {
    std::intptr_t (*call)(const void* context);
    const void* context;
    std::intptr_t operator()() const { return call(context); }
};

// The program's procedure for each event: returns 1 to swallow the event, otherwise the result of `next`.
using KeyboardHookHandler = std::intptr_t (*)(const KeyboardHookEvent& event, const NextHook& next);

// An installed hook; removed when destroyed. It calls its handler on the installing thread, which must pump
// messages.
class KeyboardHook {
public:
    virtual ~KeyboardHook() = default;
};

// Installs a low-level keyboard hook for the whole desktop; null when the system refuses or has none.
std::unique_ptr<KeyboardHook> installKeyboardHook(KeyboardHookHandler handler);

} // namespace kes::platform
