// The exported entries over br_pixelmap records built by hand: fields reach the kernels as the
// record holds them (signed stride, base, user word), and each entry names the right blitter.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "blit_api.h"
#include "brondel/brpixmap.h"
#include "pannix/pxblit.h"

namespace {

struct Rec {
    std::vector<uint16_t> mem;
    br_pixelmap pm{};
    // A w×h 16-bit map inside a block of (w + bx) × (h + by), optionally bottom-up.
    Rec(int type, int w, int h, int bx = 0, int by = 0, bool bottom_up = false)
        : mem(static_cast<size_t>((w + bx) * (h + by))) {
        const int stride = (w + bx) * 2;
        pm.type = static_cast<br_uint_8>(type);
        pm.width = static_cast<br_uint_16>(w);
        pm.height = static_cast<br_uint_16>(h);
        pm.base_x = static_cast<br_uint_16>(bx);
        pm.base_y = static_cast<br_uint_16>(by);
        pm.row_bytes = static_cast<br_int_16>(bottom_up ? -stride : stride);
        pm.pixels = bottom_up ? static_cast<void*>(reinterpret_cast<uint8_t*>(mem.data()) + stride * (h + by - 1))
                              : static_cast<void*>(mem.data());
    }
    uint16_t& at(int x, int y) {
        auto* p = static_cast<uint8_t*>(pm.pixels) + (y + pm.base_y) * pm.row_bytes + (x + pm.base_x) * 2;
        return *reinterpret_cast<uint16_t*>(p);
    }
};

TEST(BlitEntries, CopyRectangleReadsTheRecord) {
    Rec src(BR_PMT_RGB_555, 3, 2, 1, 1);
    src.at(0, 0) = 0x7FFF;
    src.at(2, 1) = 0x001F;
    Rec dst(BR_PMT_RGB_565, 4, 3, 0, 0, true);
    CopyRectangle(&dst.pm, 1, 1, &src.pm, 0, 0, 3, 2);
    EXPECT_EQ(dst.at(1, 1), 0xFFDF);
    EXPECT_EQ(dst.at(3, 2), 0x001F);
    EXPECT_EQ(dst.at(0, 0), 0);
    CopyRectangle(nullptr, 0, 0, &src.pm, 0, 0, 1, 1);
    CopyRectangle(&dst.pm, 0, 0, nullptr, 0, 0, 1, 1);
}

TEST(BlitEntries, UserWordIsThePaletteOrTheMode) {
    static uint32_t palette[256];
    palette[2] = 0x00FF0000;
    std::vector<uint8_t> idx = {2, 0};
    br_pixelmap src{};
    src.type = BR_PMT_INDEX_8;
    src.width = 2;
    src.height = 1;
    src.row_bytes = 2;
    src.pixels = idx.data();
    src.user = palette;
    Rec dst(BR_PMT_RGB_565, 2, 1);
    CopyRectangle(&dst.pm, 0, 0, &src, 0, 0, 2, 1);
    EXPECT_EQ(dst.at(0, 0), 0xF800);

    Rec half(BR_PMT_RGB_565, 1, 1);
    half.at(0, 0) = 0xFFFF;
    half.pm.user = reinterpret_cast<void*>(uintptr_t{4});
    CopyRectangle(&dst.pm, 0, 0, &half.pm, 0, 0, 1, 1);
    EXPECT_EQ(dst.at(0, 0), 0x7BEF);
}

TEST(BlitEntries, PortableEntries) {
    Rec src(BR_PMT_RGB_565, 3, 1);
    src.at(0, 0) = 1;
    src.at(2, 0) = 3;
    Rec dst(BR_PMT_RGB_565, 3, 1);
    CopyRectFlipY(&dst.pm, 0, 0, &src.pm, 0, 0, 3, 1);
    EXPECT_EQ(dst.at(0, 0), 3);
    EXPECT_EQ(dst.at(2, 0), 1);
    Rec col(BR_PMT_RGB_565, 1, 2), out(BR_PMT_RGB_565, 1, 2);
    col.at(0, 0) = 5;
    CopyRectFlipX(&out.pm, 0, 0, &col.pm, 0, 0, 1, 2);
    EXPECT_EQ(out.at(0, 1), 5);
    out.at(0, 0) = 9;
    CopyRectTransparent0FlipXY(&out.pm, 0, 0, &col.pm, 0, 0, 1, 2);
    EXPECT_EQ(out.at(0, 0), 9);  // source 0 skipped
    CopyRectTransparent(&dst.pm, 0, 0, &src.pm, 0, 0, 3, 1, 1);
    EXPECT_EQ(dst.at(0, 0), 3);  // key 1 skipped
    CopyRectTransparent0fill(&dst.pm, 0, 0, &src.pm, 0, 0, 3, 1, 0x42);
    EXPECT_EQ(dst.at(0, 0), 0x42);
    EXPECT_EQ(dst.at(1, 0), 0);
    Rec tall(BR_PMT_RGB_565, 3, 2);
    MagnifyPixV12b(&tall.pm, &src.pm);
    EXPECT_EQ(tall.at(2, 0), 3);
}

TEST(BlitEntries, TranslucentCopiesReadTheBlendTableAtEachCall) {
    std::vector<uint8_t> table(256 * 256);
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i >> 8);  // row number
    br_pixelmap tm{};
    tm.type = BR_PMT_INDEX_8;
    tm.width = tm.height = 256;
    tm.row_bytes = 256;
    tm.pixels = table.data();
    std::vector<uint8_t> s = {0}, d = {10};
    br_pixelmap src{}, dst{};
    src.type = dst.type = BR_PMT_INDEX_8;
    src.width = dst.width = src.height = dst.height = 1;
    src.row_bytes = dst.row_bytes = 1;
    src.pixels = s.data();
    dst.pixels = d.data();
    pxblit::set_blend_table(nullptr);
    CopyRectTranslucent0(&dst, 0, 0, &src, 0, 0, 1, 1, 7);
    EXPECT_EQ(d[0], 10);
    pxblit::set_blend_table(&tm);
    CopyRectTranslucent0(&dst, 0, 0, &src, 0, 0, 1, 1, 7);
    EXPECT_EQ(d[0], 7);
    s[0] = 33;
    CopyRectTranslucentA(&dst, 0, 0, &src, 0, 0, 1, 1);
    EXPECT_EQ(d[0], 33);
    pxblit::set_blend_table(nullptr);
}

TEST(BlitEntries, TiledCopyThroughTheRecord) {
    Rec tile(BR_PMT_RGB_565, 2, 1);
    tile.at(0, 0) = 1;
    tile.at(1, 0) = 2;
    Rec dst(BR_PMT_RGB_565, 5, 1);
    CopyRectTiled(&dst.pm, 0, 0, &tile.pm, 1, 0, 5, 1);
    EXPECT_EQ(dst.at(0, 0), 2);
    EXPECT_EQ(dst.at(1, 0), 1);
    EXPECT_EQ(dst.at(4, 0), 2);
}

}  // namespace
