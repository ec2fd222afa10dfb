// Allocation of pixel maps: the row layout of every type, bottom-up maps, caller pixels, the size
// limits of the record, records built by hand, resize, and the match family.
#include <cstring>

#include "pixelmap_support.h"

namespace {

struct LayoutCase {
    br_uint_8 type;
    int width;
    int row_bytes;
    br_uint_8 flags;
    int bits, bytes, channels;
};

const br_uint_8 W = PIXELMAP_WHOLE_PIXEL_ROWS, C = PIXELMAP_CONTIGUOUS;

const LayoutCase layout_cases[] = {
    {BR_PMT_INDEX_1, 5, 4, W, 1, 1, 1},
    {BR_PMT_INDEX_2, 5, 4, W, 2, 1, 1},
    {BR_PMT_INDEX_4, 5, 4, W, 4, 1, 1},
    {BR_PMT_INDEX_8, 3, 4, W, 8, 1, 1},
    {BR_PMT_INDEX_8, 4, 4, W | C, 8, 1, 1},
    {BR_PMT_INDEX_8, 5, 8, W, 8, 1, 1},
    {BR_PMT_RGB_555, 5, 12, W, 16, 2, 2},
    {BR_PMT_RGB_565, 6, 12, W | C, 16, 2, 2},
    {BR_PMT_RGB_888, 5, 24, W, 24, 3, 2},
    {BR_PMT_RGB_888, 8, 24, W | C, 24, 3, 2},
    {BR_PMT_RGBX_888, 5, 20, W | C, 32, 4, 2},
    {BR_PMT_RGBA_8888, 5, 20, W | C, 32, 4, 10},
    {BR_PMT_YUYV_8888, 5, 12, W, 16, 1, 16},
    {BR_PMT_YUV_888, 5, 20, W | C, 32, 1, 16},
    {BR_PMT_DEPTH_16, 5, 16, W, 16, 2, 4},
    {BR_PMT_DEPTH_16, 8, 16, W | C, 16, 2, 4},
    {BR_PMT_DEPTH_32, 5, 32, W, 32, 4, 4},
    {BR_PMT_ALPHA_8, 5, 8, W, 8, 1, 8},
    {BR_PMT_INDEXA_88, 5, 12, W, 16, 2, 9},
};

} // namespace

TEST_F(PmTest, AllocationTablePerType)
{
    for (const LayoutCase &c : layout_cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " width " + std::to_string(c.width));
        br_pixelmap *pm = BrPixelmapAllocate(c.type, c.width, 3, nullptr, 0);
        ASSERT_NE(pm, nullptr);
        EXPECT_EQ(pm->dispatch, &BrPixelmapMemDispatch);
        EXPECT_EQ(pm->row_bytes, c.row_bytes);
        EXPECT_EQ(pm->flags, c.flags);
        EXPECT_EQ(pm->width, c.width);
        EXPECT_EQ(pm->height, 3);
        EXPECT_EQ(BrPixelmapPixelBits(pm), c.bits);
        EXPECT_EQ(BrPixelmapPixelBytes(pm), c.bytes);
        EXPECT_EQ(BrPixelmapChannelMask(pm), c.channels);
        ASSERT_NE(pm->pixels, nullptr);
        EXPECT_EQ((uintptr_t)pm->pixels % 32, 0u);
        EXPECT_GE(BrResSize(pm->pixels), (br_size_t)(3 * c.row_bytes));
        EXPECT_EQ(BrResClass(pm), BR_MEMORY_PIXELMAP);
        EXPECT_EQ(BrResClass(pm->pixels), BR_MEMORY_PIXELS);
        EXPECT_EQ(pm->identifier, nullptr);
        EXPECT_EQ(pm->map, nullptr);
        EXPECT_EQ(pm->base_x + pm->base_y + pm->origin_x + pm->origin_y, 0);
        BrPixelmapFree(pm);
    }
}

TEST_F(PmTest, InvertedMapStartsAtTheLastRowOfItsBlock)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->row_bytes, -8);
    br_uint_8 *block = (br_uint_8 *)pm->pixels - 7 * 8;
    EXPECT_EQ(BrResClass(block), BR_MEMORY_PIXELS);

    memset(block, 0, 64);
    BrPixelmapPixelSet(pm, 0, 0, 0x11);
    BrPixelmapPixelSet(pm, 7, 7, 0x22);
    EXPECT_EQ(block[56], 0x11); // row 0 is the last row in memory
    EXPECT_EQ(block[7], 0x22);
    EXPECT_EQ(BrPixelmapPixelGet(pm, 0, 0), 0x11u);

    // A contiguous inverted map fills all 64 bytes in one run from the lowest address.
    ASSERT_EQ(BrPixelmapFill(pm, 0x5A), (br_error)BRE_OK);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(block[i], 0x5A) << i;
    BrPixelmapFree(pm);
}

TEST_F(PmTest, CallerPixelsAndNoPixels)
{
    br_pixelmap *none = BrPixelmapAllocate(BR_PMT_RGB_565, 10, 10, nullptr, PIXELMAP_ALLOCATE_NO_PIXELS);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->pixels, nullptr);
    EXPECT_EQ(none->row_bytes, 20);
    // Drawing into a map without pixels fails cleanly instead of writing through null.
    EXPECT_EQ(BrPixelmapFill(none, 1), (br_error)BRE_FAIL);
    EXPECT_EQ(BrPixelmapPixelGet(none, 1, 1), 0u);
    BrPixelmapFree(none);

    std::vector<br_uint_16> mine(4 * 3, 0);
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 3, mine.data(), PIXELMAP_ALLOCATE_INVERTED);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->pixels, mine.data() + 8);
    BrPixelmapPixelSet(pm, 1, 0, 0xBEEF);
    EXPECT_EQ(mine[9], 0xBEEF);
    BrPixelmapFree(pm); // the caller's memory stays
    EXPECT_EQ(mine[9], 0xBEEF);
}

TEST_F(PmTest, SizesThatDoNotFitTheRecordAreRefused)
{
    EXPECT_EQ(BrPixelmapAllocate(BR_PMT_INDEX_8, 70000, 1, nullptr, 0), nullptr);
    EXPECT_EQ(BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 70000, nullptr, 0), nullptr);
    EXPECT_EQ(BrPixelmapAllocate(BR_PMT_INDEX_8, -1, 4, nullptr, 0), nullptr);
    EXPECT_EQ(BrPixelmapAllocate(BR_PMT_RGBX_888, 9000, 1, nullptr, 0), nullptr); // 36000 row bytes
    EXPECT_EQ(BrPixelmapAllocate(BR_PMT_MAX, 4, 4, nullptr, 0), nullptr);
    br_pixelmap *edge = BrPixelmapAllocate(BR_PMT_INDEX_8, 32764, 1, nullptr, 0);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->row_bytes, 32764);
    BrPixelmapFree(edge);
}

TEST_F(PmTest, RecordBuiltByHandIsAMemoryMap)
{
    std::vector<br_uint_8> pixels(16 * 8, 0);
    br_pixelmap pm = {};
    pm.pixels = pixels.data();
    pm.type = BR_PMT_INDEX_8;
    pm.width = 16;
    pm.height = 8;
    pm.row_bytes = 16;
    pm.flags = PIXELMAP_CONTIGUOUS | PIXELMAP_WHOLE_PIXEL_ROWS;

    EXPECT_EQ(BrPixelmapFill(&pm, 1), (br_error)BRE_OK);
    EXPECT_EQ(pm.dispatch, &BrPixelmapMemDispatch);
    pm.dispatch = nullptr;
    EXPECT_EQ(BrPixelmapLine(&pm, 0, 0, 15, 0, 2), (br_error)BRE_OK);
    pm.dispatch = nullptr;
    EXPECT_EQ(BrPixelmapPixelGet(&pm, 15, 0), 2u);
    pm.dispatch = nullptr;
    EXPECT_EQ(BrPixelmapRectangleFill(&pm, 0, 1, 4, 2, 3), (br_error)BRE_OK);
    pm.dispatch = nullptr;
    EXPECT_EQ(BrPixelmapText(&pm, 10, -1, 4, nullptr, "A"), (br_error)BRE_OK);
    pm.dispatch = nullptr;
    br_pixelmap *sub = BrPixelmapAllocateSub(&pm, 8, 4, 8, 4);
    ASSERT_NE(sub, nullptr);
    pm.dispatch = nullptr;
    EXPECT_EQ(BrPixelmapRectangleCopy(&pm, 0, 4, sub, 0, 0, 8, 4), (br_error)BRE_OK);
    pm.dispatch = nullptr;
    br_pixelmap *clone = BrPixelmapClone(&pm);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->width, 16);
    BrPixelmapFree(clone);
    BrPixelmapFree(sub);
    EXPECT_EQ(pixels[15], 2);
    EXPECT_EQ(pixels[16], 3);
}

TEST_F(PmTest, ResizeKeepsTheRowOrderAndFreesOnlyOwnedPixels)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_888, 5, 4, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    ASSERT_NE(pm, nullptr);
    ASSERT_EQ(BrPixelmapResize(pm, 8, 6), pm);
    EXPECT_EQ(pm->width, 8);
    EXPECT_EQ(pm->height, 6);
    EXPECT_EQ(pm->row_bytes, -24);
    EXPECT_EQ(pm->flags, PIXELMAP_CONTIGUOUS | PIXELMAP_WHOLE_PIXEL_ROWS);
    // Exactly one pixel block under the record: the old one went.
    int blocks = 0;
    BrResChildEnum(pm, [](void *, void *arg) -> br_uint_32 { ++*(int *)arg; return 0; }, &blocks);
    EXPECT_EQ(blocks, 1);
    EXPECT_EQ(BrResClass((br_uint_8 *)pm->pixels + 5 * pm->row_bytes), BR_MEMORY_PIXELS);
    BrPixelmapFill(pm, 0x123456);
    EXPECT_EQ(BrPixelmapPixelGet(pm, 7, 5), 0x123456u);
    EXPECT_EQ(BrPixelmapResize(pm, 70000, 2), nullptr);
    BrPixelmapFree(pm);

    std::vector<br_uint_8> mine(64, 0xEE);
    br_pixelmap *given = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, mine.data(), 0);
    ASSERT_EQ(BrPixelmapResize(given, 4, 4), given);
    EXPECT_NE(given->pixels, mine.data());
    EXPECT_EQ(mine[0], 0xEE);
    BrPixelmapFree(given);
}

TEST_F(PmTest, MatchMakesNewMapsWithoutCopyingPixels)
{
    br_pixelmap *colour = BrPixelmapAllocate(BR_PMT_RGB_888, 5, 3, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    ASSERT_NE(colour, nullptr);
    colour->origin_x = 2;
    colour->origin_y = 1;
    BrPixelmapFill(colour, 0xABCDEF);

    br_pixelmap *clone = BrPixelmapClone(colour);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->type, BR_PMT_RGB_888);
    EXPECT_EQ(clone->width, 5);
    EXPECT_EQ(clone->height, 3);
    EXPECT_LT(clone->row_bytes, 0);
    EXPECT_EQ(clone->origin_x, 2);
    EXPECT_EQ(clone->origin_y, 1);
    EXPECT_NE(clone->pixels, colour->pixels);
    EXPECT_EQ(BrPixelmapPixelGet(clone, 0, 0), 0u); // no pixels copied, not even for a clone

    // A depth map's rows line up with the colour rows: 8 pixels each, as the colour row holds.
    br_pixelmap *depth = BrPixelmapMatch(colour, BR_PM_USE_DEPTH_16);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->type, BR_PMT_DEPTH_16);
    EXPECT_EQ(depth->row_bytes, -16);
    EXPECT_EQ(depth->flags, PIXELMAP_WHOLE_PIXEL_ROWS);
    EXPECT_EQ(BrPixelmapFill(depth, 0xFFFF), (br_error)BRE_OK);
    EXPECT_EQ(BrPixelmapPixelGet(depth, 2, 1), 0xFFFFu);

    br_pixelmap *depth32 = BrPixelmapMatchTyped(colour, BR_PM_USE_DEPTH, BR_PMT_DEPTH_16);
    ASSERT_NE(depth32, nullptr);
    EXPECT_EQ(depth32->type, BR_PMT_DEPTH_16);

    br_pixelmap *sized = BrPixelmapMatchSized(colour, BR_PM_USE_OFFSCREEN, 20, 10);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(sized->width, 20);
    EXPECT_EQ(sized->height, 10);
    br_pixelmap *typed = BrPixelmapMatchTypedSized(colour, BR_PM_USE_HIDDEN_BUFFER, BR_PMT_RGB_565, 6, 2);
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->type, BR_PMT_RGB_565);
    EXPECT_EQ(typed->row_bytes, -12);

    for (br_uint_8 use : {BR_PM_USE_HIDDEN, BR_PM_USE_NO_RENDER}) {
        br_pixelmap *m = BrPixelmapMatch(colour, use);
        ASSERT_NE(m, nullptr);
        BrPixelmapFree(m);
    }
    EXPECT_EQ(BrPixelmapMatch(colour, 6), nullptr); // unknown use: refused
    EXPECT_EQ(BrPixelmapMatchTyped(colour, BR_PM_USE_OFFSCREEN, 99), nullptr);

    // The match operation itself: depth with 24 bits fails.
    br_token_value tv[3] = {};
    tv[0].t = BRT_USE_T;
    tv[0].v.t = BRT_DEPTH;
    tv[1].t = BRT_PIXEL_BITS_I32;
    tv[1].v.i32 = 24;
    br_pixelmap *out = nullptr;
    EXPECT_EQ(colour->dispatch->match(colour, &out, tv), (br_error)BRE_FAIL);
    EXPECT_EQ(out, nullptr);
    tv[1].v.i32 = 32;
    ASSERT_EQ(colour->dispatch->match(colour, &out, tv), (br_error)BRE_OK);
    EXPECT_EQ(out->type, BR_PMT_DEPTH_32);
    EXPECT_EQ(out->row_bytes, -32);
    BrPixelmapFree(out);

    for (br_pixelmap *m : {clone, depth, depth32, sized, typed, colour})
        BrPixelmapFree(m);
}

namespace {

// A class whose match ignores the asked size; its maps live under a parent the test can weigh.
void *match_parent;

br_error stubborn_match(br_pixelmap *self, br_pixelmap **newpm, br_token_value *)
{
    br_pixelmap *pm = BrPixelmapAllocate(self->type, self->width, self->height, nullptr, 0);
    BrResAdd(match_parent, pm);
    *newpm = pm;
    return BRE_OK;
}

} // namespace

TEST_F(PmTest, MatchSizedThatCannotHonourTheSizeLeavesNothing)
{
    match_parent = BrResAllocate(nullptr, 0, BR_MEMORY_ANCHOR);
    br_size_t empty = BrResSizeTotal(match_parent);
    br_pixelmap_dispatch stubborn = BrPixelmapMemDispatch;
    stubborn.match = stubborn_match;
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 8, 8, nullptr, 0);
    pm->dispatch = &stubborn;

    EXPECT_EQ(BrPixelmapMatchSized(pm, BR_PM_USE_OFFSCREEN, 16, 16), nullptr);
    EXPECT_EQ(BrResSizeTotal(match_parent), empty);
    br_pixelmap *same = BrPixelmapMatchSized(pm, BR_PM_USE_OFFSCREEN, 8, 8);
    EXPECT_NE(same, nullptr);
    EXPECT_GT(BrResSizeTotal(match_parent), empty);

    BrResFree(match_parent);
    BrPixelmapFree(pm);
}

TEST_F(PmTest, QueriesThroughTheTemplate)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 33, 17, nullptr, 0);
    char name[] = "screen";
    pm->identifier = name;
    br_object *o = (br_object *)pm;
    EXPECT_EQ(ObjectType(o), (br_token)BRT_DEVICE_PIXELMAP);
    EXPECT_TRUE(ObjectIsType(o, BRT_OBJECT));
    EXPECT_FALSE(ObjectIsType(o, BRT_DEVICE));
    EXPECT_EQ(ObjectDevice(o), nullptr);
    EXPECT_STREQ(ObjectIdentifier(o), "screen");
    EXPECT_GE((br_size_t)pm->dispatch->_space(o), sizeof(br_pixelmap) + 33 * 2 * 17);

    br_value v = {};
    ASSERT_EQ(pm->dispatch->_query(o, &v, BRT_WIDTH_I32), (br_error)BRE_OK);
    EXPECT_EQ(v.i32, 33);
    ASSERT_EQ(pm->dispatch->_query(o, &v, BRT_PIXEL_TYPE_U8), (br_error)BRE_OK);
    EXPECT_EQ(v.u32, (br_uint_32)BR_PMT_RGB_565);
    ASSERT_EQ(pm->dispatch->_query(o, &v, BRT_IDENTIFIER_CSTR), (br_error)BRE_OK);
    EXPECT_EQ(v.cstr, name);
    EXPECT_EQ(pm->dispatch->_query(o, &v, BRT_CLUT_O), (br_error)BRE_UNKNOWN_TOKEN);
    // No colour table: the palette operations have nothing to set.
    EXPECT_EQ(BrPixelmapPaletteEntrySetMany(pm, 0, 1, nullptr), (br_error)BRE_UNSUPPORTED);

    br_token_value all[5];
    ASSERT_EQ(pm->dispatch->_queryAll(o, all, sizeof(all)), (br_error)BRE_OK);
    EXPECT_EQ(all[1].t, (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(all[2].v.i32, 17);
    EXPECT_EQ(all[4].t, 0u);

    // The container matching of objects sees a pixel map's size.
    br_token_value want[2] = {};
    want[0].t = BRT_HEIGHT_I32;
    want[0].v.i32 = 17;
    br_token_value got[2] = {};
    got[0].t = BRT_HEIGHT_I32;
    br_int_32 count = 0;
    ASSERT_EQ(pm->dispatch->_queryMany(o, got, nullptr, 0, &count), (br_error)BRE_OK);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(BrTokenValueCompare(want, got));
    pm->identifier = nullptr;
    BrPixelmapFree(pm);
}

TEST(PmLifecycle, CoreEndFreesEveryPixelMap)
{
    DiagLog::clear();
    BrDiagHandlerSet(&DiagLog::handler);
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(BrCoreBegin(), (br_error)BRE_OK);
        br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 64, 64, nullptr, 0);
        ASSERT_NE(pm, nullptr);
        EXPECT_NE(BrResClassFind("PIXELS"), nullptr);
        ASSERT_EQ(BrCoreEnd(), (br_error)BRE_OK); // LeakSanitizer checks that the map went with it
    }
    EXPECT_TRUE(DiagLog::failures.empty());
}
