/* The module's start, its window, frame loop and clean-up. */
#ifndef TERROW_TRSHELL_H
#define TERROW_TRSHELL_H

#include <stdint.h>

#include "win32/wintypes.h"
#include "win32/winuser.h"

struct br_actor;
struct br_pixelmap;
struct TrPalya;
struct PXFONTSET;
struct IDirectDraw;
struct IDirectDraw2;

#define TR_STATUS_HEIGHT 29
#define TR_EDITOR_KIND 102
#define TR_CLASS_NAME "BrMinClass"
#define TR_WINDOW_TITLE "Fenlow"
#define TR_KEY_STOP 22222
#define TR_KEY_START 22223

typedef struct TrShell {
    HINSTANCE instance;
    int32_t playMode;       /* 1 while PlayTRL runs */
    HWND playParent;
    const char *playPath;
    int32_t editor;         /* gameKind 102 */
    int32_t game;           /* a field is played */
    HWND window;            /* host window or our own */
    HDC dc;
    WNDPROC savedProc;      /* the host's procedure while we hold its window */
    HWND heldHost;          /* the host window whose procedure we replaced */
    int32_t hostTaken;      /* its procedure is still ours */
    int32_t ownWindow;      /* `window` is ours (destroyed at clean-up) */
    int32_t classRegistered;
    int32_t destroying;     /* our window is being destroyed */
    char readFolder[260];
    struct PXFONTSET *fonts;
    int32_t fullScreenRequest;
    struct IDirectDraw *directDraw;
    struct IDirectDraw2 *directDraw2;
    int32_t pixelType;
    int32_t brondelBegun;
    int32_t interfaceOpen;  /* VokInitInterFace ran */
    int32_t live;           /* set up and not yet cleaned up */
    int32_t closed;         /* cleaned up: messages go to the saved procedure */
    int32_t capture;
    int32_t cursorKind, cursorSub; /* the pair WM_SETCURSOR shows */
    HCURSOR startCursor;           /* the cursor current at set-up */
    int32_t settings[8];    /* CD track, sounds, fast run, key bindings (the per-game block) */
    struct br_actor *worlds[2], *cameras[2], *lights[5];
    struct br_pixelmap *screenPix, *view, *backs[2], *depths[3];
    struct TrPalya *field;
    struct br_actor *fieldRoot;
} TrShell;

#ifdef __cplusplus
extern "C" {
#endif

TrShell *TrGetShell(void);

/* Exports. */
__attribute__((visibility("default"))) int32_t StartTerrow(void);
__attribute__((visibility("default"))) int32_t PlayTRL(HWND parent, uint32_t ignored, const char *fieldPath);
BOOL WINAPI TrDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

int32_t TrModuleInit(void);
void TrModuleShutdown(void);
int32_t TrMessageLoop(void);
HWND TrCreateOwnWindow(void);
int32_t TrWindowSetup(HWND window, int32_t hostWindow);
/* Idempotent: the worker stopped and joined, the interface closed when it was opened, Brondel ended,
 * the DC released, a mode the module set restored, our window destroyed and its class unregistered,
 * the host's procedure given back. */
void TrWindowCleanup(HWND window);
LRESULT CALLBACK TrWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/* The cursor of a kind (0 normal, 1 hidden, 2..12 what the hand carries; `sub` the direction of
 * slopes and corners, turned with the view); kinds above 12 change nothing. */
void TrSetCursor(int32_t kind, int32_t sub);
/* The cursor resource a kind shows: 0 for the normal and the hidden cursor. */
int32_t TrCursorResource(int32_t kind, int32_t sub, float yaw);
/* The key table: always 0. */
LRESULT TrKeyDown(WPARAM key);

int32_t TrBrondelBegin(int32_t pixelType);
void TrSetupCameras(void);
/* 0 when the DIB cannot be made (a module warning). */
int32_t TrMakeViewBuffers(HWND window);
void TrFreeViewBuffers(int32_t alsoEndRenderer);
void TrIdleFrame(void);
void TrRenderView(void);
/* Loads the models of terrow.pck and the looks (once per 3D instance): 0 after a warning. */
int32_t TrLoadLooks(void);
/* The scene of the current field, every element with its look. */
void TrBuildFieldScene(void);
void TrFreeFieldScene(void);
/* Places both cameras from the field's camera record. */
void TrPlaceCameras(void);

/* 1 while the toolbar's worker thread runs (from the window's set-up to its clean-up). */
int32_t TrWorkerRunning(void);
/* Tests: a procedure called at the start of every idle frame (e.g. to close the window). */
void TrSetFrameHook(void (*hook)(void));
/* Wakes the toolbar's worker: it animates what is queued (a wake with nothing queued is lost). */
void TrWorkerPulse(void);

#ifdef __cplusplus
}
#endif

#endif
