#include "shell/WindowGeometry.h"

#include <gtest/gtest.h>

TEST(WindowGeometry, HitTestBandOfEightPixels) {
    constexpr int w = 1430;
    constexpr int h = 860;
    struct Case {
        int x;
        int y;
        int code;
    };
    const Case cases[] = {
        {0, 0, kes::HitTopLeft},
        {7, 7, kes::HitTopLeft},
        {8, 7, kes::HitTop},
        {7, 8, kes::HitLeft},
        {715, 0, kes::HitTop},
        {w - 9, 7, kes::HitTop},
        {w - 8, 7, kes::HitTopRight},
        {w - 1, 0, kes::HitTopRight},
        {w - 8, 8, kes::HitRight},
        {0, 430, kes::HitLeft},
        {w - 1, 430, kes::HitRight},
        {8, 8, kes::HitClient},
        {715, 430, kes::HitClient},
        {w - 9, h - 9, kes::HitClient},
        {0, h - 8, kes::HitBottomLeft},
        {7, h - 1, kes::HitBottomLeft},
        {8, h - 1, kes::HitBottom},
        {w - 8, h - 8, kes::HitBottomRight},
        {w - 1, h - 1, kes::HitBottomRight},
        {715, h - 8, kes::HitBottom},
        {0, h - 9, kes::HitLeft},
        // The startup check's own points: (left + 1, top + 1) and (right - 2, bottom - 2).
        {1, 1, kes::HitTopLeft},
        {w - 2, h - 2, kes::HitBottomRight},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kes::hitTestBorderless(c.x, c.y, w, h), c.code) << c.x << "," << c.y;
    }
}

TEST(WindowGeometry, HitCodesAreTheSystemValues) {
    EXPECT_EQ(kes::HitClient, 1);
    EXPECT_EQ(kes::HitLeft, 10);
    EXPECT_EQ(kes::HitRight, 11);
    EXPECT_EQ(kes::HitTop, 12);
    EXPECT_EQ(kes::HitTopLeft, 13);
    EXPECT_EQ(kes::HitTopRight, 14);
    EXPECT_EQ(kes::HitBottom, 15);
    EXPECT_EQ(kes::HitBottomLeft, 16);
    EXPECT_EQ(kes::HitBottomRight, 17);
}

TEST(WindowGeometry, CentringTruncatesTowardZero) {
    const struct {
        int screenW, screenH, x, y;
    } cases[] = {
        {1920, 1080, 245, 110}, {1280, 720, -75, -70}, {1431, 861, 0, 0},
        {1429, 859, 0, 0},      {1427, 857, -1, -1},   {2560, 1440, 565, 290},
    };
    for (const auto& c : cases) {
        const kes::WindowOrigin origin = kes::centredWindowOrigin(c.screenW, c.screenH);
        EXPECT_EQ(origin.x, c.x) << c.screenW;
        EXPECT_EQ(origin.y, c.y) << c.screenH;
    }
}
