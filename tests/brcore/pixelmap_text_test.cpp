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
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char sig[8] = {};
    EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
    std::fclose(f);
    EXPECT_EQ(memcmp(sig, "\x89PNG\r\n\x1a\n", 8), 0);
    BrPixelmapFree(pm);
}
