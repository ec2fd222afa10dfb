// The game's controls on the set-up game: hover press and release frames, the file menu's places,
// parking and slide-out, the reset, speed and level actions in and out of a replay; and the editor
// on the module's actors: tools, tool tips, highlights, click routing and a trial run won.
#include <string.h>

#include <vector>

#include "kelpa/kpeditor.h"
#include "kelpa/kprules.h"
#include "support.h"
#include "vokscore/vokpopup.h"

using namespace kptest;

namespace {

std::vector<std::pair<KpButton *, int>> g_frames;
void recordFrame(KpButton *b, int frame)
{
    g_frames.push_back({b, frame});
}
std::vector<int> framesOf(KpButton *b)
{
    std::vector<int> f;
    for (auto &[button, frame] : g_frames)
        if (button == b)
            f.push_back(frame);
    return f;
}

unsigned g_shown = 0;
int g_answer = 0, g_speed = -1;
VokInterFace *g_face = nullptr;
int fakeScreen(unsigned id)
{
    g_shown = id;
    g_face->popupResult = g_answer;
    if (id == 3 && g_speed >= 0)
        g_face->speedIndex = g_speed;
    return 1;
}

LPARAM at(int x, int y)
{
    return LPARAM((y << 16) | (x & 0xFFFF));
}

const char *materialOf(br_actor *a)
{
    return a != nullptr && a->material != nullptr && a->material->identifier != nullptr ? a->material->identifier : "";
}

class Controls : public SetUpGame {
protected:
    void SetUp() override
    {
        SetUpGame::SetUp();
        g_face = face;
        g_shown = 0;
        g_answer = 0;
        g_speed = -1;
        savedSpeed = kpSettings().speed;
        KpSetPopupScreen(fakeScreen);
    }
    void TearDown() override
    {
        KpSetPopupScreen(nullptr);
        KpSetFrameSink(nullptr);
        // The speed goes into players.lst at the close, which the other programs of the folder read.
        kpSettings().speed = savedSpeed;
        SetUpGame::TearDown();
    }
    int savedSpeed = 0;
};

TEST_F(Controls, HoverShowsThePressFrameAndLeavingTheReleaseFrame)
{
    KpSetFrameSink(recordFrame);
    KpButton *menu = kpButton(KP_BTN_MENU);
    ASSERT_GT(menu->count, 2);
    g_frames.clear();
    DWORD before = timeGetTime();
    KpWndProc(host, WM_MOUSEMOVE, 0, at(20, 20));
    EXPECT_EQ(framesOf(menu), std::vector<int>{1});
    EXPECT_GE(timeGetTime() - before, 40u);
    // Moving within the button shows nothing more; leaving it shows the release frame.
    KpWndProc(host, WM_MOUSEMOVE, 0, at(25, 22));
    EXPECT_EQ(framesOf(menu), std::vector<int>{1});
    before = timeGetTime();
    KpWndProc(host, WM_MOUSEMOVE, 0, at(320, 240));
    EXPECT_EQ(framesOf(menu), (std::vector<int>{1, 0}));
    EXPECT_GE(timeGetTime() - before, 40u);
    EXPECT_EQ(menu->lastFrame, -1);
    // A two-state button in state 1 presses from its second last frame and releases to its last.
    KpButton *start = kpButton(KP_BTN_START);
    KpSetButtonState(start, 1);
    g_frames.clear();
    KpWndProc(host, WM_MOUSEMOVE, 0, at(20, 460));
    KpWndProc(host, WM_MOUSEMOVE, 0, at(320, 240));
    EXPECT_EQ(framesOf(start), (std::vector<int>{start->count - 2, start->count - 1}));
}

TEST_F(Controls, FileMenuStandsUnderTheFileButtonParksAndSlidesWithTheRest)
{
    KpPlaceButtons();
    KpButton *file0 = kpButton(KP_BTN_FILE0);
    EXPECT_EQ(file0->x, 0);
    EXPECT_EQ(file0->y, 0);
    int y = file0->height;
    for (int id = KP_BTN_FILE1; id <= KP_BTN_FILE4; id++) {
        EXPECT_EQ(kpButton(id)->x, 0) << id;
        EXPECT_EQ(kpButton(id)->y, y) << id;
        y += kpButton(id)->height;
    }
    // Unfolded by the file button, closed by an entry (which runs its operation).
    KpShowButton(file0);
    KpFileMenu(file0);
    EXPECT_EQ(kpObjects().fileMenuOpen, 1);
    for (int id = KP_BTN_FILE1; id <= KP_BTN_FILE4; id++)
        EXPECT_EQ(kpButton(id)->visible, 1) << id;
    EXPECT_EQ(KpButtonAt(20, kpButton(KP_BTN_FILE4)->y + 10), kpButton(KP_BTN_FILE4));
    g_shown = 0;
    g_answer = 1;  // the screen's "new game"
    KpFileMenu(kpButton(KP_BTN_FILE4));  // the menu entry: the game's own screen
    EXPECT_EQ(g_shown, 4u);
    EXPECT_EQ(kpObjects().fileMenuOpen, 0);
    for (int id = KP_BTN_FILE1; id <= KP_BTN_FILE4; id++)
        EXPECT_EQ(kpButton(id)->visible, 0) << id;
    KpPlaceButtons();
    KpParkButtons();
    EXPECT_EQ(kpButton(KP_BTN_FILE2)->x, 440);
    EXPECT_EQ(kpButton(KP_BTN_FILE2)->y, -100);
    KpPlaceButtons();
    KpShowButton(file0);
    KpSlideButtonsOut();
    EXPECT_EQ(file0->x, -160);
    EXPECT_EQ(file0->visible, 0);
}

TEST_F(Controls, ResetSpeedAndLevelInAndOutOfAReplay)
{
    KpRules &r = kpRules();
    // Out of a replay: the level action shows the level choice, the speed action the speed choice
    // and takes the speed at once while no level runs.
    KpLevelAction(nullptr);
    EXPECT_EQ(g_shown, 2u);
    g_shown = 0;
    g_speed = 3;
    KpSpeedAction(nullptr);
    EXPECT_EQ(g_shown, 3u);
    EXPECT_EQ(r.speed, 3);
    EXPECT_EQ(kpSettings().speed, 3);
    // While a level runs: paused for the screen, the new speed waits for the next cell, resumed.
    kpObjects().setupPending = 0;
    KpTestLevel(nullptr);
    ASSERT_EQ(r.levelRunning, 1);
    g_speed = 6;
    KpSpeedAction(nullptr);
    EXPECT_EQ(r.speed, 3);
    EXPECT_EQ(r.newSpeed, 6);
    EXPECT_EQ(r.speedChanged, 1);
    EXPECT_EQ(r.paused, 0);
    // Reset: the level is set up again, stopped, with its start button back.
    KpResetAction(nullptr);
    EXPECT_EQ(r.levelRunning, 0);
    EXPECT_EQ(kpButton(KP_BTN_START)->visible, 1);
    EXPECT_EQ(kpButton(KP_BTN_PARE)->visible, 0);
    EXPECT_EQ(kpButton(KP_BTN_MENU)->visible, 1);
    // In a replay: level and speed do nothing; reset ends the replay and its flag.
    r.replayPlaying = kpObjects().replayPlaying = 1;
    face->gameFlags |= VOK_GF_REPLAY;
    g_shown = 0;
    KpLevelAction(nullptr);
    KpSpeedAction(nullptr);
    EXPECT_EQ(g_shown, 0u);
    KpResetAction(nullptr);
    EXPECT_EQ(r.replayPlaying, 0);
    EXPECT_EQ(kpObjects().replayPlaying, 0);
    EXPECT_EQ(face->gameFlags & VOK_GF_REPLAY, 0u);
    EXPECT_EQ(r.levelRunning, 0);
    // Help shows its page.
    KpHelpAction(nullptr);
    EXPECT_EQ(g_shown, 34u);
}

// The editor's own game kinds over the host window.
class EditorGame : public Game {
protected:
    void start(int family)
    {
        face->gameKind = 102;
        face->levelFamily = family;
        ASSERT_EQ(KpInitGame(), 1);
        kpModule().firstFramePending = 1;
        ASSERT_EQ(KpSetupGame(host, 1), 1);
        KpRenderFrame(kpRenderer().screen);
    }
    void TearDown() override
    {
        KpShutdown();
        Game::TearDown();
    }
    // Where an actor's centre shows on the screen.
    void screenOf(br_actor *a, int &x, int &y, float lift = 0.05f)
    {
        br_vector3 centre = {{0, lift, 0}};
        int out[3] = {};
        KpProjectPoint(a, centre, out, kpRenderer().scene->camera, kpRenderer().screen->colour);
        x = out[0];
        y = out[1];
    }
    // A flat tile's point that picks the tile itself (its model starts at its corner).
    void clickOnTile(br_actor *a)
    {
        const float pts[4][3] = {{0.05f, 0, 0.05f}, {0.05f, 0.05f, 0}, {0.05f, -0.05f, 0}, {0.05f, 0, -0.05f}};
        for (const auto &p : pts) {
            br_vector3 v = {{p[0], p[1], p[2]}};
            int out[3] = {};
            KpProjectPoint(a, v, out, kpRenderer().scene->camera, kpRenderer().screen->colour);
            if (KpPickAt(kpRenderer().screen, out[0], out[1]) == a) {
                KpWndProc(host, WM_LBUTTONDOWN, 0, at(out[0], out[1]));
                return;
            }
        }
        ADD_FAILURE() << "no point of the tile picks it";
    }
    void clickOn(br_actor *a, float lift = 0.05f)
    {
        int x, y;
        screenOf(a, x, y, lift);
        KpWndProc(host, WM_LBUTTONDOWN, 0, at(x, y));
    }
    void hoverOn(br_actor *a, float lift = 0.05f)
    {
        int x, y;
        screenOf(a, x, y, lift);
        KpWndProc(host, WM_MOUSEMOVE, 0, at(x, y));
    }
    br_actor *tile(int x, int z) { return kpObjects().tiles[z * 11 + x]; }
};

TEST_F(EditorGame, APaletteLevelRoutesClicksToThePaletteAndTheBoard)
{
    start(0);
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    ASSERT_EQ(r.trialRun, 1);
    ASSERT_EQ(o.editorOpen, 1);
    EXPECT_EQ(kpButton(KP_BTN_FILE0)->visible, 1);
    EXPECT_EQ(kpButton(KP_BTN_MENU)->visible, 0);
    EXPECT_EQ(kpButton(KP_BTN_START_N)->visible, 1);
    EXPECT_EQ(kpButton(KP_BTN_NEW)->visible, 1);
    // Without a pattern the fixed and exit tools stand apart and the random tool shows.
    EXPECT_FLOAT_EQ(o.toolCubes[KP_TOOL_FIXED]->t.t.mat.m[3][2], -0.15f);
    EXPECT_FLOAT_EQ(o.toolCubes[KP_TOOL_RANDOM]->t.t.mat.m[3][0], 0.75f);
    // The tool tip under the cursor.
    hoverOn(o.toolCubes[KP_TOOL_GREEN], 0);
    EXPECT_STREQ(o.toolTip, "Green Cube");
    EXPECT_STREQ(materialOf(o.toolCubes[KP_TOOL_GREEN]), "Gre1v_Material");
    // A tool picked up (through its inner twin as well), then put on a palette place.
    clickOn(o.toolCubes[KP_TOOL_GREEN], 0);
    EXPECT_EQ(KpHeldTool(), KP_TOOL_GREEN);
    EXPECT_STREQ(materialOf(o.toolCubes[KP_TOOL_GREEN]), "Gre1_Material") << "the held tool wears its plain pair";
    clickOn(o.paletteCubes[2]);
    EXPECT_EQ(r.cubes->colour(kKpFirstPaletteCube + 2), KP_GREEN);
    EXPECT_EQ(r.header[KP_H_FIRST_GROUP + kKpColours[KP_GREEN].flag], 1);
    EXPECT_EQ(KpHeldTool(), KP_TOOL_GREEN) << "the tool stays held";
    // Over the floor the tile lights only while a tool is held.
    hoverOn(tile(5, 5), 0);
    EXPECT_STREQ(materialOf(tile(5, 5)), "SikBv_Material");
    clickOn(tile(5, 5), 0);
    EXPECT_EQ(r.board[5 * 11 + 5], KP_CELL_GREEN);
    // A click on nothing lets the tool go; the floor no longer lights.
    KpWndProc(host, WM_LBUTTONDOWN, 0, at(320, 5));
    EXPECT_EQ(KpHeldTool(), KP_TOOL_NONE);
    hoverOn(tile(7, 7), 0);
    EXPECT_STREQ(materialOf(tile(7, 7)), "SikB_Material");
    // A placed cube taken back becomes the held tool.
    KpRenderFrame(kpRenderer().screen);
    br_actor *placed = KpCubeOnCell(5, 5);
    ASSERT_NE(placed, nullptr);
    clickOn(placed);
    EXPECT_EQ(KpHeldTool(), KP_TOOL_GREEN);
    EXPECT_EQ(r.board[5 * 11 + 5], KP_CELL_EMPTY);
    // The exit tool clicked again stays held; another tool clicked is taken instead.
    KpEditorClick(o.toolCubes[KP_TOOL_EXIT]);
    EXPECT_EQ(KpHeldTool(), KP_TOOL_EXIT);
    KpEditorClick(o.toolCubes[KP_TOOL_EXIT]);
    EXPECT_EQ(KpHeldTool(), KP_TOOL_EXIT);
    clickOn(o.toolCubes[KP_TOOL_RED], 0);
    EXPECT_EQ(KpHeldTool(), KP_TOOL_RED);
}

TEST_F(EditorGame, APatternLevelBuiltByClicksIsWonOnTrialAndMarkedTested)
{
    start(2);
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    ASSERT_EQ(r.patternInUse, 1);
    EXPECT_GT(o.toolCubes[KP_TOOL_RANDOM]->t.t.mat.m[3][1], 50.0f) << "no random tool with a pattern";
    // The first pattern row, one colour each, through the clicks.
    const int row[5] = {KP_TOOL_BLUE, KP_TOOL_RED, KP_TOOL_GREEN, KP_TOOL_YELLOW, KP_TOOL_WHITE};
    for (int p = 0; p < 5; p++) {
        clickOn(o.toolCubes[row[p]], 0);
        ASSERT_EQ(KpHeldTool(), row[p]) << p;
        clickOn(o.patternCubes[p]);
        EXPECT_EQ(r.header[KP_H_PATTERN + p], KpToolCell(row[p])) << p;
    }
    // The same colour twice in a row and the fixed tool are refused on the pattern.
    clickOn(o.toolCubes[KP_TOOL_FIXED], 0);
    clickOn(o.patternCubes[5]);
    EXPECT_EQ(r.header[KP_H_PATTERN + 5], 0);
    EXPECT_EQ(r.header[KP_H_STREAKS], 1);
    // The exit where the worm comes in.
    KpEditorClick(o.toolCubes[KP_TOOL_EXIT]);
    clickOn(tile(3, 0), 0);
    ASSERT_EQ(r.board[3 * 11 + 0], KP_CELL_EXIT);
    // Not tested yet: the save refuses.
    KpSaveLevel();
    EXPECT_NE(boxes().find("This level not playable !"), std::string::npos) << boxes();
    // The trial run: the worm walks into the exit.
    KpButtonClick(kpButton(KP_BTN_START_N)->x + 20, kpButton(KP_BTN_START_N)->y + 60, kpRenderer().screen, 0);
    EXPECT_EQ(o.editorOpen, 0);
    ASSERT_EQ(r.levelRunning, 1);
    for (int i = 0; i < 4000 && r.header[KP_H_TESTED] == 0 && r.levelRunning; i++)
        KpFrameTick();
    EXPECT_NE(boxes().find("This level playable now !"), std::string::npos) << boxes();
    EXPECT_EQ(r.header[KP_H_TESTED], 1);
    EXPECT_EQ(o.editorOpen, 1) << "a won trial reopens the editor";
    EXPECT_EQ(r.board[3 * 11 + 0], KP_CELL_EXIT) << "the exit the worm took is the editor's again";
    // A new level empties everything again.
    KpNewLevel(nullptr);
    EXPECT_EQ(r.board[3 * 11 + 0], KP_CELL_EMPTY);
    EXPECT_EQ(r.header[KP_H_PATTERN], 0);
    EXPECT_EQ(r.header[KP_H_TESTED], 0);
}

TEST_F(EditorGame, AResetInATrialRunReopensTheEditorWithItsTestButton)
{
    start(2);
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    const int row[5] = {KP_TOOL_BLUE, KP_TOOL_RED, KP_TOOL_GREEN, KP_TOOL_YELLOW, KP_TOOL_WHITE};
    for (int p = 0; p < 5; p++) {
        KpEditorClick(o.toolCubes[row[p]]);
        KpEditorClick(o.patternCubes[p]);
    }
    KpEditorClick(o.toolCubes[KP_TOOL_EXIT]);
    clickOn(tile(3, 0), 0);
    ASSERT_EQ(r.board[3 * 11 + 0], KP_CELL_EXIT);
    KpButtonClick(kpButton(KP_BTN_START_N)->x + 20, kpButton(KP_BTN_START_N)->y + 60, kpRenderer().screen, 0);
    ASSERT_EQ(r.levelRunning, 1);
    ASSERT_EQ(kpButton(KP_BTN_PARE_N)->visible, 1);
    for (int i = 0; i < 10; i++)
        KpFrameTick();
    KpResetAction(nullptr);
    EXPECT_EQ(r.levelRunning, 0);
    EXPECT_EQ(o.editorOpen, 1);
    EXPECT_EQ(kpButton(KP_BTN_START_N)->visible, 1) << "the test button is back for the next trial";
    EXPECT_EQ(kpButton(KP_BTN_PARE_N)->visible, 0);
    EXPECT_EQ(r.board[3 * 11 + 0], KP_CELL_EXIT) << "a reset keeps the edited level";
}

}  // namespace
