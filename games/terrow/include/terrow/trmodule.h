/* Module-wide state of Terrow (one game per process) and its settings file terrow.ini. */
#ifndef TERROW_TRMODULE_H
#define TERROW_TRMODULE_H

#include <stdint.h>

#include "win32/wintypes.h"

struct VokInterFace;

/* The keys of terrow.ini. */
typedef struct TrIni {
    int32_t FillColor;  /* fill colour of the view */
    int32_t Hatter;     /* background switch */
    int32_t DebugMode;  /* debug status texts and mouse hooks */
    int32_t PalyaMeret; /* side of a new field, 1..99 */
    int32_t WinDiag;    /* start-up trace texts */
    int32_t FullScreen; /* full-screen request, replaced by the record's window mode */
    int32_t ShowFps;    /* frame-rate display */
} TrIni;

#define TR_INI_NAME "terrow.ini"
#define TR_PALYA_MERET_DEFAULT 10
#define TR_PALYA_MERET_MAX 99

typedef struct TrModule {
    struct VokInterFace *iface; /* the framework's record, NULL before the start */
    HWND window;                /* the window the module draws into */
    int32_t warning;            /* set by every warning and fatal report; fails the start-up */
    int32_t frameless;          /* the display is full screen */
    TrIni ini;
} TrModule;

#ifdef __cplusplus
extern "C" {
#endif

TrModule *TrGetModule(void);
/* The settings back to their defaults. */
void TrIniDefaults(TrIni *ini);

/* Reads the settings file at `path` over the current settings (a missing file keeps them): 1 when
 * it was read. A field side outside 1..99 becomes the default 10. */
int TrReadIni(const char *path, TrIni *ini);
/* Writes the settings file whole: 1, or 0 when it cannot be written (the old file stays). */
int TrWriteIni(const char *path, const TrIni *ini);

/* Reads terrow.ini from the write folder into the module's settings, then replaces the full-screen
 * request and the frameless flag from the record's window mode: 1 or more sets both, a negative mode
 * only the frameless flag, 0 neither. */
void TrLoadSettings(void);
/* Writes terrow.ini with FullScreen := the frameless flag; the request in memory stays as loaded. */
int TrSaveSettings(void);

#ifdef __cplusplus
}
#endif

#endif
