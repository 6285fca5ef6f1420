#include "platform/x11/X11Desktop.h"

#include "platform/ProgramWindows.h"
#include "platform/TextConversion.h"
#include "platform/posix/DesktopBackend.h"
#include "platform/x11/GrabPlan.h"
#include "platform/x11/KeySymbols.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>

namespace kes::platform::x11 {

// Errors on the program's own connections (a window that vanished while it was queried, a key another
// program has grabbed) are expected and only recorded; errors on other connections (the toolkit's) go to
// the handler that was installed before.
namespace {

std::atomic<Display*> eventDisplay{nullptr};
std::atomic<Display*> outputDisplay{nullptr};
std::atomic<int> lastErrorCode{0};
XErrorHandler previousErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* error) {
    if (display == eventDisplay.load() || display == outputDisplay.load()) {
        lastErrorCode.store(error->error_code);
        return 0;
    }
    return previousErrorHandler != nullptr ? previousErrorHandler(display, error) : 0;
}

std::intptr_t passOn(const void*) {
    return 0; // nothing stands behind the program's hook on X11: a passed event is replayed
}

} // namespace

struct X11Desktop::Connection {
    Display* display = nullptr;
    Window root = 0;
    explicit Connection(const std::string& name) {
        display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
        if (display == nullptr)
            throw std::runtime_error("无法连接 X 显示：" + name);
        root = DefaultRootWindow(display);
    }
    ~Connection() { XCloseDisplay(display); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Atom atom(const char* name) const { return XInternAtom(display, name, False); }

    // The first item of a 32-bit property, or nothing.
    std::optional<unsigned long> cardinal(Window window, const char* name, Atom type) const {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::optional<unsigned long> value;
        if (XGetWindowProperty(display, window, atom(name), 0, 1, False, type, &actualType, &format, &count,
                               &after, &data) == Success &&
            data != nullptr && format == 32 && count >= 1)
            value = reinterpret_cast<unsigned long*>(data)[0];
        if (data != nullptr)
            XFree(data);
        return value;
    }

    std::vector<unsigned long> list(Window window, const char* name, Atom type) const {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> items;
        if (XGetWindowProperty(display, window, atom(name), 0, 65536, False, type, &actualType, &format,
                               &count, &after, &data) == Success &&
            data != nullptr && format == 32) {
            const auto* values = reinterpret_cast<unsigned long*>(data);
            items.assign(values, values + count);
        }
        if (data != nullptr)
            XFree(data);
        return items;
    }

    std::string text(Window window, const char* name, Atom type) const {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(display, window, atom(name), 0, 4096, False, type, &actualType, &format,
                               &count, &after, &data) == Success &&
            data != nullptr && format == 8)
            value.assign(reinterpret_cast<char*>(data), count);
        if (data != nullptr)
            XFree(data);
        return value;
    }
};

class X11Desktop::Hook final : public KeyboardHook {
public:
    explicit Hook(X11Desktop& desktop) : desktop_(desktop) {}
    ~Hook() override { desktop_.removeHook(); }
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;

private:
    X11Desktop& desktop_;
};

X11Desktop::X11Desktop(const std::string& displayName)
    : events_(std::make_unique<Connection>(displayName)), output_(std::make_unique<Connection>(displayName)) {
    Display* display = events_->display;
    int event = 0, error = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &inputOpcode_, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success)
        throw std::runtime_error("X 显示缺少 XInput2 2.2");
    int testMajor = 0, testMinor = 0;
    if (!XTestQueryExtension(output_->display, &event, &error, &testMajor, &testMinor))
        throw std::runtime_error("X 显示缺少 XTest");

    eventDisplay.store(events_->display);
    outputDisplay.store(output_->display);
    previousErrorHandler = XSetErrorHandler(onXError);

    unsigned char rawBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(rawBits, XI_RawKeyPress);
    XISetMask(rawBits, XI_RawKeyRelease);
    unsigned char deviceBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(deviceBits, XI_HierarchyChanged);
    XIEventMask masks[2] = {{XIAllMasterDevices, sizeof rawBits, rawBits},
                            {XIAllDevices, sizeof deviceBits, deviceBits}};
    XISelectEvents(display, events_->root, masks, 2);
    refreshSyntheticDevices();
    findSpareKeycode();
    XFlush(display);

    DesktopBackend& backend = desktopBackend();
    backend.installKeyboardHook = [this](KeyboardHookHandler handler) {
        return installHook(handler);
    };
    backend.sendKeyEvent = [this](unsigned char vk, unsigned char, unsigned long flags) {
        sendKey(vk, (flags & 2u) != 0);
    };
    backend.foregroundProgramPath = [this] {
        return foregroundProgramPath();
    };
    backend.topLevelWindows = [this] {
        return topLevelWindows();
    };
}

X11Desktop::~X11Desktop() {
    desktopBackend() = DesktopBackend{};
    handler_ = nullptr;
    hotkeys_.clear();
    hotkeyActions_.clear();
    updateGrabs();
    XSync(events_->display, False);
    if (XSetErrorHandler(previousErrorHandler) != onXError)
        XSetErrorHandler(onXError); // someone installed a handler after us and chains to ours; keep it
    eventDisplay.store(nullptr);
    outputDisplay.store(nullptr);
}

void X11Desktop::findSpareKeycode() {
    int first = 0, last = 0;
    XDisplayKeycodes(output_->display, &first, &last);
    int perKeycode = 0;
    KeySym* map =
        XGetKeyboardMapping(output_->display, static_cast<KeyCode>(first), last - first + 1, &perKeycode);
    if (map == nullptr)
        return;
    // The highest keycode without any symbol.
    for (int keycode = last; keycode >= first && spareKeycode_ == 0; --keycode) {
        bool empty = true;
        for (int level = 0; level < perKeycode; ++level)
            empty = empty && map[(keycode - first) * perKeycode + level] == NoSymbol;
        if (empty)
            spareKeycode_ = keycode;
    }
    XFree(map);
}

bool X11Desktop::hasQueuedEvents() const {
    return XEventsQueued(events_->display, QueuedAlready) > 0;
}

int X11Desktop::connectionFd() const {
    return ConnectionNumber(events_->display);
}

void X11Desktop::refreshSyntheticDevices() {
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(events_->display, XIAllDevices, &count);
    std::set<int> synthetic;
    std::vector<int> masters;
    for (int i = 0; i < count; ++i) {
        if (devices[i].use == XIMasterKeyboard)
            masters.push_back(devices[i].deviceid);
        const std::string name = devices[i].name != nullptr ? devices[i].name : "";
        // The server's XTest devices carry every synthetic event, whichever program sent it.
        if (devices[i].use == XISlaveKeyboard && name.find("XTEST") != std::string::npos)
            synthetic.insert(devices[i].deviceid);
    }
    if (devices != nullptr)
        XIFreeDeviceInfo(devices);
    router_.setSyntheticDevices(std::move(synthetic));
    if (masters != masterKeyboards_) {
        // Grabs belong to a master keyboard (a grab for all masters at once is not replayed): take them anew.
        XIGrabModifiers anyModifier{static_cast<int>(XIAnyModifier), 0};
        for (int keycode : grabbedKeycodes_) {
            for (int master : masterKeyboards_)
                XIUngrabKeycode(events_->display, master, keycode, events_->root, 1, &anyModifier);
        }
        grabbedKeycodes_.clear();
        masterKeyboards_ = std::move(masters);
        updateGrabs();
    }
}

std::vector<int> X11Desktop::keycodesOf(Connection& connection, int vk) {
    for (std::uint32_t symbol : symbolsOfVirtualKey(vk)) {
        const KeyCode keycode = XKeysymToKeycode(connection.display, symbol);
        if (keycode != 0)
            return {keycode};
    }
    return {};
}

int X11Desktop::virtualKeyOfKeycode(int keycode) {
    const auto known = keycodeVirtualKeys_.find(keycode);
    if (known != keycodeVirtualKeys_.end())
        return known->second;
    const KeySym symbol = XkbKeycodeToKeysym(events_->display, static_cast<KeyCode>(keycode), 0, 0);
    const int vk = virtualKeyOfSymbol(static_cast<std::uint32_t>(symbol));
    keycodeVirtualKeys_[keycode] = vk;
    return vk;
}

void X11Desktop::updateGrabs() {
    GrabWish wish;
    wish.hookInstalled = handler_ != nullptr;
    wish.claimedKeys = claimedKeys_;
    wish.hotkeys = hotkeys_.keys();
    const KeycodeLookup lookup = [this](int vk) {
        return keycodesOf(*events_, vk);
    };
    const std::set<int> wanted = wantedKeycodes(wish, lookup);

    claimedKeycodes_ = wantedKeycodes(GrabWish{wish.hookInstalled, claimedKeys_, {}}, lookup);
    hotkeyKeycodes_ = wantedKeycodes(GrabWish{false, {}, wish.hotkeys}, lookup);

    const GrabChanges changes = planGrabChanges(grabbedKeycodes_, wanted);
    XIGrabModifiers anyModifier{static_cast<int>(XIAnyModifier), 0};
    for (int keycode : changes.release) {
        for (int master : masterKeyboards_)
            XIUngrabKeycode(events_->display, master, keycode, events_->root, 1, &anyModifier);
        grabbedKeycodes_.erase(keycode);
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XISetMask(bits, XI_KeyRelease);
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    for (int keycode : changes.take) {
        lastErrorCode.store(0);
        int failed = masterKeyboards_.empty() ? 1 : 0;
        for (int master : masterKeyboards_) {
            XIGrabModifiers modifier{static_cast<int>(XIAnyModifier), 0};
            failed += XIGrabKeycode(events_->display, master, keycode, events_->root, XIGrabModeSync,
                                    XIGrabModeAsync, False, &mask, 1, &modifier);
        }
        XSync(events_->display, False);
        if (failed == 0 && lastErrorCode.load() == 0) {
            grabbedKeycodes_.insert(keycode);
        } else {
            for (int master : masterKeyboards_)
                XIUngrabKeycode(events_->display, master, keycode, events_->root, 1, &anyModifier);
        }
    }
    router_.setGrabbedKeycodes(grabbedKeycodes_);
    XFlush(events_->display);
}

void X11Desktop::setClaimedKeys(std::set<int> keys) {
    if (keys == claimedKeys_)
        return;
    claimedKeys_ = std::move(keys);
    updateGrabs();
}

bool X11Desktop::registerHotkey(int id, int vk, unsigned modifiers, std::function<void()> pressed) {
    hotkeys_.add(id, vk, modifiers);
    hotkeyActions_[id] = std::move(pressed);
    updateGrabs();
    const std::vector<int> keycodes = keycodesOf(*events_, vk);
    const bool grabbed = !keycodes.empty() && grabbedKeycodes_.count(keycodes.front()) != 0;
    if (!grabbed)
        unregisterHotkey(id);
    return grabbed;
}

void X11Desktop::unregisterHotkey(int id) {
    hotkeyActions_.erase(id);
    if (hotkeys_.remove(id))
        updateGrabs();
}

std::unique_ptr<KeyboardHook> X11Desktop::installHook(KeyboardHookHandler handler) {
    if (handler_ != nullptr || handler == nullptr)
        return nullptr;
    handler_ = handler;
    updateGrabs();
    return std::make_unique<Hook>(*this);
}

void X11Desktop::removeHook() {
    handler_ = nullptr;
    updateGrabs();
}

void X11Desktop::callHook(int keycode, KeyEventKind kind, bool injected) {
    if (handler_ == nullptr)
        return;
    const int vk = virtualKeyOfKeycode(keycode);
    if (vk == 0)
        return;
    handler_(KeyboardHookEvent{vk, kind, injected}, NextHook{&passOn, nullptr});
}

void X11Desktop::dispatchPending() {
    Display* display = events_->display;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            keycodeVirtualKeys_.clear();
            updateGrabs();
            continue;
        }
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != inputOpcode_ ||
            !XGetEventData(display, cookie))
            continue;
        handleGenericEvent(cookie);
        XFreeEventData(display, cookie);
    }
}

void X11Desktop::handleGenericEvent(void* data) {
    auto* cookie = static_cast<XGenericEventCookie*>(data);
    switch (cookie->evtype) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease: {
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        const X11KeyEvent event{X11KeySource::Raw, cookie->evtype == XI_RawKeyPress, raw->detail,
                                raw->sourceid};
        if (const auto routed = router_.route(event))
            callHook(routed->keycode, routed->kind, routed->injected);
        break;
    }
    case XI_KeyPress:
        handleGrabbedPress(cookie->data);
        break;
    case XI_HierarchyChanged:
        refreshSyntheticDevices();
        break;
    default:
        break; // grabbed releases: the raw stream reports them
    }
}

void X11Desktop::handleGrabbedPress(const void* data) {
    const auto* press = static_cast<const XIDeviceEvent*>(data);
    const X11KeyEvent event{X11KeySource::Grabbed, true, press->detail, press->sourceid};
    const auto routed = router_.route(event);
    bool swallow = false;
    // A job started by this press must not send its keys while the keyboard is still ours: they would
    // reach the grab instead of the focused window.
    {
        std::lock_guard gate(gateLock_);
        decisionPending_ = true;
    }
    if (routed && handler_ != nullptr && claimedKeycodes_.count(press->detail) != 0) {
        const int vk = virtualKeyOfKeycode(press->detail);
        if (vk != 0) {
            swallow = handler_(KeyboardHookEvent{vk, KeyEventKind::Down, routed->injected},
                               NextHook{&passOn, nullptr}) == 1;
        }
    }
    std::function<void()> hotkeyAction;
    if (!swallow && hotkeyKeycodes_.count(press->detail) != 0) {
        const HotkeyDecision decision =
            hotkeys_.decide(virtualKeyOfKeycode(press->detail),
                            hotkeyModifiersOfState(static_cast<unsigned>(press->mods.effective)),
                            (press->flags & XIKeyRepeat) != 0);
        swallow = decision.keep;
        if (decision.fire)
            hotkeyAction = hotkeyActions_[*decision.fire];
    }
    Display* display = events_->display;
    if (swallow) {
        // The press is ours alone; giving up the grab at once lets the keys that follow (the macro's own
        // output among them) reach the focused window again.
        XIAllowEvents(display, press->deviceid, XIAsyncDevice, CurrentTime);
        XIUngrabDevice(display, press->deviceid, CurrentTime);
    } else {
        XIAllowEvents(display, press->deviceid, XIReplayDevice, CurrentTime);
    }
    XSync(display, False);
    {
        std::lock_guard gate(gateLock_);
        decisionPending_ = false;
    }
    gateOpen_.notify_all();
    if (hotkeyAction)
        hotkeyAction();
}

void X11Desktop::sendKey(int vk, bool up) {
    {
        // Bounded, so that a stalled user-interface thread cannot hold a job forever.
        std::unique_lock gate(gateLock_);
        gateOpen_.wait_for(gate, std::chrono::milliseconds(250), [this] { return !decisionPending_; });
    }
    std::lock_guard lock(outputLock_);
    const std::vector<int> keycodes = keycodesOf(*output_, vk);
    if (keycodes.empty())
        throw std::runtime_error("无法转换硬件扫描码");
    XTestFakeKeyEvent(output_->display, static_cast<unsigned>(keycodes.front()), up ? False : True,
                      CurrentTime);
    XFlush(output_->display);
}

std::optional<std::wstring> X11Desktop::foregroundProgramPath() {
    std::optional<unsigned long> pid;
    {
        std::lock_guard lock(outputLock_);
        const auto active = output_->cardinal(output_->root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
        if (!active || *active == 0)
            return std::nullopt;
        pid = output_->cardinal(static_cast<Window>(*active), "_NET_WM_PID", XA_CARDINAL);
    }
    if (!pid)
        return std::nullopt;
    return processImagePath(*pid);
}

std::vector<TopLevelWindow> X11Desktop::topLevelWindows() {
    std::lock_guard lock(outputLock_);
    const Connection& connection = *output_;
    std::vector<unsigned long> clients =
        connection.list(connection.root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (clients.empty())
        clients = connection.list(connection.root, "_NET_CLIENT_LIST", XA_WINDOW);
    const Atom skipTaskbar = connection.atom("_NET_WM_STATE_SKIP_TASKBAR");
    std::vector<TopLevelWindow> windows;
    // The stacking list runs bottom to top; the program list wants the top first.
    for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
        const auto window = static_cast<Window>(*it);
        TopLevelWindow entry;
        const std::vector<unsigned long> states = connection.list(window, "_NET_WM_STATE", XA_ATOM);
        entry.visible = std::find(states.begin(), states.end(), skipTaskbar) == states.end();
        Window owner = 0;
        entry.owned = XGetTransientForHint(connection.display, window, &owner) != 0 && owner != 0;
        std::string title = connection.text(window, "_NET_WM_NAME", connection.atom("UTF8_STRING"));
        if (title.empty())
            title = connection.text(window, "WM_NAME", XA_STRING);
        entry.titleLength = static_cast<int>(title.size());
        entry.processId = connection.cardinal(window, "_NET_WM_PID", XA_CARDINAL).value_or(0);
        windows.push_back(entry);
    }
    return windows;
}

} // namespace kes::platform::x11
