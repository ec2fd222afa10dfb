/* The toolbar's animated picture buttons, their pop-up group and the worker that animates them while
 * the main loop renders; the module's seventeen buttons and the radio rule of the editor's tools. */
#ifndef TERROW_TRTOOLBAR_H
#define TERROW_TRTOOLBAR_H

#include <stdint.h>

struct br_pixelmap;
struct DIBUFFER;

#define TR_BUTTON_PUSH 1
#define TR_BUTTON_TOGGLE 2
#define TR_BUTTON_FRAME_MS 40
#define TR_GROUP_MAX 5

typedef struct TrButton TrButton;
typedef struct TrGroup TrGroup;
typedef void (*TrButtonRoutine)(TrButton *button);

struct TrButton {
    TrButton *next, *previous;
    int32_t kind;
    int32_t state;
    int32_t currentFrame; /* -1 idle; written by the worker (atomic access) */
    int32_t shown;
    int32_t enabled;
    int32_t ownBackground;
    int32_t synchronous;
    int32_t oneMask;
    int32_t maskTest;
    int32_t x, y;
    int32_t hitX, hitY, hitW, hitH;
    int32_t w, h;
    int32_t pressOffset;
    int32_t redraw;       /* atomic access */
    int32_t inGroup;
    TrButtonRoutine after, before;
    struct br_pixelmap **frames, **masks;
    struct br_pixelmap *background;
    int32_t ownsBackground;
    int32_t backgroundTaken;
    int32_t frameCount;
    int32_t maskCount;
    int32_t frameTime;
    int32_t stateFrames[2];
    int32_t hoverFrame;
    TrGroup *group;
    int32_t ownsFrames;   /* frames and masks freed with the button (made by tests), else registered */
    struct br_pixelmap **loadedFrames, **loadedMasks; /* the order loaded, kept by a reorder */
    char name[16];
    void *user;
};

struct TrGroup {
    int32_t x0, y0, x1, y1;
    TrButton *owner;
    TrButton *members[TR_GROUP_MAX];
    int32_t count;
};

/* Where a drawn rectangle goes: `fromBuffer` 1 for the toolbar buffer's top-left (the worker), 0 for
 * the screen picture's rectangle. The default presents through the view DIB's hand-shake. */
typedef void (*TrToolbarPresent)(const TrButton *button, int32_t frame, int32_t x, int32_t y, int32_t w, int32_t h,
                                 int32_t fromBuffer);

#ifdef __cplusplus
extern "C" {
#endif

/* Loads "<path>NNNN.pix" and the masks "<a_path>NNNN.bmp" from the current picture pack. */
TrButton *TrButtonNew(int32_t kind, TrButtonRoutine after, int32_t x, int32_t y, const char *picturePath);
/* The same over given pictures (owned by the button from now on; masks may be null). */
TrButton *TrButtonNewFrom(int32_t kind, TrButtonRoutine after, int32_t x, int32_t y, struct br_pixelmap **frames,
                          int32_t frameCount, struct br_pixelmap **masks, int32_t maskCount);
void TrButtonFree(TrButton *button);
/* Every button and group; waits for the worker's animation to end first. */
void TrButtonFreeAll(void);
TrButton *TrButtonFirst(void);

void TrButtonHide(TrButton *b);
void TrButtonShow(TrButton *b);
void TrButtonEnable(TrButton *b, int32_t on);
void TrButtonBefore(TrButton *b, TrButtonRoutine routine);
void TrButtonSync(TrButton *b, int32_t on);
void TrButtonPressOffset(TrButton *b, int32_t rows);
void TrButtonHitRect(TrButton *b, int32_t x, int32_t y, int32_t w, int32_t h);
void TrButtonMaskTest(TrButton *b, int32_t on);
void TrButtonSetState(TrButton *b, int32_t state);
/* New frame i is old frame order[i]; only for sequences of at least `count` frames. */
void TrButtonReorder(TrButton *b, const int32_t *order, int32_t count);

TrButton *TrButtonAt(int32_t x, int32_t y);
TrButton *TrButtonEnabledAt(int32_t x, int32_t y);
void TrButtonPress(TrButton *b, struct br_pixelmap *picture);
void TrButtonHover(int32_t x, int32_t y, struct br_pixelmap *picture);
TrButton *TrButtonHovered(void);
void TrButtonDraw(TrButton *b, struct br_pixelmap *picture);
/* Draws the buttons due (redraw set, or all with `all`), taking each one's background first. */
void TrButtonDrawAll(struct br_pixelmap *picture);
void TrButtonDrawDue(struct br_pixelmap *picture);
/* The frame drawn for the button now (rest or hover rule), -1 when nothing is drawn. */
int32_t TrButtonFrameFor(const TrButton *b, int32_t hovered);
int32_t TrButtonCurrentFrame(const TrButton *b);

TrGroup *TrGroupNew(TrButton *owner);
void TrGroupAdd(TrButton *owner, TrButton *member, int32_t shareBackground);
void TrGroupOpen(TrGroup *group);
void TrGroupClose(void);
TrGroup *TrGroupOpened(void);
void TrGroupLeave(int32_t x, int32_t y);

/* The toolbar buffer (16 bits, as large as the largest button) and its pixel map. */
int32_t TrToolbarBufferMake(void);
void TrToolbarBufferFree(void);
struct br_pixelmap *TrToolbarBufferPix(void);

/* The present of drawn rectangles (null: the default). */
void TrToolbarSetPresent(TrToolbarPresent present);

/* The worker: started at window set-up, stopped (flag, signal, join) at clean-up. Presses queue their
 * animation in a locked list and signal it, so none is lost while another animates. */
void TrToolbarWorkerStart(void);
void TrToolbarWorkerStop(void);
int32_t TrToolbarWorkerAlive(void);
/* 1 while an animation runs or waits. */
int32_t TrToolbarBusy(void);
/* The worker's routine. */
void TrWorkerThread(void);
/* Tests and the clean-up: waits until nothing is queued or animating (at most `ms`); 1 when idle. */
int32_t TrToolbarWaitIdle(int32_t ms);

/* ---- The module's buttons. */
typedef struct TrButtonHooks {
    void (*sound)(int id);
    /* A key to the game's key handler: Home, End, Escape, F1, 22222, 22223. */
    void (*key)(int32_t key);
    void (*statusRedraw)(void);
    /* WM_COMMAND 40001 (save) and 40002 (load) to the window. */
    void (*command)(int32_t id);
    /* The editor's test run: 0 when its save file cannot be made. */
    int (*testRun)(void);
    void (*endTestRun)(void);
    void (*cursorReset)(void);
    void (*message)(const char *text);
    /* 1 while Shift is held (null: the key state). */
    int (*shift)(void);
} TrButtonHooks;
void TrToolbarSetHooks(const TrButtonHooks *hooks);

enum {
    TR_BTN_START, TR_BTN_LEFT, TR_BTN_RIGHT, TR_BTN_RESET, TR_BTN_REPOS, TR_BTN_FM4, TR_BTN_FM3, TR_BTN_FM1,
    TR_BTN_FM2, TR_BTN_HELP, TR_BTN_QUIT, TR_BTN_BACK, TR_BTN_FM0, TR_BTN_FM0_GROUP, TR_BTN_BUILD, TR_BTN_CHANGE,
    TR_BTN_DELETE, TR_BTN_SUPPLY, TR_BTN_COUNT
};
/* Makes the module's buttons from the current picture pack ("start\co" ...): the number made. */
int32_t TrToolbarCreate(void);
void TrToolbarDestroy(void);
TrButton *TrToolbarButton(int32_t which);
/* The editor's tools: the radio rule (the chosen tool lit, the others not) and the index. */
void TrToolSelect(int32_t tool);
int32_t TrToolCurrent(void);
/* 1 for a button that may be pressed while the hand carries an element. */
int32_t TrToolbarWorksWithHand(const TrButton *b);
/* The save flag fm1/fm2 leave for the command: 1 when the browser asks for the file. Read and clear. */
int32_t TrToolbarTakeSaveFlag(void);
/* Per frame: the start button comes back when its pause is over. */
void TrToolbarTick(void);
/* The tools' frame order. */
extern const int32_t TrToolFrameOrder[13];

#ifdef __cplusplus
}
#endif

#endif
