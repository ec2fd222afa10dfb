// Drawing: each show method onto 16-bit and 32-bit pictures (glyph pictures of another type never
// meet a blitter that cannot convert), fonts made by the font maker from DejaVu, and textdemo.
#include <png.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "font_support.h"

namespace {

constexpr uint32_t kBack = 0x1234;
constexpr uint32_t kNearBack = ~0u;  // the background, each channel within one step (blends round)

bool near_back(uint32_t v)
{
    auto close = [](int a, int b) { return a - b <= 1 && b - a <= 1; };
    return close(int(v >> 11), int(kBack >> 11)) && close(int(v >> 5 & 63), int(kBack >> 5 & 63)) &&
           close(int(v & 31), int(kBack & 31));
}

uint32_t at(const br_pixelmap *pm, int x, int y)
{
    const int bytes = pm->type == BR_PMT_RGB_565 ? 2 : 4;
    const uint8_t *p = static_cast<const uint8_t *>(pm->pixels) + intptr_t(y) * pm->row_bytes + intptr_t(x) * bytes;
    return bytes == 2 ? uint32_t(p[0] | p[1] << 8) : uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
}

bool ink_at(int x, int y)
{
    return (x + y) % 2 == 0;
}

class Draw : public fonttest::OneFont {
protected:
    br_pixelmap *canvas(int type, uint32_t fill)
    {
        br_pixelmap *pm = PxAllocPix(type, 24, 10, nullptr, 0);
        PxFillPix(pm, fill);
        return pm;
    }
};

TEST_F(Draw, EachMethodOn16Bits)
{
    // "ab" at (3, 1): "a" covers columns 3-7, "b" columns 11-15 (5 + 1 + 2 further on).
    const uint32_t blue565 = 0x001E;  // ARGB_4444 blue nibble 15, widened to 5 bits
    struct Case {
        int32_t method;
        uint32_t colour;
        uint32_t ink, gap;  // glyph pixels with and without ink
    } cases[] = {
        {0, 0, blue565, 0},             // copied with conversion, empty pixels and the advance too
        {1, 0x5555, blue565, 0},        // key copy on a converted picture: nothing matches the key
        {1, 0, 0, kBack},               // key-0 sprite copy: empty pixels stay (ink checked below)
        {2, 255, 0, kNearBack},         // alpha blend: empty pixels have alpha 0
        {3, 0xFFE0, 0xFFE0, kBack},     // glyph pixels in the colour
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << " colour " << c.colour);
        br_pixelmap *pm = canvas(BR_PMT_RGB_565, kBack);
        PxSetShowTextMethod(c.method, c.colour);
        SetLastMsgError("");
        EXPECT_EQ(PxShowText(pm, 3, 1, "ab"), 14);
        EXPECT_STREQ(GetLastMsgError(), "");
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 24; x++) {
                const bool in_a = x >= 3 && x < 8 && y >= 1 && y < 9, in_b = x >= 11 && x < 16 && y >= 1 && y < 9;
                const int gx = in_a ? x - 3 : x - 11;
                const uint32_t v = at(pm, x, y);
                // Opaque copies also fill the advance between and after the letters (no seams).
                const bool in_advance = c.method == 0 && x >= 3 && x < 3 + 14 && y >= 1 && y < 9;
                if (!in_a && !in_b)
                    ASSERT_EQ(v, in_advance ? c.gap : kBack) << x << "," << y;
                else if (!ink_at(gx, y - 1) && c.gap == kNearBack)
                    ASSERT_TRUE(near_back(v)) << std::hex << v << " at " << std::dec << x << "," << y;
                else if (!ink_at(gx, y - 1))
                    ASSERT_EQ(v, c.gap) << x << "," << y;
                else if (c.ink != 0)
                    ASSERT_EQ(v, c.ink) << x << "," << y;
                else  // blended, all but a trace of the background gone
                    ASSERT_TRUE((v & 0x1F) >= 24 && (v >> 11) <= 3 && (v >> 5 & 0x3F) <= 6)
                        << std::hex << v << " at " << std::dec << x << "," << y;
            }
        PxFreePix(pm);
    }
}

TEST_F(Draw, OpaqueTextWithAHugeSpacingFillsOnlyWhatShows)
{
    // A font file's letter spacing is a full 32-bit word: the opaque fill of the advance stops at the
    // picture's edge instead of walking the whole gap.
    br_pixelmap *pm = canvas(BR_PMT_RGB_565, kBack);
    PxSetShowTextMethod(0, 0);
    set->first->spacing = INT32_MAX;
    PxShowText(pm, 3, 1, "aa");
    EXPECT_EQ(at(pm, 23, 1), 0u);  // the gap after the first letter, filled to the edge
    EXPECT_EQ(at(pm, 23, 0), kBack);
    PxFreePix(pm);
}

TEST_F(Draw, KeyAndFillMethodsOn32Bits)
{
    const uint32_t back = 0x00102030;
    struct Case {
        int32_t method;
        uint32_t colour, ink, gap;
    } cases[] = {
        {1, 0x12345678, 0x000000F0, 0},  // the picture made at the destination's type
        {3, 0x00FFEE00, 0x00FFEE00, back},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.method);
        br_pixelmap *pm = canvas(BR_PMT_RGBX_888, back);
        PxSetShowTextMethod(c.method, c.colour);
        SetLastMsgError("");
        PxShowText(pm, 0, 0, "a");
        EXPECT_STREQ(GetLastMsgError(), "");
        EXPECT_EQ(at(pm, 0, 0), c.ink);
        EXPECT_EQ(at(pm, 1, 0), c.gap);
        EXPECT_EQ(at(pm, 5, 0), back);
        PxFreePix(pm);
    }
}

TEST_F(Draw, BlankColourAndSettings)
{
    EXPECT_EQ(PxGetBlankColor(), 0u);
    EXPECT_EQ(PxIsFontMulticolor(), 0);
    PxSetShowTextMethod(9, 0x1234);  // unknown methods copy
    EXPECT_EQ(set->first->method, 0);
    EXPECT_EQ(set->first->key, 0u);
    PxSetShowTextMethod(3, 0x1234);
    EXPECT_EQ(set->first->fill, 0x1234u);
    PxSetShowTextMethod(1, 0);
    EXPECT_EQ(set->first->fill, 0xFFFFFFFFu);
}

using Dejavu = pxtest::Scratch;

TEST_F(Dejavu, TheFontMakerCoversTheCodePage)
{
    if (!std::filesystem::exists(fontmaker::kDefaultTtf))
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    std::vector<fontmaker::Style> styles(2);
    styles[1].shadow = true;
    styles[1].size = 20;
    std::string error;
    ASSERT_TRUE(fontmaker::make_font_pack(path("dejavu.fnp"), styles, error)) << error;
    PXFONTSET *set = PxLoadFontset(path("dejavu").c_str(), 0, nullptr);
    ASSERT_NE(set, nullptr) << GetLastMsgError();
    ASSERT_EQ(set->count, 2);
    const int32_t height = PxGetTextHeight1();
    EXPECT_GE(height, 16);
    EXPECT_LE(height, 24);
    EXPECT_EQ(PxIsFontMulticolor(), 0);
    EXPECT_EQ(PxGetBlankColor(), 0u);
    for (int code = 32; code < 256; code++) {
        const bool none = code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D;
        const int32_t w = PxGetLetterWidth(code);
        if (none)
            EXPECT_EQ(w, 0) << code;
        else
            EXPECT_GT(w, code == 32 ? 2 : 0) << code;
    }
    EXPECT_GT(PxGetLetterWidth('W'), PxGetLetterWidth('i'));
    EXPECT_GT(PxGetLetterWidth(0xDF), PxGetLetterWidth('i'));  // sharp s

    // Text lands inside the box the walk measured, and fills part of it.
    const char *text = "Gr\xfc\xdf" "e \xe0 \x80";
    br_pixelmap *pm = PxAllocPix(BR_PMT_RGB_565, 120, 40, nullptr, 0);
    PxFillPix(pm, 0);
    PxSetShowTextMethod(3, 0xFFFF);
    const int32_t width = PxShowText(pm, 10, 5, text);
    EXPECT_EQ(width, PxGetTextWidth(text));
    int inked = 0, outside = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 120; x++)
            if (at(pm, x, y) != 0) {
                inked++;
                outside += x < 10 || x >= 10 + width + 2 || y < 5 || y >= 5 + height;
            }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inked, width * height / 10);

    PxSelectFont(set, 1);
    EXPECT_EQ(PxIsFontMulticolor(), 1);
    EXPECT_GT(PxGetTextHeight1(), height);
    PxFreePix(pm);
    PxKillAllFontset(set);
}

TEST_F(Dejavu, TextdemoDrawsEveryMethod)
{
    if (!std::filesystem::exists(fontmaker::kDefaultTtf))
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    const std::string out = path("t.png");
    ASSERT_EQ(system(("'" TEXTDEMO_PATH "' --out '" + out + "'").c_str()), 0);
    FILE *f = fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ASSERT_EQ(setjmp(png_jmpbuf(png)), 0);
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_EXPAND, nullptr);
    const int w = int(png_get_image_width(png, info)), h = int(png_get_image_height(png, info));
    png_bytepp rows = png_get_rows(png, info);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 384);
    // Each of the four blocks holds white text (methods 0 to 2) or yellow text (method 3).
    int white[4] = {}, yellow[4] = {};
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const png_bytep p = rows[y] + x * 3;
            if (p[0] > 180 && p[1] > 180 && p[2] > 180)
                white[y / 96]++;
            if (p[0] > 230 && p[1] > 200 && p[2] < 120)
                yellow[y / 96]++;
        }
    // Every block draws all three lines (rows 20, 43 and 66 below its top, a line being 23 rows),
    // the middle rows of each checked. Ink is anything but the row's background (column 0). The
    // second font (yellow to orange) shows on the third line only, with each method but the fill,
    // which draws every glyph in its own yellow.
    for (int b = 0; b < 4; b++)
        for (int line = 0; line < 3; line++) {
            int ink = 0, warm = 0, filled = 0;
            for (int y = b * 96 + 20 + 23 * line + 6; y < b * 96 + 20 + 23 * line + 17; y++)
                for (int x = 0; x < w; x++) {
                    const png_bytep p = rows[y] + x * 3, back = rows[y];
                    ink += p[0] != back[0] || p[1] != back[1] || p[2] != back[2];
                    warm += p[0] > 180 && p[0] > p[1] + 40;
                    filled += p[0] == 255 && p[1] > 220 && p[2] < 90;
                }
            SCOPED_TRACE(testing::Message() << "block " << b << " line " << line);
            EXPECT_GT(ink, 400);
            if (b < 3 && line == 2)
                EXPECT_GT(warm, 50);
            else
                EXPECT_EQ(warm, 0);
            if (b == 3)
                EXPECT_GT(filled, 400);
        }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(f);
    for (int b = 0; b < 3; b++)
        EXPECT_GT(white[b], 300) << "block " << b;
    EXPECT_GT(yellow[3], 1000);
}

}  // namespace
