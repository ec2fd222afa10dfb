/* VokScore: the one interface record of a run, the general and per-game settings, players and the
 * game mode and type. Every module reaches the shared state only through these exports and the
 * record's address that VokGetInterFace hands out. */
#ifndef VOKSCORE_VOKIFACE_H
#define VOKSCORE_VOKIFACE_H

#include <stdint.h>

#include "win32/wintypes.h"
#include "vokplat/export.h"

typedef struct br_pixelmap br_pixelmap;

/* Game identifiers: 0x4B4F5600 + game number. */
#define VOK_GAME_BASE 0x4B4F5600u
#define VOK_GAME_VARNEL 0x4B4F5600u
#define VOK_GAME_MOSSIK 0x4B4F5601u
#define VOK_GAME_TERROW 0x4B4F5602u
#define VOK_GAME_KELPA 0x4B4F5603u
#define VOK_GAME_DUNMAR 0x4B4F5604u
#define VOK_GAME_COUNT 5

/* Game kinds. */
#define VOK_KIND_FREE 100
#define VOK_KIND_CHALLENGE 101

/* Languages, also the index of the language folder. */
#define VOK_LANG_US 0
#define VOK_LANG_UK 1
#define VOK_LANG_GE 2
#define VOK_LANG_FR 3
#define VOK_LANG_HU 4

/* The choice of up to six lines (screen id 9): the caller points messageText at a VokChoiceRecord;
 * the screen writes the chosen line's id (1..count) into `chosen`. */
typedef struct VokChoiceEntry {
    const char *text;
} VokChoiceEntry;
typedef struct VokChoiceRecord {
    const VokChoiceEntry *entries; /* NULL: Enter acts as Escape */
    int32_t count;
    int32_t chosen;
} VokChoiceRecord;

/* gameFlags bits. */
#define VOK_GF_RESULT_SEEN 0x01u
#define VOK_GF_REPLAY 0x02u
#define VOK_GF_INTERFACE 0x20u

/* A key binding: the virtual key in the low byte, 0x4000 needs Ctrl, 0x2000 needs Shift. Mouse
 * bindings use the low byte 1 (left), 2 (right) and 4 (middle). */
typedef uint16_t KeyBinding;
#define VOK_KEY_CTRL 0x4000u
#define VOK_KEY_SHIFT 0x2000u

/* Per-game settings blocks: first dword the game's CD track, second its sound-effects switch, third
 * the game's option where it has one; the last dword travels with the block and means nothing here. */
typedef struct VnSettings {
    int32_t cdTrack;
    int32_t soundEffects;
    int32_t option;
    int32_t spare;
} VnSettings;

typedef struct MkSettings {
    int32_t cdTrack;
    int32_t soundEffects;
    int32_t tipText; /* 0 none, 1 available, 2 all */
    float params[6];
    int32_t spare;
} MkSettings;

typedef struct TrSettings {
    int32_t cdTrack;
    int32_t soundEffects;
    int32_t fastRun; /* 0 real time, 1 fast */
    KeyBinding keys[8];
    int32_t spare;
} TrSettings;

typedef struct KpSettings {
    int32_t cdTrack;
    int32_t soundEffects;
    int32_t speed; /* 0..8, also carried by players.lst */
    KeyBinding keys[3]; /* right turn, left turn, step */
    uint16_t pad;
    int32_t spare;
} KpSettings;

typedef struct DmSettings {
    int32_t cdTrack;
    int32_t soundEffects;
    int32_t spare;
} DmSettings;

#define VOK_GLOBAL_KEYS 11
#define VOK_SETTINGS_TEXT 256

typedef struct VokGeneralSettings {
    int32_t cdMusic;      /* CD music level, 0 off */
    int32_t soundEffects; /* effects level, 0 off */
    int32_t menuCdTrack;
    int32_t reserved[2];
    int32_t cursorToFocus;
    KeyBinding globalKeys[VOK_GLOBAL_KEYS];
    char texts[3][VOK_SETTINGS_TEXT];
    /* Varnel, Mossik, Terrow, Kelpa, Dunmar: the game's own block while it has registered one,
     * else the framework's copy. */
    void *gameBlocks[VOK_GAME_COUNT];
} VokGeneralSettings;

/* x, y, width and height of the ready part of screenPix. */
typedef struct VokImgRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
} VokImgRect;

typedef void (*VokImgThreadProc)(void *arg);
typedef void (*VokImgEndProc)(void);
typedef int (*VokReplayProc)(void);

/* imgFlags bits of the producer hand-off; both threads change the word with atomic operations. */
#define VOK_IMG_READY 0x01u
#define VOK_IMG_STOP 0x02u
#define VOK_IMG_MOUSE 0x04u

#define VOK_NAME_SIZE 32
#define VOK_PATH_SIZE 260

typedef struct VokInterFace {
    char *playerName; /* always the framework's 32-byte name buffer */
    uint32_t gameId;
    int32_t gameKind;
    int32_t levelFamily;
    int32_t levelNumber;
    int32_t subMode;
    char levelPath[256];
    char titleText[256];
    int32_t networkGame;
    int32_t speedIndex;
    int32_t colourChoice;
    uint32_t gameFlags;
    int32_t resultTime;
    int32_t resultValue;
    int32_t popupResult;
    int32_t inGame;
    int32_t windowMode; /* 0 window, -1 full screen 640x480x16 */
    HWND hostWnd;
    HWND ownerWnd;
    br_pixelmap *screenPix;
    int32_t bestRank1; /* rank reached in the first best-times table, -1 none */
    int32_t bestRank2; /* rank reached in the second table, -1 none */
    char *readRoot;    /* with a trailing backslash */
    char *writeRoot;   /* with a trailing backslash */
    HDC hostDC;
    char *messageText;
    HANDLE imgReadyEvent;
    HANDLE imgDoneEvent;
    uint32_t imgFlags;
    VokImgRect imgRect;
    VokImgThreadProc imgThreadProc;
    VokImgEndProc imgEndProc;
    VokReplayProc replayProc;
    VokGeneralSettings *generalSettings;
    br_pixelmap **imgFrameList;
    int32_t imgFrameCount;
    int32_t language;
    int32_t setupType;
    void *directDraw; /* the host's DirectDraw object, NULL in a window */
} VokInterFace;

/* One-time start (a second call resets the fields again). Always 1. */
VOK_EXPORT int InitVokScore(const char *dataFolder);
/* The record, started on first use, for the game `gameId`. */
VOK_EXPORT VokInterFace *VokGetInterFace(uint32_t gameId);
VOK_EXPORT int VokInitInterFace(HWND window);
VOK_EXPORT int VokCloseInterFace(void);

/* Rewrites players.lst for `name` and takes it as the player (at most 31 characters). 1, or 0 when
 * the name is NULL or the list cannot be written (the name buffer then stays as it was). */
VOK_EXPORT int VokSetPlayerName(const char *name);
/* Reads the last player from players.lst into the name buffer and copies it to `buffer` (32 bytes)
 * when given. */
VOK_EXPORT char *VokGetPlayerName(char *buffer);
/* The known player names of players.lst, one per slot of `slotSize` bytes: the number stored. */
VOK_EXPORT int VokReadPlayerNames(char *table, int slotSize, int count);

VOK_EXPORT int VokSetGameMode(int mode);
VOK_EXPORT int VokGetGameMode(void);
VOK_EXPORT int VokSetGameType(uint32_t id);
VOK_EXPORT uint32_t VokGetGameType(void);

VOK_EXPORT void ClearVelmoScore(void);
VOK_EXPORT void VokStartCapture(uint32_t gameId);
VOK_EXPORT void VokStopCapture(void);
VOK_EXPORT void VokKillCapture(void);
VOK_EXPORT void VokCaptureNow(void);
VOK_EXPORT int LoadVelmoScore(void);

/* The DirectSound object of the process, made for the first window the framework is given. */
VOK_EXPORT int VokCreateDirectSound(HWND window);
VOK_EXPORT void VokReleaseDirectSound(void);

/* Shows a message (printf-style) with the platform's answer codes: IDOK, IDCANCEL, IDYES, IDNO; 0
 * when the format is NULL. */
VOK_EXPORT int VokMessageBox(HWND window, unsigned type, const char *format, ...);
/* Notices for what this build lacks: menu sound 14 and a platform box; always 0. */
VOK_EXPORT int NotIncluded(void);
VOK_EXPORT int NotImplemented(void);

#endif
