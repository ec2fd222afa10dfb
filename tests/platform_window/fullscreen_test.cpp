// Full screen: where a display mode's screen goes in windows of every real size (whole, centred, at a
// whole or aspect-kept scale), and mouse positions mapped back to the mode's screen.
#include <gtest/gtest.h>

#include "backend/fit.h"

namespace {

using plat::Fit;

TEST(FullScreen, ModeFitsWholeAndCentred) {
    struct Case {
        int ww, wh, mw, mh;
        Fit want;
    } cases[] = {
        {640, 480, 640, 480, {0, 0, 640, 480}},        // the window is the mode
        {1024, 768, 640, 480, {192, 144, 640, 480}},   // room for 1x only: centred
        {1280, 1024, 640, 480, {0, 32, 1280, 960}},    // 2x
        {1920, 1080, 640, 480, {320, 60, 1280, 960}},  // 2x, not 2.25x: every pixel the same size
        {2560, 1440, 640, 480, {320, 0, 1920, 1440}},  // 3x
        {1366, 768, 800, 600, {283, 84, 800, 600}},
        {320, 240, 640, 480, {0, 0, 320, 240}},        // smaller than the mode: aspect kept
        {500, 480, 640, 480, {0, 52, 500, 375}},
        {640, 300, 640, 480, {120, 0, 400, 300}},
        {0, 480, 640, 480, {0, 0, 0, 0}},              // no window yet
    };
    for (const Case& c : cases) {
        Fit f = plat::fit_mode(c.ww, c.wh, c.mw, c.mh);
        SCOPED_TRACE(std::to_string(c.ww) + "x" + std::to_string(c.wh) + " for " + std::to_string(c.mw) + "x" +
                     std::to_string(c.mh));
        EXPECT_EQ(f.x, c.want.x);
        EXPECT_EQ(f.y, c.want.y);
        EXPECT_EQ(f.w, c.want.w);
        EXPECT_EQ(f.h, c.want.h);
        if (f.w == 0) continue;
        // Whole and inside the window, the aspect kept to a pixel.
        EXPECT_GE(f.x, 0);
        EXPECT_GE(f.y, 0);
        EXPECT_LE(f.x + f.w, c.ww);
        EXPECT_LE(f.y + f.h, c.wh);
        EXPECT_LE(std::abs(int64_t(f.w) * c.mh - int64_t(f.h) * c.mw), int64_t(std::max(c.mw, c.mh)));

        // Every point of the mode's screen shows somewhere and maps back to itself where each has a
        // pixel of its own; shrunk, a window pixel maps to a point it shows within one pixel.
        for (int my = 0; my < c.mh; my += 7)
            for (int mx = 0; mx < c.mw; mx += 5) {
                int wx, wy, bx, by;
                plat::mode_to_window(f, c.mw, c.mh, mx, my, wx, wy);
                ASSERT_TRUE(wx >= f.x && wx < f.x + f.w && wy >= f.y && wy < f.y + f.h) << mx << "," << my;
                plat::window_to_mode(f, c.mw, c.mh, wx, wy, bx, by);
                if (f.w >= c.mw) {
                    ASSERT_EQ(bx, mx);
                    ASSERT_EQ(by, my);
                } else {
                    int px, py;
                    plat::mode_to_window(f, c.mw, c.mh, bx, by, px, py);
                    ASSERT_LE(std::abs(px - wx), 1);
                    ASSERT_LE(std::abs(py - wy), 1);
                }
            }
        // The borders around the picture belong to its edges.
        int mx, my;
        plat::window_to_mode(f, c.mw, c.mh, 0, 0, mx, my);
        EXPECT_EQ(mx, 0);
        EXPECT_EQ(my, 0);
        plat::window_to_mode(f, c.mw, c.mh, c.ww - 1, c.wh - 1, mx, my);
        EXPECT_GE(mx, c.mw - (c.mw + f.w - 1) / f.w);  // shrunk, the last pixel shows the last few points
        EXPECT_GE(my, c.mh - (c.mh + f.h - 1) / f.h);
        EXPECT_LE(mx, c.mw - 1);
        EXPECT_LE(my, c.mh - 1);
    }
}

TEST(FullScreen, ClientAreaOnTheModesScreen) {
    Fit f = plat::fit_mode(1280, 1024, 640, 480);
    Fit r = plat::mode_rect(f, 640, 480, 0, 0, 640, 480);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 32);
    EXPECT_EQ(r.w, 1280);
    EXPECT_EQ(r.h, 960);
    r = plat::mode_rect(f, 640, 480, 100, 50, 200, 100);  // a smaller window on the mode's screen
    EXPECT_EQ(r.x, 200);
    EXPECT_EQ(r.y, 132);
    EXPECT_EQ(r.w, 400);
    EXPECT_EQ(r.h, 200);
}

}  // namespace
