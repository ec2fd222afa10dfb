// The scene engine: nesting, the stack limit and re-entry, hit tests, double clicks, the focus
// following the mouse, the auto-repeat timeline and per-session procedures.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "controls.h"
#include "scene_support.h"
#include "tmz_support.h"

namespace {

using vstest::SceneTest;

// Background session 1 with ikon 1 (key 'A') at 10,10; page sessions 2 and 3 with ikons.
const char *kMenu = R"(screen 1
dataPack "t"
focusSessionId 2
session 1
  background "bg"
  focusId 2
  ikon 0
    id 2
    flags act
    rect 10 10 40 20
    picture "red40"
    key A
  ikon 0
    id 3
    flags act
    rect 10 40 40 20
    picture "red40"
    key B
  ikon 0
    id 9
    flags act
    rect 390 140 20 20
    picture "red40"
    key C
session 2
  rect 300 100 200 100
  background "panel"
  focusId 21
  ikon 0
    id 21
    flags act
    rect 0 0 30 10
    picture "green"
    key D
  ikon 0
    id 22
    flags act1|dblclick
    rect 0 50 30 10
    picture "green"
    key E
session 3
  rect 300 100 200 100
  background "panel"
)";

class EngineTest : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        write_data();
    }
    // The menu with page 2 shown and page 3 waiting hidden, as the screen runner starts it.
    VokScene *start_menu()
    {
        VokScene *s = parse(kMenu);
        EXPECT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
        HideSession(&s->sessions[2]);
        return s;
    }
};

TEST_F(EngineTest, NestedSceneTakesTheGeometryAndGivesFocusAndPageBack)
{
    VokScene *menu = parse(kMenu);
    VokScene *inner = parse("screen 2\ndataPack \"t\"\nrect 0 0 320 240\nsession 1\n  rect 0 0 0 0\n");
    ASSERT_TRUE(menu && inner);
    ASSERT_EQ(InitScene(menu, 0), 1) << GetLastMsgError();
    vok::SceneEngine &e = vok::engine();
    EXPECT_EQ(e.page, &menu->sessions[1]);
    EXPECT_EQ(e.focusSession, &menu->sessions[1]);
    VokFocusIkon(&menu->sessions[0], &menu->sessions[0].ikons[1]); // entry 3 shows page 3
    EXPECT_EQ(e.page, &menu->sessions[2]);
    EXPECT_EQ(menu->sessions[0].focusId, 3);

    ASSERT_EQ(InitScene(inner, 0), 1) << GetLastMsgError();
    EXPECT_EQ(inner->stackLevel, 1);
    EXPECT_EQ(inner->curWidth, 640);
    EXPECT_EQ(inner->curHeight, 480);
    EXPECT_EQ(inner->underPix, menu->sessions[0].pix);
    EXPECT_EQ(e.page, nullptr);
    EXPECT_EQ(KillCurScene(0), 0);
    EXPECT_EQ(VokGetCurScene(), menu);
    EXPECT_EQ(e.page, &menu->sessions[2]);
    EXPECT_EQ(e.focusSession, &menu->sessions[1]);
    EXPECT_EQ(e.depth, 0);
    EXPECT_TRUE(menu->sessions[0].state & VOK_SST_FULL);
    KillCurScene(0);
    EXPECT_EQ(VokGetCurScene(), nullptr);
    // With nothing running, ending does nothing.
    EXPECT_EQ(KillCurScene(0), 0);
}

TEST_F(EngineTest, FullStackAndReentryAreRefused)
{
    VokScene *tiny = parse("screen 2\nflags copy\nrect 0 0 8 8\nsession 1\n");
    ASSERT_TRUE(tiny);
    for (int i = 0; i <= VOK_SCENE_STACK; i++)
        ASSERT_EQ(InitScene(tiny, 1), 1) << i;
    EXPECT_EQ(InitScene(tiny, 1), 0);
    EXPECT_STREQ(GetLastMsgError(), "Too many scenes: 257 are running");
    EXPECT_EQ(vok::engine().depth, VOK_SCENE_STACK);
    int ended = 0;
    while (VokGetCurScene()) {
        KillCurScene(0);
        ended++;
    }
    EXPECT_EQ(ended, VOK_SCENE_STACK + 1);

    // A scene started from inside a start fails instead of waiting for ever.
    static VokScene *nested;
    nested = tiny;
    VokScene *outer = parse("screen 3\nrect 0 0 8 8\nsession 1\n");
    outer->sessions[0].initRoutine = [](VokSession *) { return InitScene(nested, 1) == 0 ? 1 : 0; };
    EXPECT_EQ(InitScene(outer, 0), 1);
    EXPECT_EQ(VokGetCurScene(), outer);
    KillCurScene(0);

    // An end from inside a start is refused too: the copy being started would be freed under it.
    VokScene *copied = parse("screen 2\nflags copy\nrect 0 0 8 8\nsession 1\n");
    copied->sessions[0].initRoutine = [](VokSession *) { return KillCurScene(0) == 0 && VokGetCurScene() ? 1 : 0; };
    EXPECT_EQ(InitScene(copied, 0), 1);
    ASSERT_TRUE(VokGetCurScene());
    EXPECT_EQ(VokGetCurScene()->source, copied);
    KillCurScene(0);

    // A description without the copy flag cannot run over itself: its own state would be overwritten.
    VokScene *plain = parse("screen 3\nscreenId 7\nrect 0 0 8 8\nsession 1\n");
    ASSERT_EQ(InitScene(plain, 0), 1);
    EXPECT_EQ(InitScene(plain, 0), 0);
    EXPECT_STREQ(GetLastMsgError(), "Scene 7 is already running");
    EXPECT_EQ(vok::engine().depth, 0);
    KillCurScene(0);
    EXPECT_EQ(VokGetCurScene(), nullptr);
}

TEST_F(EngineTest, APageSwitchStillWaitingEndsWithItsScene)
{
    VokScene *menu = start_menu();
    vok::SceneEngine &e = vok::engine();
    VokSession *page = e.page;
    VokScene *inner = parse(R"(screen 2
flags copy
dataPack "t"
session 1
  flags delayed
  background "bg"
  ikon 0
    id 4
    rect 10 10 30 10
    picture "green"
session 4
  rect 300 100 200 100
  background "panel"
)");
    ASSERT_EQ(InitScene(inner, 0), 1) << GetLastMsgError();
    VokScene *running = VokGetCurScene();
    VokFocusIkon(&running->sessions[0], &running->sessions[0].ikons[0]);
    EXPECT_TRUE(e.pendingSwitch);
    KillCurScene(0); // frees the copy and its sessions
    PlatAdvanceClock(600);
    MnuBuildScene();
    EXPECT_EQ(e.page, page);
    EXPECT_FALSE(menu->sessions[1].state & VOK_SST_HIDDEN);
}

TEST_F(EngineTest, HitTestStopsAtTheTopmostSessionUnderThePoint)
{
    VokScene *s = start_menu();
    posted_keys();
    // Page 2 covers 300..500 x 100..200 and has no ikon at 400,150: nothing below gets the click.
    EXPECT_EQ(MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(400, 150)), 1);
    MnuMouseHandler(window, WM_LBUTTONUP, 0, at(400, 150));
    EXPECT_TRUE(posted_keys().empty());
    // Its own ikon is hit (within its drawn rectangle, less the scroll offset).
    s->sessions[1].scrollY = 5;
    PlatAdvanceClock(1000);
    MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(305, 100));
    MnuMouseHandler(window, WM_LBUTTONUP, 0, at(305, 100));
    EXPECT_EQ(posted_keys(), std::vector<int>{'D'});
    EXPECT_TRUE(vok::engine().captured == false);
    // Hidden, the page lets the click through; hiding twice changes nothing the second time.
    HideSession(&s->sessions[1]);
    uint32_t hidden = s->sessions[1].state;
    HideSession(&s->sessions[1]);
    EXPECT_EQ(s->sessions[1].state, hidden);
    PlatAdvanceClock(1000);
    MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(400, 150));
    MnuMouseHandler(window, WM_LBUTTONUP, 0, at(400, 150));
    EXPECT_EQ(posted_keys(), std::vector<int>{'C'});
    // Every click marks the interface record's image flags.
    EXPECT_TRUE(face->imgFlags & 0x04);
}

TEST_F(EngineTest, DoubleClickNeedsTimeAndPlace)
{
    VokScene *s = start_menu();
    vok::engine().dblTime = 500;
    vok::engine().dblWidth = vok::engine().dblHeight = 4;
    // Ikon 22 at 300..330 x 150..160 acts on a double click only.
    struct Case {
        int waitMs, dx, dy;
        bool acts;
    } cases[] = {{100, 0, 0, true},   {100, 2, 0, true},   {100, 3, 0, false}, {501, 0, 0, false},
                 {498, 1, 0, true},   {100, 0, 2, true},   {100, 0, 3, false}, {100, 0, -3, false}};
    for (const Case &c : cases) {
        PlatAdvanceClock(2000);
        posted_keys();
        MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(305, 155));
        MnuMouseHandler(window, WM_LBUTTONUP, 0, at(305, 155));
        EXPECT_TRUE(posted_keys().empty());
        PlatAdvanceClock(c.waitMs);
        MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(305 + c.dx, 155 + c.dy));
        MnuMouseHandler(window, WM_LBUTTONUP, 0, at(305 + c.dx, 155 + c.dy));
        EXPECT_EQ(posted_keys().size(), c.acts ? 1u : 0u) << c.waitMs << " ms, " << c.dx << "," << c.dy << " px";
    }
}

TEST_F(EngineTest, FocusFollowsTheMouseOnlyWithBothActionBits)
{
    VokScene *s = start_menu();
    VokSession *page = &s->sessions[1];
    ASSERT_EQ(page->focused, &page->ikons[0]);
    posted_keys();
    MnuMouseHandler(window, WM_MOUSEMOVE, 0, at(305, 152)); // ikon 22: act1 alone
    EXPECT_EQ(page->focused, &page->ikons[0]);
    EXPECT_EQ(vok::engine().hovered, &page->ikons[1]);
    MnuMouseHandler(window, WM_MOUSEMOVE, 0, at(20, 45)); // entry 3: both bits
    EXPECT_EQ(s->sessions[0].focused, &s->sessions[0].ikons[1]);
    EXPECT_EQ(vok::engine().page, &s->sessions[2]);
    EXPECT_TRUE(posted_keys().empty());
    // A press on an entry while a page is shown only focuses it.
    MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(20, 15));
    MnuMouseHandler(window, WM_LBUTTONUP, 0, at(20, 15));
    EXPECT_EQ(vok::engine().page, &s->sessions[1]);
    EXPECT_TRUE(posted_keys().empty());
}

int g_repeats = 0;
int count_keys(HWND, UINT msg, WPARAM key, LPARAM)
{
    if (msg == WM_KEYDOWN && key == VK_UP)
        g_repeats++;
    return 1;
}

TEST_F(EngineTest, AutoRepeatRunsAt80ThenAt25Milliseconds)
{
    VokScene *s = parse(R"(screen 4
dataPack "t"
session 1
  background "bg"
  ikon list
    id 5
    rect 100 100 200 100
    control list 16 20 5
  ikon 0
    id 6
    flags act
    rect 10 10 30 10
    picture "blue"
    key UP
    linkId 5
)");
    ASSERT_TRUE(s);
    s->keyHandler = count_keys;
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    // The list's window is at its end, so its up arrow shows.
    vok::VokList *list = vok::list_of(FindIkon(&s->sessions[0], 5));
    ASSERT_TRUE(list);
    std::vector<const char *> rows(20, "row");
    vok::list_set_rows(list, rows.data(), int(rows.size()));
    vok::list_select(list, vok::kLast);
    MnuBuildScene();
    ASSERT_FALSE(FindIkon(&s->sessions[0], 6)->state & VOK_IST_HIDDEN);
    g_repeats = 0;
    // Time runs one millisecond at a time; the counts are taken at the edges of the two rates.
    // Every empty look at the queue moves the virtual clock one millisecond.
    auto run_until = [&](int ms) {
        uint32_t end = timeGetTime() + uint32_t(ms);
        while (int32_t(timeGetTime() - end) < 0) {
            MSG m;
            if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
    };
    VokMouseButton(window, 0, TRUE, 15, 15);
    run_until(290);
    EXPECT_EQ(g_repeats, 1); // the press itself
    run_until(1100);         // 1390 ms: ticks every 80 ms from 380
    EXPECT_NEAR(g_repeats, 1 + 13, 1);
    run_until(210); // 1600 .. 2000: every 25 ms
    int before = g_repeats;
    run_until(400);
    EXPECT_NEAR(g_repeats - before, 400 / 25, 1);
    VokMouseButton(window, 0, FALSE, 15, 15);
    run_until(5);
    int stopped = g_repeats;
    run_until(500);
    EXPECT_EQ(g_repeats, stopped);
    EXPECT_FALSE(vok::engine().captured);
}

int g_ends = 0, g_frames = 0;

TEST_F(EngineTest, ProceduresRunPerPaintAndLeaveOnANegativeResult)
{
    VokScene *s = parse("screen 4\ndataPack \"t\"\nsession 1\n  background \"bg\"\n");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    VokSession *f = &s->sessions[0];
    g_ends = g_frames = 0;
    // An init of 0 keeps nothing (its end still runs once).
    EXPECT_EQ(AddProcToSession(f, [](VokSessionProc *) { return 0; }, nullptr, nullptr,
                               [](VokSessionProc *) { g_ends++; }),
              nullptr);
    EXPECT_EQ(f->procs, nullptr);
    EXPECT_EQ(g_ends, 1);
    VokSessionProc *keep = AddProcToSession(f, nullptr, [](VokSessionProc *) { return ++g_frames, 1; }, nullptr, nullptr);
    VokSessionProc *once = AddProcToSession(f, nullptr, nullptr, [](VokSessionProc *p) {
        return p->words[0]++ < 1 ? 1 : -1; }, [](VokSessionProc *) { g_ends++; });
    ASSERT_TRUE(keep && once);
    once->moreWords[19] = intptr_t(f); // pointer-sized user words
    for (int i = 0; i < 4; i++)
        vok::paint_session(s, f);
    EXPECT_EQ(g_frames, 4);
    EXPECT_EQ(g_ends, 2);
    EXPECT_EQ(f->procs, keep);
    EXPECT_EQ(keep->next, nullptr);
    KillSession(f);
    EXPECT_EQ(f->procs, nullptr);
}

}  // namespace

namespace {

// The real pump with nobody at the keyboard: what is due on the clock still happens.
using vstest::kGreen;
using vstest::kRed;

// A watcher at the end of every paint of the first session: words[0] calls `check` with the time
// since the start; a non-zero answer (or 3 s) ends the run.
struct Watch {
    std::function<bool(uint32_t)> check;
    uint32_t start = 0;
};
Watch *g_watch = nullptr;

void run_watched(VokScene *s, Watch &w)
{
    g_watch = &w;
    w.start = timeGetTime();
    ASSERT_TRUE(AddProcToSession(&s->sessions[0], nullptr, nullptr, [](VokSessionProc *) {
        uint32_t t = timeGetTime() - g_watch->start;
        if (g_watch->check(t) || t > 3000)
            vok::engine().abort = true;
        return 1;
    }, nullptr));
    RunCurScene();
    g_watch = nullptr;
}

uint16_t pix_at(br_pixelmap *p, int x, int y)
{
    const uint8_t *row = static_cast<const uint8_t *>(p->pixels) + (p->base_y + y) * p->row_bytes;
    return uint16_t(row[(p->base_x + x) * 2] | row[(p->base_x + x) * 2 + 1] << 8);
}

class IdlePump : public SceneTest {};

TEST_F(IdlePump, ACaretBlinksWithNoInput)
{
    write_data();
    VokScene *s = parse(R"(screen 4
dataPack "t"
focusSessionId 2
session 1
  background "bg"
session 2
  rect 100 100 200 40
  background "panel"
  ikon edit
    id 5
    rect 10 10 150 20
    control edit 20
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    vok::VokEdit *edit = vok::edit_of(FindIkon(&s->sessions[1], 5));
    ASSERT_TRUE(edit);
    ASSERT_TRUE(vok::start_caret(&s->sessions[1], edit));
    std::vector<uint32_t> flips;
    bool last = edit->caretShown;
    Watch w;
    w.check = [&](uint32_t t) {
        if (edit->caretShown != last)
            flips.push_back(t), last = edit->caretShown;
        return flips.size() >= 4;
    };
    run_watched(s, w);
    ASSERT_EQ(flips.size(), 4u) << "the caret stood still";
    for (size_t i = 1; i < flips.size(); i++) {
        EXPECT_GE(flips[i] - flips[i - 1], 200u) << i;
        EXPECT_LE(flips[i] - flips[i - 1], 200u + 20u) << i << ": a frame late at most";
    }
}

TEST_F(IdlePump, AButtonMoviePlaysWithNoInput)
{
    write_data({{"anim.tmz", vstest::tmz(16, {kRed, kGreen})}});
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
    std::vector<uint32_t> changes;
    uint16_t last = pix_at(s->sessions[0].pix, 104, 104);
    Watch w;
    w.check = [&](uint32_t t) {
        uint16_t now = pix_at(s->sessions[0].pix, 104, 104);
        if (now != last)
            changes.push_back(t), last = now;
        return changes.size() >= 3;
    };
    run_watched(s, w);
    ASSERT_EQ(changes.size(), 3u) << "the movie stood still";
    for (size_t i = 1; i < changes.size(); i++)
        EXPECT_LE(changes[i] - changes[i - 1], 100u + 20u) << i;
}

}  // namespace

namespace {

// Watchers that add no procedure of their own (a procedure alone keeps the loop on the clock): a
// session's blitter sees every time the session is composed again, and a window timer ends the run.
using vstest::kGreen;
using vstest::kRed;

std::vector<uint32_t> g_composed;
uint32_t g_runStart = 0;

int watching_blitter(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx, int32_t sy, int32_t w,
                     int32_t h, uint32_t)
{
    g_composed.push_back(timeGetTime() - g_runStart);
    CopyRectangle(dst, dx, dy, src, sx, sy, w, h);
    return 1;
}

void CALLBACK end_run(HWND, UINT, UINT_PTR, DWORD) { vok::engine().abort = true; }

// Runs the current scene for `ms` virtual milliseconds with no input; the times the watched session
// was composed again.
std::vector<uint32_t> run_for(HWND window, VokSession *watched, uint32_t ms)
{
    watched->blitter = watching_blitter;
    g_composed.clear();
    g_runStart = timeGetTime();
    SetTimer(window, 77, ms, end_run);
    RunCurScene();
    KillTimer(window, 77);
    return g_composed;
}

class IdleClock : public vstest::SceneTest {};

TEST_F(IdleClock, AMovieAloneKeepsPlaying)
{
    write_data({{"anim.tmz", vstest::tmz(16, {kRed, kGreen})}});
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
session 2
  rect 100 100 40 40
  background "panel"
  ikon 0
    rect 0 0 8 8
    picture "anim.tmz"
    movie flags rate fps 10
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    MnuBuildScene();
    MnuPaintScreen(s, 1);
    std::vector<uint32_t> t = run_for(window, &s->sessions[1], 1000);
    ASSERT_GE(t.size(), 8u) << "the movie waited for input";
    for (size_t i = 1; i < t.size(); i++)
        EXPECT_LE(t[i] - t[i - 1], 100u + 20u) << i;
}

TEST_F(IdleClock, ADelayedPageTurnsWithNoInput)
{
    write_data();
    VokScene *s = parse(R"(screen 6
dataPack "t"
session 1
  flags delayed
  background "bg"
  ikon 0
    id 2
    flags act
    rect 10 10 40 20
    picture "red40"
session 2
  rect 300 100 200 100
  background "panel"
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    HideSession(&s->sessions[1]);
    MnuBuildScene();
    MnuPaintScreen(s, 1);
    VokFocusIkon(&s->sessions[0], FindIkon(&s->sessions[0], 2));
    std::vector<uint32_t> t = run_for(window, &s->sessions[1], 1500);
    ASSERT_FALSE(t.empty()) << "the page waited for input";
    EXPECT_GE(t[0], 500u);
    EXPECT_LE(t[0], 500u + 20u);
}

// Nothing moves: the loop asks for no wake-up at all. The headless platform then finds nothing due
// and ends the wait with a quit message at once, the virtual clock standing; a loop that woke on the
// clock would run the clock on until the helper's late quit.
TEST_F(IdleClock, AStillSceneSleeps)
{
    write_data();
    VokScene *s = parse(R"(screen 7
dataPack "t"
session 1
  background "bg"
session 2
  rect 300 100 200 100
  background "panel"
  ikon 0
    rect 0 0 30 10
    picture "green"
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    setenv("VOK_IDLE_QUIT_MS", "200", 1);
    DWORD self = GetCurrentThreadId();
    std::atomic<bool> ended{false};
    std::thread late([self, &ended] {
        for (int i = 0; i < 300 && !ended; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended)
            PostThreadMessageA(self, WM_QUIT, 0, 0);
    });
    uint32_t start = timeGetTime();
    RunCurScene();
    uint32_t ran = timeGetTime() - start;
    ended = true;
    late.join();
    unsetenv("VOK_IDLE_QUIT_MS");
    EXPECT_LT(ran, 20u) << "the loop kept waking on the clock";
}

}  // namespace
