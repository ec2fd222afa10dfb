// Font sets: loading, the chain across sets, killing, the stack of saved selections, and records
// that are refused.
#include <string.h>

#include "font_support.h"
#include "vokplat/msgbox.h"

namespace {

using fonttest::font;

class Sets : public pxtest::Scratch {
protected:
    PXFONTSET *load(const std::string &name, PXFONTSET *list = nullptr)
    {
        return PxLoadFontset(path(name).c_str(), 0, list);
    }
    std::string log()
    {
        char text[8192];
        PlatMsgBoxLog(text, sizeof text);
        return text;
    }
};

TEST_F(Sets, SelectionCountsAcrossTheChain)
{
    fonttest::write_set(dir.string(), "one", {font(8), font(9), font(10)});
    fonttest::write_set(dir.string(), "two", {font(11), font(12), font(13)});
    PXFONTSET *one = load("one");
    ASSERT_NE(one, nullptr) << GetLastMsgError();
    EXPECT_EQ(PxGetTextHeight1(), 8);  // a new set's first font is current
    ASSERT_EQ(load("two", one), one);  // appended, the head returned
    PXFONTSET *two = one->next;
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->prev, one);
    EXPECT_EQ(one->count, 3);
    EXPECT_EQ(PxGetTextHeight1(), 11);

    PXFONT *fifth = PxSelectFont(one, 5);
    ASSERT_NE(fifth, nullptr);
    EXPECT_EQ(fifth->height, 13);
    EXPECT_EQ(PxSelectFont(one, 6), nullptr);  // past the chain: the current font stays
    EXPECT_EQ(PxGetTextHeight1(), 13);
    EXPECT_EQ(PxSelectFont(nullptr, 0), nullptr);
    EXPECT_EQ(PxSelectFont(two, 0)->height, 11);
    EXPECT_EQ(PxSelectFont(one, PX_FONT_MULTILINE + 1)->height, 9);
    EXPECT_EQ(PxGetTextHeight("a\na"), 9 + 3 + 9);
    const uint8_t number = 4;
    EXPECT_EQ(PxSelectFont(one, reinterpret_cast<intptr_t>(&number))->height, 12);
    EXPECT_EQ(PxGetTextHeight("a\na"), 12);  // any other selection turns the mode off

    // Killing the current set moves to its neighbour; killing the rest leaves no font.
    PxSelectFont(one, 4);
    EXPECT_EQ(PxKillFontset(two), 0);
    EXPECT_EQ(one->next, nullptr);
    EXPECT_EQ(PxGetTextHeight1(), 8);
    EXPECT_EQ(PxKillAllFontset(one), 0);
    EXPECT_EQ(PxGetTextHeight1(), 0);
    EXPECT_EQ(PxGetTextWidth("ab"), 0);
    EXPECT_EQ(PxKillFontset(nullptr), 0);
}

TEST_F(Sets, TheStackOfSelections)
{
    fonttest::write_set(dir.string(), "s", {font(8), font(9), font(10)});
    PXFONTSET *set = load("s");
    ASSERT_NE(set, nullptr) << GetLastMsgError();
    PlatMsgBoxReset();
    PxSelectFont(set, 2);
    EXPECT_EQ(PxSaveLastFontSettings(1), 1);
    PxSelectFont(set, 0);
    EXPECT_EQ(PxLoadLastFontSettings(0), 0);  // selects, keeps the depth
    EXPECT_EQ(PxGetTextHeight1(), 10);
    PxSelectFont(set, 1);
    EXPECT_EQ(PxSaveLastFontSettings(0), 1);  // overwrites the top slot
    PxSelectFont(set, 0);
    EXPECT_EQ(PxLoadLastFontSettings(1), 0);
    EXPECT_EQ(PxGetTextHeight1(), 9);
    EXPECT_EQ(log().find("beep"), std::string::npos);

    // Popping at depth 0 beeps; pushing at 31 beeps and reuses the top slot.
    EXPECT_EQ(PxLoadLastFontSettings(1), 0);
    EXPECT_NE(log().find("beep"), std::string::npos);
    PlatMsgBoxReset();
    for (int i = 1; i <= 31; i++)
        ASSERT_EQ(PxSaveLastFontSettings(1), i);
    EXPECT_EQ(log().find("beep"), std::string::npos);
    EXPECT_EQ(PxSaveLastFontSettings(1), 31);
    EXPECT_NE(log().find("beep"), std::string::npos);
    for (int i = 30; i >= 0; i--)
        ASSERT_EQ(PxLoadLastFontSettings(1), i);

    // A freed set can no longer be selected from the stack.
    fonttest::write_set(dir.string(), "gone", {font(20)});
    PXFONTSET *gone = load("gone");
    ASSERT_NE(gone, nullptr);
    PxSaveLastFontSettings(1);
    PxSelectFont(set, 1);
    PxKillFontset(gone);
    EXPECT_EQ(PxLoadLastFontSettings(1), 0);
    EXPECT_EQ(PxGetTextHeight1(), 9);
    PxKillAllFontset(set);
}

TEST_F(Sets, DamagedRecordsAreRefusedAndNothingIsKept)
{
    fonttest::write_set(dir.string(), "good", {font(8)});
    PXFONTSET *good = load("good");
    ASSERT_NE(good, nullptr);
    FFPACKHANDLE *before = FFOpenPack(path("good.fnp").c_str(), 0);
    ASSERT_NE(before, nullptr);
    FFSetCurrentPack(before);

    const fontmaker::Sheet sheet = fonttest::sheet(8);
    const std::vector<uint8_t> picture = fpk::stored_pixmap(sheet.width, sheet.height, sheet.type, sheet.rows);
    auto records = [&](int count) {
        std::vector<fontmaker::Font> fonts(size_t(count), font(8, 2, 3, "g_pic"));
        return fontmaker::records(fonts);
    };
    struct Case {
        const char *what;
        std::vector<uint8_t> fnb;
        bool with_picture;
    };
    std::vector<Case> cases;
    std::vector<uint8_t> b = records(2);
    b[fontmaker::kRecordSize + fontmaker::kNameSize] = 1;  // the last record says another follows
    cases.push_back({"last not marked", b, true});
    b = records(2);
    memset(b.data(), 0, fontmaker::kNameSize);  // the first font names no picture
    cases.push_back({"no first picture", b, true});
    cases.push_back({"picture missing", records(1), false});
    cases.push_back({"no records", {}, true});
    cases.push_back({"shorter than a record", std::vector<uint8_t>(100, 0), true});
    b = records(1);
    memset(b.data(), 'x', fontmaker::kNameSize);  // a name without its end
    cases.push_back({"name not ended", b, true});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<fpk::Entry> entries = {{"bad.fnb", c.fnb, 0}};
        if (c.with_picture)
            entries.push_back({"g_pic.pix", picture, fpk::kPixmapFlag});
        fonttest::write_pack(path("bad.fnp"), entries);
        PxSelectFont(good, 0);
        SetLastMsgError("");
        EXPECT_EQ(load("bad"), nullptr);
        EXPECT_STRNE(GetLastMsgError(), "");
        EXPECT_EQ(FFGetCurrentPack(), before);
        EXPECT_EQ(PxGetTextHeight1(), 8);
    }
    // Without the pack or its records.
    EXPECT_EQ(load("nothing"), nullptr);
    fonttest::write_pack(path("empty.fnp"), {{"other.fnb", records(1), 0}});
    EXPECT_EQ(load("empty"), nullptr);
    EXPECT_EQ(FFGetCurrentPack(), before);

    // A part record after whole ones is left out.
    b = records(1);
    b.resize(b.size() + 100, 0);
    fonttest::write_pack(path("tail.fnp"), {{"tail.fnb", b, 0}, {"g_pic.pix", picture, fpk::kPixmapFlag}});
    PXFONTSET *tail = load("tail");
    ASSERT_NE(tail, nullptr) << GetLastMsgError();
    EXPECT_EQ(tail->count, 1);
    PxKillFontset(tail);
    FFClosePack(before);
    PxKillAllFontset(good);
}

TEST_F(Sets, GlyphRectanglesAreCutToTheirPicture)
{
    fontmaker::Font f = font(8);
    f.glyphs['a' - 32] = fontmaker::Glyph{60, 0, 10, 8, 0, 1};     // 4 of 10 columns inside
    f.glyphs['b' - 32] = fontmaker::Glyph{1000, 0, 5, 8, 1, 1};    // wholly outside
    f.glyphs['c' - 32] = fontmaker::Glyph{0, -4, 5, 200, 0, 1};    // above and below
    fonttest::write_set(dir.string(), "cut", {f});
    PXFONTSET *set = load("cut");
    ASSERT_NE(set, nullptr) << GetLastMsgError();
    const PXGLYPH *g = set->first->glyphs;
    EXPECT_EQ(g['a' - 32].x, 60);
    EXPECT_EQ(g['a' - 32].width, 4);
    EXPECT_EQ(g['b' - 32].width, 0);
    EXPECT_EQ(g['c' - 32].y, 0);
    EXPECT_EQ(g['c' - 32].height, 8);
    EXPECT_EQ(PxGetLetterWidth('a'), 5);
    EXPECT_EQ(PxGetLetterWidth('b'), 2);
    // Every method draws them without reading outside the picture.
    br_pixelmap *pm = PxAllocPix(BR_PMT_RGB_565, 40, 20, nullptr, 0);
    for (int method = 0; method < 4; method++) {
        PxSetShowTextMethod(method, 0x1234);
        PxShowText(pm, 0, 0, "abc");
    }
    PxFreePix(pm);
    PxKillFontset(set);
}

}  // namespace
