// The game's parts around the scene until the rules, the tick, the replays, the popups and the editor
// arrive: a new game lays out the chosen built-in board with its exit, its cubes and the first worm
// waiting at the entry corner, and the tick paces the frames and redraws the moving cubes. Each
// operation here keeps the name and the effect the window procedure and the buttons rely on.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "pannix/pxfont.h"
#include "vokscore/vokpopup.h"

namespace {

DWORD g_lastFrame = 0;
int32_t g_stepCounts[3][9];
float g_stepIncrement[3][9];
const int32_t kMinFrameTime[4] = {50, 25, 16, 1};

// Colour index order: red, blue, yellow, green, white, orange, fixed, mix.
const char *const kStems[8] = {"Red", "Blu", "Yel", "Gre", "Whi", "Ora", "Tab", "Mix"};

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

void place(br_actor *cube, float x, float y, float z)
{
    if (cube != nullptr)
        BrMatrix34Translate(&cube->t.t.mat, x, y, z);
}

int boardRange(int board, int &lo, int &hi)
{
    static const int kRange[5][2] = {{15, 17}, {13, 17}, {11, 17}, {10, 18}, {9, 19}};
    if (board < 1 || board > 5)
        return 0;
    lo = kRange[board - 1][0];
    hi = kRange[board - 1][1];
    return 1;
}

}  // namespace

void KpPacingTables()
{
    for (int p = 0; p < 3; p++)
        for (int s = 0; s < 9; s++) {
            g_stepCounts[p][s] = (18 - 2 * s) * (p + 1) / 2 + 2;
            g_stepIncrement[p][s] = float(0.1 / g_stepCounts[p][s]);
        }
}

int KpFrameTick()
{
    // Frames at most every 25 ms: the wait is a sleep, so the clock moves while nothing comes.
    const DWORD now = timeGetTime();
    const DWORD since = now - g_lastFrame;
    if (since < DWORD(kMinFrameTime[1])) {
        Sleep(DWORD(kMinFrameTime[1]) - since);
        return 0;
    }
    g_lastFrame = timeGetTime();
    KpRenderFrame(kpRenderer().screen);
    KpDrawStatus(kpRenderer().screen);
    KpPresentFrame(kpRenderer().screen);
    return 1;
}

void KpNewGame(int)
{
    KpModule &m = kpModule();
    const VokInterFace *f = m.interFace;
    if (f != nullptr && f->gameKind == 101 && (f->levelFamily == 0 || f->levelFamily == 1))
        m.levelCommand = f->levelFamily + 1;
    if (m.levelCommand < 1 || m.levelCommand > 5)
        m.levelCommand = f != nullptr && f->levelNumber >= 1 && f->levelNumber <= 5 ? f->levelNumber : 1;
    for (int id = 0; id < KP_BTN_COUNT; id++)
        KpHideButton(kpButton(id));
    for (int id : {KP_BTN_MENU, KP_BTN_HELP, KP_BTN_START, KP_BTN_RESET, KP_BTN_SPEED, KP_BTN_LEVEL}) {
        KpShowButton(kpButton(id));
        KpSetButtonState(kpButton(id), 0);
    }
}

void KpLevelSetup()
{
    KpObjects &o = kpObjects();
    int lo = 15, hi = 17;
    if (!boardRange(kpModule().levelCommand, lo, hi))
        boardRange(1, lo, hi);
    // Every cube out of play first.
    for (KpCubeSlot &s : o.looseCubes)
        s = KpCubeSlot();
    for (KpCubeSlot &s : o.worm)
        s = KpCubeSlot();
    for (KpCubeSlot &s : o.queue) {
        place(s.cube, 5, 5, 5);
        s.x = s.z = 5;
    }
    for (br_actor *t : o.tiles)
        if (t != nullptr)
            t->material = BrMaterialFind("SikB_Material");
    if (o.tiles[10 * 11 + 10] != nullptr)
        o.tiles[10 * 11 + 10]->material = BrMaterialFind("SikG_Material");
    int grid[11][11];
    memset(grid, -1, sizeof grid);
    int q = 0, loose = 0;
    for (int x = 0; x < 11; x++)
        for (int z = 0; z < 11; z++) {
            if (x + z < lo || x + z > hi || q >= kKpCubes)
                continue;
            // A colour that lines up with neither of the two cubes behind it along x or z.
            int colour = rand() % 6;
            for (int tries = 0; tries < 6; tries++) {
                const bool alongX = x >= 1 && grid[x - 1][z] == colour;
                const bool alongZ = z >= 1 && grid[x][z - 1] == colour;
                if (!alongX && !alongZ)
                    break;
                colour = (colour + 1) % 6;
            }
            grid[x][z] = colour;
            KpCubeSlot &s = o.queue[q++];
            setLook(s.cube, colour);
            s.x = float(x) * 0.1f - 0.5f;
            s.z = float(z) * 0.1f - 0.5f;
            place(s.cube, s.x, 0.05f, s.z);
            o.looseCubes[loose++] = s;
            s = KpCubeSlot();
        }
    o.looseCount = loose;
    // The first worm waits outside the entry corner, along x.
    for (int i = 0; i < 5 && q < kKpCubes; i++) {
        while (q < kKpCubes && o.queue[q].cube == nullptr)
            q++;
        if (q >= kKpCubes)
            break;
        KpCubeSlot &s = o.queue[q++];
        setLook(s.cube, rand() % 6);
        s.x = -0.6f - 0.1f * float(i);
        s.z = -0.5f;
        s.direction = 0;
        place(s.cube, s.x, 0.05f, s.z);
        o.worm[i] = s;
        o.nextWormCubes[i] = s.cube;
        s = KpCubeSlot();
    }
    o.wormLength = 5;
    o.headIndex = 0;
    for (br_actor *p : o.patternCubes)
        place(p, 100, 100, 100);
    for (br_actor *p : o.paletteCubes)
        place(p, 100, 100, 100);
    for (br_actor *p : o.toolCubes)
        place(p, 100, 100, 100);
    if (o.arrow != nullptr) {
        BrMatrix34RotateX(&o.arrow->t.t.mat, br_angle(0xC004));
        BrMatrix34PostRotateY(&o.arrow->t.t.mat, br_angle(0xC004));
        BrMatrix34PostTranslate(&o.arrow->t.t.mat, o.worm[0].x, 0.06f, o.worm[0].z);
    }
    o.levelRunning = 0;
    o.paused = 0;
    o.finishing = 0;
    o.reachedExit = 0;
    o.won = 0;
    o.mayTurn = 1;
    o.mayStep = 1;
    kpSwitches().newLevelSwitch = 1;
    kpSwitches().fullRedraw = 1;
}

int KpTestLevel(KpButton *)
{
    KpObjects &o = kpObjects();
    if (o.levelRunning)
        o.paused = !o.paused;
    return 0;
}

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

void KpStep()
{
    KpObjects &o = kpObjects();
    // The worm's colours move one place towards the head.
    const int n = o.wormLength - o.headIndex;
    if (n <= 1)
        return;
    br_material *outer = o.worm[o.headIndex].cube != nullptr ? o.worm[o.headIndex].cube->material : nullptr;
    br_material *inner = o.worm[o.headIndex].cube != nullptr && o.worm[o.headIndex].cube->children != nullptr
                             ? o.worm[o.headIndex].cube->children->material
                             : nullptr;
    for (int i = o.headIndex; i < o.wormLength - 1; i++) {
        br_actor *a = o.worm[i].cube, *b = o.worm[i + 1].cube;
        if (a == nullptr || b == nullptr)
            continue;
        a->material = b->material;
        if (a->children != nullptr && b->children != nullptr)
            a->children->material = b->children->material;
    }
    br_actor *tail = o.worm[o.wormLength - 1].cube;
    if (tail != nullptr) {
        tail->material = outer;
        if (tail->children != nullptr)
            tail->children->material = inner;
    }
    o.stepPhase = (o.stepPhase + 1) % n;
}

void KpReplayRead(int) {}

void KpDrawStatus(KpScreen *screen)
{
    KpResources &r = kpResources();
    if (screen == nullptr || screen->colour == nullptr || r.fonts == nullptr)
        return;
    const VokInterFace *f = kpModule().interFace;
    const int language = f != nullptr ? f->language : 0;
    int row = 6 + kpModule().levelCommand;
    if (row < 7 || row > 11)
        row = 7;
    PxLockFonts();
    PxSaveLastFontSettings(1);
    if (PxSelectFont(r.fonts, 1) != nullptr) {
        const char *title = KpGetText(language, row);
        PxShowText(screen->colour, 320 - PxGetTextWidth(title) / 2, 16, title);
    }
    if (PxSelectFont(r.fonts, 0) != nullptr)
        PxShowText(screen->colour, 320 - PxGetTextWidth(" 00:00.0 ") / 2, 450, " 00:00.0 ");
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

void KpTurnKey(int, int) {}

br_actor *KpCubeOnCell(int column, int row)
{
    KpObjects &o = kpObjects();
    for (const KpCubeSlot &s : o.looseCubes)
        if (s.cube != nullptr && KpRound((s.x + 0.5f) * 10) == column && KpRound((s.z + 0.5f) * 10) == row)
            return s.cube;
    return nullptr;
}

void KpEditorClick(br_actor *) {}

void KpEditorSelect(br_actor *) {}

void KpOpenWorkLevel() {}

void KpSaveWorkLevel() {}

void KpSaveLevel() {}
