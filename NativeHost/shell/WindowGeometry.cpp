#include "shell/WindowGeometry.h"

namespace kes {

int hitTestBorderless(int x, int y, int w, int h) {
    if (y < resizeBand) {
        if (x < resizeBand) {
            return HitTopLeft;
        }
        if (x >= w - resizeBand) {
            return HitTopRight;
        }
    }
    if (y >= h - resizeBand) {
        if (x < resizeBand) {
            return HitBottomLeft;
        }
        if (x >= w - resizeBand) {
            return HitBottomRight;
        }
    }
    if (y < h - resizeBand) {
        if (x < resizeBand) {
            return HitLeft;
        }
        if (x >= w - resizeBand) {
            return HitRight;
        }
    }
    if (y < resizeBand) {
        return HitTop;
    }
    if (y >= h - resizeBand) {
        return HitBottom;
    }
    return HitClient;
}

WindowOrigin centredWindowOrigin(int screenWidth, int screenHeight) {
    return {(screenWidth - mainWindowWidth) / 2, (screenHeight - mainWindowHeight) / 2};
}

} // namespace kes
