// Help, story and outside-browser screens: pages, paging, scrolling and the browser module, run over
// the carried screen files with plain pictures, the generated font and the generated texts.
#include <math.h>

#include <atomic>

#include <fstream>
#include <map>
#include <sstream>

#include "help.h"
#include "mzi/mziwriter.h"
#include "preview.h"
#include "runner.h"
#include "scene_support.h"
#include "texts.h"
#include "vokplat/msgbox.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokscout.h"

namespace {

using vstest::solid565;

class HelpTest : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        copy_tree("Data/gn.fnp");
        for (const char *pack : {"help", "masmoz", "credit"}) {
            copy_tree(std::string("Data/") + pack + ".fpk");
            copy_tree(std::string("Data/US/") + pack + ".fpk");
        }
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        face->gameId = VOK_GAME_BASE;
        face->levelFamily = 0;
        face->subMode = 0;
        vok::help_clear_positions();
    }
    void TearDown() override
    {
        while (VokGetCurScene())
            KillCurScene(0);
        face->screenPix = nullptr;
        PxFreePix(screen);
        SceneTest::TearDown();
    }
    void copy_tree(const std::string &rel)
    {
        std::ifstream in(std::string(VOK_DATA_TREE) + "/" + rel, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        ASSERT_FALSE(bytes.str().empty()) << rel;
        write(rel, bytes.str());
    }
    // The generated text pack with some texts put in place of the generated ones.
    void texts(const std::map<std::string, std::string> &replace = {})
    {
        std::vector<uint8_t> bytes;
        std::vector<fpk::Entry> entries;
        std::string error;
        ASSERT_TRUE(fpk::read_file(std::string(VOK_DATA_TREE) + "/Data/US/mnutext.fpk", bytes, error)) << error;
        ASSERT_TRUE(fpk::read(bytes, entries, error)) << error;
        for (fpk::Entry &e : entries)
            if (replace.count(e.name))
                e.data.assign(replace.at(e.name).begin(), replace.at(e.name).end());
        ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
        write("Data/US/mnutext.fpk", std::string(bytes.begin(), bytes.end()));
        ASSERT_EQ(VokLoadTextFiles(), 1);
    }
    // Starts table entry `entry` without its loop and draws its first frame.
    void open(int entry)
    {
        VokScene *scene = VokInterfaceScreen(entry);
        ASSERT_NE(scene, nullptr) << GetLastMsgError();
        scene->underPix = screen;
        vok::runner().current = entry;
        ASSERT_EQ(InitScene(scene, 0), 1) << GetLastMsgError();
        vok::engine().runningFlag = true;
        frame();
    }
    void frame()
    {
        // The playback library's notices come as messages.
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        VokPump();
        MnuBuildScene();
        MnuPaintScreen(VokGetCurScene(), 1);
    }
    void key(WPARAM k)
    {
        VokPopupKeyHandler(window, WM_KEYDOWN, k, 0);
        frame();
    }
    void enter_on(int id)
    {
        VokSession *buttons = FindSession(vok::kHelpButtons);
        ASSERT_NE(FindIkon(buttons, id), nullptr) << id;
        VokFocusIkon(buttons, FindIkon(buttons, id));
        key(VK_RETURN);
    }
    bool shown(int session, int id)
    {
        VokIkon *k = FindIkon(FindSession(session), id);
        return k && !(k->state & VOK_IST_HIDDEN);
    }
    bool running() { return vok::engine().runningFlag; }
    // Frames the window has put on the display so far.
    static unsigned long long presents()
    {
        unsigned long long n = 0;
        VokPresentWork(&n, nullptr);
        return n;
    }
    VokSession *text() { return FindSession(vok::kHelpText); }
    // Pixels of the text page in the window that are not its fill colour.
    int inked(int fromRow, int rows)
    {
        VokSession *s = text();
        std::vector<uint32_t> px(640 * 480);
        int w = 0, h = 0;
        EXPECT_TRUE(VokCaptureWindow(window, px.data(), int(px.size()), &w, &h));
        uint32_t fill = vstest::rgb_of(uint16_t(s->fillColour));
        int n = 0;
        for (int y = s->place.y + fromRow; y < s->place.y + fromRow + rows; y++)
            for (int x = s->place.x; x < s->place.x + s->place.width; x++)
                n += px[size_t(y) * w + x] != fill;
        return n;
    }

    br_pixelmap *screen = nullptr;
};

TEST_F(HelpTest, TipPagesStepWithinTheirCountAndKeepTheirPlace)
{
    texts();
    ASSERT_EQ(vok::game_texts(0)->tipCount, 3);
    vok::help_position(0) = 5; // stored beyond the count
    open(39);
    EXPECT_EQ(vok::help_position(0), 0);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpUp));
    EXPECT_TRUE(shown(vok::kHelpButtons, vok::kHelpDown));
    EXPECT_GT(inked(0, 40), 50) << "the tip's words are drawn";
    key(VK_UP); // nothing above the first
    EXPECT_EQ(vok::help_position(0), 0);
    key(VK_DOWN);
    EXPECT_TRUE(shown(vok::kHelpButtons, vok::kHelpUp));
    key(VK_DOWN);
    EXPECT_EQ(vok::help_position(0), 2);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpDown));
    key(VK_DOWN); // nothing below the last
    EXPECT_EQ(vok::help_position(0), 2);
    enter_on(vok::kHelpUp); // the arrow button steps as the key does
    EXPECT_EQ(vok::help_position(0), 1);
    key(VK_ESCAPE);
    EXPECT_FALSE(running());
    EXPECT_EQ(face->popupResult, 0);
    KillCurScene(0);
    // The place is kept per game; a new player starts again at the first.
    open(39);
    EXPECT_EQ(vok::help_position(0), 1);
    KillCurScene(0);
    vok::help_clear_positions();
    EXPECT_EQ(vok::help_position(0), 0);
}

TEST_F(HelpTest, GameAndPageButtonsChangeThePage)
{
    texts();
    open(35);
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        EXPECT_TRUE(shown(vok::kHelpButtons, int(VOK_GAME_BASE) + g));
    EXPECT_FALSE(shown(vok::kHelpButtons, 18));
    enter_on(int(VOK_GAME_BASE) + 3);
    EXPECT_EQ(face->gameId, VOK_GAME_BASE + 3);
    EXPECT_EQ(vok::runner().current, vok::kHelpRules);
    EXPECT_TRUE(shown(vok::kHelpButtons, 18));
    EXPECT_FALSE(shown(vok::kHelpButtons, int(VOK_GAME_BASE)));
    const int pages[][2] = {{19, 40}, {20, 39}, {18, 38}};
    for (auto &p : pages) {
        enter_on(p[0]);
        EXPECT_EQ(vok::runner().current, p[1]) << p[0];
    }
    // Escape on a game page goes back to the general page; there it ends the screen.
    key(VK_ESCAPE);
    EXPECT_EQ(vok::runner().current, vok::kHelpGeneral);
    EXPECT_TRUE(running());
    key(VK_ESCAPE);
    EXPECT_FALSE(running());
    KillCurScene(0);
    // A game's page opened from the game ends on Escape.
    open(38);
    key(VK_ESCAPE);
    EXPECT_FALSE(running());
    KillCurScene(0);
    // So it does after a help screen that ended without its Escape while a game page was open.
    open(35);
    enter_on(int(VOK_GAME_BASE) + 1);
    KillCurScene(0);
    open(38);
    key(VK_ESCAPE);
    EXPECT_FALSE(running()) << "not back to a general page it never showed";
}

TEST_F(HelpTest, ShortHelpShowsTheModesPicture)
{
    texts();
    struct Case {
        int game, family, subMode, picture;
    };
    const Case cases[] = {{0, 0, 0, 60}, {0, 1, 0, 61}, {0, 2, 6, 62}, {0, 3, 0, 63}, {3, 0, 0, 64}, {2, 1, 6, 64}};
    for (const Case &c : cases) {
        face->gameId = VOK_GAME_BASE + uint32_t(c.game);
        face->levelFamily = c.family;
        face->subMode = c.subMode;
        open(42);
        VokSession *back = &VokGetCurScene()->sessions[0];
        for (int id = 60; id <= 64; id++)
            EXPECT_EQ(!(FindIkon(back, id)->state & VOK_IST_HIDDEN), id == c.picture) << c.game << " " << c.family << " " << id;
        KillCurScene(0);
    }
}

TEST_F(HelpTest, LongTextScrollsWithItsArrows)
{
    std::string long_text;
    for (int i = 0; i < 2000; i++)
        long_text += "Line " + std::to_string(i) + "\r\n";
    texts({{"mainhelp.txt", long_text}});
    open(35);
    EXPECT_EQ(vok::help_line_count(), vok::kHelpMaxLines);
    VokSession *s = text();
    EXPECT_GE(s->pixHeight, vok::kHelpMaxLines * vok::kHelpLineHeight);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpUp));
    EXPECT_TRUE(shown(vok::kHelpButtons, vok::kHelpDown));
    key(VK_DOWN);
    EXPECT_EQ(s->scrollY, vok::kHelpLineHeight);
    key(VK_END);
    EXPECT_EQ(s->scrollY, s->pixHeight - s->place.height);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpDown));
    EXPECT_GT(inked(0, s->place.height), 200) << "the last lines are drawn";
    key(VK_HOME);
    EXPECT_EQ(s->scrollY, 0);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpUp));
}

// Lines wider than the page wrap at blanks; a word wider than the page is cut where the page ends.
TEST_F(HelpTest, WideLinesStayInsideThePage)
{
    std::string words;
    for (int i = 0; i < 60; i++)
        words += "word ";
    const std::pair<std::string, int> cases[] = {
        {words, 3},                                             // blanks only
        {std::string(200, 'W') + " and the rest after it", 3},  // a word wider than the page first
        {"a start " + std::string(300, 'm') + " end", 4},       // and in the middle
    };
    for (const auto &[line, least] : cases) {
        texts({{"mainhelp.txt", line}});
        open(35);
        EXPECT_GE(vok::help_line_count(), least) << line.substr(0, 20);
        // Nothing is drawn into the page's right margin.
        VokSession *s = text();
        std::vector<uint32_t> px(640 * 480);
        int w = 0, h = 0;
        ASSERT_TRUE(VokCaptureWindow(window, px.data(), int(px.size()), &w, &h));
        uint32_t fill = vstest::rgb_of(uint16_t(s->fillColour));
        int spilled = 0;
        for (int y = s->place.y; y < s->place.y + s->place.height; y++)
            for (int x = s->place.x + s->place.width - 6; x < s->place.x + s->place.width; x++)
                spilled += px[size_t(y) * w + x] != fill;
        EXPECT_EQ(spilled, 0) << line.substr(0, 20);
        KillCurScene(0);
    }
}

TEST_F(HelpTest, StoryKeysAndParts)
{
    std::string story;
    for (int i = 0; i < 80; i++)
        story += (i == 0 || i == 30 || i == 60 || i == 70 ? "#Part " : "Story line ") + std::to_string(i) + "\r\n";
    texts({{"story.txt", story}});
    open(36);
    VokSession *s = text();
    const int line = vok::kHelpLineHeight;
    // Three parts at most, half a line below their line's top.
    EXPECT_EQ(vok::help_section(1), 10 + 30 * line + line / 2);
    EXPECT_EQ(vok::help_section(3), -1);
    // The text ends above an empty band of 64 rows.
    EXPECT_EQ(s->pixHeight, 10 + 80 * line + 10 + 64);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpUp));
    key(VK_NEXT);
    EXPECT_EQ(s->scrollY, s->place.height - 14 * line);
    key(VK_DOWN);
    EXPECT_EQ(s->scrollY, s->place.height - 14 * line + 7 * line);
    key(VK_UP);
    key(VK_PRIOR);
    EXPECT_EQ(s->scrollY, 0);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpUp));
    key(VK_END);
    EXPECT_EQ(s->scrollY, s->pixHeight - s->place.height);
    EXPECT_FALSE(shown(vok::kHelpButtons, vok::kHelpDown));
    EXPECT_TRUE(shown(vok::kHelpButtons, vok::kHelpUp));
    enter_on(2);
    EXPECT_EQ(s->scrollY, vok::help_section(1));
    key(VK_ESCAPE);
    EXPECT_FALSE(running());
}

TEST_F(HelpTest, DemoPageWithoutItsClipSaysSo)
{
    texts();
    open(41);
    EXPECT_STREQ(vok::help_demo_cue(), nullptr);
    for (int i = 0; i < 4; i++)
        frame();
    EXPECT_EQ(vok::help_demo_progress(), -1);
    EXPECT_GT(inked(9 * vok::kHelpLineHeight, 3 * vok::kHelpLineHeight), 50) << "text 12 under nine lines";
}

TEST_F(HelpTest, DemoCueLongerThanALineShowsWhole)
{
    // One cue from the second frame on, three lines long on the page.
    std::string cue = "A cue long enough to be wrapped on the page: it goes on over the line's end and on "
                      "again, so that three lines are needed to show all of it to the end.";
    texts({{"kpdemo.txt", "~1,100000\r\n" + cue + "\r\n"}});
    copy_tree("Data/kp.dat");
    face->gameId = VOK_GAME_BASE + 3;
    open(41);
    for (int i = 0; i < 40 && !vok::help_demo_cue(); i++) {
        Sleep(20);
        frame();
    }
    ASSERT_NE(vok::help_demo_cue(), nullptr);
    int cueLines = vok::help_line_count() - 16;
    ASSERT_GE(cueLines, 2);
    // The last line of the cue lies inside the page and is drawn there.
    VokSession *s = text();
    int last = 10 + (vok::help_line_count() - 1) * vok::kHelpLineHeight - s->scrollY;
    EXPECT_LE(last + vok::kHelpLineHeight, s->place.height) << "the cue's last line is in view";
    EXPECT_GT(inked(std::max(0, last), vok::kHelpLineHeight - 4), 20);
}

// The window the browser module asks: it starts the browser again from inside the call.
std::string g_key;
int g_again = -1;
LRESULT CALLBACK scout_window(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_USER + 7) {
        g_key = reinterpret_cast<const char *>(wp);
        g_again = VokLaunchScoutview(w);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(HelpTest, ScoutviewRunsTheModuleOnceAtATime)
{
    PlatMsgBoxReset();
    EXPECT_EQ(VokLaunchScoutview(window), 0) << "no module: 0";
    char log[512] = {};
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_STREQ(log, "") << "and no box";
    auto module = [&](const char *path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        write("Scoutview.so", bytes.str());
    };
    // A damaged module and one without the export: 0 as well, silent.
    write("Scoutview.so", std::string(3000, '\x7f'));
    EXPECT_EQ(VokLaunchScoutview(window), 0);
    module(OTHER_MODULE);
    EXPECT_EQ(VokLaunchScoutview(window), 0);
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_STREQ(log, "");
    module(FAKE_SCOUT);
    WNDCLASSA wc{};
    wc.lpfnWndProc = scout_window;
    wc.lpszClassName = "scouttest";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "scouttest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(VokLaunchScoutview(w), 7);
    EXPECT_EQ(g_key, "Software\\Ostrel Interactive\\Velmo's Games\\");
    EXPECT_EQ(g_again, 1) << "a call inside the first answers 1";
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(strstr(log, "beep type=0xffffffff"), nullptr) << log;
    DestroyWindow(w);
}

}  // namespace

namespace {

TEST_F(HelpTest, DemoCuesShowOnlyInsideTheirFrames)
{
    texts();
    copy_tree("Data/kp.dat");
    face->gameId = VOK_GAME_BASE + 3;
    const vok::DemoStep *script = vok::game_texts(3)->demo;
    ASSERT_NE(script, nullptr);
    std::vector<int> steps;
    // The frame in colour 992 at set steps: a 2-pixel upright line growing, then the full frame.
    auto px = [](br_pixelmap *p, int x, int y) {
        return reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(p->pixels) + ptrdiff_t(y) * p->row_bytes)[x];
    };
    int frameWrong = 0, unseen = 0;
    unsigned long long shown = 0;
    vok::help_frame_hook() = [&](int step, br_pixelmap *p) {
        // The step before reached the display while this one waited its turn.
        unseen += !steps.empty() && presents() == shown;
        shown = presents();
        steps.push_back(step);
        if (step == 0) // off 0: x 318, y 225, height 6
            frameWrong += px(p, 318, 225) != 992 || px(p, 318, 230) != 992 || px(p, 318, 232) == 992;
        if (step == 10) // off 120: y 105, height 246
            frameWrong += px(p, 318, 105) != 992 || px(p, 318, 350) != 992 || px(p, 318, 351) == 992;
        if (step == 21) // off 160: x 155, width 326, the last y and height
            frameWrong += px(p, 155, 105) != 992 || px(p, 480, 350) != 992 || px(p, 318, 200) == 992;
    };
    open(41);
    for (int i = 0; i < 3; i++)
        frame();
    EXPECT_EQ(steps.size(), 22u) << "the opening frame, 11 + 11 steps";
    EXPECT_EQ(frameWrong, 0);
    EXPECT_EQ(unseen, 0) << "every step is shown in the window";
    int checked = 0, shownCues = 0;
    for (int i = 0; i < 400 && vok::help_demo_progress() < 60; i++) {
        Sleep(20);
        frame();
        int at = vok::help_demo_progress();
        const char *expected = nullptr;
        for (const vok::DemoStep *d = script; d->start >= 0; d++)
            if (at >= d->start && at <= d->end) {
                expected = d->text;
                break;
            }
        EXPECT_EQ(vok::help_demo_cue(), expected) << at;
        checked++;
        shownCues += expected != nullptr;
    }
    EXPECT_GE(vok::help_demo_progress(), 60);
    EXPECT_GT(shownCues, 0);
    vok::help_frame_hook() = nullptr;
}

}  // namespace

namespace {

// A clip of `w` x `h` whose row y has the colour `stripe(y)`, at 10 frames a second.
uint16_t stripe(int y)
{
    return uint16_t(y * 0x0841 + 0x1000);
}

std::string striped_clip(int w, int h, int frames)
{
    mziw::Options o;
    o.fps = 10;
    mziw::Writer writer(o);
    std::vector<uint8_t> px(size_t(w) * h * 2);
    for (int y = 0; y < h; y++) // bottom row first
        for (int x = 0; x < w; x++) {
            uint16_t c = stripe(h - 1 - y);
            px[(size_t(y) * w + x) * 2] = uint8_t(c);
            px[(size_t(y) * w + x) * 2 + 1] = uint8_t(c >> 8);
        }
    for (int f = 0; f < frames; f++)
        writer.add_frame(5, uint16_t(w), uint16_t(h), px);
    std::vector<uint8_t> bytes = writer.bytes();
    return std::string(bytes.begin(), bytes.end());
}

uint16_t pixel_of(br_pixelmap *p, int x, int y)
{
    return reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(p->pixels) + ptrdiff_t(y) * p->row_bytes)[x];
}

TEST_F(HelpTest, MovieCurtainSlidesInAndOutRowByRow)
{
    texts();
    write("Data/mk.dat", striped_clip(160, 120, 30));
    face->gameId = VOK_GAME_BASE + 1;
    // The picture under the scene is plain grey.
    PxFillPix(screen, vstest::kGrey);
    int steps = 0, wrong = 0, unseen = 0;
    unsigned long long shown = 0;
    vok::help_frame_hook() = [&](int step, br_pixelmap *pic) {
        unseen += steps > 0 && presents() == shown;
        shown = presents();
        bool opening = step < 300;
        int k = step - (opening ? 200 : 300) + 1;
        double angle = k * 0.07853981633974483;
        int b = int((opening ? sin(angle) : cos(angle)) * 240);
        steps++;
        for (int y = 0; y < 480; y++) {
            // The movie's rows are the clip's scaled four times.
            int from = y < b ? 240 - b + y : y >= 480 - b ? 240 + y - (480 - b) : -1;
            uint16_t want = from >= 0 ? stripe(from * 120 / 480) : vstest::kGrey;
            if (pixel_of(pic, 320, y) != want && wrong++ < 5)
                ADD_FAILURE() << "step " << step << " row " << y << ": " << pixel_of(pic, 320, y) << " not " << want;
        }
    };
    open(52);
    for (int i = 0; i < 3; i++)
        frame();
    EXPECT_EQ(steps, 20) << "twenty steps open it";
    for (int i = 0; i < 400 && vok::movie_progress() < 5; i++) {
        Sleep(20);
        frame();
    }
    EXPECT_GE(vok::movie_progress(), 5) << "the clip plays";
    key(VK_RETURN); // ends the movie, popupResult as it was
    EXPECT_FALSE(running());
    KillCurScene(0);
    EXPECT_EQ(steps, 40) << "twenty steps close it";
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(unseen, 1) << "every step is shown in the window (the first closing one follows the clip's last)";
    vok::help_frame_hook() = nullptr;
}

TEST_F(HelpTest, MovieEndsPastItsLastFrameAndWithoutItsFile)
{
    texts();
    write("Data/sup.dat", striped_clip(160, 120, 4));
    open(53);
    for (int i = 0; i < 400 && running(); i++) {
        Sleep(20);
        frame();
    }
    EXPECT_FALSE(running()) << "the end of the clip ends the screen";
    EXPECT_EQ(vok::movie_progress(), 10000);
    KillCurScene(0);
    // Without its file: text 60 as a message, and the screen ends.
    PlatMsgBoxReset();
    PlatMsgBoxPushAnswer(IDOK);
    face->gameId = VOK_GAME_BASE + 4;
    open(52);
    for (int i = 0; i < 3; i++)
        frame();
    EXPECT_FALSE(running());
    char log[512] = {};
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(strstr(log, vok::text(60)), nullptr) << log;
}

}  // namespace

namespace {

TEST_F(HelpTest, CreditsCommandsAndTheirClips)
{
    texts();
    const char *const names[] = {"crpage.dat", "cr1.dat", "cr2.dat", "cr3.dat", "cr4.dat"};
    // Without every clip: the plain page, no part buttons.
    write("Data/crpage.dat", striped_clip(32, 24, 5));
    open(37);
    frame();
    EXPECT_EQ(vok::credits_current(), -1);
    EXPECT_FALSE(shown(vok::kHelpButtons, 1));
    EXPECT_GT(inked(0, 40), 50) << "the credits text";
    key(VK_ESCAPE);
    EXPECT_FALSE(running());
    KillCurScene(0);
    for (const char *n : names)
        write(std::string("Data/") + n, striped_clip(32, 24, 5));
    // Twice: a second visit opens everything again.
    for (int visit = 0; visit < 2; visit++) {
        open(37);
        frame();
        EXPECT_EQ(vok::credits_current(), 0) << visit;
        EXPECT_TRUE(shown(vok::kHelpButtons, 1));
        enter_on(3);
        EXPECT_EQ(vok::credits_current(), 3);
        enter_on(27);
        EXPECT_TRUE(vok::credits_paused());
        enter_on(26);
        EXPECT_FALSE(vok::credits_paused());
        // The part's end brings the page back.
        for (int i = 0; i < 400 && vok::credits_current() != 0; i++) {
            Sleep(20);
            frame();
        }
        EXPECT_EQ(vok::credits_current(), 0);
        enter_on(2);
        enter_on(9); // back to the page
        EXPECT_EQ(vok::credits_current(), 0);
        enter_on(9); // on the page: the page clip again
        EXPECT_FALSE(vok::credits_paused());
        key(VK_ESCAPE);
        EXPECT_FALSE(running());
        KillCurScene(0);
        EXPECT_EQ(vok::credits_current(), -1);
    }
}

// A message box over the demo page stops its clip; the clip plays again when the box goes.
TEST_F(HelpTest, ScreenOverTheDemoPageStopsItsClip)
{
    texts();
    copy_tree("Data/kp.dat");
    face->gameId = VOK_GAME_BASE + 3;
    open(41);
    for (int i = 0; i < 4; i++)
        frame();
    for (int i = 0; i < 100 && vok::help_demo_progress() < 3; i++) {
        Sleep(20);
        frame();
    }
    EXPECT_GE(vok::help_demo_progress(), 3);
    vok::help_demo_pause(true);
    int held = vok::help_demo_progress();
    for (int i = 0; i < 20; i++) {
        Sleep(20);
        frame();
    }
    EXPECT_EQ(vok::help_demo_progress(), held) << "held while stopped";
    vok::help_demo_pause(false);
    for (int i = 0; i < 100 && vok::help_demo_progress() < 3; i++) {
        Sleep(20);
        frame();
    }
    EXPECT_GE(vok::help_demo_progress(), 3) << "plays again after " << held;
    // Another page stops the clip; coming back starts it from its beginning.
    enter_on(18);
    EXPECT_EQ(vok::help_demo_progress(), -1);
    enter_on(21);
    for (int i = 0; i < 4; i++)
        frame();
    EXPECT_LT(vok::help_demo_progress(), 3);
}

}  // namespace

namespace {

TEST_F(HelpTest, ResultsAnimationRunsOnceWithTheProducerPaused)
{
    texts();
    write("Data/sup.dat", striped_clip(160, 120, 3)); // no game clip: the support movie
    pictures = {{"bg", solid565(640, 480, vstest::kBlue)}};
    write_data();
    VokScene *scene = parse(R"(screen 3
dataPack "t"
session 1
  background "bg"
  initRoutine resultsMovie
)");
    ASSERT_NE(scene, nullptr);
    face->gameId = VOK_GAME_BASE + 2;
    int steps = 0, paused = 0;
    vok::help_frame_hook() = [&](int, br_pixelmap *) {
        steps++;
        paused += (VokImgFlags(face) & VOK_IMG_PAUSE) != 0;
    };
    vok::results_movie_reset();
    for (int visit = 0; visit < 2; visit++) {
        scene->underPix = screen;
        ASSERT_EQ(InitScene(scene, 0), 1) << GetLastMsgError();
        for (int i = 0; i < 4; i++)
            frame();
        KillCurScene(0);
    }
    EXPECT_EQ(steps, 40) << "one movie, its curtain in and out";
    EXPECT_EQ(paused, steps) << "the producer pauses through it";
    EXPECT_EQ(VokImgFlags(face) & VOK_IMG_PAUSE, 0u);
    // A game chosen again: the next results screen shows it again.
    vok::results_movie_reset();
    scene->underPix = screen;
    ASSERT_EQ(InitScene(scene, 0), 1);
    for (int i = 0; i < 4; i++)
        frame();
    KillCurScene(0);
    EXPECT_EQ(steps, 80);
    vok::help_frame_hook() = nullptr;
}

// A producer that hands over a picture of `g_handColour` whenever the test sets one.
std::atomic<uint16_t> g_handColour{0};
void hand_producer(void *)
{
    VokInterFace *f = &vok::iface();
    while (!(VokImgFlags(f) & VOK_IMG_STOP)) {
        if (!(VokImgFlags(f) & (VOK_IMG_READY | VOK_IMG_PAUSE)) && g_handColour.load()) {
            PxFillPix(f->screenPix, g_handColour.exchange(0));
            f->imgRect = VokImgRect{};
            VokImgFlagsSet(f, VOK_IMG_READY);
            PulseEvent(f->imgReadyEvent);
            while (WaitForSingleObject(f->imgDoneEvent, 100) != WAIT_OBJECT_0 && (VokImgFlags(f) & VOK_IMG_READY) &&
                   !(VokImgFlags(f) & VOK_IMG_STOP)) {
            }
        } else {
            Sleep(10);
        }
    }
    VokImgFlagsClear(f, VOK_IMG_STOP);
}

// The animation waits for the producer's first picture.
TEST_F(HelpTest, ResultsAnimationFollowsTheFirstPicture)
{
    texts();
    write("Data/sup.dat", striped_clip(160, 120, 3));
    pictures = {{"bg", solid565(640, 480, vstest::kBlue)}};
    write_data();
    write_pack_file("Data/winvn.fpk", {{"vnsav0", solid565(200, 100, vstest::kGrey)}});
    VokInitInterFace(window);
    face->screenPix = screen;
    VokScene *scene = parse(R"(screen 7
dataPack "t"
session 1
  background "bg"
session 2
  flags plain
  rect 0 0 640 480
  fillColour 0
  initRoutine VokPreviewInit
session 3
  flags plain
  rect 400 300 200 100
  initRoutine resultsMovie
  afterBuildRoutine VokPreviewSessionInit
)");
    ASSERT_NE(scene, nullptr);
    face->gameId = VOK_GAME_BASE;
    face->imgThreadProc = hand_producer;
    int steps = 0;
    vok::help_frame_hook() = [&](int, br_pixelmap *) { steps++; };
    vok::results_movie_reset();
    scene->underPix = screen;
    ASSERT_EQ(InitScene(scene, 0), 1) << GetLastMsgError();
    for (int i = 0; i < 6; i++) {
        Sleep(20);
        frame();
    }
    EXPECT_EQ(steps, 0) << "no picture yet: no movie";
    g_handColour = vstest::kRed;
    for (int i = 0; i < 100 && steps == 0; i++) {
        Sleep(20);
        frame();
    }
    EXPECT_EQ(steps, 40) << "after the first picture";
    KillCurScene(0);
    vok::preview_join();
    face->imgThreadProc = nullptr;
    vok::help_frame_hook() = nullptr;
}

}  // namespace
