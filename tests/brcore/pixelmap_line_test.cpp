// Line clipping and the symmetric double-step lines, in the memory class and through pixelSet.
#include <cmath>

#include "pixelmap_support.h"

namespace {

PixelSet draw(br_pixelmap *pm, int x1, int y1, int x2, int y2)
{
    BrPixelmapFill(pm, 0);
    EXPECT_EQ(BrPixelmapLine(pm, x1, y1, x2, y2, 1), (br_error)BRE_OK);
    return pixels_not(pm, 0);
}

} // namespace

TEST_F(PmTest, LineClipTable)
{
    br_pixelmap pm = {};
    pm.width = 4;
    pm.height = 8;
    struct Case {
        br_point s, e;
        bool visible;
        br_point cs, ce;
    } cases[] = {
        {{-10, 5}, {10, 5}, true, {0, 5}, {3, 5}},
        {{10, 5}, {-10, 5}, true, {0, 5}, {3, 5}},  // ends come back left first
        {{2, -5}, {2, 20}, true, {2, 0}, {2, 7}},
        {{2, 20}, {2, -5}, true, {2, 7}, {2, 0}},
        {{-4, -4}, {6, 6}, true, {0, 0}, {3, 3}},
        {{0, 0}, {3, 7}, true, {0, 0}, {3, 7}},     // inside: unchanged
        {{-5, 3}, {3, -5}, false, {}, {}},          // passes the top-left corner outside
        {{4, 0}, {9, 9}, false, {}, {}},            // right of the map
        {{0, 8}, {3, 8}, false, {}, {}},            // below
        {{-3, -1}, {5, -1}, false, {}, {}},         // above
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.s.x << "," << c.s.y << " - " << c.e.x << "," << c.e.y);
        br_point a, b;
        br_int_32 r = PixelmapLineClip(&a, &b, &c.s, &c.e, &pm);
        EXPECT_EQ(r != 0, c.visible);
        if (r && c.visible) {
            EXPECT_EQ(a.x, c.cs.x);
            EXPECT_EQ(a.y, c.cs.y);
            EXPECT_EQ(b.x, c.ce.x);
            EXPECT_EQ(b.y, c.ce.y);
        }
    }

    // Lines through the map from every direction come back inside it.
    for (int ax = -20; ax <= 24; ax += 4)
        for (int ay = -20; ay <= 28; ay += 6)
            for (int bx = -20; bx <= 24; bx += 5)
                for (int by = -20; by <= 28; by += 7) {
                    br_point s = {ax, ay}, e = {bx, by}, a, b;
                    if (!PixelmapLineClip(&a, &b, &s, &e, &pm))
                        continue;
                    ASSERT_TRUE(a.x >= 0 && a.x < 4 && b.x >= 0 && b.x < 4 && a.x <= b.x);
                    ASSERT_TRUE(a.y >= 0 && a.y < 8 && b.y >= 0 && b.y < 8);
                }
}

TEST_F(PmTest, OtherClipFunctions)
{
    br_pixelmap pm = {};
    pm.width = 10;
    pm.height = 6;
    pm.origin_x = 2;
    pm.origin_y = 1;
    br_point p = {7, 4}, out;
    EXPECT_EQ(PixelmapPointClip(&out, &p, &pm), PIXELMAP_CLIP_INSIDE);
    EXPECT_EQ(out.x, 9);
    EXPECT_EQ(out.y, 5);
    p = {8, 0};
    EXPECT_EQ(PixelmapPointClip(&out, &p, &pm), PIXELMAP_CLIP_REJECT);

    br_rectangle r = {-4, -3, 8, 4}, ro;
    ASSERT_EQ(PixelmapRectangleClip(&ro, &r, &pm), PIXELMAP_CLIP_PARTIAL);
    EXPECT_EQ(ro.x, 0);
    EXPECT_EQ(ro.y, 0);
    EXPECT_EQ(ro.w, 6);
    EXPECT_EQ(ro.h, 2);
    for (br_rectangle bad : {br_rectangle{8, 0, 4, 4}, br_rectangle{-2, -1, 0, 3}, br_rectangle{-12, 0, 10, 2},
                             br_rectangle{0, 0, 5, -1}, br_rectangle{0x7FFFFFF0, 0, 0x7FFFFFF0, 1}})
        EXPECT_EQ(PixelmapRectangleClip(&ro, &bad, &pm), PIXELMAP_CLIP_REJECT);

    // Bits clipped at the left and top: the rectangle start moves, the point lands on the edge.
    br_rectangle bits = {0, 0, 8, 9};
    br_point at = {-5, -3};
    ASSERT_EQ(PixelmapCopyBitsClip(&ro, &out, &bits, &at, &pm), PIXELMAP_CLIP_PARTIAL);
    EXPECT_EQ(ro.x, 3);
    EXPECT_EQ(ro.y, 2);
    EXPECT_EQ(ro.w, 5);
    EXPECT_EQ(ro.h, 6);
    EXPECT_EQ(out.x, 0);
    EXPECT_EQ(out.y, 0);
}

TEST_F(PmTest, LinesAreSymmetricAndFollowTheIdealLine)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 40, 40, nullptr, 0);
    ASSERT_NE(pm, nullptr);

    // Horizontal both ways: the same ten pixels.
    PixelSet fwd = draw(pm, 0, 0, 9, 0);
    EXPECT_EQ(fwd.size(), 10u);
    EXPECT_EQ(draw(pm, 9, 0, 0, 0), fwd);
    // A line of one point.
    EXPECT_EQ(draw(pm, 5, 6, 5, 6), (PixelSet{{5, 6}}));

    for (int dx = -13; dx <= 13; dx++)
        for (int dy = -13; dy <= 13; dy++) {
            SCOPED_TRACE(testing::Message() << "dx " << dx << " dy " << dy);
            const int x1 = 20, y1 = 20, x2 = x1 + dx, y2 = y1 + dy;
            PixelSet s = draw(pm, x1, y1, x2, y2);
            ASSERT_EQ(draw(pm, x2, y2, x1, y1), s);
            ASSERT_TRUE(s.count({x1, y1}) && s.count({x2, y2}));
            const bool xmajor = std::abs(dx) >= std::abs(dy);
            const int M = xmajor ? std::abs(dx) : std::abs(dy);
            ASSERT_EQ(s.size(), (size_t)M + 1); // one pixel per major step
            for (auto [x, y] : s) {
                double t = M == 0 ? 0.0 : (xmajor ? (double)(x - x1) / dx : (double)(y - y1) / dy);
                double ideal = xmajor ? y1 + t * dy : x1 + t * dx;
                double minor = xmajor ? y : x;
                ASSERT_LE(std::fabs(minor - ideal), 0.5 + 1e-9) << "pixel " << x << "," << y;
            }
        }
    BrPixelmapFree(pm);
}

TEST_F(PmTest, GenericLineDrawsTheSamePixelsThroughPixelSet)
{
    br_pixelmap *mem = BrPixelmapAllocate(BR_PMT_RGB_565, 24, 16, nullptr, 0);
    br_pixelmap *gen = BrPixelmapAllocate(BR_PMT_RGB_565, 24, 16, nullptr, 0);
    gen->dispatch = pixel_set_only_dispatch();
    mem->origin_x = gen->origin_x = 3;
    mem->origin_y = gen->origin_y = 2;
    const int lines[][4] = {{-8, -8, 30, 20}, {0, 0, 5, 13}, {20, -5, -6, 9}, {-3, 12, 25, 12}, {7, 20, 7, -20}};
    for (auto &l : lines) {
        EXPECT_EQ(draw(gen, l[0], l[1], l[2], l[3]), draw(mem, l[0], l[1], l[2], l[3]));
        EXPECT_FALSE(pixels_not(mem, 0).empty());
    }
    gen->dispatch = nullptr;
    BrPixelmapFree(mem);
    BrPixelmapFree(gen);
}
