// The menu in-process: highlights and their sound, what input does in each state, the exit question,
// the single-instance rule on the virtual clock and the idle wait.
#include "unit.h"

namespace {

using namespace mvtest;
using mavrel::app;

class Menu : public Unit {};

TEST_F(Menu, HighlightsFollowTheMouseWithOneSoundPerSpot)
{
    openWindow();
    loadPictures();
    app().state = mavrel::kMenu;
    struct Step {
        int x, y;
        int hover;          // spot under the mouse afterwards
        size_t sounds;      // menu sounds played so far
    } steps[] = {
        {380, 400, 0, 1}, {400, 430, 0, 1},  // the same spot again plays nothing
        {412, 437, 0, 1}, {413, 437, -1, 1}, // half-open: the right edge is outside
        {250, 400, 1, 2}, {0, 0, 2, 3},      {600, 20, 3, 4},
        {300, 200, -1, 4},
    };
    const int spotX[] = {355, 220, 0, 555}, spotY[] = {380, 370, 0, 0};
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << s.x << "," << s.y);
        mavrel::mainWndProc(app().window, WM_MOUSEMOVE, 0, MAKELPARAM(s.x, s.y));
        EXPECT_EQ(app().hover, s.hover);
        ASSERT_EQ(fake.sounds.size(), s.sounds);
        for (int i : fake.sounds)
            EXPECT_EQ(i, 8);
        // Sample the whole screen: the highlight (cut at the screen's edges) over the background.
        for (int y = 0; y < 480; y += 7)
            for (int x = 0; x < 640; x += 9) {
                uint16_t want = background(x, y);
                if (s.hover >= 0 && x >= spotX[s.hover] && x < spotX[s.hover] + 128 && y >= spotY[s.hover] &&
                    y < spotY[s.hover] + 128)
                    want = highlight(s.hover)(x - spotX[s.hover], y - spotY[s.hover]);
                ASSERT_EQ(screenAt(x, y), pic5(want)) << x << "," << y;
            }
    }
    // The corner pixels of the two highlights that run off the screen.
    mavrel::mainWndProc(app().window, WM_MOUSEMOVE, 0, MAKELPARAM(600, 20));
    EXPECT_EQ(screenAt(639, 127), pic5(highlight(3)(84, 127)));
    mavrel::mainWndProc(app().window, WM_MOUSEMOVE, 0, MAKELPARAM(380, 400));
    EXPECT_EQ(screenAt(482, 479), pic5(highlight(0)(127, 99)));
}

TEST_F(Menu, InputByState)
{
    openWindow();
    loadPictures();
    struct Case {
        const char *name;
        int state;
        bool pending;
        UINT message;
        WPARAM key;
        int x, y;
        int wantState;
        int wantHover;
    } cases[] = {
        {"click skips logo 1", mavrel::kLogo1Wait, false, WM_LBUTTONDOWN, 0, 10, 10, mavrel::kLogo2, -1},
        {"space skips logo 2", mavrel::kLogo2Wait, false, WM_KEYDOWN, VK_SPACE, 0, 0, mavrel::kLogo3, -1},
        {"space skips logo 3", mavrel::kLogo3Wait, false, WM_KEYDOWN, VK_SPACE, 0, 0, mavrel::kMenuSetup, -1},
        {"other keys do not", mavrel::kLogo1Wait, false, WM_KEYDOWN, 'A', 0, 0, mavrel::kLogo1Wait, -1},
        {"a move during a logo", mavrel::kLogo1Wait, false, WM_MOUSEMOVE, 0, 380, 400, mavrel::kLogo1Wait, -1},
        {"pending repaint: no skip", mavrel::kLogo1Wait, true, WM_LBUTTONDOWN, 0, 10, 10, mavrel::kLogo1Wait, -1},
        {"pending repaint: no hover", mavrel::kMenu, true, WM_MOUSEMOVE, 0, 380, 400, mavrel::kMenu, -1},
        {"spot 0 launches Terrow's screen", mavrel::kMenu, false, WM_LBUTTONDOWN, 0, 380, 400, mavrel::kLaunch, 0},
        {"spot 1 launches Kelpa's screen", mavrel::kMenu, false, WM_LBUTTONDOWN, 0, 250, 400, mavrel::kLaunch, 1},
        {"a click elsewhere", mavrel::kMenu, false, WM_LBUTTONDOWN, 0, 300, 200, mavrel::kMenu, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        app().state = c.state;
        app().repaintPending = c.pending;
        app().hover = -1;
        app().logoStart = 1234;
        const LPARAM at = c.message == WM_KEYDOWN ? 0 : MAKELPARAM(c.x, c.y);
        mavrel::mainWndProc(app().window, c.message, c.key, at);
        EXPECT_EQ(app().state, c.wantState);
        EXPECT_EQ(app().hover, c.wantHover);
        if (c.wantState != c.state && c.state < mavrel::kMenu) {
            EXPECT_EQ(app().logoStart, 0u);
        }
    }
    EXPECT_EQ(app().chosenScreen, 18u);
    app().state = mavrel::kMenu;
    mavrel::mainWndProc(app().window, WM_LBUTTONDOWN, 0, MAKELPARAM(360, 385));
    EXPECT_EQ(app().chosenScreen, 17u);
}

TEST_F(Menu, ExitQuestion)
{
    openWindow();
    loadPictures();
    struct Case {
        const char *name;
        bool screenShown;
        int result;      // popupResult of the exit screen, or the box's answer
        bool quits;
    } cases[] = {
        {"screen: yes", true, 1, true},
        {"screen: no", true, 0, false},
        {"no screen: the box, yes", false, IDYES, true},
        {"no screen: the box, no", false, IDNO, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        app().state = mavrel::kMenu;
        app().repaintPending = false;
        fake.screens.clear();
        fake.answers.clear();
        if (c.screenShown)
            fake.answers[22] = {1, c.result};
        else
            PlatMsgBoxPushAnswer(c.result);
        mavrel::mainWndProc(app().window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(app().state, c.quits ? mavrel::kQuit : mavrel::kMenu);
        EXPECT_EQ(fake.screens, std::vector<unsigned>{22});
        EXPECT_EQ(app().face->screenPix, app().screen);
    }
    // The exit spot posts WM_CLOSE after a yes, which ends the loop.
    app().state = mavrel::kMenu;
    fake.answers[22] = {1, 1};
    mavrel::mainWndProc(app().window, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, app().window, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    DispatchMessageA(&m);
    EXPECT_EQ(app().state, mavrel::kQuit);
    // Outside the menu nothing is asked.
    fake.screens.clear();
    app().state = mavrel::kLogo1Wait;
    EXPECT_EQ(mavrel::confirmExit(), 0);
    EXPECT_TRUE(fake.screens.empty());
}

TEST_F(Menu, SingleInstanceRule)
{
    // An atom without a window: five looks with four one-second sleeps between them, then no.
    const ATOM atom = GlobalAddAtomA("Velmos's Games");
    ASSERT_NE(atom, 0);
    uint64_t t0 = PlatClockNow();
    EXPECT_FALSE(mavrel::claimInstance());
    EXPECT_EQ(PlatClockNow() - t0, 4000000u);
    GlobalDeleteAtom(atom);

    // Nothing there: the atom is taken at once, and the window's creation gives it back.
    t0 = PlatClockNow();
    ASSERT_TRUE(mavrel::claimInstance());
    EXPECT_EQ(PlatClockNow(), t0);
    EXPECT_NE(GlobalFindAtomA("Velmos's Games"), 0);
    openWindow();
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);

    // A window of the class: no wait, no.
    t0 = PlatClockNow();
    EXPECT_FALSE(mavrel::claimInstance());
    EXPECT_EQ(PlatClockNow(), t0);
}

TEST_F(Menu, CommandLineAndDepths)
{
    const std::pair<const char *, bool> lines[] = {{"-q", true},  {"x -q", true}, {"-xq", false}, {"--q", true},
                                                   {"-Q", false}, {"q", false},   {"", false},    {"-", false}};
    for (const auto &l : lines)
        EXPECT_EQ(mavrel::quickStartRequested(l.first), l.second) << l.first;
    EXPECT_FALSE(mavrel::quickStartRequested(nullptr));
    const std::pair<int, int> depths[] = {{15, BR_PMT_RGB_555}, {16, BR_PMT_RGB_565}, {24, BR_PMT_RGB_888},
                                          {32, BR_PMT_RGBA_8888}, {8, BR_PMT_INDEX_8}, {0, BR_PMT_INDEX_8}};
    for (const auto &d : depths)
        EXPECT_EQ(mavrel::pixelTypeOfDepth(d.first), d.second) << d.first;
}

TEST_F(Menu, IdlePassWaitsForTheLogoDeadlineAndTheNextMessage)
{
    openWindow();
    loadPictures();
    // The logo comes from the current pack; "nologo.pix" is in none (nor in the generated data).
    std::vector<fpk::Entry> entries{{"zuvo.pix", fpk::stored_pixmap(640, 480, BR_PMT_RGB_565, rows565(640, 480, logo(1))),
                                     fpk::kPixmapFlag}};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(fpk::build(entries, bytes, error));
    write_file(base / "logos.fpk", bytes);
    FFPACKHANDLE *logos = FFOpenPack((base / "logos.fpk").c_str(), 0);
    ASSERT_NE(logos, nullptr);
    EXPECT_EQ(mavrel::showLogo("nologo.pix", mavrel::kLogo2Wait), 0);
    ASSERT_EQ(mavrel::showLogo("zuvo.pix", mavrel::kLogo1Wait), mavrel::kLogo1Wait);
    EXPECT_EQ(screenAt(100, 100), pic5(logo(1)(100, 100)));
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    const uint64_t t0 = PlatClockNow();
    const uint32_t start = app().logoStart;
    // Passes until the logo's time is over: one wait, not thousands of polls.
    int passes = 0;
    while (app().state == mavrel::kLogo1Wait && passes < 100) {
        ASSERT_TRUE(mavrel::loopPass());
        passes++;
    }
    EXPECT_EQ(app().state, mavrel::kLogo2);
    EXPECT_LT(passes, 5);
    EXPECT_GT(timeGetTime() - start, 3000u);
    EXPECT_LT(PlatClockNow() - t0, 3100000u);
    FFClosePack(logos);
    FFSetCurrentPack(app().menuPack);

    // In the menu a pass waits for the next message: a script event 500 ms on.
    app().state = mavrel::kMenu;
    app().repaintPending = false;
    ASSERT_TRUE(VokLoadInputScriptText("+500 move 380 400\n"));
    const uint64_t t1 = PlatClockNow();
    passes = 0;
    while (app().hover != 0 && passes < 20) {
        ASSERT_TRUE(mavrel::loopPass());
        passes++;
    }
    EXPECT_EQ(app().hover, 0);
    EXPECT_LT(passes, 5);
    EXPECT_GE(PlatClockNow() - t1, 500000u);
}

}  // namespace

namespace {

TEST_F(Menu, WindowShowsTheProgramsOwnCursor)
{
    openWindow();
    HCURSOR own = LoadCursorA(app().instance, MAKEINTRESOURCEA(17));
    ASSERT_NE(own, nullptr);
    EXPECT_NE(LoadIconA(app().instance, MAKEINTRESOURCEA(15)), nullptr);
    SetCursor(nullptr);
    EXPECT_EQ(mavrel::mainWndProc(app().window, WM_SETCURSOR, WPARAM(app().window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), own);

    int w = 0, h = 0, hx = -1, hy = -1;
    std::vector<uint32_t> px(32 * 32);
    ASSERT_TRUE(VokGetCursorPicture(own, &w, &h, &hx, &hy, px.data(), int(px.size())));
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(hx, 0);
    EXPECT_EQ(hy, 0);
    EXPECT_EQ(px[0] >> 24, 255u) << "the tip is drawn";
    EXPECT_EQ(px[31 * 32 + 31] >> 24, 0u) << "the corner away from the arrow is clear";
    const uint32_t fill = px[12 * 32 + 4];
    EXPECT_EQ(fill >> 24, 255u);
    EXPECT_EQ(fill >> 16 & 255, 255u) << std::hex << fill;  // the warm fill, not the rim
    EXPECT_FALSE(VokGetCursorPicture(LoadCursorA(nullptr, IDC_ARROW), &w, &h, nullptr, nullptr, nullptr, 0));
}

}  // namespace
