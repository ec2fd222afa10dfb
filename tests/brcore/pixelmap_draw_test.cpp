// Fills, copies, sub maps, outlines, dirty lists and the copy choice between classes.
#include <cstring>

#include "pixelmap_support.h"

TEST_F(PmTest, FillLeavesRowPaddingAlone)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_888, 5, 3, nullptr, 0);
    ASSERT_NE(pm, nullptr);
    br_uint_8 *p = (br_uint_8 *)pm->pixels;
    memset(p, 0xAA, 3 * 24);
    ASSERT_EQ(BrPixelmapFill(pm, 0x030201), (br_error)BRE_OK);
    for (int row = 0; row < 3; row++) {
        for (int i = 0; i < 15; i++)
            EXPECT_EQ(p[row * 24 + i], i % 3 + 1) << row << "," << i;
        for (int i = 15; i < 24; i++)
            EXPECT_EQ(p[row * 24 + i], 0xAA) << row << "," << i;
    }
    BrPixelmapFree(pm);
}

TEST_F(PmTest, FillsOfEveryPixelSizeAtEveryAlignment)
{
    // Sub maps start at every byte offset, so the aligned stores meet every phase of the colour.
    for (br_uint_8 type : {BR_PMT_INDEX_8, BR_PMT_RGB_565, BR_PMT_RGB_888, BR_PMT_RGBX_888}) {
        br_pixelmap *pm = BrPixelmapAllocate(type, 64, 4, nullptr, 0);
        ASSERT_NE(pm, nullptr);
        const int bpp = BrPixelmapPixelBits(pm) / 8;
        const br_uint_32 colour = 0x87654321u & (bpp == 4 ? 0xFFFFFFFFu : ((1u << (8 * bpp)) - 1));
        for (int x = 0; x < 9; x++) {
            for (int w = 1; w < 40; w += 7) {
                BrPixelmapFill(pm, 0);
                ASSERT_EQ(BrPixelmapRectangleFill(pm, x, 1, w, 2, colour), (br_error)BRE_OK);
                for (int y = 0; y < 4; y++)
                    for (int i = 0; i < 64; i++) {
                        bool inside = y >= 1 && y < 3 && i >= x && i < x + w;
                        ASSERT_EQ(BrPixelmapPixelGet(pm, i, y), inside ? colour : 0u)
                            << "type " << int(type) << " x " << x << " w " << w << " at " << i << "," << y;
                    }
            }
        }
        BrPixelmapFree(pm);
    }
}

TEST_F(PmTest, RectangleCopyClipsAgainstBothMaps)
{
    br_pixelmap *src = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    br_pixelmap *dst = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            BrPixelmapPixelSet(src, x, y, (br_uint_32)(y * 8 + x + 1));

    // Source rectangle partly outside: only the overlap, the destination shifted by what was cut.
    BrPixelmapFill(dst, 0);
    ASSERT_EQ(BrPixelmapRectangleCopy(dst, 0, 0, src, -2, -1, 4, 4), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapPixelGet(dst, 2, 1), 1u);
    EXPECT_EQ(BrPixelmapPixelGet(dst, 3, 3), 8u * 2 + 2);
    EXPECT_EQ(BrPixelmapPixelGet(dst, 1, 1), 0u);
    EXPECT_EQ(pixels_not(dst, 0).size(), 2u * 3);

    // Destination point (-2, 0) copies from source x + 2 on.
    BrPixelmapFill(dst, 0);
    ASSERT_EQ(BrPixelmapRectangleCopy(dst, -2, 0, src, 0, 0, 4, 1), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapPixelGet(dst, 0, 0), 3u);
    EXPECT_EQ(BrPixelmapPixelGet(dst, 1, 0), 4u);
    EXPECT_EQ(pixels_not(dst, 0).size(), 2u);

    // Origins count on both sides; a copy entirely outside does nothing and succeeds.
    BrPixelmapFill(dst, 0);
    dst->origin_x = 4;
    src->origin_y = 2;
    ASSERT_EQ(BrPixelmapRectangleCopy(dst, -4, 0, src, 0, -2, 1, 1), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapPixelGet(dst, -4, 0), 1u);
    EXPECT_EQ(BrPixelmapRectangleCopy(dst, 100, 0, src, 0, 0, 4, 4), (br_error)BRE_OK);
    EXPECT_EQ(pixels_not(dst, 0).size(), 1u);

    BrPixelmapFree(src);
    BrPixelmapFree(dst);
}

TEST_F(PmTest, CopiesBetweenLayouts)
{
    // Whole copies between a top-down and a bottom-up map, a narrow sub map (row by row) and a
    // map copying onto itself with overlap.
    br_pixelmap *a = BrPixelmapAllocate(BR_PMT_RGB_565, 16, 6, nullptr, 0);
    br_pixelmap *b = BrPixelmapAllocate(BR_PMT_RGB_565, 16, 6, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 16; x++)
            BrPixelmapPixelSet(a, x, y, (br_uint_32)(y * 16 + x));
    BrPixelmapCopy(b, a);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 16; x++)
            ASSERT_EQ(BrPixelmapPixelGet(b, x, y), (br_uint_32)(y * 16 + x));

    br_pixelmap *sub = BrPixelmapAllocateSub(a, 3, 1, 5, 4);
    ASSERT_NE(sub, nullptr);
    EXPECT_FALSE(sub->flags & PIXELMAP_CONTIGUOUS);
    br_pixelmap *small = BrPixelmapAllocate(BR_PMT_RGB_565, 5, 4, nullptr, 0);
    BrPixelmapCopy(small, sub);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++)
            ASSERT_EQ(BrPixelmapPixelGet(small, x, y), (br_uint_32)((y + 1) * 16 + x + 3));

    // Moving an area down and right within the same map keeps every source row intact.
    ASSERT_EQ(BrPixelmapRectangleCopy(a, 1, 1, a, 0, 0, 15, 5), (br_error)BRE_OK);
    for (int y = 1; y < 6; y++)
        for (int x = 1; x < 16; x++)
            ASSERT_EQ(BrPixelmapPixelGet(a, x, y), (br_uint_32)((y - 1) * 16 + x - 1)) << x << "," << y;

    for (br_pixelmap *m : {sub, small, a, b})
        BrPixelmapFree(m);
}

TEST_F(PmTest, CopiesNeedTheSamePixelSizeAndNeverStretch)
{
    br_pixelmap *p565 = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    br_pixelmap *p555 = BrPixelmapAllocate(BR_PMT_RGB_555, 4, 4, nullptr, 0);
    br_pixelmap *p888 = BrPixelmapAllocate(BR_PMT_RGB_888, 4, 4, nullptr, 0);
    BrPixelmapFill(p565, 0x1234);
    BrPixelmapFill(p888, 0x777777);

    EXPECT_EQ(BrPixelmapRectangleCopy(p888, 0, 0, p565, 0, 0, 4, 4), (br_error)BRE_FAIL);
    EXPECT_EQ(BrPixelmapPixelGet(p888, 1, 1), 0x777777u);
    EXPECT_EQ(BrPixelmapDoubleBuffer(p565, p888), (br_error)BRE_FAIL);
    // Pixels of one size are copied raw.
    EXPECT_EQ(BrPixelmapRectangleCopy(p555, 0, 0, p565, 0, 0, 4, 4), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapPixelGet(p555, 3, 3), 0x1234u);

    // Maps of other sizes take the stretch path, which memory maps refuse.
    br_pixelmap *big = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    BrPixelmapFill(big, 0);
    BrPixelmapCopy(big, p565);
    EXPECT_EQ(pixels_not(big, 0).size(), 0u);
    EXPECT_EQ(BrPixelmapRectangleStretchCopy(big, 0, 0, 8, 8, p565, 0, 0, 4, 4), (br_error)BRE_FAIL);
    EXPECT_EQ(BrPixelmapDoubleBuffer(big, p565), (br_error)BRE_FAIL);
    EXPECT_EQ(pixels_not(big, 0).size(), 0u);

    for (br_pixelmap *m : {p565, p555, p888, big})
        BrPixelmapFree(m);
}

TEST_F(PmTest, SubMapsClipToTheirRectangle)
{
    br_pixelmap *parent = BrPixelmapAllocate(BR_PMT_RGBX_888, 12, 10, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    BrPixelmapFill(parent, 0);
    parent->origin_x = 1;

    // Partly outside: clipped to the parent; fully outside: refused.
    br_pixelmap *edge = BrPixelmapAllocateSub(parent, 8, -3, 10, 6);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->base_x, 9);
    EXPECT_EQ(edge->base_y, 0);
    EXPECT_EQ(edge->width, 3);
    EXPECT_EQ(edge->height, 3);
    EXPECT_EQ(edge->origin_x, 0);
    EXPECT_EQ(BrPixelmapAllocateSub(parent, 20, 0, 4, 4), nullptr);

    br_pixelmap *sub = BrPixelmapAllocateSub(parent, 2, 3, 4, 5);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->pixels, parent->pixels);
    EXPECT_EQ(sub->row_bytes, parent->row_bytes);
    // Every drawing operation stays inside the sub map.
    BrPixelmapFill(sub, 1);
    BrPixelmapRectangleFill(sub, -5, -5, 100, 100, 2);
    BrPixelmapLine(sub, -10, -10, 20, 20, 3);
    BrPixelmapLine(sub, 30, 2, -30, 2, 3);
    BrPixelmapText(sub, -3, -2, 4, nullptr, "Wg");
    BrPixelmapRectangle(sub, -1, -1, 6, 7, 5);
    BrPixelmapPixelSet(sub, 4, 0, 6);
    BrPixelmapPixelSet(sub, -1, 0, 6);
    for (auto [x, y] : pixels_not(parent, 0)) {
        EXPECT_GE(x, 3);
        EXPECT_LT(x, 7);
        EXPECT_GE(y, 3);
        EXPECT_LT(y, 8);
    }
    EXPECT_EQ(pixels_not(parent, 0).size(), 20u);

    // A sub map of a sub map lands in the same memory.
    br_pixelmap *inner = BrPixelmapAllocateSub(sub, 1, 1, 2, 2);
    ASSERT_NE(inner, nullptr);
    BrPixelmapPixelSet(inner, 0, 0, 9);
    EXPECT_EQ(BrPixelmapPixelGet(parent, 3 + 1 - 1, 3 + 1), 9u);

    BrPixelmapFree(inner);
    BrPixelmapFree(sub);
    BrPixelmapFree(edge);
    BrPixelmapFree(parent);
}

TEST_F(PmTest, RectangleOutlinesAndDirtyLists)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    BrPixelmapFill(pm, 0);
    ASSERT_EQ(BrPixelmapRectangle2(pm, 1, 1, 4, 3, 7, 9), (br_error)BRE_OK);
    const char *expect[] = {
        "........",
        ".7779...",
        ".7..9...",
        ".9999...",
        "........",
    };
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 8; x++) {
            char c = expect[y][x];
            EXPECT_EQ(BrPixelmapPixelGet(pm, x, y), c == '.' ? 0u : (br_uint_32)(c - '0')) << x << "," << y;
        }

    // An empty fill list draws nothing; a list fills each rectangle.
    BrPixelmapFill(pm, 0);
    br_rectangle none;
    EXPECT_EQ(pm->dispatch->fillDirty(pm, 1, &none, 0), (br_error)BRE_OK);
    EXPECT_EQ(pixels_not(pm, 0).size(), 0u);
    EXPECT_EQ(BrPixelmapDirtyRectangleFill(pm, 2, 2, 2, 2, 1), (br_error)BRE_OK);
    EXPECT_EQ(pixels_not(pm, 0).size(), 4u);

    br_pixelmap *other = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    BrPixelmapFill(other, 5);
    EXPECT_EQ(BrPixelmapDirtyRectangleCopy(pm, other, 6, 6, 2, 2), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapPixelGet(pm, 7, 7), 5u);
    EXPECT_EQ(pixels_not(pm, 0).size(), 8u);
    EXPECT_EQ(BrPixelmapDirtyRectangleDoubleBuffer(pm, other, 0, 0, 1, 1), (br_error)BRE_OK);
    EXPECT_EQ(pixels_not(pm, 0).size(), 9u);
    BrPixelmapFree(other);
    BrPixelmapFree(pm);
}

TEST_F(PmTest, DirtyCopyBetweenSizesCopiesTheWholeMapOnce)
{
    br_pixelmap *a = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    br_pixelmap *b = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    a->dispatch = foreign_dispatch();
    b->dispatch = foreign_dispatch();
    ForeignLog::calls.clear();
    br_rectangle rects[3] = {{0, 0, 1, 1}, {1, 1, 1, 1}, {2, 2, 1, 1}};
    EXPECT_EQ(_M_br_device_pixelmap_gen_copyDirty(a, b, rects, 3), (br_error)BRE_OK);
    EXPECT_EQ(ForeignLog::calls, std::vector<std::string>{"copy"});
    a->dispatch = b->dispatch = nullptr;
    BrPixelmapFree(a);
    BrPixelmapFree(b);
}

TEST_F(PmTest, PixelQueryOutsideTheMap)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGBX_888, 4, 4, nullptr, 0);
    BrPixelmapFill(pm, 0xFFFFFFFF);
    br_uint_32 value = 42;
    br_point p = {4, 0};
    EXPECT_EQ(pm->dispatch->pixelQuery(pm, &value, &p), (br_error)BRE_FAIL);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(BrPixelmapPixelGet(pm, 4, 0), 0u);
    EXPECT_EQ(BrPixelmapPixelGet(pm, 0, -1), 0u);
    EXPECT_EQ(BrPixelmapPixelGet(pm, 3, 3), 0xFFFFFFFFu);

    void *addr = nullptr;
    br_uint_32 qual = 7;
    p = {1, 2};
    EXPECT_EQ(pm->dispatch->pixelAddressQuery(pm, &addr, &qual, &p), (br_error)BRE_OK);
    EXPECT_EQ(addr, (br_uint_8 *)pm->pixels + 2 * 16 + 4);
    EXPECT_EQ(qual, pm->pixels_qualifier);
    p = {-1, 0};
    EXPECT_EQ(pm->dispatch->pixelAddressQuery(pm, &addr, nullptr, &p), (br_error)BRE_FAIL);
    BrPixelmapFree(pm);
}

TEST_F(PmTest, ForeignNoAccessMapsAnswerUnsupported)
{
    // Two device surfaces of different devices cannot reach each other's pixels.
    int dev_a, dev_b;
    br_pixelmap *a = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    br_pixelmap *b = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    br_pixelmap *mem = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    a->dispatch = b->dispatch = foreign_dispatch();
    a->user = &dev_a;
    b->user = &dev_b;
    a->flags |= PIXELMAP_NO_ACCESS;
    b->flags |= PIXELMAP_NO_ACCESS;

    ForeignLog::calls.clear();
    EXPECT_EQ(BrPixelmapRectangleCopy(a, 0, 0, b, 0, 0, 4, 4), (br_error)BRE_UNSUPPORTED);
    EXPECT_EQ(BrPixelmapDirtyRectangleCopy(a, b, 0, 0, 4, 4), (br_error)BRE_UNSUPPORTED);
    EXPECT_EQ(BrPixelmapDoubleBuffer(mem, a), (br_error)BRE_OK); // the source's class writes
    EXPECT_EQ(BrPixelmapRectangleStretchCopy(a, 0, 0, 8, 8, b, 0, 0, 4, 4), (br_error)BRE_UNSUPPORTED);
    BrPixelmapCopy(a, b);
    EXPECT_EQ(ForeignLog::calls, std::vector<std::string>{"copyFrom"});

    // One side addressable: the other side's class does the work.
    ForeignLog::calls.clear();
    EXPECT_EQ(BrPixelmapRectangleCopy(mem, 0, 0, a, 0, 0, 2, 2), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapRectangleCopy(a, 0, 0, mem, 0, 0, 2, 2), (br_error)BRE_OK);
    BrPixelmapCopy(a, mem);
    EXPECT_EQ(ForeignLog::calls, (std::vector<std::string>{"rectangleCopyFrom", "rectangleCopyTo", "copyTo"}));

    // The memory class never reads or writes a no-access map's pixels itself.
    br_point p = {0, 0};
    br_rectangle r = {0, 0, 2, 2};
    EXPECT_EQ(_M_br_device_pixelmap_mem_rectangleCopyTo(mem, &p, a, &r), (br_error)BRE_UNSUPPORTED);
    EXPECT_EQ(_M_br_device_pixelmap_mem_copyTo(a, mem), (br_error)BRE_UNSUPPORTED);

    a->dispatch = b->dispatch = nullptr;
    for (br_pixelmap *m : {a, b, mem})
        BrPixelmapFree(m);
}

namespace {

// A colour table that records what it was given, reached through a class's CLUT_O query.
struct RecordingClut {
    br_device_clut clut;
    std::vector<br_uint_32> entries = std::vector<br_uint_32>(16, 0);
};

br_error clut_set(br_device_clut *self, br_int_32 index, br_uint_32 entry)
{
    ((RecordingClut *)self)->entries.at(index) = entry;
    return BRE_OK;
}

br_error clut_set_many(br_device_clut *self, br_int_32 index, br_int_32 count, br_uint_32 *entries)
{
    for (br_int_32 i = 0; i < count; i++)
        ((RecordingClut *)self)->entries.at(index + i) = entries[i];
    return BRE_OK;
}

RecordingClut *the_clut;

br_error query_with_clut(br_object *self, br_value *pvalue, br_token t)
{
    if (t != BRT_CLUT_O)
        return _M_br_object_query(self, pvalue, t);
    pvalue->p = the_clut;
    return BRE_OK;
}

} // namespace

TEST_F(PmTest, PaletteOperationsGoToTheColourTable)
{
    br_device_clut_dispatch cd = {};
    cd.entrySet = clut_set;
    cd.entrySetMany = clut_set_many;
    RecordingClut clut;
    clut.clut.dispatch = &cd;
    the_clut = &clut;
    br_pixelmap_dispatch d = BrPixelmapMemDispatch;
    d._query = query_with_clut;

    br_pixelmap *screen = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    screen->dispatch = &d;
    br_pixelmap *pal = BrPixelmapAllocate(BR_PMT_RGBX_888, 1, 3, nullptr, 0);
    for (int i = 0; i < 3; i++)
        BrPixelmapPixelSet(pal, 0, i, 0x101010u * (i + 1));
    EXPECT_EQ(BrPixelmapPaletteSet(screen, pal), (br_error)BRE_OK);
    BrPixelmapPaletteEntrySet(screen, 5, 0xABCDEF);
    br_uint_32 two[2] = {7, 8};
    EXPECT_EQ(BrPixelmapPaletteEntrySetMany(screen, 9, 2, two), (br_error)BRE_OK);
    EXPECT_EQ(clut.entries, (std::vector<br_uint_32>{0x101010, 0x202020, 0x303030, 0, 0, 0xABCDEF, 0, 0, 0, 7, 8,
                                                     0, 0, 0, 0, 0}));
    screen->dispatch = nullptr;
    BrPixelmapFree(screen);
    BrPixelmapFree(pal);
}

TEST_F(PmTest, GenericWholeCopiesLineUpMapsWithDifferentOrigins)
{
    br_pixelmap_dispatch d = BrPixelmapMemDispatch;
    d.copyTo = _M_br_device_pixelmap_gen_copyTo;
    d.copyFrom = _M_br_device_pixelmap_gen_copyFrom;
    d.fill = _M_br_device_pixelmap_gen_fill;
    br_pixelmap *src = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 2, nullptr, 0);
    br_pixelmap *dst = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 2, nullptr, 0);
    src->dispatch = dst->dispatch = &d;
    src->origin_x = 1;
    dst->origin_y = 1;
    for (int i = 0; i < 8; i++)
        BrPixelmapPixelSet(src, i % 4 - 1, i / 4, (br_uint_32)i + 1);

    // Whichever side runs the copy, pixel (x, y) of one map lands on pixel (x, y) of the other.
    for (auto copy : {_M_br_device_pixelmap_gen_copyTo, _M_br_device_pixelmap_gen_copyFrom}) {
        ASSERT_EQ(d.fill(dst, 0), (br_error)BRE_OK);
        if (copy == _M_br_device_pixelmap_gen_copyTo)
            ASSERT_EQ(copy(dst, src), (br_error)BRE_OK);
        else
            ASSERT_EQ(copy(src, dst), (br_error)BRE_OK);
        for (int i = 0; i < 8; i++)
            EXPECT_EQ(BrPixelmapPixelGet(dst, i % 4, i / 4 - 1), (br_uint_32)i + 1) << i;
    }
    src->dispatch = dst->dispatch = nullptr;
    BrPixelmapFree(src);
    BrPixelmapFree(dst);
}
