#pragma once

namespace kes {

inline constexpr int mainWindowWidth = 1430;
inline constexpr int mainWindowHeight = 860;
inline constexpr int minimumTrackWidth = 760;
inline constexpr int minimumTrackHeight = 560;
// The resize band along every edge, inside the window rectangle, in physical pixels.
inline constexpr int resizeBand = 8;

// Hit-test codes of the borderless window (the system's WM_NCHITTEST values).
enum HitCode : int {
    HitClient = 1,
    HitLeft = 10,
    HitRight = 11,
    HitTop = 12,
    HitTopLeft = 13,
    HitTopRight = 14,
    HitBottom = 15,
    HitBottomLeft = 16,
    HitBottomRight = 17,
};

// Where a point (x, y), relative to the window's top-left corner, lies in a window of w × h: the corners
// and edges of the resize band, else the client area. The caption is never reported.
int hitTestBorderless(int x, int y, int w, int h);

struct WindowOrigin {
    int x = 0;
    int y = 0;
};

// The initial window centred on a screen of the given size; truncating division, so a screen smaller than
// the window gives a negative coordinate.
WindowOrigin centredWindowOrigin(int screenWidth, int screenHeight);

} // namespace kes
