// The text walk: letter spacing, blanks, tabs, line breaks, skipped codes, in-text font switches and
// the measuring functions built on it.
#include <string.h>

#include "font_support.h"

namespace {

using Walk = fonttest::OneFont;

TEST_F(Walk, Widths)
{
    struct Case {
        const char *text;
        int32_t width;
    } cases[] = {
        {"ab", 5 + 1 + 2 + 5 + 1},  // spacing only between letters
        {"a", 6},
        {"a b", 6 + 8 + 6},         // none before a blank; the blank's own comes before the "b"
        {"a\rb", 8 + 6},            // carriage returns and other control codes are skipped
        {"\xe9\x80", 8 + 6},        // codes above 127 are glyphs too
        {"c\t", 16},                // pen 3 to the next tab stop
        {"d\t", 32},                // pen 16 to 32
        {"\t", 16},
        {"ab\nabab", 16},           // the first line only; a line feed is no blank
        {"", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PxGetTextWidth(c.text), c.width);
    }
    EXPECT_EQ(PxGetTextWidth(nullptr), 0);
    EXPECT_EQ(PxGetLetterWidth('a'), 6);
    EXPECT_EQ(PxGetLetterWidth('d'), 14);
    PxSetTab(10);
    EXPECT_EQ(PxGetTextWidth("c\t"), 10);
    PxSetTab(0);  // ignored
    EXPECT_EQ(PxGetTextWidth("c\t"), 10);
}

TEST_F(Walk, Lines)
{
    int32_t w = -1, h = -1;
    // Two lines: twice the height plus the line spacing; the widest line.
    EXPECT_EQ(PxGetTextWHMl("ab\nabab", &w, &h), 30);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 2 * 8 + 3);
    // The multi-line mode was only for that call.
    EXPECT_EQ(PxGetTextWH("ab\nabab", &w, &h), 16);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(PxGetTextHeight("ab\nab"), 8);

    int32_t widths[3] = {-1, -1, -1};
    EXPECT_EQ(PxGetTextListWH("ab\nabab\na", 2, widths, &h), 32);
    EXPECT_EQ(widths[0], 16);
    EXPECT_EQ(widths[1], 32);
    EXPECT_EQ(widths[2], -1);
    EXPECT_EQ(h, 3 * 8 + 2 * 3);

    // Numbers 256 and up select with the multi-line mode on.
    ASSERT_NE(PxSelectFont(set, PX_FONT_MULTILINE), nullptr);
    EXPECT_EQ(PxGetTextWidth("ab\nabab"), 30);
    EXPECT_EQ(PxGetTextHeight("ab\nab"), 19);
    EXPECT_EQ(PxSetLinespace(7), 3);
    EXPECT_EQ(PxGetTextHeight("a\na\na"), 3 * 8 + 2 * 7);
    ASSERT_NE(PxSelectFont(set, 0), nullptr);
    EXPECT_EQ(PxGetTextHeight("a\na\na"), 8);
    EXPECT_EQ(PxGetTextHeight1(), 8);
}

TEST_F(Walk, AdvanceBytes)
{
    uint8_t bytes[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(PxTextToWidth("ab a", bytes), 8 + 6 + 8 + 6);
    const uint8_t want[5] = {8, 6, 8, 6, 0xEE};
    EXPECT_EQ(memcmp(bytes, want, 5), 0);
    // Bounded: never past the buffer; control codes take no byte.
    uint8_t two[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(PxTextToWidthN("a\tbab", two, 2), 16 + 8 + 8 + 6);
    EXPECT_EQ(two[0], 8);
    EXPECT_EQ(two[1], 8);
    EXPECT_EQ(two[2], 0xEE);
}

TEST_F(Walk, ShowTextReturnsWhereTheNextLineBegins)
{
    br_pixelmap *pm = PxAllocPix(BR_PMT_RGB_565, 64, 32, nullptr, 0);
    const char *text = "ab\nabab";
    EXPECT_EQ(PxShowTextC(pm, 0, 0, text), text + 3);
    EXPECT_EQ(PxShowTextC(pm, 0, 0, "abab"), nullptr);
    EXPECT_EQ(PxShowText(pm, 0, 0, text), 16);
    EXPECT_EQ(PxShowTextMl(pm, 0, 0, text), 30);
    // Only the first line is drawn even with the multi-line mode on.
    PxSelectFont(set, PX_FONT_MULTILINE);
    EXPECT_EQ(PxShowTextC(pm, 0, 0, text), text + 3);
    EXPECT_EQ(PxShowText(nullptr, 0, 0, text), 0);
    PxFreePix(pm);
}

using Switches = pxtest::Scratch;

TEST_F(Switches, KeepTheMultiLineMode)
{
    const std::string folder = dir.string();
    fontmaker::Font big = fonttest::font(12, 0, 4);
    big.glyphs['a' - 32].width = 9;
    fonttest::write_set(folder, "two", {fonttest::font(8), big});
    PXFONTSET *set = PxLoadFontset((folder + "/two").c_str(), 0, nullptr);
    ASSERT_NE(set, nullptr) << GetLastMsgError();

    // Code 17 selects font 1, 31 the font before it.
    EXPECT_EQ(PxGetTextWidth("a\x11" "a\x1f" "a"), 8 + 10 + 6);
    EXPECT_EQ(PxGetTextHeight1(), 8);
    // A switch on the first line does not end the walk at the line break: both lines count, the
    // second one at the height and line spacing of the font then current.
    int32_t w = 0, h = 0;
    EXPECT_EQ(PxGetTextWHMl("a\x11" "a\nab", &w, &h), 18);
    EXPECT_EQ(h, 8 + 4 + 12);
    EXPECT_EQ(PxGetTextHeight1(), 12);  // the switch stays made
    // 31 goes back to the number saved by the last switch.
    PxSelectFont(set, 1);
    EXPECT_EQ(PxGetTextWidth("\x1f" "a"), 6);
    PxKillAllFontset(set);
}

}  // namespace
