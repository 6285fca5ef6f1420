#pragma once
#include "platform/KeyboardHook.h"
#include "platform/ProgramWindows.h"
#include "platform/x11/HotkeyTable.h"
#include "platform/x11/KeyRouter.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kes::platform::x11 {

// The program's keyboard and window services on an X11 display, installed as the platform's desktop
// backend for as long as the object lives:
//  - keyboard hook: XInput2 raw events show every key of the desktop; synchronous passive grabs of exactly
//    the keys the active profile claims let the engine decide on them before any program sees them
//    (swallowed presses are dropped, passed ones replayed to the focused window); the XTest devices are
//    told apart from physical keyboards;
//  - key output through XTest, by the keycode of the key's symbol;
//  - the foreground program from _NET_ACTIVE_WINDOW and the window's _NET_WM_PID;
//  - the top-level windows from the window manager's client list;
//  - global hotkeys (the master switch, performance mode's markers) as grabs of their keys.
// Events are read on the thread that calls dispatchPending (the user-interface thread, when the connection's
// descriptor becomes readable); output and queries may come from any thread and use a second connection.
class X11Desktop {
public:
    // Connects twice to the display (empty name: $DISPLAY). Throws std::runtime_error when there is no
    // display or it lacks XInput 2.2 or XTest.
    explicit X11Desktop(const std::string& displayName = {});
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // The event connection's descriptor, to be watched for input.
    int connectionFd() const;
    // Handles every event that has arrived.
    void dispatchPending();
    // Whether events wait in the connection's queue already (read there by an earlier request).
    bool hasQueuedEvents() const;

    // The keys the active profile claims (virtual keys); grabbed while the engine's hook is installed.
    void setClaimedKeys(std::set<int> keys);

    // A global hotkey: registration `id` grabs virtual key `vk`; `pressed` runs on a fresh press with
    // exactly `modifiers` (HotkeyModifier bits) held. False when the key cannot be grabbed (another program
    // holds it).
    bool registerHotkey(int id, int vk, unsigned modifiers, std::function<void()> pressed);
    void unregisterHotkey(int id);

    // Used through the platform services.
    std::unique_ptr<KeyboardHook> installHook(KeyboardHookHandler handler);
    void sendKey(int vk, bool up);
    std::optional<std::wstring> foregroundProgramPath();
    std::vector<TopLevelWindow> topLevelWindows();

private:
    struct Connection;
    class Hook;

    void removeHook();
    void updateGrabs();
    std::vector<int> keycodesOf(Connection& connection, int vk);
    int virtualKeyOfKeycode(int keycode);
    void refreshSyntheticDevices();
    void findSpareKeycode();
    void handleGenericEvent(void* cookie);
    void handleGrabbedPress(const void* deviceEvent);
    void callHook(int keycode, KeyEventKind kind, bool injected);

    std::unique_ptr<Connection> events_; // user-interface thread only
    std::unique_ptr<Connection> output_; // any thread, under outputLock_
    std::mutex outputLock_;
    // Keys held on a physical keyboard (user-interface thread writes, job threads read, under gateLock_). The
    // server merges presses of one keycode from all devices, so a key that is physically held is sent on
    // a spare keycode that carries the same symbol; `sentOn_` remembers where each pressed key went down.
    std::set<int> physicallyHeld_;
    std::map<int, int> sentOn_; // virtual key -> keycode, output thread side, under outputLock_
    int spareKeycode_ = 0;
    unsigned long spareSymbol_ = 0;
    std::mutex gateLock_; // key output waits while a grabbed press is being decided
    std::condition_variable gateOpen_;
    bool decisionPending_ = false;
    int inputOpcode_ = 0;

    KeyRouter router_;
    KeyboardHookHandler handler_ = nullptr;
    std::set<int> claimedKeys_;
    HotkeyTable hotkeys_;
    std::map<int, std::function<void()>> hotkeyActions_; // by registration id
    std::vector<int> masterKeyboards_;                   // the grabs are held on each
    std::set<int> grabbedKeycodes_;
    std::set<int> claimedKeycodes_;
    std::set<int> hotkeyKeycodes_;
    std::map<int, int> keycodeVirtualKeys_;
};

} // namespace kes::platform::x11
