// The interface screen runner: checks of a call, the single ids and the sequences, the choice of the
// results screens, game screens, nesting and the end of a screen from outside, and the common key
// handler on the yes/no questions the library carries.
#include <functional>

#include "movie/tmzwriter.h"
#include "runner.h"
#include "scores.h"
#include "scene_support.h"
#include "vokplat/clock.h"

namespace {

using vstest::kBlue;
using vstest::kGreen;
using vstest::kRed;
using vstest::solid565;

// What the fixture screens' key handler does on Enter: the result it chooses, and a look at the
// running screen before it ends.
int g_answer = 0;
std::vector<int> g_ran; // table entry (or 100 + game) of every fixture screen that got Enter
std::function<void()> g_onEnter;

int fixture_keys(HWND, UINT msg, WPARAM key, LPARAM)
{
    if (msg != WM_KEYDOWN || key != VK_RETURN)
        return 0;
    VokScene *scene = VokGetCurScene();
    bool game = scene && scene->screenId >= 15 && scene->screenId <= 20;
    g_ran.push_back(game ? 100 + scene->screenId - 15 : vok::runner().current);
    int answer = g_answer;
    if (g_onEnter) {
        auto f = g_onEnter;
        g_onEnter = nullptr;
        f();
    }
    // The look may have chosen a button itself.
    if (vok::engine().runningFlag)
        VokChooseButton(nullptr, 0, 0, answer);
    return 0;
}

class ScreenTest : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        vok::add_routine("fixtureKeys", vok::kRoutineKey, reinterpret_cast<void *>(&fixture_keys));
        write_data();
        std::vector<std::pair<std::string, std::string>> sure;
        for (const char *name : {"reset", "quit", "solu", "opponent"})
            sure.push_back({name, solid565(320, 160, kBlue)});
        sure.push_back({"yes", solid565(60, 30, kGreen)});
        sure.push_back({"no", solid565(60, 30, kRed)});
        write_pack("sure", sure);
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        face->popupResult = 77;
        face->inGame = 0;
        g_answer = 0;
        g_ran.clear();
        g_onEnter = nullptr;
        vok::runner_hooks() = vok::RunnerHooks{};
    }
    void TearDown() override
    {
        for (auto &[key, scene] : replaced)
            vok::set_screen(key.first, key.second, scene);
        vok::runner_hooks() = vok::RunnerHooks{};
        face->screenPix = nullptr;
        PxFreePix(screen);
        SceneTest::TearDown();
    }

    void write_pack(const std::string &name, const std::vector<std::pair<std::string, std::string>> &pics)
    {
        write_pack_file("Data/" + name + ".fpk", pics);
    }

    // A fixture screen at `entry` of the interface table (or game screen `entry`) with the fixture keys.
    VokScene *install(int table, int entry, int screenId, const std::string &sessions = "session 1\n")
    {
        std::string text = std::string(table == vok::kTableGame ? "game " : "screen ") + std::to_string(entry) +
                           "\nscreenId " + std::to_string(screenId) +
                           "\ndataPack \"t\"\nkeyHandler fixtureKeys\n" + sessions;
        VokScene *s = parse(text);
        auto key = std::make_pair(table, entry);
        if (!replaced.count(key))
            replaced[key] = table == vok::kTableGame ? VokGameScreen(entry) : VokInterfaceScreen(entry);
        vok::set_screen(table, entry, s);
        return s;
    }
    VokScene *install(int entry, int screenId) { return install(vok::kTableInterface, entry, screenId); }

    void enter() { PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0); }
    void escape() { PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0); }
    // Keys a screen that was not shown left in the queue.
    void drain_keys() { posted_keys(); }

    br_pixelmap *screen = nullptr;
    std::map<std::pair<int, int>, VokScene *> replaced;
};

TEST_F(ScreenTest, CallsThatShowNothing)
{
    // Above the last id: refused without touching the result.
    EXPECT_EQ(VokPopupIFScreen(52), 0);
    EXPECT_EQ(VokPopupIFScreenEx(-1), 0);
    EXPECT_EQ(face->popupResult, 77);
    // Ids that name no screen.
    for (int id : {0, 10, 11, 12, 13, 21, 26, 39}) {
        face->popupResult = 77;
        EXPECT_EQ(VokPopupIFScreen(unsigned(id)), 0) << id;
        EXPECT_EQ(face->popupResult, -1) << id;
    }
    // Without a picture to run over, or a window, no id does anything.
    face->screenPix = nullptr;
    face->popupResult = 77;
    for (unsigned id = 0; id <= 51; id++)
        EXPECT_EQ(VokPopupIFScreen(id), 0) << id;
    face->screenPix = screen;
    face->ownerWnd = nullptr;
    EXPECT_EQ(VokPopupIFScreen(22), 0);
    EXPECT_EQ(face->popupResult, 77);
    face->ownerWnd = window;
    // Id 27 names a table entry through levelFamily: 70 is none.
    face->levelFamily = 70;
    EXPECT_EQ(VokPopupIFScreen(27), 0);
    EXPECT_EQ(face->popupResult, 77);
    EXPECT_TRUE(vok::engine().mayStart);
    EXPECT_EQ(VokGetCurScene(), nullptr);
}

TEST_F(ScreenTest, IdsReachTheirEntries)
{
    struct Case {
        int id;
        uint32_t game;
        int kind;
        int entry; // -1: unknown id
    };
    const Case cases[] = {
        {2, VOK_GAME_MOSSIK, 101, 29},  {2, VOK_GAME_KELPA, 101, 28},   {3, VOK_GAME_VARNEL, 101, 27},
        {9, VOK_GAME_VARNEL, 101, 34},  {23, VOK_GAME_DUNMAR, 101, 18}, {23, VOK_GAME_KELPA, 101, 19},
        {23, VOK_GAME_TERROW, 101, 17}, {28, VOK_GAME_VARNEL, 101, 33}, {33, VOK_GAME_VARNEL, 101, 38},
        {36, VOK_GAME_VARNEL, 101, 41}, {38, VOK_GAME_VARNEL, 101, 46}, {40, VOK_GAME_VARNEL, 101, 55},
        {41, VOK_GAME_VARNEL, 100, 56}, {41, VOK_GAME_VARNEL, 101, 57}, {45, VOK_GAME_TERROW, 101, 63},
        {45, VOK_GAME_DUNMAR, 101, 65}, {47, VOK_GAME_VARNEL, 101, 47}, {51, VOK_GAME_VARNEL, 101, 51},
        // A game number beyond the five games is no id: it would reach other entries.
        {45, VOK_GAME_BASE + 5, 101, -1}, {45, VOK_GAME_BASE + 7, 101, -1},
    };
    for (const Case &c : cases) {
        if (c.entry >= 0)
            install(c.entry, c.id);
        face->gameId = c.game;
        face->gameKind = c.kind;
        face->popupResult = 77;
        g_ran.clear();
        g_answer = 5;
        enter();
        int shown = VokPopupIFScreen(unsigned(c.id));
        if (c.entry < 0) {
            EXPECT_EQ(shown, 0) << c.id;
            EXPECT_EQ(face->popupResult, -1) << c.id;
            drain_keys();
            continue;
        }
        EXPECT_EQ(shown, 1) << c.id << " " << GetLastMsgError();
        EXPECT_EQ(g_ran, std::vector<int>{c.entry}) << c.id;
        EXPECT_EQ(face->popupResult, 5) << c.id;
    }
    // Id 27: the entry levelFamily names.
    install(3, 27);
    face->levelFamily = 3;
    g_ran.clear();
    enter();
    EXPECT_EQ(VokPopupIFScreen(27), 1);
    EXPECT_EQ(g_ran, std::vector<int>{3});
}

TEST_F(ScreenTest, SequencesAfterTheResultsScreen)
{
    // Every results entry and the game screens are fixtures; the results rule picks entry 9 for a
    // Kelpa challenge result that placed nowhere.
    for (int entry = 7; entry <= 25; entry++)
        install(entry, 24);
    for (int game = 0; game <= 5; game++)
        install(vok::kTableGame, game, 15 + game, "session 1\n  background \"bg\"\n");
    static int unsolvedCalls;
    unsolvedCalls = 0;
    vok::runner_hooks().nextUnsolvedLevel = [] { return ++unsolvedCalls; };
    struct Case {
        uint32_t game;
        int kind;
        int results;  // what the results screen chooses
        int shown;    // VokPopupIFScreen's answer
        int result;   // popupResult afterwards
        bool gameScreen;
        int unsolved; // calls of the next-level step
    };
    const Case cases[] = {
        {VOK_GAME_KELPA, 101, 3, 0, 3, false, 0},  // the result-3 choice is "not shown"
        {VOK_GAME_KELPA, 101, 0, 1, 0, false, 0},  // replay
        {VOK_GAME_KELPA, 101, 4, 1, 1, false, 0},
        {VOK_GAME_DUNMAR, 101, 4, 1, 4, false, 0},
        {VOK_GAME_KELPA, 101, 2, 1, 1, false, 1},
        {VOK_GAME_DUNMAR, 101, 2, 1, 2, false, 1},
        {VOK_GAME_KELPA, 101, 1, 1, 9, true, 0},   // the game screen chooses 9
        {VOK_GAME_DUNMAR, 102, 1, 1, 15, false, 0},
    };
    for (const Case &c : cases) {
        face->gameId = c.game;
        face->gameKind = c.kind;
        face->gameFlags = 0;
        g_ran.clear();
        unsolvedCalls = 0;
        g_answer = c.results;
        // The game screen's Enter comes after the results screen has ended.
        g_onEnter = [] {
            g_answer = 9;
            PostMessageA(vok::popup_window(), WM_KEYDOWN, VK_RETURN, 0);
        };
        enter();
        EXPECT_EQ(VokPopupIFScreen(6), c.shown) << c.results;
        EXPECT_EQ(face->popupResult, c.result) << c.results;
        EXPECT_EQ(unsolvedCalls, c.unsolved) << c.results;
        ASSERT_FALSE(g_ran.empty());
        EXPECT_EQ(g_ran.size(), c.gameScreen ? 2u : 1u) << c.results;
        if (c.gameScreen) {
            EXPECT_EQ(g_ran[1], 100 + int(c.game - VOK_GAME_BASE));
        }
        drain_keys();
    }
    // Id 7 after the solved-level screen: 2 moves on and answers 1.
    face->gameId = VOK_GAME_KELPA;
    face->gameKind = 101;
    g_answer = 2;
    unsolvedCalls = 0;
    g_onEnter = nullptr;
    enter();
    EXPECT_EQ(VokPopupIFScreen(7), 1);
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(unsolvedCalls, 1);
}

TEST_F(ScreenTest, ResultsScreenChoice)
{
    VokSetPlayerName("Ann");
    VokGetInterFace(VOK_GAME_KELPA);
    // Free play of Kelpa with every level solved: no levels left.
    for (int p = 0; p < vok::free_levels(3); p++)
        VokUpdateScores(100, VOK_GAME_KELPA, p, 10, 0);
    struct Case {
        uint32_t game;
        int kind;
        uint32_t flags;
        int results; // entry for id 24
        int solved;  // entry for id 25
    };
    const Case cases[] = {
        {VOK_GAME_VARNEL, 100, VOK_GF_REPLAY, 24, 44},     // free play, levels left
        {VOK_GAME_KELPA, 100, VOK_GF_REPLAY, 23, 43},      // free play, all solved
        {VOK_GAME_KELPA, 101, VOK_GF_REPLAY, 25, 20},      // a replay outside the counting kinds
        {VOK_GAME_MOSSIK, 102, 0, 13, 20},                 // kinds beyond 101
        {VOK_GAME_VARNEL, 100, VOK_GF_RESULT_SEEN, 15, 44},
        {VOK_GAME_KELPA, 100, VOK_GF_RESULT_SEEN, 14, 43},
        {VOK_GAME_KELPA, 101, VOK_GF_RESULT_SEEN, 16, 20},
        {VOK_GAME_KELPA, 101, 0, 7, 20},                   // a new best time: place 0
        {VOK_GAME_VARNEL, 101, 0, 8, 20},                  // Varnel places in 0..2
        {VOK_GAME_DUNMAR, 101, 0, 9, 22},
        {VOK_GAME_DUNMAR, 100, VOK_GF_REPLAY, 24, 45},
    };
    for (const Case &c : cases) {
        face->gameId = c.game;
        face->gameKind = c.kind;
        face->gameFlags = c.flags;
        face->levelFamily = 0;
        face->resultTime = 1000;
        face->resultValue = 5;
        EXPECT_EQ(vok::results_entry(), c.results) << std::hex << c.game << std::dec << " " << c.kind;
        EXPECT_EQ(vok::solved_entry(), c.solved) << std::hex << c.game << std::dec << " " << c.kind;
    }
}

TEST_F(ScreenTest, GameScreenRunsOverTheBackdropAndClearsTheRoutines)
{
    install(vok::kTableGame, 2, 17, R"(session 17
  background "bg"
  ikon 0
    id 100
    rect 0 0 20 20
    picture "green"
  ikon 0
    id 101
    rect 30 0 20 20
    picture "green"
session 100
  rect 100 100 200 100
  background "panel"
session 101
  rect 100 100 200 100
  background "panel"
session 126
  rect 0 300 200 100
  background "panel"
)");
    static std::vector<std::string> calls;
    calls.clear();
    vok::RunnerHooks &h = vok::runner_hooks();
    h.backdropBegin = [](bool clear) {
        calls.push_back(clear ? "begin clear" : "begin");
        return true;
    };
    h.backdropLoading = [](VokScene *s) { calls.push_back("loading " + std::to_string(s->screenId)); };
    h.backdropEnd = [] { calls.push_back("end"); };
    h.levelCommand = [](int game, int session) { return session == 101 ? 40047 + game : 0; };
    static std::vector<bool> shown;
    static int focus101;
    g_onEnter = [] {
        shown.clear();
        for (int id : {100, 101, 126}) {
            VokSession *s = FindSession(id);
            bool hidden = ((s->state & VOK_SST_HIDDEN) != 0) != ((s->state & VOK_SST_PENDING) != 0);
            shown.push_back(!hidden);
        }
        focus101 = FindSession(101)->focusId;
    };
    face->gameId = VOK_GAME_TERROW;
    face->gameKind = 101;
    face->imgThreadProc = [](void *) {};
    face->imgEndProc = [] {};
    face->replayProc = [] { return 1; };
    g_answer = 1;
    enter();
    EXPECT_EQ(VokPopupIFScreen(17), 1);
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(face->gameId, VOK_GAME_TERROW);
    EXPECT_EQ(shown, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(focus101, 40049);
    EXPECT_EQ(calls, (std::vector<std::string>{"begin clear", "loading 17"}));
    EXPECT_EQ(face->imgThreadProc, nullptr);
    EXPECT_EQ(face->imgEndProc, nullptr);
    EXPECT_EQ(face->replayProc, nullptr);
    EXPECT_EQ(face->bestRank1, -1);
    ShowCursor(TRUE);

    // Backing out (-1) ends the backdrop; a run while a game is up does not start the loading.
    calls.clear();
    g_answer = -1;
    face->inGame = 1;
    enter();
    EXPECT_EQ(VokPopupIFScreen(17), 1);
    EXPECT_EQ(face->popupResult, -1);
    EXPECT_EQ(calls, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(VokGetCurScene(), nullptr);

    // Ids 4 and 14 take the game of the record; the general screen counts for them only.
    install(vok::kTableGame, 5, 20, "session 1\n");
    face->inGame = 0;
    face->gameId = VOK_GAME_BASE + 5;
    g_answer = 3;
    g_ran.clear();
    enter();
    EXPECT_EQ(VokPopupIFScreen(14), 1);
    EXPECT_EQ(g_ran, std::vector<int>{105});
    face->gameId = VOK_GAME_BASE + 6;
    EXPECT_EQ(VokPopupIFScreen(4), 0);
    EXPECT_EQ(face->popupResult, -1);
    drain_keys();
}

TEST_F(ScreenTest, NestedScreensAndScreensAskedForWhileOneIsBuilt)
{
    install(40, 33);
    install(41, 34);
    // A screen opened from inside a running one gets its own run, then the outer one goes on.
    g_answer = 6;
    g_onEnter = [] {
        static int inner;
        g_answer = 2;
        PostMessageA(vok::popup_window(), WM_KEYDOWN, VK_RETURN, 0);
        inner = VokPopupIFScreen(36);
        EXPECT_EQ(inner, 1);
        EXPECT_EQ(vok::runner().current, 40);
        EXPECT_EQ(vok::iface().popupResult, 2);
        g_answer = 6;
    };
    enter();
    EXPECT_EQ(VokPopupIFScreen(35), 1);
    EXPECT_EQ(g_ran, (std::vector<int>{40, 41}));
    EXPECT_EQ(face->popupResult, 6);
    EXPECT_EQ(vok::runner().nesting, 0);
    EXPECT_EQ(vok::runner().current, 0);

    // One asked for by a routine of a screen being built is refused at once instead of waiting.
    static int fromInit;
    fromInit = -5;
    VokScene *s = install(42, 37);
    s->sessions[0].initRoutine = [](VokSession *) {
        fromInit = VokPopupIFScreen(22);
        return 1;
    };
    g_answer = 1;
    enter();
    EXPECT_EQ(VokPopupIFScreen(37), 1);
    EXPECT_EQ(fromInit, 0);
    EXPECT_TRUE(vok::engine().mayStart);
}

TEST_F(ScreenTest, ScreensEndedFromOutside)
{
    install(42, 37);
    // The window goes away: the screen counts as not shown.
    g_onEnter = [] { SendMessageA(vok::popup_window(), WM_CLOSE, 0, 0); };
    g_answer = 4;
    enter();
    EXPECT_EQ(VokPopupIFScreen(37), 0);
    EXPECT_EQ(face->popupResult, -1);

    // VokIsAnyPopupAlive ends the running screen's loop with result 0.
    EXPECT_EQ(VokIsAnyPopupAlive(), 0);
    static int alive;
    install(38, 33);
    face->popupResult = 77;
    PostMessageA(window, WM_USER + 5, 0, 0);
    vok::add_routine("fixtureKeys", vok::kRoutineKey, reinterpret_cast<void *>(&fixture_keys));
    VokScene *s = install(38, 33);
    s->sessions[0].initRoutine = [](VokSession *) {
        alive = 0;
        return 1;
    };
    s->windowProc = [](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_USER + 5)
            alive = VokIsAnyPopupAlive();
        return 0;
    };
    EXPECT_EQ(VokPopupIFScreen(33), 1);
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_FALSE(vok::engine().alive);
}

// The yes/no questions the library carries, answered by key and by click.
TEST_F(ScreenTest, YesNoQuestions)
{
    struct Case {
        int id;
        int yes, no;
    };
    const Case cases[] = {{1, 1, 0}, {8, 1, 0}, {22, 1, 0}, {46, 11, 10}};
    for (const Case &c : cases) {
        face->popupResult = 77;
        enter();
        EXPECT_EQ(VokPopupIFScreen(unsigned(c.id)), 1) << c.id << " " << GetLastMsgError();
        EXPECT_EQ(face->popupResult, c.yes) << c.id;
        escape();
        EXPECT_EQ(VokPopupIFScreen(unsigned(c.id)), 1) << c.id;
        EXPECT_EQ(face->popupResult, c.no) << c.id;
        // The "no" button (60 x 30, 40 from the right of the centred 320 x 160 panel) posts Escape.
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(400, 275));
        PostMessageA(window, WM_LBUTTONUP, 0, at(400, 275));
        face->popupResult = 77;
        EXPECT_EQ(VokPopupIFScreen(unsigned(c.id)), 1) << c.id;
        EXPECT_EQ(face->popupResult, c.no) << c.id;
    }
    // The question leaves its picture in screenPix.
    const uint8_t *row = static_cast<const uint8_t *>(screen->pixels) + 240 * screen->row_bytes;
    EXPECT_EQ(row[320 * 2] | row[320 * 2 + 1] << 8, kBlue);
}

// A button with a movie loops its first frames while focused and plays its press frames when chosen.
TEST_F(ScreenTest, ButtonMoviesLoopWhileFocusedAndPlayWhenChosen)
{
    movie::TmzWriter w(8, 8, 16, 100);
    for (int f = 0; f < 10; f++)
        w.add_frame(std::vector<uint8_t>(size_t(w.frame_size()), uint8_t(f)));
    auto b = w.bytes();
    write_data({{"button.tmz", std::string(b.begin(), b.end())}});
    VokScene *s = install(vok::kTableInterface, 42, 37, R"(session 1
  background "bg"
  afterBuildRoutine buttonMovies
  focusId 11
  ikon 0
    id 11
    flags act
    rect 10 10 8 8
    picture "button.tmz"
    movie flags rate fps 10
  ikon 0
    id 12
    flags act
    rect 30 10 8 8
    picture "button.tmz"
    movie flags rate fps 10
)");
    (void)s;
    static std::vector<int> frames;
    frames.clear();
    g_onEnter = [] {
        VokScene *scene = VokGetCurScene();
        VokIkon *yes = &scene->sessions[0].ikons[0];
        VokIkon *no = &scene->sessions[0].ikons[1];
        // Focused: frames 0..3 again and again; the other stays on frame 0.
        for (int i = 0; i < 6; i++) {
            PlatAdvanceClock(100);
            MnuBuildScene();
            MnuPaintScreen(scene, 0);
            frames.push_back(yes->pixMovie->currentFrame);
        }
        EXPECT_LE(no->pixMovie->currentFrame, 1);
        // Chosen: the press frames to the end, then the loop ends.
        VokChooseButton(&scene->sessions[0], 11, 0, 7);
        frames.push_back(yes->pixMovie->currentFrame);
        EXPECT_FALSE(vok::button_movies_running());
    };
    enter();
    EXPECT_EQ(VokPopupIFScreen(37), 1);
    EXPECT_EQ(face->popupResult, 7);
    // currentFrame is the next frame to take.
    EXPECT_EQ(frames, (std::vector<int>{2, 3, 4, 1, 2, 3, 9}));
}

// The save button of a results screen plays its press; the focus leaves it, and it goes, only when
// the press has played to its end.
int saves_made = 0;
int save_once() { return ++saves_made, 0; }
std::vector<std::pair<int, bool>> g_saveLooks;

TEST_F(ScreenTest, SaveButtonGoesWhenItsPressHasPlayed)
{
    movie::TmzWriter w(8, 8, 16, 100);
    for (int f = 0; f < 10; f++)
        w.add_frame(std::vector<uint8_t>(size_t(w.frame_size()), uint8_t(f)));
    auto b = w.bytes();
    write_data({{"button.tmz", std::string(b.begin(), b.end())}});
    VokScene *s = parse(R"(screen 7
screenId 24
dataPack "t"
keyHandler popupKeys
session 1
  background "bg"
  afterBuildRoutine buttonMovies
  focusId 22
  ikon 0
    id 22
    flags act
    rect 10 10 8 8
    picture "button.tmz"
    movie flags rate fps 10
    key RETURN
  ikon 0
    id 6
    flags act
    rect 30 10 8 8
    picture "button.tmz"
    movie flags rate fps 10
    key RETURN
)");
    ASSERT_NE(s, nullptr);
    auto key = std::make_pair(int(vok::kTableInterface), 7);
    if (!replaced.count(key))
        replaced[key] = VokInterfaceScreen(7);
    vok::set_screen(vok::kTableInterface, 7, s);
    face->replayProc = save_once;
    saves_made = 0;
    g_saveLooks.clear();
    static int ticks;
    ticks = 0;
    SetTimer(window, 0x7705, 50, [](HWND wnd, UINT, UINT_PTR id, DWORD) {
        VokScene *scene = VokGetCurScene();
        if (!scene)
            return;
        VokSession *ses = &scene->sessions[0];
        if (ticks == 0)
            PostMessageA(wnd, WM_KEYDOWN, VK_RETURN, 0);
        else
            g_saveLooks.push_back({ses->focused ? ses->focused->id : 0, (ses->ikons[0].state & VOK_IST_HIDDEN) != 0});
        if (++ticks == 24) {
            KillTimer(wnd, id);
            PostMessageA(wnd, WM_KEYDOWN, VK_RETURN, 0);
        }
    });
    EXPECT_EQ(vok::run_screen(7), 1) << GetLastMsgError();
    EXPECT_EQ(saves_made, 1);
    EXPECT_EQ(face->popupResult, 1) << "the menu button had the focus at the end";
    ASSERT_GE(g_saveLooks.size(), 20u);
    EXPECT_EQ(g_saveLooks[1], std::make_pair(22, false)) << "the press still plays";
    EXPECT_EQ(g_saveLooks.back(), std::make_pair(6, true));
    face->replayProc = nullptr;
}

// A window destroyed under a nested screen ends the screens beneath it too, at once, instead of
// leaving them waiting for messages from a window that is gone.
TEST_F(ScreenTest, AWindowDestroyedUnderANestedScreenEndsTheScreensBeneath)
{
    static HWND owner;
    owner = CreateWindowExA(0, "scenetest", "owner", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    face->ownerWnd = owner;
    VokScene *outer = install(40, 33);
    // The outer screen opens the inner one from a message and does not choose anything itself.
    outer->windowProc = [](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_USER + 6) {
            PostMessageA(owner, WM_KEYDOWN, VK_RETURN, 0);
            VokPopupIFScreen(36);
        }
        return 0;
    };
    install(41, 34);
    g_onEnter = [] { DestroyWindow(owner); };
    PostMessageA(owner, WM_USER + 6, 0, 0);
    EXPECT_EQ(VokPopupIFScreen(35), 0);
    EXPECT_EQ(face->popupResult, -1);
    EXPECT_EQ(VokGetCurScene(), nullptr);
    EXPECT_FALSE(vok::engine().abort);
    // No idle rule had to answer a wait on the dead window.
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    face->ownerWnd = window;
}

// A pack that is missing or broken makes the question fail at once and leaves nothing behind; the
// interface closed from inside a running screen leaves the next runs sound.
TEST_F(ScreenTest, BrokenPacksAndAClosedInterfaceLeaveNothingBehind)
{
    std::string good = read("Data/sure.fpk");
    write_pack("sure", {{"yes", solid565(60, 30, kGreen)}, {"no", solid565(60, 30, kRed)}});
    std::string noPicture = read("Data/sure.fpk");
    const std::pair<const char *, std::string> packs[] = {
        {"missing", ""}, {"garbage", std::string(200, '\xff')}, {"no picture", noPicture},
        {"header only", good.substr(0, 16)}, {"half", good.substr(0, good.size() / 2)},
        {"short", good.substr(0, good.size() - 10)},
    };
    for (const auto &[name, bytes] : packs) {
        std::filesystem::remove(path("Data/sure.fpk"));
        if (!bytes.empty())
            write("Data/sure.fpk", bytes);
        face->popupResult = 77;
        enter();
        EXPECT_EQ(VokPopupIFScreen(22), 0) << name;
        EXPECT_EQ(face->popupResult, 77) << name;
        EXPECT_EQ(VokGetCurScene(), nullptr) << name;
        EXPECT_TRUE(vok::engine().mayStart) << name;
        drain_keys();
    }
    write("Data/sure.fpk", good);
    VokInitInterFace(window);
    install(42, 37);
    g_onEnter = [] {
        while (vok::state().textUses > 0 || vok::state().soundUses > 0)
            VokCloseInterFace();
    };
    g_answer = 3;
    enter();
    EXPECT_EQ(VokPopupIFScreen(37), 1);
    EXPECT_EQ(face->popupResult, 3);
    for (int i = 0; i < 4; i++) {
        escape();
        face->popupResult = 77;
        EXPECT_EQ(VokPopupIFScreen(22), 1) << i;
        EXPECT_EQ(face->popupResult, 0) << i;
    }
    EXPECT_EQ(vok::runner().nesting, 0);
    EXPECT_EQ(vok::runner().current, 0);
}

}  // namespace
