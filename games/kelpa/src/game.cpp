// The game around the scene: the rules (kelpa/kprules.h) run on the module's cube actors through a
// facade, and their side effects reach the module through a host. The tick, the replays, the popups
// and the editor are still simple stand-ins here; each operation keeps the name and the effect the
// window procedure and the buttons rely on.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "kelpa/kprules.h"
#include "vokscore/vokpath.h"
#include "pannix/pxfont.h"
#include "vokscore/vokpopup.h"

namespace {

DWORD g_lastFrame = 0;
const int32_t kMinFrameTime[4] = {50, 25, 16, 1};

// Colour index order: red, blue, yellow, green, white, orange, fixed, mix.
const char *const kStems[8] = {"Red", "Blu", "Yel", "Gre", "Whi", "Ora", "Tab", "Mix"};

int g_titleRow = 0, g_titleNumber = 0;
char g_clockText[64] = " 00:00 ";

void setLook(br_actor *cube, int colour)
{
    if (cube == nullptr || colour < 0 || colour > 7)
        return;
    char outer[32], inner[32];
    snprintf(outer, sizeof outer, "%s1_Material", kStems[colour]);
    snprintf(inner, sizeof inner, "%s_Material", kStems[colour]);
    cube->material = BrMaterialFind(outer);
    if (cube->children != nullptr)
        cube->children->material = BrMaterialFind(inner);
}


}  // namespace

int KpShowPopup(int type)
{
    VokInterFace *f = kpModule().interFace;
    if (f == nullptr)
        return -1;
    f->ownerWnd = kpModule().gameWindow;
    f->screenPix = kpRenderer().screen != nullptr ? kpRenderer().screen->colour : nullptr;
    VokPopupIFScreen(unsigned(type));
    if (f->popupResult == -1)
        PostMessageA(kpModule().gameWindow, WM_CLOSE, 0, 0);
    kpSwitches().fullRedraw = 1;
    KpRenderAndPresent();
    kpSwitches().fullRedraw = 0;
    return f->popupResult;
}

void KpPlaySound(int id)
{
    if (kpSettings().soundEffects && kpModule().soundSet != nullptr)
        VokPlaySound(kpModule().soundSet, id);
}

void KpBuildEffectTables() {}

int KpNewLevel(KpButton *)
{
    return 0;
}

void KpReplayRead(int) {}

void KpDrawStatus(KpScreen *screen)
{
    KpResources &r = kpResources();
    if (screen == nullptr || screen->colour == nullptr || r.fonts == nullptr)
        return;
    const VokInterFace *f = kpModule().interFace;
    const int language = f != nullptr ? f->language : 0;
    const int row = g_titleRow != 0 ? g_titleRow : 7;
    PxLockFonts();
    PxSaveLastFontSettings(1);
    if (PxSelectFont(r.fonts, 1) != nullptr) {
        char title[128];
        if (g_titleNumber > 0)
            snprintf(title, sizeof title, "%s %d", KpGetText(language, row), g_titleNumber);
        else
            snprintf(title, sizeof title, "%s", KpGetText(language, row));
        PxShowText(screen->colour, 320 - PxGetTextWidth(title) / 2, 16, title);
    }
    if (PxSelectFont(r.fonts, 0) != nullptr)
        PxShowText(screen->colour, 320 - PxGetTextWidth(g_clockText) / 2, 450, g_clockText);
    PxLoadLastFontSettings(1);
    PxUnlockFonts();
}

int KpMenuAction(KpButton *)
{
    kpSwitches().backgroundSwitch = 1;
    kpSwitches().fullRedraw = 1;
    KpRenderFrame(kpRenderer().screen);
    kpSwitches().fullRedraw = 0;
    return KpShowPopup(4);
}

int KpResetAction(KpButton *)
{
    KpLevelSetup();
    kpSwitches().fullRedraw = 1;
    KpRenderAndPresent();
    kpSwitches().fullRedraw = 0;
    return 0;
}

int KpSpeedAction(KpButton *)
{
    return kpObjects().setupPending ? 0 : KpShowPopup(3);
}

int KpLevelAction(KpButton *)
{
    return kpObjects().replayPlaying ? 0 : KpShowPopup(2);
}

int KpHelpAction(KpButton *)
{
    return KpShowPopup(34);
}

void KpCloseRecordings() {}


void KpEditorClick(br_actor *) {}

void KpEditorSelect(br_actor *) {}

void KpOpenWorkLevel() {}

void KpSaveWorkLevel() {}

void KpSaveLevel() {}

// ---- the rules on the module's actors ----

namespace {

// Cube numbers map onto the module's actors: the 131 game cubes as the loader put them in the queue,
// then the pattern and the palette cubes.
struct ActorCubes : KpCubeFacade {
    br_actor *actors[kKpAllCubes + 1] = {};
    int colours[kKpAllCubes + 1] = {};
    bool shown[kKpAllCubes + 1] = {};
    void place(int c, float x, float y, float z) override
    {
        if (c > 0 && c <= kKpAllCubes && actors[c] != nullptr)
            BrMatrix34Translate(&actors[c]->t.t.mat, x, y, z);
    }
    void position(int c, float &x, float &y, float &z) override
    {
        x = y = z = 100;
        if (c > 0 && c <= kKpAllCubes && actors[c] != nullptr) {
            x = actors[c]->t.t.mat.m[3][0];
            y = actors[c]->t.t.mat.m[3][1];
            z = actors[c]->t.t.mat.m[3][2];
        }
    }
    void setColour(int c, int colour) override
    {
        if (c <= 0 || c > kKpAllCubes || colour < 0 || colour > KP_CLEAR)
            return;
        colours[c] = colour;
        if (colour == KP_CLEAR) {
            if (actors[c] != nullptr) {
                actors[c]->material = BrMaterialFind("Atlatszo1_Material");
                if (actors[c]->children != nullptr)
                    actors[c]->children->material = BrMaterialFind("Atlatszo_Material");
            }
            return;
        }
        setLook(actors[c], colour);
    }
    int colour(int c) override { return c > 0 && c <= kKpAllCubes ? colours[c] : KP_NO_COLOUR; }
    void show(int c, bool on) override
    {
        if (c <= 0 || c > kKpAllCubes || actors[c] == nullptr)
            return;
        shown[c] = on;
        actors[c]->render_style = on ? BR_RSTYLE_DEFAULT : BR_RSTYLE_NONE;
        if (actors[c]->children != nullptr)
            actors[c]->children->render_style = on ? BR_RSTYLE_DEFAULT : BR_RSTYLE_NONE;
    }
};

void setUpButtons(int when);

struct GameHost : KpHost {
    void sound(int id) override { KpPlaySound(id); }
    void buttons(int when) override { setUpButtons(when); }
    void redraw(int what) override
    {
        if (kpRenderer().screen == nullptr)
            return;
        kpSwitches().fullRedraw = what == KP_REDRAW_BOARD;
        KpRenderAndPresent();
        kpSwitches().fullRedraw = 0;
    }
    void floorTile(int x, int z, bool exit) override
    {
        br_actor *t = kpObjects().tiles[z * 11 + x];
        if (t != nullptr)
            t->material = BrMaterialFind(exit ? "SikG_Material" : "SikB_Material");
    }
    void seed(uint32_t) override { srand(timeGetTime()); }
    int random() override { return rand(); }
    void message(const char *text) override { VokMessageBox(kpModule().gameWindow, 0, "%s", text); }
    bool readFile(const char *name, uint8_t *data, size_t capacity, size_t &size) override
    {
        // Names under "kp\" are the game's read folder; others are the caller's.
        const char *path = strncmp(name, "kp\\", 3) == 0 ? VokMakeReadPath("kp\\", "%s", name + 3) : name;
        return KpHost::readFile(path, data, capacity, size);
    }
};

ActorCubes g_cubes;
GameHost g_host;
KpRules g_rules;
KpDriveState g_drive;
bool g_bound = false;
DWORD g_levelStart = 0;

// The set-up's buttons: a level starts again from its start button (the pause button a played level
// left up is hidden), and the editor's file button stands where the menu button would.
void setUpButtons(int when)
{
    if (when != KP_BUTTONS_SETUP_START && when != KP_BUTTONS_SETUP_END)
        return;
    const KpRules &r = g_rules;
    const bool ownEditor = r.gameKind == 102 && r.levelFamily != 3 && r.levelFamily != 1;
    if (when == KP_BUTTONS_SETUP_END) {
        KpHideButton(kpButton(ownEditor ? KP_BTN_MENU : KP_BTN_FILE0));
        KpShowButton(kpButton(ownEditor ? KP_BTN_FILE0 : KP_BTN_MENU));
    }
    int start = -1;
    if (r.gameKind == 101)
        start = KP_BTN_START;
    else if (r.gameKind == 100 || (r.gameKind == 102 && !ownEditor))
        start = KP_BTN_START_N;
    if (start < 0)
        return;
    KpSetButtonState(kpButton(start), 0);
    KpSetButtonState(kpButton(start + 1), 0);
    KpShowButton(kpButton(start));
    KpHideButton(kpButton(start + 1));
}

br_actor *actorOf(int cube)
{
    return cube > 0 && cube <= kKpAllCubes ? g_cubes.actors[cube] : nullptr;
}

void copySlots(KpCubeSlot *to, const KpSlot *from)
{
    for (int i = 0; i < kKpCubes; i++) {
        KpCubeSlot &t = to[i];
        const KpSlot &f = from[i];
        t.cube = actorOf(f.cube);
        t.word1 = f.word1;
        t.direction = f.direction;
        t.pendingTurn = f.pendingTurn;
        t.x = f.x;
        t.word2 = f.word2;
        t.z = f.z;
    }
}

void bindRules()
{
    KpObjects &o = kpObjects();
    if (!g_bound) {
        for (int i = 0; i < kKpCubes; i++)
            g_cubes.actors[i + 1] = o.queue[i].cube;
        for (int i = 0; i < 30; i++)
            g_cubes.actors[kKpFirstPatternCube + i] = o.patternCubes[i];
        for (int i = 0; i < 7; i++)
            g_cubes.actors[kKpFirstPaletteCube + i] = o.paletteCubes[i];
        g_rules = KpRules();
        g_rules.cubes = &g_cubes;
        g_rules.host = &g_host;
        for (int i = 0; i < kKpCubes; i++) {
            g_rules.queue[i].cube = i + 1;
            g_rules.queue[i].x = g_rules.queue[i].z = 5;
        }
        memcpy(g_rules.header, kpResources().levelHeader, sizeof g_rules.header);
        g_bound = true;
    }
    const VokInterFace *f = kpModule().interFace;
    if (f != nullptr) {
        g_rules.gameKind = f->gameKind;
        g_rules.levelFamily = f->levelFamily;
        g_rules.levelNumber = f->levelNumber;
        g_rules.gameFlags = f->gameFlags;
        g_rules.speedIndex = kpSettings().speed >= 0 && kpSettings().speed <= 8 ? kpSettings().speed : 7;
    }
    g_rules.levelCommand = kpModule().levelCommand;
}

// The module's lists and flags follow the rules (the renderer and the window procedure read them).
void mirror()
{
    KpObjects &o = kpObjects();
    KpRules &r = g_rules;
    copySlots(o.worm, r.worm);
    copySlots(o.looseCubes, r.looseCubes);
    copySlots(o.queue, r.queue);
    o.wormLength = r.wormLength;
    o.headIndex = r.headIndex;
    o.looseCount = r.looseCount;
    o.matchCount = r.matchCount;
    for (int i = 0; i < kKpCubes; i++)
        o.matchList[i] = i < r.matchCount ? actorOf(r.matchList[i]) : nullptr;
    for (int i = 0; i < 5; i++)
        o.nextWormCubes[i] = actorOf(r.nextWormCubes[i]);
    o.levelRunning = r.levelRunning;
    o.finishing = r.finishing;
    o.reachedExit = r.reachedExit;
    o.paused = r.paused;
    o.mayTurn = r.mayTurn;
    o.mayStep = r.mayStep;
    o.won = KpLevelWon(r);
    KpSwitches &sw = kpSwitches();
    if (r.newLevelSwitch)
        sw.newLevelSwitch = 1;
    r.newLevelSwitch = 0;
    if (r.introFrame) {
        sw.introFrame = 1;
        sw.sceneLive = 0;
    }
    r.introFrame = 0;
    sw.blinkMode = r.blinkMode;
    if (o.arrow != nullptr) {
        BrMatrix34RotateX(&o.arrow->t.t.mat, br_angle(0xC004));
        const KpSlot *over = nullptr;
        for (const KpSlot &w : r.worm)
            if (w.cube != 0 && w.cube == r.indicatorCube)
                over = &w;
        if (r.indicatorShown && over != nullptr) {
            BrMatrix34PostRotateY(&o.arrow->t.t.mat, br_angle(r.indicatorDirection == KP_DIR_PZ ? 0x7FF8 : 0xC004));
            BrMatrix34PostTranslate(&o.arrow->t.t.mat, over->x, 0.06f, over->z);
            o.arrow->material = BrMaterialFind(r.indicatorRed ? "ArrowR_Material" : "ArrowG_Material");
        } else {
            BrMatrix34PostTranslate(&o.arrow->t.t.mat, 100, 100, 100);
        }
    }
}

void takeInput()
{
    KpObjects &o = kpObjects();
    g_rules.pendingSteps += o.pendingSteps;
    o.pendingSteps = 0;
    g_rules.paused = o.paused;
    // The speed screen writes the settings; the rules take a new speed at the next cell step.
    if (kpSettings().speed >= 0 && kpSettings().speed <= 8)
        g_rules.speedIndex = kpSettings().speed;
}

}  // namespace

KpRules &kpRules()
{
    return g_rules;
}

void KpForgetRules()
{
    g_bound = false;
    g_titleRow = g_titleNumber = 0;
}

void KpPacingTables() {}

void KpNewGame(int)
{
    KpModule &m = kpModule();
    bindRules();
    const VokInterFace *f = m.interFace;
    int number = 0;
    g_titleRow = KpNewGame(g_rules, f != nullptr && g_rules.gameKind == 101 ? f->levelPath : nullptr, &number);
    g_titleNumber = number;
    m.levelCommand = g_rules.levelCommand;
    if (g_rules.gameKind != 100 && g_rules.gameKind != 101 && (m.levelCommand < 1 || m.levelCommand > 5))
        m.levelCommand = g_rules.levelCommand = 1;
    for (int id = 0; id < KP_BTN_COUNT; id++)
        KpHideButton(kpButton(id));
    const int start = g_rules.gameKind == 101 ? KP_BTN_START : KP_BTN_START_N;
    for (int id : {int(KP_BTN_MENU), int(KP_BTN_HELP), start, int(KP_BTN_RESET), int(KP_BTN_SPEED), int(KP_BTN_LEVEL)}) {
        KpShowButton(kpButton(id));
        KpSetButtonState(kpButton(id), 0);
    }
    mirror();
}

void KpLevelSetup()
{
    bindRules();
    // A level chosen by a menu command replaces the board; the file of a level without one stays.
    KpLevelSetup(g_rules);
    kpObjects().setupPending = 0;
    g_levelStart = timeGetTime();
    snprintf(g_clockText, sizeof g_clockText, " 00:00 ");
    mirror();
    kpSwitches().fullRedraw = 1;
}

int KpTestLevel(KpButton *)
{
    KpObjects &o = kpObjects();
    bindRules();
    if (g_rules.levelLost || g_rules.levelRunning) {
        g_rules.paused = !g_rules.paused;
        o.paused = g_rules.paused;
        return 0;
    }
    if (g_rules.runOver)
        KpLevelSetup(g_rules);
    g_rules.levelRunning = 1;
    g_rules.elapsedTenths = 0;
    g_levelStart = timeGetTime();
    KpArmTurn(g_rules);
    const int start = g_rules.gameKind == 101 ? KP_BTN_START : KP_BTN_START_N;
    KpHideButton(kpButton(start));
    KpShowButton(kpButton(start + 1));
    mirror();
    return 0;
}

void KpStep()
{
    bindRules();
    KpStepKey(g_rules);
    mirror();
}

void KpTurnKey(int direction, int down)
{
    // Direction 0 is the right-turn key, 1 the left; a release with nothing held clears the state.
    const int side = direction == 0 ? 1 : 0;
    if (down)
        KpKeyDown(g_rules, side);
    else
        KpKeyUp(g_rules, side);
}

br_actor *KpCubeOnCell(int column, int row)
{
    for (const KpSlot &s : g_rules.looseCubes)
        if (s.cube != 0 && KpCellOf(s.x) == column && KpCellOf(s.z) == row)
            return actorOf(s.cube);
    return nullptr;
}

int KpFrameTick()
{
    KpRenderer &rd = kpRenderer();
    if (rd.scene == nullptr || rd.screen == nullptr || rd.screen->colour == nullptr)
        return 1;
    KpObjects &o = kpObjects();
    if (o.setupPending)
        KpLevelSetup();
    takeInput();
    if (g_rules.levelRunning && !g_rules.paused) {
        g_rules.elapsedTenths = (timeGetTime() - g_levelStart) / 100;
        const uint32_t t = g_rules.elapsedTenths;
        snprintf(g_clockText, sizeof g_clockText, " %.2u:%.2u ", t / 600, (t / 10) % 60);
        const int outcome = KpDriveFrame(g_rules, g_drive, nullptr);
        kpSwitches().fullRedraw = 0;
        kpSwitches().sceneLive = 1;
        kpSwitches().indicatorLive = 1;
        mirror();
        if (outcome == KP_FRAME_WON || outcome == KP_FRAME_LOST) {
            kpSwitches().fullRedraw = 1;
            KpRenderAndPresent();
            if (outcome == KP_FRAME_WON && g_rules.reachedExit)
                KpPlaySound(0);
            KpShowPopup(outcome == KP_FRAME_WON ? 6 : 5);
            g_rules.levelLost = 0;
            o.setupPending = 1;
            return 0;
        }
    } else {
        mirror();
    }
    KpRenderFrame(rd.screen);
    KpDrawStatus(rd.screen);
    KpPresentFrame(rd.screen);
    // One-shot switches: the new level's and the waiting worm's pictures go into the static picture
    // once. The frame after a set-up or a popup redraws everything once; then only what moves.
    kpSwitches().newLevelSwitch = 0;
    if (kpSwitches().introFrame) {
        kpSwitches().introFrame = 0;
        kpSwitches().sceneLive = 1;
    }
    if (kpSwitches().fullRedraw) {
        kpSwitches().fullRedraw = 0;
        kpSwitches().sceneLive = 1;
    }
    // Frames at most every 25 ms: the wait is a sleep, so the clock moves while nothing comes.
    const DWORD since = timeGetTime() - g_lastFrame;
    if (since < DWORD(kMinFrameTime[1]))
        Sleep(DWORD(kMinFrameTime[1]) - since);
    g_lastFrame = timeGetTime();
    return 0;
}
