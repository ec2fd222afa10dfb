// Session building and painting: ikon sizing and placement, "*" backgrounds, the dirty-rectangle
// table, movie ikons, and painting only what changed into the window.
#include "controls.h"
#include "scene_support.h"
#include "tmz_support.h"

namespace {

using vstest::SceneTest;
using vstest::kBlue;
using vstest::kGreen;
using vstest::kGrey;
using vstest::kRed;
using vstest::kWhite;
using vstest::rgb_of;

class PaintTest : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        write_data();
    }
};

TEST_F(PaintTest, IkonsTakeTheirSizeFromThePictureAndPlaceAfterEachOther)
{
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
  ikon 0
    rect 10 5 -5 0
    picture "red40"
  ikon 0
    flags afterprev
    rect 4 0 30 10
    picture "green"
  ikon 0
    rect 10 0 0 -3
    picture "blue"
  ikon 0
    flags right|bottom
    rect 5 6 30 10
  ikon 0
    flags hcentre|vcentre
    rect 0 0 40 20
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    VokIkon *k = s->sessions[0].ikons;
    struct Want {
        int x, y, w, h;
    } want[] = {{10, 5, 50, 20}, {64, 0, 30, 10}, {10, 0, 30, 16}, {640 - 30 - 5, 480 - 10 - 6, 30, 10},
                {300, 230, 40, 20}};
    for (int i = 0; i < 5; i++) {
        VokRect r = k[i].placeRect;
        EXPECT_EQ(r.x, want[i].x) << i;
        EXPECT_EQ(r.y, want[i].y) << i;
        EXPECT_EQ(r.width, want[i].w) << i;
        EXPECT_EQ(r.height, want[i].h) << i;
    }
    // 0x400 placement on its own: previous ikon at x 10, width 30, own x 4 -> 44.
    VokScene *t = parse(R"(screen 5
dataPack "t"
session 1
  ikon 0
    rect 10 0 30 10
  ikon 0
    flags afterprev
    rect 4 0 30 10
)");
    KillCurScene(0);
    ASSERT_EQ(InitScene(t, 0), 1) << GetLastMsgError();
    EXPECT_EQ(t->sessions[0].ikons[1].placeRect.x, 44);
}

TEST_F(PaintTest, StarBackgroundIsCutFromTheFirstSession)
{
    pictures.push_back({"bg2", [] {
                            // Left half red, right half green.
                            std::vector<uint8_t> rows(640 * 480 * 2);
                            for (int y = 0; y < 480; y++)
                                for (int x = 0; x < 640; x++) {
                                    uint16_t c = x < 320 ? kRed : kGreen;
                                    rows[(y * 640 + x) * 2] = uint8_t(c), rows[(y * 640 + x) * 2 + 1] = uint8_t(c >> 8);
                                }
                            auto d = fpk::stored_pixmap(640, 480, BR_PMT_RGB_565, rows);
                            return std::string(d.begin(), d.end());
                        }()});
    write_data();
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg2"
session 2
  flags plain
  rect 300 10 40 20
  background "*"
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    br_pixelmap *b = s->sessions[1].backgroundPix;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 40);
    auto at = [](br_pixelmap *p, int x, int y) {
        uint8_t *row = static_cast<uint8_t *>(p->pixels) + (p->base_y + y) * p->row_bytes;
        return uint16_t(row[(p->base_x + x) * 2] | row[(p->base_x + x) * 2 + 1] << 8);
    };
    EXPECT_EQ(at(b, 5, 5), kRed);
    EXPECT_EQ(at(b, 35, 5), kGreen);
    KillCurScene(0);
    // Refused for the first session and for a session without a size (descriptions that skip the checks).
    VokScene *bad = parse("screen 5\ndataPack \"t\"\nsession 1\n  background \"bg\"\nsession 2\n  rect 0 0 10 10\n  background \"*\"\n");
    bad->sessions[1].width = 0;
    EXPECT_EQ(InitScene(bad, 0), 0);
    EXPECT_STREQ(GetLastMsgError(), "Background \"*\" is not allowed for session 2");
    KillCurScene(0);
    bad->sessions[1].width = 10;
    bad->sessions[0].background = "*";
    EXPECT_EQ(InitScene(bad, 0), 0);
    KillCurScene(0);
}

TEST_F(PaintTest, DirtyRectanglesMergeAndOverflowToAFullCopy)
{
    VokSession s{};
    s.place = {0, 0, 640, 480};
    auto add = [&](int x, int y, int w, int h) {
        VokRect r{x, y, w, h};
        VokAddDirtyRect(&s, &r);
    };
    auto rects = [&] {
        std::vector<std::tuple<int, int, int, int>> out;
        for (int i = 0; i < s.dirtyCount; i++)
            out.push_back({s.dirty[i].x, s.dirty[i].y, s.dirty[i].width, s.dirty[i].height});
        return out;
    };
    using R = std::vector<std::tuple<int, int, int, int>>;
    add(10, 10, 20, 20);
    add(100, 10, 20, 20);
    add(12, 12, 5, 5); // inside the first: dropped
    EXPECT_EQ(rects(), (R{{10, 10, 20, 20}, {100, 10, 20, 20}}));
    add(0, 0, 200, 40); // holds both: takes the first's place, the second goes
    EXPECT_EQ(rects(), (R{{0, 0, 200, 40}}));
    add(0, 40, 200, 10); // same horizontal span, meets below: merged
    add(200, 0, 10, 50); // same vertical span, meets right: merged
    EXPECT_EQ(rects(), (R{{0, 0, 210, 50}}));
    add(-5, 470, 20, 30); // clipped to the session
    EXPECT_EQ(rects(), (R{{0, 0, 210, 50}, {0, 470, 15, 10}}));
    add(700, 0, 5, 5); // outside: nothing
    EXPECT_EQ(s.dirtyCount, 2);
    EXPECT_EQ(s.dirtyBounds[2], 210);
    EXPECT_EQ(s.dirtyBounds[3], 480);
    for (int i = 0; i < 14; i++)
        add(300 + i * 20, 200, 10, 10);
    EXPECT_EQ(s.dirtyCount, 16);
    EXPECT_FALSE(s.state & VOK_SST_FULL);
    add(300, 300, 10, 10); // the seventeenth: the whole session is copied at the next paint
    EXPECT_EQ(s.dirtyCount, 16);
    EXPECT_TRUE(s.state & VOK_SST_FULL);
    EXPECT_EQ(s.dirtyBounds[0], 0);
    EXPECT_EQ(s.dirtyBounds[2], 640);
}

using vstest::tmz;

TEST_F(PaintTest, MovieIkonsPlayByTheClockAndOddDepthsAreRefused)
{
    write_data({{"anim.tmz", tmz(16, {kRed, kGreen})}, {"odd.tmz", tmz(12, {kRed})}});
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
  ikon 0
    rect 100 100 8 8
    picture "anim.tmz"
    movie flags rate fps 10
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    MnuPaintScreen(s, 1);
    EXPECT_EQ(pixel(104, 104), rgb_of(kRed));
    PlatAdvanceClock(150);
    MnuBuildScene();
    MnuPaintScreen(s, 0);
    EXPECT_EQ(pixel(104, 104), rgb_of(kGreen));
    KillCurScene(0);

    VokScene *odd = parse("screen 5\ndataPack \"t\"\nsession 1\n  ikon 0\n    picture \"odd.tmz\"\n");
    EXPECT_EQ(InitScene(odd, 0), 0);
    EXPECT_STREQ(GetLastMsgError(), "Not supported movie bpp: 12");
    KillCurScene(0);
    br_pixelmap *pm;
    EXPECT_EQ(openPixOrMov("anim.tmz", nullptr, &pm, nullptr), 0);
    EXPECT_STREQ(GetLastMsgError(), "The MOVIEDATA pointer is NULL in 'openPixOrMov'");

    // Without a movie out-pointer the first frame outlives the movie it came from.
    VokScene *holder = parse("screen 5\ndataPack \"t\"\nsession 1\n");
    ASSERT_EQ(InitScene(holder, 1), 1) << GetLastMsgError();
    MOVIEDATA md{VOK_MOVIE_DEFAULT_FLAGS, 16, 0, 1000};
    ASSERT_EQ(openPixOrMov("anim.tmz", &md, &pm, nullptr), 1) << GetLastMsgError();
    KillCurScene(0); // its packs close too
    const uint8_t *row = static_cast<const uint8_t *>(pm->pixels) + (pm->base_y + 3) * pm->row_bytes;
    EXPECT_EQ(uint16_t(row[(pm->base_x + 3) * 2] | row[(pm->base_x + 3) * 2 + 1] << 8), kRed);
    PxFreePix(pm);
}

TEST_F(PaintTest, WithoutAPictureUnderItTheFirstSessionCapturesTheWindowClipped)
{
    VokScene *before = parse("screen 5\ndataPack \"t\"\nsession 1\n  background \"bg\"\n");
    ASSERT_EQ(InitScene(before, 0), 1) << GetLastMsgError();
    MnuPaintScreen(before, 1);
    KillCurScene(0);
    // Larger than the 640x480 window: the capture is centred, the rest keeps the fill colour.
    VokScene *s = parse("screen 5\nrect 0 0 700 500\nsession 1\n  fillColour 0x001F\n");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    br_pixelmap *b = s->sessions[0].backgroundPix;
    auto at = [&](int x, int y) {
        uint8_t *row = static_cast<uint8_t *>(b->pixels) + (b->base_y + y) * b->row_bytes;
        return uint16_t(row[(b->base_x + x) * 2] | row[(b->base_x + x) * 2 + 1] << 8);
    };
    EXPECT_EQ(at(5, 5), kBlue);
    EXPECT_EQ(at(35, 15), kGrey);
    EXPECT_EQ(at(664, 484), kGrey);
    EXPECT_EQ(at(695, 495), kBlue);
}

TEST_F(PaintTest, OnlyTheDirtyBoundsReachTheWindow)
{
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
  focusId 1
  ikon 0
    id 1
    flags act
    rect 20 400 30 10
    picture "green"
    focusPicture "blue"
  ikon 0
    id 2
    flags act
    rect 20 440 30 10
    picture "green"
    focusPicture "blue"
session 2
  flags plain
  rect 400 20 200 100
  background "white"
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    MnuPaintScreen(s, 1);
    // Top and bottom land where they belong: the bottom-up DIB is flipped by its own height.
    EXPECT_EQ(pixel(5, 5), rgb_of(kGrey));
    EXPECT_EQ(pixel(410, 30), rgb_of(kWhite));
    EXPECT_EQ(pixel(25, 405), rgb_of(kBlue)); // focused
    EXPECT_EQ(pixel(25, 445), rgb_of(kGreen));
    // A change of the scene picture outside the dirty bounds must not be painted.
    PxFillPixRect(s->sessions[0].pix, 600, 300, 10, 10, kRed);
    VokFocusIkon(&s->sessions[0], &s->sessions[0].ikons[1]);
    EXPECT_EQ(pixel(25, 405), rgb_of(kGreen));
    EXPECT_EQ(pixel(25, 445), rgb_of(kBlue));
    EXPECT_EQ(s->sessions[0].focusId, 2);
    EXPECT_EQ(pixel(605, 305), rgb_of(kGrey));
    MnuPaintScreen(s, 1);
    EXPECT_EQ(pixel(605, 305), rgb_of(kRed));
    // A hidden session gives back what lay under it.
    HideSession(&s->sessions[1]);
    MnuBuildScene();
    MnuPaintScreen(s, 0);
    EXPECT_EQ(pixel(410, 30), rgb_of(kGrey));
}

// A scene smaller than the window and not at its corner: painted at its place over the popup (the
// bottom-up DIB flipped by its own height), hit there; with its own window, painted from that
// window's corner, and its end leaves the scene beneath running.
TEST_F(PaintTest, ScenesAwayFromTheCornerPaintAndHitAtTheirPlace)
{
    const char *body = R"(dataPack "t"
rect 100 50 200 100
session 1
  fillColour 0x001F
  focusId 1
  ikon 0
    id 1
    flags act
    rect 10 10 30 10
    picture "green"
    focusPicture "white"
    key A
  ikon 0
    id 2
    flags act
    rect 10 70 30 10
    picture "green"
    focusPicture "white"
    key B
)";
    VokScene *s = parse(std::string("screen 5\n") + body);
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    MnuPaintScreen(s, 1);
    EXPECT_EQ(pixel(115, 65), rgb_of(kWhite));
    EXPECT_EQ(pixel(115, 125), rgb_of(kGreen));
    VokFocusIkon(&s->sessions[0], &s->sessions[0].ikons[1]); // paints the dirty bounds only
    EXPECT_EQ(pixel(115, 65), rgb_of(kGreen));
    EXPECT_EQ(pixel(115, 125), rgb_of(kWhite));
    MSG m;
    while (PeekMessageA(&m, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
    }
    MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(115, 65));
    MnuMouseHandler(window, WM_LBUTTONUP, 0, at(115, 65));
    ASSERT_TRUE(PeekMessageA(&m, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_EQ(m.wParam, WPARAM('A'));

    VokScene *own = parse(std::string("screen 5\nflags window\n") + body);
    ASSERT_EQ(InitScene(own, 0), 1) << GetLastMsgError();
    ASSERT_TRUE(own->drawWnd && own->drawWnd != window);
    MnuPaintScreen(own, 1);
    VokPump();
    std::vector<uint32_t> px(640 * 480);
    int w = 0, h = 0;
    ASSERT_TRUE(VokCaptureWindow(own->drawWnd, px.data(), int(px.size()), &w, &h));
    ASSERT_EQ(w, 200);
    EXPECT_EQ(px[15 * w + 15], rgb_of(kWhite));
    EXPECT_EQ(px[75 * w + 15], rgb_of(kGreen));
    KillCurScene(0);
    EXPECT_EQ(VokGetCurScene(), s);
    EXPECT_FALSE(vok::engine().abort);
}

}  // namespace

namespace {

// Two fonts of 8 x 8 block glyphs: font 0 red, font 1 (the selection font) green.
void block_glyph(br_pixelmap *d, int32_t x, int32_t y, br_pixelmap *s, int32_t sx, int32_t sy, int32_t w, int32_t h,
                 uint32_t)
{
    CopyRectangle(d, x, y, s, sx, sy, w, h);
}

TEST_F(PaintTest, ListsEditFieldsAndTheirArrowsDrawTheirOwnParts)
{
    static PXFONT fonts[2];
    static PXFONTSET set;
    const uint16_t colours[2] = {vstest::kRed, vstest::kGreen};
    for (int i = 0; i < 2; i++) {
        fonts[i] = PXFONT{};
        fonts[i].pic = PxAllocPix(BR_PMT_RGB_565, 8, 8, nullptr, 0);
        PxFillPix(fonts[i].pic, colours[i]);
        fonts[i].height = 8;
        fonts[i].blitter = block_glyph;
        for (auto &g : fonts[i].glyphs)
            g = PXGLYPH{0, 0, 8, 8, 0, 0};
    }
    fonts[0].next = &fonts[1];
    set = PXFONTSET{};
    set.first = &fonts[0];
    set.count = 2;
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
  ikon list
    id 5
    rect 100 100 200 32
    font 0
    focusFont 1
    control list 16 20 4
  ikon 0
    id 6
    rect 10 10 30 10
    picture "blue"
    key UP
    linkId 5
  ikon 0
    id 7
    rect 10 30 30 10
    picture "blue"
    key DOWN
    linkId 5
  ikon edit
    id 8
    rect 100 200 200 8
    control edit 20
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    vok::engine().fonts = &set;
    VokSession *f = &s->sessions[0];
    vok::VokList *list = vok::list_of(FindIkon(f, 5));
    ASSERT_TRUE(list);
    const char *rows[] = {"a", "b", "c", "d", "e", "f"};
    vok::list_set_rows(list, rows, 6);
    vok::list_select(list, 1);
    auto paint = [&] {
        f->state |= VOK_SST_FULL;
        MnuBuildScene();
        MnuBuildScene();  // an arrow shown during a paint draws in the next
        MnuPaintScreen(s, 1);
    };
    paint();
    using vstest::rgb_of;
    EXPECT_EQ(pixel(103, 103), rgb_of(vstest::kRed)) << "row 0 in the row font";
    EXPECT_EQ(pixel(103, 111), rgb_of(vstest::kGreen)) << "the selected row in the selection font";
    EXPECT_EQ(pixel(103, 131), rgb_of(vstest::kRed)) << "row 3, the last one shown";
    EXPECT_EQ(pixel(15, 15), rgb_of(vstest::kGrey)) << "no up arrow at the top";
    EXPECT_EQ(pixel(15, 35), rgb_of(vstest::kBlue)) << "a down arrow: rows below";
    vok::list_select(list, vok::kLast);
    paint();
    EXPECT_EQ(pixel(103, 103), rgb_of(vstest::kRed)) << "row 2 now first";
    EXPECT_EQ(pixel(103, 127), rgb_of(vstest::kGreen)) << "row 5 selected, last shown";
    EXPECT_EQ(pixel(15, 15), rgb_of(vstest::kBlue));
    EXPECT_EQ(pixel(15, 35), rgb_of(vstest::kGrey));

    // The edit field: its text, and while its session has the focus a 2-pixel caret bar after it.
    vok::VokEdit *edit = vok::edit_of(FindIkon(f, 8));
    ASSERT_TRUE(edit);
    vok::edit_set_text(edit, "ab");
    vok::engine().focusSession = f;
    edit->caretShown = true;
    paint();
    EXPECT_EQ(pixel(110, 204), rgb_of(vstest::kRed));
    EXPECT_EQ(pixel(116, 204), 0xFFFFFFu) << "the caret bar";
    EXPECT_EQ(pixel(118, 204), rgb_of(vstest::kGrey));
    edit->caretShown = false;
    paint();
    EXPECT_EQ(pixel(116, 204), rgb_of(vstest::kGrey));
    vok::engine().fonts = nullptr;  // the test's own, not the scene's to free
    KillCurScene(0);
    for (PXFONT &font : fonts)
        PxFreePix(font.pic);
}

}  // namespace

namespace {

// A list whose arrows come before it among the ikons: the arrow it shows is drawn in the same pass
// (the idle loop may sleep right after it, so a later pass may not come).
TEST_F(PaintTest, AnArrowShownByALaterListIsDrawnInTheSamePass)
{
    static PXFONT font;
    static PXFONTSET set;
    font = PXFONT{};
    font.pic = PxAllocPix(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    PxFillPix(font.pic, vstest::kRed);
    font.height = 8;
    font.blitter = block_glyph;
    for (auto &g : font.glyphs)
        g = PXGLYPH{0, 0, 8, 8, 0, 0};
    set = PXFONTSET{};
    set.first = &font;
    set.count = 1;
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
  ikon 0
    id 6
    rect 10 10 30 10
    picture "blue"
    key UP
    linkId 5
  ikon 0
    id 7
    rect 10 30 30 10
    picture "blue"
    key DOWN
    linkId 5
  ikon list
    id 5
    rect 100 100 200 32
    control list 16 20 4
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    vok::engine().fonts = &set;
    VokSession *f = &s->sessions[0];
    vok::VokList *list = vok::list_of(FindIkon(f, 5));
    ASSERT_TRUE(list);
    using vstest::rgb_of;
    // Empty: no rows, no arrows.
    f->state |= VOK_SST_FULL;
    MnuBuildScene();
    MnuPaintScreen(s, 1);
    EXPECT_EQ(pixel(15, 15), rgb_of(vstest::kGrey));
    EXPECT_EQ(pixel(15, 35), rgb_of(vstest::kGrey));
    EXPECT_EQ(pixel(103, 103), rgb_of(vstest::kGrey));
    const char *rows[] = {"a", "b", "c", "d", "e", "f"};
    vok::list_set_rows(list, rows, 6);
    vok::list_select(list, 0);
    f->state |= VOK_SST_FULL;
    MnuBuildScene();
    MnuPaintScreen(s, 1);
    EXPECT_EQ(pixel(15, 15), rgb_of(vstest::kGrey)) << "no up arrow at the top";
    EXPECT_EQ(pixel(15, 35), rgb_of(vstest::kBlue));
    vok::list_select(list, vok::kLast);
    MnuBuildScene();
    MnuPaintScreen(s, 0);
    EXPECT_EQ(pixel(15, 15), rgb_of(vstest::kBlue)) << "the up arrow waited for another pass";
    EXPECT_EQ(pixel(15, 35), rgb_of(vstest::kGrey));
    vok::engine().fonts = nullptr;
    KillCurScene(0);
    PxFreePix(font.pic);
}

}  // namespace
