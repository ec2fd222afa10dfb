/* VokScore scenes: the records every interface screen is described by (scene, sessions, ikons and
 * per-session procedures), the scene engine that runs them and the session builder that paints them.
 * Each record starts with the fields a description fills in and ends with those the engine writes. */
#ifndef VOKSCORE_VOKSCENE_H
#define VOKSCORE_VOKSCENE_H

#include <stdint.h>

#include "vokplat/export.h"
#include "win32/wintypes.h"
#include "win32/winuser.h"

typedef struct br_pixelmap br_pixelmap;
typedef struct DIBUFFER DIBUFFER;
typedef struct FFPACKHANDLE FFPACKHANDLE;
typedef struct PXFONTSET PXFONTSET;
typedef struct PMVMOVIE PMVMOVIE;

/* Scene flags. */
#define VOK_SCENE_OWNWINDOW 0x01
#define VOK_SCENE_BORDER 0x04
#define VOK_SCENE_CAPTION 0x08
#define VOK_SCENE_KEEPPROC 0x20
#define VOK_SCENE_KEEPLOOK 0x40
#define VOK_SCENE_OWNDC 0x80
#define VOK_SCENE_COPY 0x2000

/* Session flags. */
#define VOK_SES_RIGHT 0x04
#define VOK_SES_BOTTOM 0x08
#define VOK_SES_HCENTRE 0x10
#define VOK_SES_VCENTRE 0x20
#define VOK_SES_BORDER 0x200
#define VOK_SES_ALPHA 0x80000
#define VOK_SES_PLAIN 0x100000
#define VOK_SES_NOTSHOWN 0x200000
#define VOK_SES_NOFOCUSID 0x8000000
#define VOK_SES_DELAYED 0x20000000

/* Session state bits. */
#define VOK_SST_BUILT 0x01
#define VOK_SST_NOTSHOWN 0x02
#define VOK_SST_HIDDEN 0x04
#define VOK_SST_DIRTY 0x10
#define VOK_SST_FULL 0x20
#define VOK_SST_PENDING 0x200

/* Ikon flags. */
#define VOK_IK_ACT1 0x01
#define VOK_IK_ACT2 0x02
#define VOK_IK_RIGHT 0x04
#define VOK_IK_BOTTOM 0x08
#define VOK_IK_HCENTRE 0x10
#define VOK_IK_VCENTRE 0x20
#define VOK_IK_BORDER 0x200
#define VOK_IK_AFTERPREV 0x400
#define VOK_IK_FOCUSBORDER 0x1000
#define VOK_IK_DBLCLICK 0x4000
#define VOK_IK_FOCUSFILL 0x8000
#define VOK_IK_ALPHA 0x80000
#define VOK_IK_PLAIN 0x100000
#define VOK_IK_INACTIVE 0x200000
#define VOK_IK_KEEP 0x1000000
#define VOK_IK_ARROWSKEPT 0x2000000 /* a scroll view leaves its arrows shown at its ends */
#define VOK_IK_INBACKGROUND 0x4000000

/* Ikon state bits. */
#define VOK_IST_SETUP 0x01
#define VOK_IST_INACTIVE 0x02
#define VOK_IST_HIDDEN 0x04
#define VOK_IST_REDRAW 0x08
#define VOK_IST_NOMOUSE 0x100
#define VOK_IST_MOVED 0x400

/* Text alignment. */
#define VOK_ALIGN_RIGHT 0x04
#define VOK_ALIGN_BOTTOM 0x08
#define VOK_ALIGN_HCENTRE 0x10
#define VOK_ALIGN_VCENTRE 0x20

/* Ikon types; any other value behaves as VOK_IKON_PLAIN. */
#define VOK_IKON_PLAIN 0
#define VOK_IKON_UNFOCUS 4
#define VOK_IKON_EDIT 5
#define VOK_IKON_LIST 8
#define VOK_IKON_SCROLL 11

#define VOK_DIRTY_MAX 16
#define VOK_SCENE_STACK 256

typedef struct VokRect {
    int32_t x, y, width, height;
} VokRect;

/* An ikon's text: a string of its own, or a number 1..511 of the line table (string NULL). */
typedef struct VokText {
    const char *string;
    int32_t number;
} VokText;

/* Movie settings of an ikon picture. */
#define VOK_MOVIE_LOOP 0x01
#define VOK_MOVIE_RATE 0x02
#define VOK_MOVIE_DEFAULT_FLAGS 0x40000020u
typedef struct MOVIEDATA {
    uint32_t flags;
    int32_t fps;
    int32_t loopStart;
    int32_t loopEnd;
} MOVIEDATA;

/* A control of a list, edit or scroll ikon as a description gives it; the scene controls turn it
 * into their own record. */
#define VOK_CTL_LIST 1
#define VOK_CTL_EDIT 2
#define VOK_CTL_SCROLL 3
typedef struct VokControlDesc {
    int32_t kind;
    int32_t a, b, c; /* list: row size, rows, visible rows; edit: capacity, flags; scroll: length, visible */
} VokControlDesc;

typedef struct VokScene VokScene;
typedef struct VokSession VokSession;
typedef struct VokIkon VokIkon;
typedef struct VokSessionProc VokSessionProc;

typedef int (*VokSessionRoutine)(VokSession *session);
typedef int (*VokMouseRoutine)(VokSession *session, VokIkon *ikon, UINT message, int x, int y);
typedef int (*VokKeyHandler)(HWND window, UINT message, WPARAM key, LPARAM lParam);
typedef int (*VokBlitter)(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx, int32_t sy,
                          int32_t width, int32_t height, uint32_t arg);
typedef int (*VokProcRoutine)(VokSessionProc *record);
typedef void (*VokProcEnd)(VokSessionProc *record);

struct VokIkon {
    int32_t type;
    int32_t id;
    uint32_t flags;
    int32_t x, y, width, height;
    int32_t font;
    int32_t focusFont;
    VokText text;
    uint32_t textAlign;
    const char *picture;
    const char *focusPicture;
    int32_t key;
    int32_t linkId;
    void *control;
    const MOVIEDATA *movie;
    const MOVIEDATA *focusMovie;
    uint32_t fillColour;
    uint32_t borderColour;
    int32_t blitArg;
    /* run time */
    br_pixelmap *pix;
    br_pixelmap *focusPix;
    VokBlitter blitter;
    VokRect drawnRect;
    VokRect placeRect;
    uint32_t state;
    void *clip;
    const char *shownText;
    PMVMOVIE *pixMovie;      /* the movie behind pix, if any */
    PMVMOVIE *focusPixMovie; /* the movie behind focusPix, if any */
    VokIkon *linked;         /* the ikon a linkId names */
    int32_t focusShared;     /* focusPix is pix or cut from the focus background */
};

struct VokSession {
    int32_t id;
    uint32_t flags;
    int32_t focusId;
    VokIkon *ikons;
    int32_t ikonCount;
    int32_t x, y, width, height;
    int32_t inputX, inputY, inputWidth, inputHeight;
    const char *background;
    const char *focusBackground;
    const char *extraPicture1;
    const char *extraPicture2;
    const char *fontFile;
    VokSessionRoutine initRoutine;
    VokSessionRoutine afterBuildRoutine;
    uint32_t fillColour;
    uint32_t borderColour;
    int32_t contentWidth, contentHeight;
    /* run time */
    VokIkon *focused;
    br_pixelmap *backgroundPix;
    br_pixelmap *focusBackgroundPix;
    br_pixelmap *extraPix1;
    br_pixelmap *extraPix2;
    br_pixelmap *pix;
    VokBlitter blitter;
    VokSessionProc *procs;
    VokRect place;
    VokRect inputRect;
    VokRect home;
    int32_t scrollX, scrollY;
    int32_t pixWidth, pixHeight;
    int32_t dirtyBounds[4]; /* left, top, right, bottom */
    VokRect dirty[VOK_DIRTY_MAX];
    int32_t dirtyCount;
    int32_t index;
    uint32_t state;
    VokIkon *sourceIkons;
    int32_t paintDepth;
    int32_t backgroundShared; /* backgroundPix is a view into another session's picture */
};

struct VokSessionProc {
    VokSessionProc *next;
    VokSessionProc *prev;
    VokProcRoutine initProc;
    VokProcRoutine frameStartProc;
    VokProcRoutine frameEndProc;
    VokProcEnd endProc;
    intptr_t words[8];
    VokSession *session;
    intptr_t moreWords[20];
};

struct VokScene {
    int32_t screenId;
    uint32_t flags;
    int32_t x, y, width, height;
    int32_t depth;
    VokSession *sessions;
    int32_t sessionCount;
    int32_t focusSessionId;
    const char *dataPack;
    const char *langPack;
    VokMouseRoutine mouseRoutine;
    VokKeyHandler keyHandler;
    WNDPROC windowProc;
    /* run time */
    br_pixelmap *underPix;
    int32_t stackLevel;
    DIBUFFER *dib;
    VokSession *sourceSessions;
    VokSession *savedPage;
    VokSession *savedFocus;
    PXFONTSET *savedFonts;
    int32_t savedRunning;
    WNDPROC oldWndProc;
    FFPACKHANDLE *dataPackHandle;
    FFPACKHANDLE *langPackHandle;
    HWND window;
    HWND drawWnd;
    HDC dc;
    int32_t curX, curY, curWidth, curHeight, curDepth;
    VokScene *beneath;
    VokScene *source; /* the description a copy was made of */
};

/* Scene engine. */
VOK_EXPORT int InitScene(VokScene *scene, int noBuild);
VOK_EXPORT int KillCurScene(int keepScene);
VOK_EXPORT int RunCurScene(void);
VOK_EXPORT int InitAndRunScene(VokScene *scene);
VOK_EXPORT VokScene *VokGetCurScene(void);
VOK_EXPORT int KillSession(VokSession *session);
VOK_EXPORT VokSessionProc *AddProcToSession(VokSession *session, VokProcRoutine init, VokProcRoutine frame,
                                            VokProcRoutine frame2, VokProcEnd end);
VOK_EXPORT VokSessionProc *RemoveProcFromSession(VokSession *session, VokSessionProc *record);
VOK_EXPORT VokSession *FindSession(int id);
VOK_EXPORT VokIkon *FindIkon(VokSession *session, int id);
VOK_EXPORT VokIkon *FindIkonByType(VokSession *session, int type);
VOK_EXPORT VokSession *ShowSession(VokSession *session);
VOK_EXPORT VokSession *HideSession(VokSession *session);
VOK_EXPORT VokSession *ShowSessionById(int id);
VOK_EXPORT VokSession *HideSessionById(int id);
VOK_EXPORT VokIkon *ShowIkon(VokSession *session, VokIkon *ikon);
VOK_EXPORT VokIkon *HideIkon(VokSession *session, VokIkon *ikon);
VOK_EXPORT int MnuMouseHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
VOK_EXPORT int MnuKbdHandler(HWND window, UINT message, WPARAM key, LPARAM lParam);
/* Focus of a session moves to `ikon` (NULL: none). */
VOK_EXPORT void VokFocusIkon(VokSession *session, VokIkon *ikon);

/* Session building and painting. */
VOK_EXPORT int InitSession(VokScene *scene, VokSession *session, int index);
VOK_EXPORT int openPixOrMov(const char *name, const MOVIEDATA *movie, br_pixelmap **pix, PMVMOVIE **played);
VOK_EXPORT int MnuBuildScene(void);
VOK_EXPORT int MnuBuildPic(VokScene *scene);
VOK_EXPORT uint32_t MnuPaintScreen(VokScene *scene, int all);
/* rect NULL: the whole session. Scene coordinates. */
VOK_EXPORT void VokAddDirtyRect(VokSession *session, const VokRect *rect);
/* Offers a changed rectangle of the scene to every session, topmost first. */
VOK_EXPORT void VokAddSceneDirtyRect(VokScene *scene, const VokRect *rect);
VOK_EXPORT void VokMoveSession(VokSession *session, const VokRect *rect);

/* The screens: interface entry 0..66 and game screen 0..5; NULL with a last-error text when the
 * entry has no description. */
#define VOK_INTERFACE_SCREENS 67
#define VOK_GAME_SCREENS 6
VOK_EXPORT VokScene *VokInterfaceScreen(int entry);
VOK_EXPORT VokScene *VokGameScreen(int number);

#endif
