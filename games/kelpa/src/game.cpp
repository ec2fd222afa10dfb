// The game around the scene: the rules (kelpa/kprules.h) run on the module's cube actors through a
// facade, and their side effects reach the module through a host. The tick, the replays, the popups
// and the editor are still simple stand-ins here; each operation keeps the name and the effect the
// window procedure and the buttons rely on.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "kelpa/kpeditor.h"
#include "vokplat/window.h"
#include "kelpa/kprules.h"
#include "vokscore/vokpath.h"
#include "pannix/pxfont.h"
#include "vokscore/vokpopup.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokstats.h"
#include "vokscore/vokpath.h"

namespace {

DWORD g_lastFrame = 0;
const int32_t kMinFrameTime[4] = {50, 25, 16, 1};

// Colour index order: red, blue, yellow, green, white, orange, fixed, mix.
const char *const kStems[8] = {"Red", "Blu", "Yel", "Gre", "Whi", "Ora", "Tab", "Mix"};

int g_titleRow = 0, g_titleNumber = 0;
char g_clockText[64] = " 00:00 ";
KpReplayFiles g_files;

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

void KpPlaySound(int id)
{
    if (kpSettings().soundEffects && kpModule().soundSet != nullptr)
        VokPlaySound(kpModule().soundSet, id);
}

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

}  // namespace

void KpMessage(const char *text)
{
    // The message shows over the game's own picture: the main program gives its menu picture up
    // for the game (a picture left in the record is a caller's). Outside a game (no host screens
    // and no picture handed over) the framework finds its own or uses the plain box.
    KpLogLine("message", text);
    VokInterFace *f = kpModule().interFace;
    br_pixelmap *saved = f != nullptr ? f->screenPix : nullptr;
    if (f != nullptr && (saved != nullptr || f->inGame) && kpRenderer().screen != nullptr) {
        f->ownerWnd = kpModule().gameWindow;
        f->screenPix = kpRenderer().screen->colour;
    }
    VokMessageBox(kpModule().gameWindow, 0, "%s", text);
    if (f != nullptr)
        f->screenPix = saved;
}

namespace {

// The set-up's random numbers come from the game's own generator, seeded from the clock, so that a
// game depends on its seed alone (the headless runner replays a seed's game exactly).
struct GameHost : KpSeededHost {
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
    void winAnimation(int mode) override { KpWinAnimation(mode); }
    void wormRowWrite(const uint8_t row[5], bool first) override { KpReplayWormWrite(g_files, row, first); }
    bool wormRowRead(uint8_t row[5]) override { return KpReplayNextWormRow(g_files, row); }
    void recordFrame(const uint8_t frame[5], bool overwrite) override
    {
        KpReplayFrameWrite(g_files, frame, overwrite);
    }
    void floorTile(int x, int z, bool exit) override
    {
        br_actor *t = kpObjects().tiles[z * 11 + x];
        if (t != nullptr)
            t->material = BrMaterialFind(exit ? "SikG_Material" : "SikB_Material");
    }
    void seed(uint32_t) override
    {
        state = timeGetTime();
        char line[64];
        snprintf(line, sizeof line, "set-up seed %u speed %d", state, int(kpSettings().speed));
        VokLog("kelpa", line);
    }
    void message(const char *text) override
    {
        KpMessage(text);
    }
    bool browse(int mode, const char *title, const char *filter, const char *pattern, const char *extension,
                char *name, size_t size) override
    {
        return KpBrowseLevel(mode, title, filter, pattern, extension, name, size);
    }
    bool readFile(const char *name, uint8_t *data, size_t capacity, size_t &size) override
    {
        // Names under "kp\" are the game's read folder; others are the caller's.
        const char *path = strncmp(name, "kp\\", 3) == 0 ? VokMakeReadPath("kp\\", "%s", name + 3) : name;
        return KpHost::readFile(path, data, capacity, size);
    }
    bool saveFile(const char *name, const void *data, size_t size) override
    {
        const bool saved = KpHost::saveFile(name, data, size);
        char line[1400];
        snprintf(line, sizeof line, "%s %s %zu bytes fnv %08x", saved ? "saved" : "not saved", name, size,
                 KpFnv(data, size));
        VokLog("kelpa", line);
        return saved;
    }
};

ActorCubes g_cubes;
GameHost g_host;
KpRules g_rules;
KpDriveState g_drive;
bool g_bound = false;
DWORD g_levelStart = 0;
int32_t g_clockFrozen = 0, g_introShown = 0, g_tickAssembly = 0;

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
        KpHideButton(kpButton(ownEditor ? KP_BTN_LEVEL : KP_BTN_NEW));
        KpShowButton(kpButton(ownEditor ? KP_BTN_NEW : KP_BTN_LEVEL));
    }
    int start = -1;
    if (r.gameKind == 101)
        start = KP_BTN_START;
    else if (r.gameKind == 100 || r.gameKind == 102)
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
    KpEditorForget();
    // A recording, a playback and the drive's turn state belong to the game that made them.
    KpReplayClose(g_files);
    g_files = KpReplayFiles();
    g_drive = KpDriveState();
    g_levelStart = 0;
    g_clockFrozen = g_introShown = g_tickAssembly = 0;
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
    // The last level's slide-out left the buttons beside their places.
    KpPlaceButtons();
    for (int id = 0; id < KP_BTN_COUNT; id++)
        KpHideButton(kpButton(id));
    const int start = g_rules.gameKind == 101 ? KP_BTN_START : KP_BTN_START_N;
    for (int id : {int(KP_BTN_MENU), int(KP_BTN_HELP), start, int(KP_BTN_RESET), int(KP_BTN_SPEED), int(KP_BTN_LEVEL)}) {
        KpShowButton(kpButton(id));
        KpSetButtonState(kpButton(id), 0);
    }
    KpEditorNewGame();
    mirror();
}

void KpLevelSetup()
{
    bindRules();
    // Every set-up records anew (playback and the editor's own levels do not).
    const VokInterFace *f = kpModule().interFace;
    snprintf(g_files.folder, sizeof g_files.folder, "%s", VokMakeWritePath("kp\\", "%s", ""));
    KpReplaySetPlayer(g_files, f != nullptr ? f->playerName : nullptr);
    g_files.gameKind = g_rules.gameKind;
    g_files.levelFamily = g_rules.levelFamily;
    g_files.levelNumber = g_rules.levelNumber;
    g_files.recordingOn = !g_rules.replayPlaying && g_rules.gameKind != 102;
    if (g_rules.replayPlaying)
        memcpy(g_rules.wormRow, g_files.wormRows, 5);
    KpLevelSetup(g_rules);
    KpForgetPath();
    kpObjects().setupPending = 0;
    kpObjects().replayPlaying = g_rules.replayPlaying;
    g_levelStart = timeGetTime();
    g_clockFrozen = 0;
    snprintf(g_clockText, sizeof g_clockText, " 00:00 ");
    mirror();
    kpSwitches().fullRedraw = 1;
}

int KpTestLevel(KpButton *)
{
    KpObjects &o = kpObjects();
    bindRules();
    const bool editing = g_rules.gameKind == 102 && g_rules.trialRun;
    if (editing && !g_rules.levelRunning && !g_rules.levelLost) {
        // A trial run starts only with a complete pattern and an exit; the editor closes for it.
        kpSwitches().backgroundSwitch = 1;
        if (!KpTestChecks(g_rules)) {
            KpSetButtonState(kpButton(KP_BTN_START_N), 0);
            KpSetButtonState(kpButton(KP_BTN_PARE_N), 0);
            KpShowButton(kpButton(KP_BTN_START_N));
            KpHideButton(kpButton(KP_BTN_PARE_N));
            return 0;
        }
        KpEditorDrop();
        KpBeginTrial(g_rules);
        o.editorOpen = 0;
        KpLevelSetup();
    }
    if (g_rules.levelLost || g_rules.levelRunning) {
        g_rules.paused = !g_rules.paused;
        o.paused = g_rules.paused;
        return 0;
    }
    if (g_rules.runOver)
        KpLevelSetup(g_rules);
    g_rules.levelRunning = 1;
    g_rules.elapsedTenths = 0;
    char started[48];
    snprintf(started, sizeof started, "level start%s speed %d", g_rules.replayPlaying ? " replay" : "", g_rules.speed);
    VokLog("kelpa", started);
    g_levelStart = timeGetTime();
    KpArmTurn(g_rules);
    if (!g_rules.replayPlaying && g_rules.gameKind != 102)
        KpReplayWrite(nullptr, 1);
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

const char *KpClockText()
{
    return g_clockText;
}

int KpTitleText(char *out, size_t size)
{
    const VokInterFace *f = kpModule().interFace;
    const int language = f != nullptr ? f->language : 0;
    if (g_titleRow == 0)
        return 0;
    if (g_titleNumber > 0)
        snprintf(out, size, "%s %d", KpGetText(language, g_titleRow), g_titleNumber);
    else
        snprintf(out, size, "%s", KpGetText(language, g_titleRow));
    return 1;
}

KpReplayFiles &kpReplay()
{
    return g_files;
}

void KpSetRecordingPlayer(const char *name)
{
    KpReplaySetPlayer(g_files, name);
}

void KpCloseRecordings()
{
    KpReplayClose(g_files);
}

void KpReplayWrite(const uint8_t *frame, int mode)
{
    switch (mode) {
    case 1:
        if (!KpReplayBegin(g_files, g_rules.header, g_rules.colourGrid)) {
            VokInterFace *f = kpModule().interFace;
            if (f != nullptr && kpRenderer().screen != nullptr)
                f->screenPix = kpRenderer().screen->colour;
            KpMessage(KpGetText(f != nullptr ? f->language : 0, 0));
        }
        break;
    case 2:
    case 7:
        if (frame != nullptr)
            KpReplayFrameWrite(g_files, frame, mode == 7);
        break;
    case 3:
        KpReplayClose(g_files);
        break;
    default:
        break;
    }
}

namespace {

// The replay the playback shows: kind 100 the player's replay of the level; kind 101 the name in
// titleText (a full path as it stands, else a name in the folder) or the player's last replay.
std::string replayToOpen()
{
    const VokInterFace *f = kpModule().interFace;
    if (g_rules.gameKind == 100)
        return KpReplayPath(g_files, KpReplayName(g_files).c_str());
    if (g_rules.gameKind != 101 || f == nullptr)
        return std::string();
    const char *t = f->titleText;
    if (t[0] != '\0') {
        const bool absolute = t[0] == '/' || t[0] == '\\' || (t[0] != '\0' && t[1] == ':');
        return absolute ? std::string(t) : KpReplayPath(g_files, t);
    }
    char last[64];
    snprintf(last, sizeof last, "kp_%s_last.rep", g_files.player);
    return KpReplayPath(g_files, last);
}

}  // namespace

void KpReplayRead(int mode)
{
    VokInterFace *f = kpModule().interFace;
    switch (mode) {
    case 1: {
        KpReplayClose(g_files);
        bindRules();
        g_files.wormRowIndex = 0;
        const bool wanted = f != nullptr && ((f->gameFlags & VOK_GF_REPLAY) || g_rules.replayPlaying);
        if (!wanted)
            return;
        snprintf(g_files.folder, sizeof g_files.folder, "%s", VokMakeWritePath("kp\\", "%s", ""));
        KpReplaySetPlayer(g_files, f->playerName);
        g_files.gameKind = g_rules.gameKind;
        g_files.levelFamily = g_rules.levelFamily;
        g_files.levelNumber = g_rules.levelNumber;
        const std::string path = replayToOpen();
        if (path.empty() || !KpReplayOpen(g_files, path.c_str())) {
            if (kpRenderer().screen != nullptr)
                f->screenPix = kpRenderer().screen->colour;
            KpMessage(KpGetText(f->language, 1));
            f->gameFlags &= ~VOK_GF_REPLAY;
            g_rules.replayPlaying = 0;
            kpObjects().replayPlaying = 0;
            kpSwitches().fullRedraw = 1;
            KpRenderAndPresent();
            KpShowPopup(4);
            return;
        }
        memcpy(g_rules.header, g_files.level.header, sizeof g_rules.header);
        memcpy(g_rules.board, g_files.level.board, sizeof g_rules.board);
        if (g_rules.header[KP_H_STREAKS] == kKpNoPattern)
            g_rules.patternInUse = 0;
        memcpy(g_rules.wormRow, g_files.wormRows, 5);
        g_rules.replayPlaying = 1;
        g_rules.levelCommand = 0;
        kpObjects().replayPlaying = 1;
        kpObjects().setupPending = 1;
        break;
    }
    case 2:
        KpReplayNextFrame(g_files);
        break;
    case 3:
        KpReplayClose(g_files);
        break;
    default:
        break;
    }
}

int KpAssembleReplay()
{
    const bool fromTick = g_tickAssembly != 0;
    g_tickAssembly = 0;
    uint32_t sum = 0;
    const int result = KpReplayAssemble(g_files, fromTick, &sum);
    if (g_files.gameKind == 100)
        return result;
    VokInterFace *face = kpModule().interFace;
    if (result == 0 || !g_files.recordingOn) {
        // No replay of this level: the results screen still enters the time, under no replay's name
        // (not the one an earlier level left in the title), and the player hears why. A recording
        // that could not start has said so already. The editor's levels record nothing and keep
        // their title.
        if (face != nullptr && (g_files.recordingOn || g_files.gameKind == 101)) {
            face->titleText[0] = '\0';
            // The player's last replay is an earlier game's: the results screen's replay button
            // must not show it as this one.
            char last[64];
            snprintf(last, sizeof last, "kp_%s_last.rep", g_files.player);
            DeleteFileA(KpReplayPath(g_files, last).c_str());
            if (g_files.recordingOn) {
                if (kpRenderer().screen != nullptr)
                    face->screenPix = kpRenderer().screen->colour;
                KpMessage(KpGetText(face->language, 0));
            }
        }
        return result;
    }
    char pushedOut[VOK_PATH_SIZE] = {};
    const int place = VokCheckHighScore(pushedOut);
    std::string code;
    KpReplayKeep(g_files, place >= 0, sum, pushedOut, &code);
    if (place >= 0 && face != nullptr)
        snprintf(face->titleText, sizeof face->titleText, "%s", code.c_str());
    return result;
}

int KpPollTurnKeys()
{
    const KpSettings &k = kpSettings();
    const int leftKey = (k.keys[1] & 0xFF) != 0 ? (k.keys[1] & 0xFF) : VK_LEFT;
    const int rightKey = (k.keys[0] & 0xFF) != 0 ? (k.keys[0] & 0xFF) : VK_RIGHT;
    KpRules &r = g_rules;
    int changed = 0;
    const bool left = GetAsyncKeyState(leftKey) < 0, right = GetAsyncKeyState(rightKey) < 0;
    if (left && !r.leftHeld) {
        KpKeyDown(r, 0);
        changed = 1;
    } else if (!left && r.leftHeld) {
        KpKeyUp(r, 0);
        changed = 1;
    }
    if (right && !r.rightHeld) {
        KpKeyDown(r, 1);
        changed = 1;
    } else if (!right && r.rightHeld) {
        KpKeyUp(r, 1);
        changed = 1;
    }
    return changed;
}

void KpFlushPresents()
{
    // Pictures reach the window when messages are looked at: a sequence that holds the main thread
    // (the intro, the win animation) looks without taking any.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

namespace {

void clockText(uint32_t tenths, bool withTenths)
{
    if (withTenths)
        snprintf(g_clockText, sizeof g_clockText, " %.2u:%.2u.%.1u ", tenths / 600, (tenths / 10) % 60, tenths % 10);
    else
        snprintf(g_clockText, sizeof g_clockText, " %.2u:%.2u ", tenths / 600, (tenths / 10) % 60);
}

void renderStatusPresent()
{
    KpScreen *s = kpRenderer().screen;
    KpRenderFrame(s);
    KpDrawStatus(s);
    KpPresentFrame(s);
}

// The playback's intro: the level, then "REPLAY" (and the player in kind 101) blinking three times.
void playbackIntro()
{
    KpScreen *s = kpRenderer().screen;
    KpSwitches &sw = kpSwitches();
    const VokInterFace *f = kpModule().interFace;
    const int language = f != nullptr ? f->language : 0;
    sw.introFrame = 1;
    sw.sceneLive = 0;
    KpRenderFrame(s);
    FadeInGame(s->colour);
    KpResources &res = kpResources();
    for (int i = 0; i < 3; i++) {
        sw.introFrame = 1;
        sw.fullRedraw = 1;
        KpRenderFrame(s);
        if (g_rules.gameKind == 101 && res.fonts != nullptr) {
            PxLockFonts();
            if (PxSelectFont(res.fonts, 2) != nullptr) {
                char line[64];
                snprintf(line, sizeof line, KpGetText(language, 3), g_files.replayPlayer);
                PxShowText(s->colour, 25, 75, line);
            }
            PxUnlockFonts();
        }
        sw.introFrame = 1;
        KpPresentFrame(s);
        KpFlushPresents();
        Sleep(250);
        if (res.fonts != nullptr) {
            PxLockFonts();
            if (PxSelectFont(res.fonts, 2) != nullptr) {
                const char *text = KpGetText(language, 2);
                PxShowText(s->colour, s->width / 2 - PxGetTextWidth(text) / 2, 30, text);
            }
            PxUnlockFonts();
        }
        sw.introFrame = 1;
        KpPresentFrame(s);
        KpFlushPresents();
        Sleep(500);
    }
    sw.introFrame = 1;
    sw.sceneLive = 0;
    sw.fullRedraw = 1;
    sw.presentSuppressed = 1;
    g_introShown = 1;
}

}  // namespace

int KpFrameTick()
{
    KpRenderer &rd = kpRenderer();
    if (rd.scene == nullptr || rd.screen == nullptr || rd.screen->colour == nullptr)
        return 1;
    KpObjects &o = kpObjects();
    KpSwitches &sw = kpSwitches();
    KpModule &m = kpModule();
    VokInterFace *f = m.interFace;
    KpRules &r = g_rules;
    static DWORD now = 0;
    if (o.setupPending) {
        sw.fullRedraw = 1;
        sw.sceneLive = 0;
        KpLevelSetup();
        if (r.replayPlaying) {
            playbackIntro();
        } else {
            KpRenderFrame(rd.screen);
            FadeInGame(rd.screen->colour);
            KpPresentFrame(rd.screen);
            sw.sceneLive = 1;
            sw.fullRedraw = 0;
        }
    }
    // A replay starts itself.
    if (r.replayPlaying && !r.levelRunning)
        KpTestLevel(kpButton(r.gameKind == 101 ? KP_BTN_START : KP_BTN_START_N));
    const bool playback = r.replayPlaying != 0;
    if (!playback)
        now = timeGetTime();
    else if (r.paused)
        r.elapsedTenths = KpDecodeFrame(r.lastFrame).time;
    if (!r.levelRunning)
        g_levelStart = now = timeGetTime();
    if (r.gameKind == 101 || playback) {
        if (KpLevelWon(r)) {
            if (!g_clockFrozen && !playback)
                r.elapsedTenths = (now - g_levelStart) / 100;
            if (!g_clockFrozen)
                clockText(r.elapsedTenths, true);
            g_clockFrozen = 1;
        } else {
            if ((!playback && !g_clockFrozen) || (playback && !r.paused))
                r.elapsedTenths = playback ? r.elapsedTenths : (now - g_levelStart) / 100;
            clockText(r.elapsedTenths, false);
        }
    } else if (!playback) {
        r.elapsedTenths = (now - g_levelStart) / 100;
    }
    takeInput();
    if (r.levelRunning && !r.paused) {
        int outcome;
        if (playback) {
            KpReplayNextFrame(g_files);
            outcome = KpDriveFrame(r, g_drive, g_files.readFrame);
            clockText(r.elapsedTenths, g_clockFrozen != 0);
        } else {
            outcome = KpDriveFrame(r, g_drive, nullptr);
        }
        if (r.pathCount > 0)
            KpKeepPath(r);
        if (outcome == KP_FRAME_MOVED) {
            sw.fullRedraw = 0;
            sw.sceneLive = 1;
            sw.indicatorLive = 1;
        }
        mirror();
        if (outcome == KP_FRAME_WON) {
            KpLogLevelEnd(r, true);
            if (f != nullptr && f->popupResult == -1)
                return 0;
            sw.fullRedraw = 1;
            KpReplayWrite(nullptr, 3);
            if (playback)
                KpReplayRead(3);
            if (!g_clockFrozen)
                clockText(r.elapsedTenths, true);
            g_clockFrozen = 1;
            // A trial's end shows the test button again under its message, not the pause button.
            if (r.trialRun)
                setUpButtons(KP_BUTTONS_SETUP_START);
            renderStatusPresent();
            if (r.trialRun) {
                KpMessage("This level playable now !");
                r.header[KP_H_TESTED] = 1;
            } else if (f != nullptr) {
                f->ownerWnd = m.gameWindow;
                f->screenPix = rd.screen->colour;
                f->resultTime = int32_t(r.elapsedTenths);
                g_clockFrozen = 0;
                if (r.gameKind == 100)
                    KpBuildBoardGrid(r);
                if (!playback) {
                    g_tickAssembly = 1;
                    KpAssembleReplay();
                }
                if (r.reachedExit)
                    KpWinAnimation(0);
                KpShowPopup(6);
                if (playback && m.embedded)
                    return 0;
                sw.fullRedraw = 1;
                KpRenderFrame(rd.screen);
                if (playback && f->popupResult == -1)
                    return 0;
            }
            r.levelLost = 0;
            if (r.trialRun) {
                KpEndTrial(r);
                o.editorOpen = 1;
            }
            o.setupPending = 1;
        }
    } else {
        mirror();
    }
    if (r.levelLost) {
        KpLogLevelEnd(r, false);
        g_levelStart = now = timeGetTime();
        if (r.trialRun) {
            setUpButtons(KP_BUTTONS_SETUP_START);
            sw.fullRedraw = 1;
            renderStatusPresent();
            KpMessage("Test failed !");
        } else {
            sw.fullRedraw = 1;
            renderStatusPresent();
            KpShowPopup(5);
        }
        r.levelLost = 0;
        if (r.trialRun) {
            KpEndTrial(r);
            o.editorOpen = 1;
        }
        o.setupPending = 1;
        mirror();
    }
    if (f != nullptr && f->popupResult == -1)
        return 0;
    if (g_introShown) {
        // The first frame after the intro draws everything once more.
        sw.introFrame = 1;
        sw.sceneLive = 0;
        sw.fullRedraw = 1;
        g_introShown = 0;
    }
    KpRenderFrame(rd.screen);
    // A turn pressed at the first increment of a cell step turns in that same step: the frame just
    // recorded is replaced. Only in a running, unpaused level that has written a frame.
    if (r.subStep == 1 && !playback && r.levelRunning && !r.paused && g_files.framesWritten > 0 &&
        KpPollTurnKeys()) {
        KpEarlyTurn(r, g_drive);
        mirror();
        KpRenderFrame(rd.screen);
    }
    if (m.inactive && m.reactivated) {
        g_levelStart += timeGetTime() - m.inactiveSince;
        m.inactive = m.reactivated = 0;
        if (r.levelRunning && r.paused && m.autoPaused)
            KpTestLevel(kpButton(r.gameKind == 101 ? KP_BTN_START : KP_BTN_START_N));
        m.autoPaused = 0;
    }
    KpDrawStatus(rd.screen);
    KpPresentFrame(rd.screen);
    // One-shot switches: the new level's and the waiting worm's pictures go into the static picture
    // once. The frame after a set-up or a popup redraws everything once; then only what moves.
    sw.newLevelSwitch = 0;
    if (sw.introFrame) {
        sw.introFrame = 0;
        sw.sceneLive = 1;
    }
    if (sw.fullRedraw) {
        sw.fullRedraw = 0;
        sw.sceneLive = 1;
    }
    // Frames at most every 25 ms: the rest is slept, so a running game holds no core and the
    // virtual clock moves with the sleep.
    const DWORD since = timeGetTime() - g_lastFrame;
    if (since < DWORD(kMinFrameTime[1]))
        Sleep(DWORD(kMinFrameTime[1]) - since);
    g_lastFrame = timeGetTime();
    return 0;
}
