/* Pannix dialog engine: a scene of cells (background, borders, pictures, texts, buttons, check boxes,
 * edit boxes, list boxes, text menus) drawn into one pixel map and shown in a window of its own or
 * into a pixel map the caller gives; cell description files (".cls"); the DirectDraw screen.
 *
 * The records keep the order of their fields; fields that hold addresses are pointer-sized. */
#ifndef PANNIX_PXDIALOG_H
#define PANNIX_PXDIALOG_H

#include <stdint.h>

#include "pannix/pxbase.h"
#include "pannix/pxfont.h"
#include "pannix/pxmovie.h"
#include "pannix/pxpix.h"
#include "win32/winuser.h"

typedef struct br_pixelmap br_pixelmap;
struct PXSCENE;
struct PXCELLA;

/* Scene flags. */
#define PXS_RENDERER 0x100      /* begin a 3D renderer for the scene's pixel type */
#define PXS_NOEXIT 0x200        /* a failed start returns 0 instead of ending the process */
#define PXS_KEYAFTERMOUSE 0x400 /* the key callback also runs after mouse messages */
#define PXS_DLGFRAME 0x2000     /* the window gets a dialog frame */
#define PXS_STARTED 0x8000      /* set by every start */
#define PXS_OWN8BIT 0x10000     /* with a parent map: an 8-bit map of its own instead of a sub-map */

/* Cell types. */
#define AKTYPE_BACKGR 0
#define AKTYPE_BORDER 1
#define AKTYPE_STATIC 2
#define AKTYPE_BUTTON 3
#define AKTYPE_CHECKBOX 4
#define AKTYPE_EDITBOX 5
#define AKTYPE_LISTBOX 6
#define AKTYPE_TXTMENU 8

/* Cell flags. */
#define CF_MOUSECLICK 0x1
#define CF_FOCUSABLE 0x2
#define CF_MOUSEMOVE 0x3
#define CF_RALIGN 0x4
#define CF_BALIGN 0x8
#define CF_HCENTER 0x10
#define CF_VCENTER 0x20
#define CF_FIXSPEED 0x40
#define CF_HSCROLL 0x80
#define CF_VSCROLL 0x100
#define CF_BORDER 0x200
#define CF_PICONTOP 0x400
#define CF_BORDERIFCUR 0x1000
#define CF_PICIFCUR 0x2000
#define CF_PIC2IFCUR 0x4000
#define CF_FILLIFCUR 0x8000
#define CF_PLAYIFCUR 0x10000
#define CF_NOPICIFCUR 0x20000
#define CF_NOTRANSP 0x100000
#define CF_DISABLED 0x200000
#define CF_REBUILD 0x400000     /* engine: free and set the cell up again at the next frame */
#define CF_USEMEM 0x800000
#define CF_PLAYONCE 0x10000000
#define CF_DELAY 0x20000000
#define CF_LINK 0x40000000

typedef int32_t (*PXSCENEPROC)(struct PXSCENE *scene);
typedef int32_t (*PXCELLPROC)(struct PXSCENE *scene, struct PXCELLA *cell);

/* The look of the check boxes, edit boxes or list boxes of a scene. */
typedef struct PXCONTROL {
    const char *picture;
    int32_t cellWidth, cellHeight;
    int32_t width, height;   /* the two further sizes */
    int32_t marginX, marginY;
    int32_t spacing;
    int32_t offset;
    intptr_t spare[2];
    br_pixelmap *pic;        /* loaded on first use */
} PXCONTROL;

/* Steps of an edit box's undo buffer (512 bytes). */
#define PX_UNDO_STEPS 64
#define PX_UNDO_BYTES 512

typedef struct PXCELLA {
    int32_t type;
    int32_t id;
    uint32_t flags;
    int32_t command;         /* key code posted when a button is clicked or the delay ends */
    int32_t x, y, w, h;
    char *text;
    intptr_t font;           /* 256 or more: the address of a byte holding it */
    int32_t tx, ty;
    char *file;              /* picture or movie name; edit and list boxes: the text buffer */
    int32_t px, py;
    int32_t bw_spd, bh_fbc, bxMax, bxCur;
    int32_t up, down, left, right;
    PXCELLPROC drawProc;     /* a result of 0 or more replaces the engine's drawing */
    PXCELLPROC setupProc;    /* a result of 0 or more replaces the engine's set-up */
    PXCELLPROC freeProc;

    /* Engine state. */
    int32_t textW, textH, picW, picH;
    int32_t cellX, cellY, cellW, cellH; /* on the scene */
    int32_t textX, textY, picX, picY;
    br_pixelmap *sub;        /* the cell's part of the scene map */
    br_pixelmap *inner;      /* edit and list boxes: the text area */
    br_pixelmap *pic;
    PMVMOVIE *movie;
    uint8_t *undo;           /* PX_UNDO_BYTES */
    int32_t undoCount;
    int32_t blink;
    uint32_t blinkTime;
    uint32_t delayEnd;
    uint32_t drawTime;       /* milliseconds the last frame spent on the cell */
    uint32_t state;          /* bit 0: set up */
    int32_t lastX, lastY, lastW, lastH;
    br_pixelmap *grab;
    int32_t grabCount;

    /* Private to the engine. */
    uint32_t owned;          /* bit 0: text, bit 1: file were made by a cell file */
    int32_t fileSize;        /* bytes of an owned file buffer */
    int32_t scroll;
    uint32_t scrollTime;
    br_pixelmap *moviePix;   /* the map over the movie's frame */
    int32_t editScroll;
} PXCELLA;

typedef struct PXSCENE {
    intptr_t user0;
    int32_t x, y;
    int32_t width, height;
    int32_t cellCount;
    PXCELLA *cells;
    int32_t firstFocus;      /* identifier of the cell to focus first (0: the first focusable) */
    intptr_t user1, user2;
    uint32_t flags;
    PXSCENEPROC keyProc;     /* nonzero ends the scene */
    int32_t bits;            /* 8, 15, 16, 24 or 32 (0 means 8) */
    const char *fontName;
    uint32_t focusColour;
    const char *title;
    WNDPROC wndProc;
    PXCONTROL *checkBox, *editBox, *listBox;
    const char *palette, *blendTable, *shadeTable;
    PXSCENEPROC startProc;   /* a result of 0 or more ends the start with it */
    PXSCENEPROC endProc;     /* a result of 0 or more skips the end */
    const char *cellFile;    /* none: "cellak.cls" */
    int32_t focus;           /* index of the focused cell, -1 none */
    PXFONTSET *fontSet;
    br_pixelmap *pix;
    br_pixelmap *parent;
    br_pixelmap *background;
    HWND window;
    HDC dc;
    DIBUFFER *dib;
    void *dibPixels;
    UINT lastMessage;
    WPARAM lastWParam;
    LPARAM lastLParam;
    int32_t showX, showY, showW, showH;

    /* Private to the engine. */
    PXCONTROL controls[3];   /* the library's defaults, used where a control record is none */
    int32_t rendererType;    /* pixel type of a renderer the start began, 0 none */
    br_pixelmap *tables[3];  /* palette, blend and shade tables the scene holds (loaded or in use) */
    uint32_t engineFlags;    /* bit 0: the scene turned the layout-edit mode on */
} PXSCENE;

PANNIX_API int StartPannix(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *scene, uint32_t flags);
PANNIX_API int StartPannixW(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *scene, HWND parentWindow,
                            uint32_t flags);
PANNIX_API int StartPannixWL(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *scene, HWND parentWindow,
                             uint32_t flags);
PANNIX_API int KillPannix(PXSCENE *scene);
PANNIX_API int KillPannixW(PXSCENE *scene);
PANNIX_API PXCELLA *PannixFindCella(PXSCENE *scene, int32_t id);
PANNIX_API int ToggleSaveMode(void);

PANNIX_API int PannixMsgLoop(PXSCENE *scene);
PANNIX_API int PannixBuildScene(PXSCENE *scene);
PANNIX_API void PaintMsgScreen(HDC dc, PXSCENE *scene);
PANNIX_API int PannixMouseHandler(PXSCENE *scene, UINT message, WPARAM wParam, LPARAM lParam);
PANNIX_API int PannixKbdHandler(PXSCENE *scene, UINT message, WPARAM wParam, LPARAM lParam);
/* The engine's window procedure (the scene lives in the window's user data). */
PANNIX_API LRESULT CALLBACK PannixWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/* Layout-edit mode (Ctrl+F12), for hosts and tests. */
PANNIX_API int PannixLayoutMode(void);

PANNIX_API int LoadCellParams(const char *file, PXSCENE *scene);
PANNIX_API int SaveCellParams(const char *file, PXSCENE *scene);

/* Shows the scene's frame through the DirectDraw screen: 0 or the platform's error code. */
PANNIX_API HRESULT AmsgFlipScreen(PXSCENE *scene);

#ifdef __cplusplus
extern "C" {
#endif
extern __attribute__((visibility("default"))) br_pixelmap *pMsgBlendTable;
extern __attribute__((visibility("default"))) br_pixelmap *pMsgShadeTable;
#ifdef __cplusplus
}
#endif

#endif
