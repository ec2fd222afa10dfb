// Kelpa's module state and the operations its parts share: module entry and window, the 3D scene and
// its screen buffers, resources, and the animated buttons. One game per process: everything is
// module-wide state, as the game keeps it.
#pragma once

#include <stdint.h>

#include <initializer_list>
#include <new>

#include <brondel/brcore.h>
#include <brondel/brmaterial.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brdbfile.h>
#include <brondel/brpick.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "pannix/ffpack.h"
#include "pannix/pxfont.h"
#include "vokscore/vokiface.h"
#include "vokscore/voksound.h"
#include "win32/windows.h"
#include "win32/ddraw.h"

// ---- module entry, window and loop ----

struct KpModule {
    HINSTANCE moduleInstance = nullptr;
    char modulePath[256] = {};
    VokInterFace *interFace = nullptr;
    HWND gameWindow = nullptr;
    WNDPROC savedHostProc = nullptr;
    int32_t embedded = 0;
    HWND embedParent = nullptr;
    const char *embedReplayName = nullptr;
    int32_t wantFullScreen = 0;
    int32_t windowAtOrigin = 0;
    IDirectDraw *directDraw = nullptr;
    IDirectDraw2 *directDraw2 = nullptr;
    int32_t firstFramePending = 0;
    SoundSet *soundSet = nullptr;
    int32_t levelCommand = 0;
    // One set-up in the own-window case: StartKelpa runs it, WM_CREATE does not.
    int32_t creatingOwnWindow = 0;
    int32_t messageSeen = 0;
    // Activation: the tick settles the time lost while inactive.
    int32_t inactive = 0, reactivated = 0, autoPaused = 0;
    DWORD inactiveSince = 0;
};
KpModule &kpModule();
KpSettings &kpSettings();

// The language's row of the text table; languages past French read the US cell.
const char *KpGetText(int language, int row);
// Drive + folder of the module + name.
const char *KpModulePath(const char *name);

int KpStartKelpa();
int KpPlayKp(HWND parent, int ignored, const char *replay);
int KpInitGame();
int KpRegisterClass();
// The module is being unloaded: its own windows and its class go, so that nothing is left pointing
// at its window procedure.
void KpModuleDetach();
HWND KpCreateWindow();
int KpSetupGame(HWND window, int fit);
void KpFitScreen(HWND window);
int KpPumpMessages();
void KpShutdown();
void KpReleaseDisplay();
LRESULT CALLBACK KpWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A seam for the tests: how the module asks for the interface record.
using KpInterFaceSource = VokInterFace *(*)(uint32_t gameId);
void KpSetInterFaceSource(KpInterFaceSource source);

// ---- frame switches (the tick's and the renderer's) ----

struct KpSwitches {
    // The tick's.
    int32_t fullRedraw = 0, sceneLive = 1, indicatorLive = 1, introFrame = 0, presentSuppressed = 0;
    // The renderer's.
    int32_t backgroundSwitch = 0, newLevelSwitch = 0, slideSwitch = 0;
    int32_t paletteMode = 0, slotsMode = 0, blinkMode = 0;
    // Presenting: the frame before was an intro frame; the dirty rectangle is valid.
    int32_t introBefore = 0, dirtyValid = 0;
};
KpSwitches &kpSwitches();

// ---- 3D scene and screen ----

struct KpScene {
    int32_t lead = 0;
    br_actor *world = nullptr, *camera = nullptr, *light1 = nullptr, *light2 = nullptr, *light3 = nullptr;
    br_actor *group = nullptr;
};

struct KpDib;
using KpPresentProc = void (*)(KpDib *dib, HDC dc, int x, int y, int w, int h);
struct KpDib {
    void *bits = nullptr;
    int32_t width = 0, height = 0;
    KpPresentProc present = nullptr;
    void (*freeProc)(KpDib *) = nullptr;
    BITMAPINFO *info = nullptr;
    HGLOBAL block = nullptr;  // the GlobalAlloc block holding the header and the bits
};

struct KpScreen {
    KpScene *scene = nullptr;
    HWND window = nullptr;
    HDC dc = nullptr;
    int32_t pixelType = BR_PMT_RGB_565;
    int32_t left = 0, top = 0, width = 0, height = 0;
    int32_t aspect = 0;  // 16.16
    KpDib *dib = nullptr;
    br_pixelmap *colour = nullptr, *depth = nullptr;
    int32_t dirtyX = 0, dirtyY = 0, dirtyRight = 0, dirtyBottom = 0;
    uint32_t background = 0;
    int32_t words[3] = {};
    HGLOBAL block = nullptr;
    bool ownDc = false;
};

struct KpRenderer {
    KpScene *scene = nullptr;
    KpScreen *screen = nullptr;
    br_pixelmap *savedColour = nullptr, *savedDepth = nullptr;
    int32_t projected[5][2] = {};
    bool begun = false;
};
KpRenderer &kpRenderer();

extern br_diaghandler KpDiagHandler;
void KpBeginRenderer();
void KpEndRenderer();
KpScene *KpCreateScene();
int KpFreeScene(KpScene *scene);
KpScreen *KpCreateScreen(HWND window, KpScene *scene);
int KpFreeScreen(KpScreen *screen);
void KpResizeScreen(KpScreen *screen, int left, int top, int width, int height);
void KpRenderFrame(KpScreen *screen);
void KpPresentFrame(KpScreen *screen);
br_actor *KpPickAt(KpScreen *screen, int x, int y);
br_model *KpMakeModel(const char *name, int nv, int nf, const float (*points)[3], const float (*uvs)[2],
                      const uint16_t (*faces)[3]);
br_material *KpMakeMaterial(const char *name, const char *texture);
// Whether the render pass draws this cube (or inner cube), and which moving worm cube it is (-1 none).
bool KpCubeDrawn(br_actor *actor, int *moving);
br_uint_32 KpCubeRender(br_actor *actor, br_model *model, br_material *material, br_order_table *order,
                        br_uint_8 style, int on_screen);
// The whole screen buffer to the window (the render-then-present pair the game uses everywhere).
void KpRenderAndPresent();

struct KpPick {
    br_actor *actor = nullptr;
    br_model *model = nullptr;
    br_material *material = nullptr;
    float distance = 0;
    br_vector3 point{};
    int face = -1, edge = -1, vertex = -1;
    br_vector2 map{};
};
KpPick &kpLastPick();
br_vector3 &kpBoardHit();

// ---- game objects ----

struct KpCubeSlot {
    br_actor *cube = nullptr;
    int32_t word1 = 0;
    uint8_t direction = 99, pendingTurn = 99, pad[2] = {};
    float x = 0;
    int32_t word2 = 0;
    float z = 0;
};

constexpr int kKpCubes = 131;
struct KpObjects {
    br_actor *patternCubes[30] = {};  // "Cube_Model", each with its twin as first child
    br_actor *paletteCubes[7] = {};
    br_actor *toolCubes[9] = {};      // blue, red, green, yellow, white, orange, fixed, random, exit
    KpCubeSlot worm[kKpCubes];
    KpCubeSlot looseCubes[kKpCubes];
    KpCubeSlot queue[kKpCubes];
    int32_t wormLength = 5, headIndex = 0, looseCount = 0;
    br_actor *matchList[kKpCubes] = {};
    int32_t matchCount = 0;
    br_actor *nextWormCubes[5] = {};
    br_actor *tiles[121] = {};  // index row * 11 + column
    br_actor *boardPlane = nullptr, *patternPlane = nullptr, *nagy = nullptr, *arrow = nullptr;
    br_actor *hoverMark = nullptr, *heldCube = nullptr, *exitMarker = nullptr;
    int32_t editorOpen = 0, fileMenuOpen = 0, levelRunning = 0, setupPending = 0, replayPlaying = 0;
    int32_t paused = 0, finishing = 0, won = 0, reachedExit = 0, mayTurn = 1, mayStep = 1, trialRun = 0;
    int32_t pendingSteps = 0, stepPhase = 0;
    char toolTip[256] = {};
};
KpObjects &kpObjects();

// ---- resources ----

struct KpResources {
    FFPACKHANDLE *shadePack = nullptr, *buttonPack = nullptr, *texturePack = nullptr, *picturePack = nullptr;
    br_pixelmap *shadeTables[10] = {};
    PXFONTSET *fonts = nullptr;
    br_model *cubeOuter = nullptr, *cubeInner = nullptr;
    br_pixelmap *backdrops[4] = {};  // hatter, hatterb, hatters, hattern
    br_pixelmap *editorHeaders[2] = {};
    int32_t materialCount = 0;   // progress steps of the material maker
    int32_t levelHeader[48] = {};
    int32_t speed = 7, pacingIndex = 1;
};
KpResources &kpResources();
extern const char *const kKpShadeNames[10];
extern const char *const kKpButtonPacks[4];

void KpLoadResources(KpScene *scene);
// A picture of the current pack, copied out of it, registered as a map; freed by KpFreeResources.
br_pixelmap *KpLoadPackedMap(const char *name);
br_pixelmap *KpLoadImage(const char *path);
using KpImageHook = br_pixelmap *(*)(br_pixelmap *);
void KpSetImageHook(KpImageHook hook);
void KpClearImageHook();
char *KpFrameName(char *out, const char *prefix, int digits, const char *extension, int n);
br_pixelmap **KpLoadFrameSequence(const char *prefix, int digits, const char *extension, int *count);
void KpFreeFrameSequence(br_pixelmap **frames, int count);
int32_t KpRound(float x);
void KpKeyOutMask(br_pixelmap *map);
// Frees what the loader holds that the 3D library does not (frame arrays, pictures from Pannix).
void KpFreeResources();

// ---- buttons ----

struct KpButton;
using KpButtonAction = int (*)(KpButton *);
struct KpButton {
    KpButton *next = nullptr, *prev = nullptr;
    int32_t kind = 1;  // 1 push, 2 two-state
    int32_t state = 0;
    int32_t lastFrame = -1;
    int32_t visible = 1, enabled = 1;
    int32_t saveUnder = 0;
    br_pixelmap *under = nullptr;
    int32_t pixelTest = 1;
    int32_t x = 0, y = 0, hitX = 0, hitY = 0;
    int32_t width = 100, height = 50, hitWidth = 100, hitHeight = 50;
    int32_t trimmed = 0;
    KpButtonAction action = nullptr;
    br_pixelmap **frames = nullptr, **masks = nullptr;
    int32_t count = 0;
    int32_t frameTime = 40;
    int32_t firstFrame[2] = {0, 0};
    int32_t sound = -1;
    const char *path = nullptr;
};

enum KpButtonId {
    KP_BTN_FILE0, KP_BTN_FILE1, KP_BTN_FILE2, KP_BTN_FILE3, KP_BTN_FILE4, KP_BTN_MENU, KP_BTN_HELP,
    KP_BTN_START, KP_BTN_PARE, KP_BTN_START_N, KP_BTN_PARE_N, KP_BTN_RESET, KP_BTN_SPEED, KP_BTN_LEVEL,
    KP_BTN_NEW, KP_BTN_COUNT
};
extern const char *const kKpButtonPaths[KP_BTN_COUNT];
KpButton *&kpButton(int id);
KpButton *kpButtonList();

KpButton *KpButtonCreate(int kind, KpButtonAction action, int x, int y, const char *path, int ignored);
void KpButtonsDraw(KpScreen *screen);
int KpButtonClick(int x, int y, KpScreen *screen, int mode);
KpButton *KpButtonAt(int x, int y);
uint32_t KpClock();
void KpShowButton(KpButton *b);
void KpHideButton(KpButton *b);
void KpSetButtonState(KpButton *b, int state);
void KpEnableButton(KpButton *b, int enabled);
void KpSetPixelTest(KpButton *b, int on);
void KpMoveButton(KpButton *b, int x, int y);
using KpAfterDraw = void (*)();
void KpSetAfterDraw(KpAfterDraw routine);
void KpPlaceButtons();
void KpParkButtons();
void KpSlideButtonsOut();
int KpFileMenu(KpButton *b);
// Frees every button (module shut-down): frames go back through the 2D library.
void KpFreeButtons();
// A drawing sink for tests: called with the button and the frame each time a frame is shown.
using KpFrameSink = void (*)(KpButton *b, int frame);
void KpSetFrameSink(KpFrameSink sink);

// ---- what the other parts of the game provide (tick, rules, set-up, popups) ----

int KpFrameTick();
void KpNewGame(int first);
void KpLevelSetup();
int KpTestLevel(KpButton *b);
int KpShowPopup(int type);
void KpPlaySound(int id);
void KpBuildEffectTables();
int KpNewLevel(KpButton *b);
void KpStep();
void KpReplayRead(int mode);
void KpDrawStatus(KpScreen *screen);
int KpMenuAction(KpButton *b);
int KpResetAction(KpButton *b);
int KpSpeedAction(KpButton *b);
int KpLevelAction(KpButton *b);
int KpHelpAction(KpButton *b);
void KpCloseRecordings();
// The pacing and rule tables of the tick (step counts, increments, frame times, waits).
void KpPacingTables();
// Turn input: direction 0 right, 1 left; down 1 press, 0 release (down 0 with direction 0 at set-up
// clears the turn state).
void KpTurnKey(int direction, int down);
br_actor *KpCubeOnCell(int column, int row);
// The rules' state of the running game, and forgetting it when the module shuts down (its cube
// actors go with the scene).
struct KpRules;
KpRules &kpRules();
void KpForgetRules();
void KpEditorClick(br_actor *hit);
void KpEditorSelect(br_actor *hit);
void KpOpenWorkLevel();
void KpSaveWorkLevel();
void KpSaveLevel();
// The editor on the actors (src/editor.cpp): the tools beside the board (away unless a trial run
// is on), the highlight under the cursor, a click on the scene while the editor is open, letting the
// held tool go, the editor's game kinds at a new game, the browser for level files.
void KpLayoutTools();
void KpEditorHover(br_actor *hit);
void KpEditorDrop();
void KpEditorForget();
int KpHeldTool();
void KpEditorNewGame();
bool KpBrowseLevel(int mode, const char *title, const char *filter, const char *pattern, const char *extension,
                   char *name, size_t size);
// The line each level's end leaves in the debug output: a digest of the board's colours, the exits
// reached and the time, equal for a game and its replay.
uint32_t KpLevelDigest(const KpRules &r);
void KpLogLevelEnd(const KpRules &r, bool won);
// Lines for the log (VOK_LOG) that scripted runs check: "kelpa <what> <text>".
void KpLogLine(const char *what, const char *text);
// A message box over the game's picture (logged as "kelpa message <text>").
void KpMessage(const char *text);
// FNV-1a of bytes: the level files' and the editor's level in the log.
uint32_t KpFnv(const void *data, size_t size);

constexpr int kKpPathMaxCells = 24;

// ---- glow effects, the win animation, the popups and the preview producer ----

// Three 32 x 32 x 32 volumes, cell (a, b, c) at a * 1024 + b * 32 + c.
struct KpEffects {
    uint8_t falloff[32768] = {}, halo[32768] = {}, core[32768] = {};
    uint16_t red[64] = {}, green[64] = {}, blue[64] = {};
    // Path cell q (1..23), step j: entry 3q + j, three points (dx, dz) from the tile's centre.
    float points[kKpPathMaxCells * 3][3][2] = {};
    int32_t glowLeft = 0, glowTop = 0;
    bool built = false;
};
KpEffects &kpEffects();
void KpSetGlowColour(int red, int green, int blue);
uint16_t KpPackRgb(int r, int g, int b);
enum KpGlowKind { KP_GLOW_FALLOFF = 0, KP_GLOW_HALO = 1, KP_GLOW_CORE = 2 };
// Paints one glow square of side `side` with its corner at (left, top) over the depths zNear..
// zNear + depth into a 16-bit colour picture and its 16-bit depth picture (picture positions).
void KpGlowSquare(int kind, br_pixelmap *colour, br_pixelmap *depth, int left, int top, int side, int zNear,
                  int depthExtent);
// Screen x, y and 16-bit depth of a point of an actor seen by the camera in a picture.
void KpProjectPoint(br_actor *actor, const br_vector3 &point, int out[3], br_actor *camera, br_pixelmap *picture);
// The side S of the glow square and its depth extent D for a radius, and the centre.
void KpProjectedRadius(br_actor *actor, const br_vector3 &point, float radius, br_actor *camera,
                       br_pixelmap *picture, int size[2], int centre[3]);
void KpGlow(int kind, br_pixelmap *colour, br_pixelmap *depth, br_actor *actor, const br_vector3 &point,
            br_actor *camera, float radius);
// The three steps' points of each path cell from the path's shape.
void KpFillGlowPoints(const int32_t (*path)[2], int count);
void KpWinAnimation(int flag);
// Lets the window show the pictures presented so far while the main thread is held.
void KpFlushPresents();
// The tick keeps the running worm's path for the animation at the level's end.
void KpKeepPath(const KpRules &r);
// A new level has walked no path yet.
void KpForgetPath();
void KpImageProducer(void *);
int KpAssembleReplay();
void KpReplayWrite(const uint8_t *frame, int mode);
int KpPollTurnKeys();
// A seam for the tests: the framework's screens (VokPopupIFScreen by default).
using KpPopupScreen = int (*)(unsigned id);
void KpSetPopupScreen(KpPopupScreen screen);
// The clock text the overlay prints, the level title (0 when the level has none).
const char *KpClockText();
int KpTitleText(char *out, size_t size);
struct KpReplayFiles;
KpReplayFiles &kpReplay();
