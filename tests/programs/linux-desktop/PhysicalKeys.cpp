// Presses keys on the display's own keyboard device (not the XTest device), so that every program sees
// them as physical input. Arguments: a script of words, "down NAME", "up NAME", "tap NAME" and "wait MS",
// where NAME is an X key symbol name such as F8, a or Control_L; "report keys" prints how many keys of the
// display are down now ("down 0" when none is), "report NAME" whether that key is ("NAME down" or "NAME
// up"); "autorepeat off" stops the server's key repeat.
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

XDevice* openPhysicalKeyboard(Display* display) {
    int count = 0;
    XDeviceInfo* devices = XListInputDevices(display, &count);
    XDevice* device = nullptr;
    for (int i = 0; i < count && device == nullptr; ++i) {
        const std::string name = devices[i].name != nullptr ? devices[i].name : "";
        if (devices[i].use == IsXExtensionKeyboard && name.find("XTEST") == std::string::npos &&
            name.find("keyboard") != std::string::npos)
            device = XOpenDevice(display, devices[i].id);
    }
    XFreeDeviceList(devices);
    return device;
}

} // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    XDevice* keyboard = openPhysicalKeyboard(display);
    if (keyboard == nullptr) {
        std::fprintf(stderr, "no physical keyboard device\n");
        return 1;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string word = argv[i];
        const char* value = argv[i + 1];
        if (word == "report") {
            char keys[32];
            XQueryKeymap(display, keys);
            if (std::strcmp(value, "keys") == 0) {
                int down = 0;
                for (char byte : keys)
                    down += __builtin_popcount(static_cast<unsigned char>(byte));
                std::printf("down %d\n", down);
            } else {
                const KeySym symbol = XStringToKeysym(value);
                const KeyCode keycode = symbol != NoSymbol ? XKeysymToKeycode(display, symbol) : 0;
                const bool down = keycode != 0 && (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
                std::printf("%s %s\n", value, down ? "down" : "up");
            }
            continue;
        }
        if (word == "autorepeat") {
            XKeyboardControl control{};
            control.auto_repeat_mode = std::strcmp(value, "off") == 0 ? AutoRepeatModeOff : AutoRepeatModeOn;
            XChangeKeyboardControl(display, KBAutoRepeatMode, &control);
            continue;
        }
        if (word == "wait") {
            XFlush(display);
            usleep(static_cast<useconds_t>(std::atoi(value)) * 1000u);
            continue;
        }
        const KeySym symbol = XStringToKeysym(value);
        const KeyCode keycode = symbol != NoSymbol ? XKeysymToKeycode(display, symbol) : 0;
        if (keycode == 0) {
            std::fprintf(stderr, "unknown key %s\n", value);
            XCloseDevice(display, keyboard);
            XCloseDisplay(display);
            return 1;
        }
        if (word == "down" || word == "tap")
            XTestFakeDeviceKeyEvent(display, keyboard, keycode, True, nullptr, 0, CurrentTime);
        if (word == "tap") {
            XFlush(display);
            usleep(30000);
        }
        if (word == "up" || word == "tap")
            XTestFakeDeviceKeyEvent(display, keyboard, keycode, False, nullptr, 0, CurrentTime);
        XFlush(display);
    }
    XSync(display, False);
    XCloseDevice(display, keyboard);
    XCloseDisplay(display);
    return 0;
}
