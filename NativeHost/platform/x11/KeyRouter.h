#pragma once
#include "platform/KeyboardHook.h"

#include <map>
#include <optional>
#include <set>

namespace kes::platform::x11 {

// How one X11 key event reached the program.
enum class X11KeySource {
    Raw,     // an XInput2 raw event: seen, already on its way to the focused window
    Grabbed, // a device event of a synchronous passive grab: the keyboard waits for our decision
};

struct X11KeyEvent {
    X11KeySource source = X11KeySource::Raw;
    bool press = true;
    int keycode = 0;
    int sourceDevice = 0; // the slave device that produced the event
};

// What the engine's hook procedure is asked about one event.
struct RoutedKeyEvent {
    int keycode = 0;
    KeyEventKind kind = KeyEventKind::Other;
    bool injected = false;
    // True for a grabbed press: the answer decides whether the event is dropped or replayed to the focused
    // window. False: the event cannot be held back and the answer is only recorded.
    bool decides = false;
};

// Turns the two streams of key events the X server sends (raw events of every key, device events of the
// grabbed keys) into one stream in which the engine sees every press and release exactly once, and tells
// synthetic input (the XTest devices: ours and every other program's) from the physical keyboards.
//
// A press of a grabbed key is decided on its grabbed event and its raw twin is skipped. Every release comes
// from its raw event: the grab is given up as soon as a press is decided, so the release is never grabbed.
class KeyRouter {
public:
    void setSyntheticDevices(std::set<int> devices) { syntheticDevices_ = std::move(devices); }
    void setGrabbedKeycodes(std::set<int> keycodes) { grabbed_ = std::move(keycodes); }
    bool isSynthetic(int device) const { return syntheticDevices_.count(device) != 0; }

    // The event for the engine, or nothing when this event is the twin of one it sees.
    std::optional<RoutedKeyEvent> route(const X11KeyEvent& event) const;

private:
    std::set<int> syntheticDevices_;
    std::set<int> grabbed_;
};

} // namespace kes::platform::x11
