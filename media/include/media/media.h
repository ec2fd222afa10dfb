/* Media, the playback library: CD audio, movies and the library's own animations behind integer
 * handles, driven by four commands and configured through parameter lists; every object reports to
 * its notify window with the messages MEDIAMSG_STOPPED .. MEDIAMSG_KEY.
 *
 * Parameter lists are (id, value) pairs ended by id 0. Every word after the fixed arguments of
 * OpenMedia, SetMediaParams and GetMediaParams is pointer-sized (intptr_t): values may be addresses.
 * C callers cast each word with MEDIA_W(); C++ callers use the MediaOpen/MediaSet/MediaGet helpers
 * below, which cast for them and add the closing 0. In a get-list each value is the address that
 * receives the answer; the width written depends on the id (see the MEDIAPARAM_ table). */
#ifndef MEDIA_MEDIA_H
#define MEDIA_MEDIA_H

#include <stdint.h>

#include "win32/wintypes.h"

#ifndef MEDIA_API
#ifdef __cplusplus
#define MEDIA_API extern "C" __attribute__((visibility("default")))
#else
#define MEDIA_API __attribute__((visibility("default")))
#endif
#endif

#define MEDIA_W(x) ((intptr_t)(x))

/* 1..2047; -1 is failure and never names an object. */
typedef int32_t MediaHandle;
#define MEDIA_MAX_HANDLES 2048
#define MEDIA_BAD_HANDLE (-1)

typedef enum MediaType {
    MEDIA_DSHOW_FULLSCREEN = 0,
    MEDIA_DSHOW_WINDOW = 1,
    MEDIA_DSHOW_FILTER = 2,
    MEDIA_DSHOW_STREAM = 3,
    MEDIA_MZI = 5,
    MEDIA_MZI_FRAME16 = 6,
    MEDIA_MZI_FRAME24 = 7,
    MEDIA_SOUND = 8,
    MEDIA_CDAUDIO = 10
} MediaType;

typedef enum MediaCommand {
    MEDIA_CMD_STOP = 0,
    MEDIA_CMD_PLAY = 1,
    MEDIA_CMD_PAUSE = 2,
    MEDIA_CMD_CONTINUE = 3
} MediaCommand;

/* Follows the last command: stop 5, play and continue 4, pause 6, anything else 7. */
typedef enum MediaState {
    MEDIA_STATE_PLAYING = 4,
    MEDIA_STATE_STOPPED = 5,
    MEDIA_STATE_PAUSED = 6,
    MEDIA_STATE_UNKNOWN = 7
} MediaState;

/* The last mouse or key message an object's movie window received. */
typedef struct MediaInputRecord {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
} MediaInputRecord;

/* Parameter ids. S: set-lists and OpenMedia; G: get-lists, with the width written. Kinds: CD audio
 * (CD), DirectShow movies (DS), the stream player (ST), .mzi players (MZ), every file-based kind (F). */
enum MediaParamId {
    MEDIAPARAM_END = 0,
    MEDIAPARAM_PARENT = 1,        /* S  CD F  parent window */
    MEDIAPARAM_NOTIFY = 2,        /* S  CD F  receiver of the notifications */
    MEDIAPARAM_VIDEOSTYLE = 3,    /* S  DS    video window style; 0: 0x46000000 */
    MEDIAPARAM_EXSTYLE = 4,       /* S  DS    extended style, stored; 0: 0x88 */
    MEDIAPARAM_PRIORITY = 6,      /* SG MZ    player thread priority (32 bits) */
    MEDIAPARAM_REDRAW = 7,        /* S  MZ    redraw now */
    MEDIAPARAM_MODULE = 8,        /* SG MZ    module holding movie resources (pointer) */
    MEDIAPARAM_LEFT = 9,          /* SG F     moves the destination rectangle (32 bits) */
    MEDIAPARAM_TOP = 10,          /* SG F     moves the destination rectangle (32 bits) */
    MEDIAPARAM_WIDTH = 11,        /* SG F     right = left + value (32 bits) */
    MEDIAPARAM_HEIGHT = 12,       /* SG F     bottom = top + value (32 bits) */
    MEDIAPARAM_RECT = 13,         /* SG F     address of four 32-bit words left, top, right, bottom */
    MEDIAPARAM_FRAMERECT = 14,    /*  G MZ    rectangle of the frame last drawn (four 32-bit words) */
    MEDIAPARAM_SOURCERECT = 15,   /*  G F     source rectangle (four 32-bit words) */
    MEDIAPARAM_BLEND = 16,        /* SG MZ    blend mode (8 bits) */
    MEDIAPARAM_PINGPONG = 17,     /* SG MZ    play backwards at the end (8 bits) */
    MEDIAPARAM_PIXELS = 18,       /*  G MZ    address of the pixels shown (pointer) */
    MEDIAPARAM_BACKGROUND = 19,   /* S  MZ    background pixel map */
    MEDIAPARAM_COPYBACKGROUND = 20, /* S MZ   copies the background at once */
    MEDIAPARAM_DIRECTDRAW = 21,   /* S  ST    DirectDraw object */
    MEDIAPARAM_SURFACE = 22,      /* SG ST    target surface (pointer) */
    MEDIAPARAM_STREAMWORD1 = 23,  /* SG ST    stored for the caller (pointer-sized) */
    MEDIAPARAM_STREAMWORD2 = 24,
    MEDIAPARAM_STREAMWORD3 = 25,
    MEDIAPARAM_COMMAND = 28,      /* SG F     set: run a MediaCommand; get: the MediaState (32 bits) */
    MEDIAPARAM_HOLDATEND = 29,    /* S  F     pause on the last frame at the end */
    MEDIAPARAM_FRAMES = 30,       /*  G F     number of frames (32 bits) */
    MEDIAPARAM_FRAME = 31,        /* SG F     current frame; set only within 0..frames-1 (32 bits) */
    MEDIAPARAM_FPS = 32,          /* SG F     frames per second; set only above 0 (16 bits) */
    MEDIAPARAM_MEASUREDFPS = 33,  /*  G F     measured rate in hundredths (16 bits) */
    MEDIAPARAM_RANGESTART = 36,   /* SG F     (32 bits) */
    MEDIAPARAM_RANGEEND = 37,     /* SG F     0: no range end (32 bits) */
    MEDIAPARAM_LOOP = 38,         /* SG F CD  (8 bits) */
    MEDIAPARAM_TOLAST = 39,       /* SG CD    play on to the last track (8 bits) */
    MEDIAPARAM_POSHIGH = 40,      /* SG DS    high half of the graph position in frames (32 bits) */
    MEDIAPARAM_POSLOW = 41,       /* SG DS    low half; set only stores it (32 bits) */
    MEDIAPARAM_TRACK = 42,        /* S  CD    first track to play */
    MEDIAPARAM_VOLUME = 45,       /* SG CD    CD volume 0..255 (32 bits) */
    MEDIAPARAM_USER1 = 47,        /* SG F     caller words, stored unchanged (pointer-sized) */
    MEDIAPARAM_USER2 = 48,
    MEDIAPARAM_USER3 = 49,
    MEDIAPARAM_USER4 = 50,
    MEDIAPARAM_PICTURE = 51       /*  G DS MZ copies the frame shown, scaled, into a MediaPicture (its address) */
};

/* A caller's picture for MEDIAPARAM_PICTURE: RGB 5-6-5, top row first, `rowBytes` a row. */
typedef struct MediaPicture {
    void *pixels;
    int32_t width, height, rowBytes;
} MediaPicture;

/* Notifications, sent to the notify window with wParam = the object's handle. */
#define MEDIAMSG_FIRST 0x1400
#define MEDIAMSG_STOPPED 0x1400      /* current frame or position; 0 at the natural end */
#define MEDIAMSG_PAUSED 0x1401       /* current frame */
#define MEDIAMSG_CONTINUED 0x1402    /* current frame or position */
#define MEDIAMSG_STARTED 0x1403      /* start frame or position */
#define MEDIAMSG_STATE 0x1404        /* the new MediaState */
#define MEDIAMSG_FRAMEDECODED 0x1405 /* frame number */
#define MEDIAMSG_FRAMEDRAWN 0x1406   /* frame number */
#define MEDIAMSG_FIRSTFRAME 0x1407   /* 0 */
#define MEDIAMSG_LASTFRAME 0x1408    /* frame number or position */
#define MEDIAMSG_RANGESTART 0x1409   /* frame number */
#define MEDIAMSG_RANGEEND 0x140A     /* frame number */
#define MEDIAMSG_MOUSE 0x140B        /* address of the object's MediaInputRecord */
#define MEDIAMSG_KEY 0x140C          /* address of the object's MediaInputRecord */
#define MEDIAMSG_LAST 0x140C

/* Opens an object of `type` from `source` (a path, a resource number, an address of pixels or a first
 * CD track, by kind) and applies the list. A handle, or -1: table full, unknown type, object that
 * could not be built. */
MEDIA_API MediaHandle OpenMedia(int32_t type, intptr_t source, ...);
/* 1, or 0 for an unknown handle. */
MEDIA_API int32_t CloseMedia(MediaHandle handle);
MEDIA_API int32_t PlayMedia(MediaHandle handle);
MEDIA_API int32_t PauseMedia(MediaHandle handle);
MEDIA_API int32_t ContinueMedia(MediaHandle handle);
MEDIA_API int32_t StopMedia(MediaHandle handle);
/* MEDIA_STATE_UNKNOWN for an unknown handle. */
MEDIA_API int32_t GetMediaState(MediaHandle handle);
/* The object's input record (valid until CloseMedia); NULL for an unknown handle. */
MEDIA_API MediaInputRecord *GetMediaMsgExtraInfo(MediaHandle handle);
/* Hand a list to the object; an unknown handle does nothing. 1 when an object took the list, else 0
 * (callers need not look). */
MEDIA_API int32_t SetMediaParams(MediaHandle handle, ...);
MEDIA_API int32_t GetMediaParams(MediaHandle handle, ...);
/* The stand-alone movie viewer entry: a window, an instance, a command line naming an .mzi movie and a
 * show state. Ends the process. */
MEDIA_API void DllPlayMedia(HWND window, HINSTANCE instance, LPSTR commandLine, int showState);

#ifdef __cplusplus
/* Lists with every word widened to pointer size and the closing 0 added. */
template <class Source, class... Words>
inline MediaHandle MediaOpen(int32_t type, Source source, Words... words)
{
    return OpenMedia(type, MEDIA_W(source), MEDIA_W(words)..., MEDIA_W(0));
}
template <class... Words>
inline int32_t MediaSet(MediaHandle handle, Words... words)
{
    return SetMediaParams(handle, MEDIA_W(words)..., MEDIA_W(0));
}
template <class... Words>
inline int32_t MediaGet(MediaHandle handle, Words... words)
{
    return GetMediaParams(handle, MEDIA_W(words)..., MEDIA_W(0));
}
#endif

#endif
