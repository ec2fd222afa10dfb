/* The game screen's control: game start and loading, the pause and close popups, Escape, help, the
 * test run, the field reset, the editor's save and load; the status line and its bar; the camera
 * keys; the view copies; the interface set-up, the frame work and the toolbar states. */
#ifndef TERROW_TRGAME_H
#define TERROW_TRGAME_H

#include <stdint.h>

#include "win32/wintypes.h"

struct br_actor;
struct br_pixelmap;
struct TrElem;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The framework's screens, boxes and browser (tests script them). */
typedef struct TrScreenHooks {
    int (*popup)(unsigned id);                            /* VokPopupIFScreen */
    int (*messageBox)(HWND window, unsigned type, const char *text); /* VokMessageBox */
    char *(*browseSave)(char *path, const char *filter, const char *folder, const char *title);
    char *(*browseOpen)(char *path, const char *filter, const char *folder, const char *title);
    void (*progress)(unsigned percent);                   /* UpdateLoadingProgressBar */
} TrScreenHooks;
/* Null entries take the framework's own; null puts all of them back. */
void TrSetScreenHooks(const TrScreenHooks *hooks);

/* Posted to the window when a game is solved: the game-over popup follows the frame. */
#define TR_WM_GAME_OVER (0x8000 + 0x159)

/* ---- Camera. */
typedef struct TrCamera {
    float pan;
    float eyeHeight;
    float pitch, yaw; /* degrees */
    float distance;
    int32_t lookDown;
    struct br_actor *actor, *light;
    float height;
    int32_t limits; /* the limit switch (on at load) */
} TrCamera;
#define TR_CAM_STEP 2.0f
#define TR_CAM_PAN_STEP 0.0125f
TrCamera *TrCameraGet(void);
void TrCameraReset(void);
/* Keys 33..40 (Page Up/Down, arrows), 82 (reset), 0 (refresh), 88 (the orbit increments of
 * TrCameraOrbit); Shift and Ctrl are read from the keyboard state. */
void TrCameraKey(int32_t key);
/* The same with the modifiers given. */
void TrCameraKeyWith(int32_t key, int32_t shift, int32_t ctrl);
/* The orbit drag's move: key 88 then turns the yaw by dx x 0.5 and the pitch by dy x 0.5. */
void TrCameraOrbit(float dx, float dy);
void TrCameraFromField(void);
void TrCameraToField(void);
/* The quarter the view looks from: ((yaw + 90) mod 360) / 90, never negative. */
int32_t TrCameraQuarter(void);

/* ---- Status line and bar. */
#define TR_STATUS_LONG_MS 30000
#define TR_STATUS_SHORT_MS 1500
#define TR_STATUS_LINGER_MS 2200
void TrStatusLong(const char *text);
void TrStatusShort(const char *text);
void TrStatusTimed(const char *text, int32_t ms);
void TrStatusPlain(const char *text);
void TrStatusClear(void);
/* The current text ("" when none) and its hold end (platform clock). */
const char *TrStatusText(void);
uint32_t TrStatusHoldEnd(void);
/* Clears the text once its hold end lies more than 2200 ms back: 1 when it is (still) shown. */
int32_t TrStatusTick(uint32_t now);
void TrStatusBar(int32_t withMarker);
void TrStatusBarRange(int32_t x0, int32_t x1);
/* The x where the balls' strip ends: 178 + 22.5 x balls needed. */
int32_t TrStatusBarSplit(void);

/* ---- Control. */
typedef struct TrControl {
    char levelFile[256];
    char levelTitle[42];
    int32_t testRun;
    int32_t testPassed;
    char tempFile[260];
    uint32_t savedLevelFlags;   /* the editor's level flags during a test run */
    int32_t closePending;
    uint32_t announceStart;     /* the level announcement's start, 0 when none */
    int32_t flyInCountdown;
    int32_t startLock;          /* the start button greyed until startLockTime */
    uint32_t startLockTime;
    int32_t toolbarLock;
    int32_t frames;
} TrControl;
TrControl *TrControlGet(void);
int32_t TrGameStart(void);
int32_t TrLoadLevel(void);
int32_t TrPauseMenu(void);
int32_t TrCloseRequest(void);
void TrEscape(void);
void TrHelp(void);
/* Saves the editor's field to a temporary file and plays it: 0 (message 40) when no file can be made. */
int32_t TrStartTest(void);
void TrEndTest(void);
void TrResetField(void);
void TrPreviewProducer(void *arg);
void TrPreviewEndCb(void);
int TrSaveGameCb(void);
void TrFrameHandOff(int32_t x, int32_t y, int32_t w, int32_t h);
void TrSaveName(char *out);
/* The editor's file commands (40001 save, 40002 load): 1 when the field was written or read. */
int32_t TrSaveFieldHook(void);
int32_t TrLoadFieldHook(void);
/* The producer-idle flag and the stop flag of the pause popup. */
int32_t TrProducerIdle(void);
void TrSetProducerIdle(int32_t idle);
int32_t TrProducerStop(void);
/* The longest the pause popup waits for the producer after the screen (ms). */
#define TR_PRODUCER_WAIT_MS 1000

/* The control's seams in the play hooks: sounds, status texts, the copies' repair, the toolbar's run
 * state, the start button's lock, keys posted to the window. */
void TrInstallGameHooks(void);

/* ---- View copies. */
typedef struct TrCopies {
    int32_t countdown;
    int32_t backgroundValid;
    int32_t runInUse;
    int32_t runTaken;
    int32_t editorValid;
    int32_t editorRefresh;
    struct br_actor *background; /* the background scene's actor, null without Hatter */
    struct br_actor *staticSet[3];
    struct br_actor *staticParents[3];
} TrCopies;
TrCopies *TrCopiesGet(void);
/* A change of the view: the background copy dropped, the countdown 2; a camera key also puts the
 * lifted elements back while the run copies stay in use. */
void TrCopiesViewChanged(int32_t cameraKey);
void TrCopiesRunStart(void);
void TrCopiesRunEnd(void);
void TrCopiesTakeBackground(void);
void TrCopiesTakeRun(void);
/* Renders the copy world again where the elements stood (they vanished during a run). */
void TrCopiesRepair(struct TrElem **elems, int32_t count);
void TrCopiesPutBack(struct TrElem *elem);
void TrEditorCopiesTake(void);
void TrEditorCopiesDrop(void);
void TrEditorCopiesRetake(void);
/* Drops every copy (the scene is going or being rebuilt). */
void TrCopiesReset(void);

/* ---- Frame work. */
void TrFrameWork(void);
void TrAfterRender(void);
/* One frame: frame work, render, after-render (no present). */
void TrRenderFrame(void);
/* A routine the after-render calls `count` more frames in the game. */
void TrSetFrameRoutine(void (*routine)(void), int32_t count);
void TrTipText(int32_t x, int32_t y, const char *text);

/* ---- Set-up. */
int32_t TrInterfaceSetup(void);
void TrInterfaceShutdown(void);
void TrPlaySound(int32_t id);
/* The last sound asked for (tests). */
int32_t TrLastSound(void);
void TrToolbarGameState(void);
void TrToolbarEditorState(void);
void TrToolbarRunState(int32_t on);
/* The toolbar's state for other work to draw: hooks the buttons install. */
typedef struct TrToolbarHooks {
    void (*gameState)(void);
    void (*editorState)(void);
    void (*runState)(int32_t on);
    void (*popupState)(int32_t up);
    void (*drawAll)(void);
    void (*startEnable)(int32_t enabled);
    void (*testButtonRelease)(void);
} TrToolbarHooks;
void TrSetToolbarHooks(const TrToolbarHooks *hooks);
/* The actor tree the set-up builds. */
typedef struct TrSceneRoots {
    struct br_actor *placement, *second, *selection, *selectionParents[2], *nodes[5], *third;
} TrSceneRoots;
TrSceneRoots *TrSceneRootsGet(void);
/* The set-up's packs (null when not open) and the status-bar pictures. */
struct FFPACKHANDLE;
struct FFPACKHANDLE *TrPackB(void);
struct FFPACKHANDLE *TrPackT(void);
/* The pack file names for an interface language: "trb", "trb_ge", "trb_fr" (and trt alike). */
const char *TrPackName(int32_t which, int32_t language);
/* The path the set-up opened pack `which` (0 trb, 1 trt) from. */
const char *TrPackPath(int32_t which);

#ifdef __cplusplus
}
#endif

#endif
