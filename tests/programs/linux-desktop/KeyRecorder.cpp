// A small top-level window that prints every key it receives, one line each ("press a", "release a"),
// to standard output, flushed at once. It names its process in _NET_WM_PID, as toolkits do, so that the
// window manager's active window leads to this program.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const char* title = argc > 1 ? argv[1] : "Kestrava key recorder";
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 40, 40, 360, 200, 1,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, title);
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display, window);
    XFlush(display);
    std::printf("ready %lu\n", window);
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease)
            continue;
        const KeySym symbol = XLookupKeysym(&event.xkey, 0);
        const char* name = XKeysymToString(symbol);
        std::printf("%s %s\n", event.type == KeyPress ? "press" : "release", name != nullptr ? name : "?");
        std::fflush(stdout);
    }
}
