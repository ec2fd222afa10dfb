// Bit expansion, text widths, text clipped at every edge, and a picture of text and lines for a
// reviewer (brcore_pixelmap_text.png in the test folder).
#include <cstring>

#include "vokplat/png.h"
#include "pixelmap_support.h"

TEST_F(PmTest, CopyBitsMasksTheFirstAndLastBytes)
{
    // Bits 3 to 12 of each row are drawn, the first of them on the point.
    const br_uint_8 bits[] = {0xFF, 0xFF, 0xA5, 0x5A, 0x1F, 0xF8};
    for (br_uint_8 type : {BR_PMT_INDEX_8, BR_PMT_RGB_565, BR_PMT_RGB_888, BR_PMT_RGBX_888}) {
        for (bool generic : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << int(type) << (generic ? " generic" : " memory"));
            br_pixelmap *pm = BrPixelmapAllocate(type, 16, 5, nullptr, 0);
            if (generic)
                pm->dispatch = pixel_set_only_dispatch();
            BrPixelmapFill(pm, 0);
            ASSERT_EQ(BrPixelmapCopyBits(pm, 2, 1, bits, 2, 3, 13, 3, 0x5B), (br_error)BRE_OK);
            PixelSet expect;
            for (int r = 0; r < 3; r++)
                for (int b = 3; b < 13; b++)
                    if (bits[r * 2 + b / 8] & (0x80 >> (b % 8)))
                        expect.insert({2 + b - 3, 1 + r});
            EXPECT_EQ(pixels_not(pm, 0), expect);
            EXPECT_EQ(BrPixelmapPixelGet(pm, 2, 1), 0x5Bu);
            // Bits before the start of the rows are never read: the drawing starts further right.
            BrPixelmapFill(pm, 0);
            ASSERT_EQ(BrPixelmapCopyBits(pm, 0, 0, bits + 2, 2, -3, 5, 1, 1), (br_error)BRE_OK);
            EXPECT_EQ(pixels_not(pm, 0), (PixelSet{{3, 0}, {5, 0}}));
            pm->dispatch = nullptr;
            BrPixelmapFree(pm);
        }
    }
}

TEST_F(PmTest, TextWidthsAndFontTables)
{
    static br_int_8 widths[256];
    static br_uint_16 encoding[256];
    static const br_uint_8 glyphs[] = {0, 0, 0, 0xF0, 0x90, 0xF0};
    for (int i = 0; i < 256; i++)
        widths[i] = 2;
    widths[200] = 4;
    encoding[200] = 3;
    widths['n'] = -5; // counts as 0
    br_font prop = {BR_FONTF_PROPORTIONAL, 6, 3, 0, 0, widths, encoding, glyphs};
    br_font fixed = prop;
    fixed.flags = 0;

    EXPECT_EQ(BrPixelmapTextWidth(nullptr, &prop, nullptr), 6);
    EXPECT_EQ(BrPixelmapTextWidth(nullptr, &prop, ""), 0);
    EXPECT_EQ(BrPixelmapTextWidth(nullptr, &fixed, "abc"), 7 * 3 - 1);
    EXPECT_EQ(BrPixelmapTextWidth(nullptr, &prop, "ab\xC8"), 3 + 3 + 5 - 1);
    EXPECT_EQ(BrPixelmapTextWidth(nullptr, &prop, "nn"), 1 + 1 - 1);
    EXPECT_EQ(BrPixelmapTextHeight(nullptr, &prop), 3);
    EXPECT_EQ(BrPixelmapTextHeight(nullptr, nullptr), 9);
    EXPECT_EQ(BrPixelmapTextWidth(nullptr, nullptr, nullptr), 7);

    // Character 200 draws glyph 200 with width 200; a negative width draws nothing and advances 1.
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 12, 3, nullptr, 0);
    BrPixelmapFill(pm, 0);
    ASSERT_EQ(BrPixelmapText(pm, 0, 0, 1, &prop, "n\xC8"), (br_error)BRE_OK);
    EXPECT_EQ(pixels_not(pm, 0), (PixelSet{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {1, 1}, {4, 1},
                                          {1, 2}, {2, 2}, {3, 2}, {4, 2}}));

    br_rectangle bounds;
    EXPECT_EQ(pm->dispatch->textBounds(pm, &bounds, &prop, "ab"), (br_error)BRE_OK);
    EXPECT_EQ(bounds.w, 5);
    EXPECT_EQ(bounds.h, 3);
    EXPECT_EQ(pm->dispatch->textBounds(pm, &bounds, &prop, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(bounds.w, 0);
    BrPixelmapFree(pm);

    // The built-in font: proportional, every code has a glyph no wider than 7.
    const br_font &f = BrPixelmapFontBuiltin;
    EXPECT_TRUE(f.flags & BR_FONTF_PROPORTIONAL);
    EXPECT_EQ(f.glyph_x, 7);
    EXPECT_EQ(f.glyph_y, 9);
    for (int c = 0; c < 256; c++) {
        EXPECT_GT(f.width[c], 0) << c;
        EXPECT_LE(f.width[c], 7) << c;
    }
    EXPECT_GT(BrPixelmapTextWidth(nullptr, nullptr, "MW"), BrPixelmapTextWidth(nullptr, nullptr, "il"));
}

TEST_F(PmTest, TextIsClippedAtEveryEdge)
{
    // Text drawn into a window (a sub map framed by untouched pixels) must equal the same text
    // drawn on a large map, seen through that window.
    const char *text = "Wg|jQ@ 0,\xC9!";
    const int P = 80;
    br_pixelmap *frame = BrPixelmapAllocate(BR_PMT_INDEX_8, 40, 32, nullptr, 0);
    br_pixelmap *win = BrPixelmapAllocateSub(frame, 10, 10, 20, 12);
    br_pixelmap *big = BrPixelmapAllocate(BR_PMT_INDEX_8, 20 + 2 * P, 12 + 2 * P, nullptr, 0);
    ASSERT_NE(win, nullptr);
    for (bool generic : {false, true}) {
        win->dispatch = generic ? pixel_set_only_dispatch() : &BrPixelmapMemDispatch;
        for (int y = -11; y <= 13; y++)
            for (int x = -75; x <= 21; x += 2) {
                BrPixelmapFill(frame, 0);
                BrPixelmapFill(big, 0);
                ASSERT_EQ(BrPixelmapText(win, x, y, 7, nullptr, text), (br_error)BRE_OK);
                BrPixelmapText(big, x + P, y + P, 7, nullptr, text);
                for (int j = 0; j < 32; j++)
                    for (int i = 0; i < 40; i++) {
                        bool inside = i >= 10 && i < 30 && j >= 10 && j < 22;
                        br_uint_32 want = inside ? BrPixelmapPixelGet(big, i - 10 + P, j - 10 + P) : 0;
                        ASSERT_EQ(BrPixelmapPixelGet(frame, i, j), want)
                            << (generic ? "generic " : "memory ") << "text at " << x << "," << y << " pixel " << i
                            << "," << j;
                    }
            }
    }
    win->dispatch = nullptr;
    BrPixelmapFree(win);
    BrPixelmapFree(frame);
    BrPixelmapFree(big);
}

TEST_F(PmTest, FormattedTextIsBoundedByTheScratchString)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 64, 9, nullptr, 0);
    std::string longer(4000, 'x');
    EXPECT_EQ(BrPixelmapTextF(pm, 0, 0, 1, nullptr, "%s%d", longer.c_str(), 5), (br_error)BRE_OK);
    BrPixelmapFill(pm, 0);
    EXPECT_EQ(BrPixelmapTextF(pm, 0, 0, 1, nullptr, "%d", 42), (br_error)BRE_OK);
    BrPixelmapFill(pm, 0);
    BrPixelmapText(pm, 0, 0, 2, nullptr, "42");
    PixelSet direct = pixels_not(pm, 0);
    BrPixelmapFill(pm, 0);
    BrPixelmapTextF(pm, 0, 0, 2, nullptr, "%d", 42);
    EXPECT_EQ(pixels_not(pm, 0), direct);
    BrPixelmapFree(pm);
}

TEST_F(PmTest, PictureOfTextAndLines)
{
    const int W = 360, H = 200;
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_888, W, H, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    ASSERT_NE(pm, nullptr);
    BrPixelmapFill(pm, 0x182030);

    // Every character of the built-in font, 32 to a line.
    char line[40];
    for (int row = 0; row < 7; row++) {
        int n = 0;
        for (int c = 32 + row * 32; c < 64 + row * 32 && c < 256; c++)
            line[n++] = (char)(c == 0 ? ' ' : c);
        line[n] = 0;
        BrPixelmapText(pm, 6, 6 + row * 12, 0xF0F0E0, nullptr, line);
    }
    BrPixelmapText(pm, 6, 92, 0xFFD040, nullptr, "The quick brown fox jumps over the lazy dog.");
    BrPixelmapTextF(pm, 6, 104, 0x80FF80, nullptr, "Width of \"Brondel\": %u pixels", BrPixelmapTextWidth(pm, nullptr, "Brondel"));

    // A bevelled box, a fan of lines and text running off each edge.
    BrPixelmapRectangle2(pm, 6, 120, 120, 70, 0xFFFFFF, 0x606060);
    BrPixelmapRectangleFill(pm, 7, 121, 118, 68, 0x304860);
    for (int i = 0; i <= 12; i++) {
        BrPixelmapLine(pm, 250, 190, 140 + i * 18, 118, 0x40C0FF);
        BrPixelmapLine(pm, 250, 190, 359, 190 - i * 6, 0xFF6040);
    }
    BrPixelmapText(pm, 12, 126, 0xFFFFFF, nullptr, "Clipped text:");
    BrPixelmapText(pm, -20, 140, 0xFFFF00, nullptr, "left edge cut");
    BrPixelmapText(pm, 300, 60, 0xFFFF00, nullptr, "right edge cut");
    BrPixelmapText(pm, 200, -4, 0xFFFF00, nullptr, "top cut");
    BrPixelmapText(pm, 150, 195, 0xFFFF00, nullptr, "bottom cut");

    std::vector<uint8_t> rgb((size_t)W * H * 3);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            br_uint_32 v = BrPixelmapPixelGet(pm, x, y);
            uint8_t *p = &rgb[((size_t)y * W + x) * 3];
            p[0] = (uint8_t)(v >> 16);
            p[1] = (uint8_t)(v >> 8);
            p[2] = (uint8_t)v;
        }
    std::string path = std::string(VOK_TEST_BIN_DIR) + "/brcore_pixelmap_text.png";
    ASSERT_TRUE(PlatWritePngRgb(path.c_str(), W, H, rgb.data())) << path;

    // Each glyph cell of a text holds its glyph's bits in the text colour and the background
    // elsewhere, the cells one column apart.
    const br_font &font = BrPixelmapFontBuiltin;
    auto expect_text = [&](int x, int y, br_uint_32 colour, const char *text) {
        for (const unsigned char *c = (const unsigned char *)text; *c != 0; c++) {
            int w = font.width[*c] > 0 ? font.width[*c] : 0;
            const br_uint_8 *glyph = font.glyph_data + font.encoding[*c];
            for (int r = 0; r < font.glyph_y; r++)
                for (int g = 0; g <= w; g++) {
                    bool bit = g < w && (glyph[r * ((w + 7) / 8) + g / 8] & (0x80 >> (g % 8)));
                    ASSERT_EQ(BrPixelmapPixelGet(pm, x + g, y + r), bit ? colour : 0x182030u)
                        << "'" << *c << "' at " << x + g << "," << y + r;
                }
            x += w + 1;
        }
    };
    for (int row = 0; row < 7; row++) {
        int n = 0;
        for (int c = 32 + row * 32; c < 64 + row * 32 && c < 256; c++)
            line[n++] = (char)c;
        line[n] = 0;
        expect_text(6, 6 + row * 12, 0xF0F0E0, line);
    }
    expect_text(6, 92, 0xFFD040, "The quick brown fox jumps over the lazy dog.");

    // Line ends, the bevel's edges and the box's inside.
    for (int i = 0; i <= 12; i++) {
        if (i < 12) {
            EXPECT_EQ(BrPixelmapPixelGet(pm, 140 + i * 18, 118), 0x40C0FFu) << "blue line " << i;
        }
        EXPECT_EQ(BrPixelmapPixelGet(pm, 359, 190 - i * 6), 0xFF6040u) << "red line " << i;
    }
    EXPECT_EQ(BrPixelmapPixelGet(pm, 250, 190), 0xFF6040u) << "the common end, drawn last in red";
    EXPECT_EQ(BrPixelmapPixelGet(pm, 60, 120), 0xFFFFFFu) << "top edge";
    EXPECT_EQ(BrPixelmapPixelGet(pm, 6, 150), 0xFFFFFFu) << "left edge";
    EXPECT_EQ(BrPixelmapPixelGet(pm, 60, 189), 0x606060u) << "bottom edge";
    EXPECT_EQ(BrPixelmapPixelGet(pm, 125, 150), 0x606060u) << "right edge";
    EXPECT_EQ(BrPixelmapPixelGet(pm, 100, 180), 0x304860u) << "inside";
    BrPixelmapFree(pm);
}
