// CopyRectTiled: the pattern is fixed to destination coordinates, pieces are clipped as ordinary
// copies, and degenerate sources draw nothing.
#include <gtest/gtest.h>

#include <string>

#include "support.h"
#include "vokplat/msgbox.h"

using namespace pxblit;
using pxtest::MapSpec;
using pxtest::TestMap;

namespace {

int64_t mod(int64_t a, int64_t m) { return ((a % m) + m) % m; }

// A W×H source whose pixel (x, y) holds 0x100·(y+1) + x + 1.
TestMap make_tile(int w, int h) {
    TestMap t(MapSpec{T_565, w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) t.set(x, y, static_cast<uint32_t>(0x100 * (y + 1) + x + 1));
    return t;
}

TEST(CopyRectTiled, ColumnsFollowTheOffset) {
    TestMap tile = make_tile(4, 4);
    TestMap dst(MapSpec{T_565, 12, 1});
    copy_rect_tiled(dst.map(), 0, 0, tile.map(), 6, 0, 10, 1);
    const int want_cols[] = {2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(dst.get(x, 0), 0x100u + want_cols[x] + 1) << x;
    EXPECT_EQ(dst.get(10, 0), 0u);
    EXPECT_EQ(dst.get(11, 0), 0u);
}

TEST(CopyRectTiled, PatternIsFixedToDestinationCoordinates) {
    struct Case { int dx, dy, sx, sy, w, h; };
    const Case cases[] = {
        {0, 0, 0, 0, 16, 12}, {3, 2, 1, 2, 9, 7}, {-5, -3, 2, 1, 14, 11}, {-2, 4, -3, -1, 20, 20},
        {5, 5, 7, 9, 3, 3},   {0, 0, -4, -3, 16, 12}, {13, 0, 0, 0, 10, 10},
    };
    for (const Case& c : cases) {
        TestMap tile = make_tile(3, 4);
        TestMap dst(MapSpec{T_565, 16, 12, 2, true, 1, 1, 1, 1});
        copy_rect_tiled(dst.map(), c.dx, c.dy, tile.map(), c.sx, c.sy, c.w, c.h);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool in = x >= c.dx && x < c.dx + c.w && y >= c.dy && y < c.dy + c.h;
                const uint32_t want =
                    in ? static_cast<uint32_t>(0x100 * (mod(y + c.sy, 4) + 1) + mod(x + c.sx, 3) + 1) : 0;
                ASSERT_EQ(dst.get(x, y), want) << c.dx << "," << c.dy << " at " << x << "," << y;
            }
        EXPECT_TRUE(dst.guards_ok());
    }
}

TEST(CopyRectTiled, ConvertsLikeCopyRectangle) {
    TestMap tile(MapSpec{T_555, 2, 2});
    tile.set(0, 0, 0x7FFF);
    tile.set(1, 1, 0x001F);
    TestMap dst(MapSpec{T_565, 5, 3});
    copy_rect_tiled(dst.map(), 0, 0, tile.map(), 0, 0, 5, 3);
    EXPECT_EQ(dst.get(0, 0), 0xFFDFu);
    EXPECT_EQ(dst.get(2, 2), 0xFFDFu);
    EXPECT_EQ(dst.get(3, 1), 0x001Fu);
    EXPECT_EQ(dst.get(1, 0), 0u);
}

TEST(CopyRectTiled, EmptySourceOrNullMapDrawsNothing) {
    TestMap empty(MapSpec{T_565, 0, 4});
    TestMap flat(MapSpec{T_565, 4, 0});
    TestMap dst(MapSpec{T_565, 8, 8});
    dst.fill_bytes(0x5A);
    const auto before = dst.snapshot();
    copy_rect_tiled(dst.map(), 0, 0, empty.map(), 0, 0, 8, 8);
    copy_rect_tiled(dst.map(), 0, 0, flat.map(), 0, 0, 8, 8);
    copy_rect_tiled(dst.map(), 0, 0, nullptr, 0, 0, 8, 8);
    copy_rect_tiled(nullptr, 0, 0, dst.map(), 0, 0, 8, 8);
    EXPECT_TRUE(dst.memory() == before);
}

TEST(CopyRectTiled, UnsupportedPairReportsOnce) {
    PlatMsgBoxReset();
    TestMap tile(MapSpec{T_565, 2, 2});
    TestMap dst(MapSpec{T_I8, 16, 16});
    copy_rect_tiled(dst.map(), 0, 0, tile.map(), 0, 0, 16, 16);
    char log[4096];
    PlatMsgBoxLog(log, sizeof log);
    const std::string text(log);
    EXPECT_NE(text.find("(5 to 3)"), std::string::npos);
    EXPECT_EQ(text.find("(5 to 3)"), text.rfind("(5 to 3)"));
}

}  // namespace
