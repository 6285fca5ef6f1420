#include "webhost/win32/Win32WindowServices.h"

#include "shell/WindowGeometry.h"
#include "shell/win32/MainWindow.h"
#include "webhost/WindowServices.h"

#include <windows.h>

namespace kes::win32 {

namespace {

static_assert(HitTopLeft == HTTOPLEFT && HitBottomRight == HTBOTTOMRIGHT);

HWND asWindow(void* window) {
    return static_cast<HWND>(window);
}

ClientRect fromRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace

void installWindowServices() {
    WindowServices& services = windowServices();
    services.clientRect = [](void* window) {
        RECT rect{};
        GetClientRect(asWindow(window), &rect);
        return fromRect(rect);
    };
    services.windowRect = [](void* window) {
        RECT rect{};
        GetWindowRect(asWindow(window), &rect);
        return fromRect(rect);
    };
    services.postCloseRequest = [](void* window) {
        PostMessageW(asWindow(window), closeRequestMessage, 0, 0);
    };
    services.minimize = [](void* window) {
        ShowWindow(asWindow(window), SW_MINIMIZE);
    };
    services.beginDrag = [](void* window) {
        ReleaseCapture();
        SendMessageW(asWindow(window), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    };
    services.hitTest = [](void* window, int x, int y) {
        return static_cast<int>(SendMessageW(asWindow(window), WM_NCHITTEST, 0, MAKELPARAM(x, y)));
    };
    services.isMinimized = [](void* window) {
        return IsIconic(asWindow(window)) != FALSE;
    };
    services.restore = [](void* window) {
        ShowWindow(asWindow(window), SW_RESTORE);
    };
    services.postClose = [](void* window) {
        PostMessageW(asWindow(window), WM_CLOSE, 0, 0);
    };
}

} // namespace kes::win32
