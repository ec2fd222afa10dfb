// Media clips inside scenes and the notifications the scene window takes from the playback library.
// The scene engine owns scenes, sessions and ikons; this layer only carries their addresses.
#pragma once

#include <stdint.h>

#include "media/media.h"
#include "vokscore/vokiface.h"

namespace vok {

constexpr uint32_t kClipAllocated = 0x80000000u;  // record made by the engine, freed with the clip
constexpr uint32_t kClipFullScreen = 0x40000000u; // 640 x 480 at 0, 0
constexpr uint32_t kClipStopped = 0x02u;

struct MediaClip {
    uint32_t flags = 0;
    int32_t x = 0, y = 0;
    int32_t rangeStart = 0, rangeEnd = 0;
    int32_t frames = 0;
    char file[VOK_PATH_SIZE] = {};
    int32_t width = 0, height = 0;
    MediaHandle handle = MEDIA_BAD_HANDLE;
    int32_t savedPosition = 0;
};

// What the last notifications told: the clip's owners (from its caller words), its wait time and the
// last mouse value.
struct ClipNotices {
    void *scene = nullptr;
    void *session = nullptr;
    void *ikon = nullptr;
    intptr_t waitTime = 0;
    intptr_t mouse = 0;
};

// The window the framework's media objects report to: the popup window.
HWND media_window();
// The CD volume read at open, -1 when the CD is not open.
int cd_volume();

enum ClipCommand {
    kClipOpen = 0, kClipClose, kClipPlay, kClipPause, kClipContinue, kClipStop, kClipBackground,
    kClipRedraw, kClipRangeOnce, kClipRangeOnce2, kClipRangeSwing, kClipRangeSwing2, kClipPauseRewind,
    kClipRewind, kClipSave, kClipRestore
};

// Runs a command on `count` records from `first`; 1 when every step succeeded, else 0.
int clip_command(int command, MediaClip *first, int count);
// A clip over an ikon: at (x, y) (the session's plus the ikon's position), the whole clip as range and
// the three owners as the object's caller words. Null when it does not open (nothing is kept).
MediaClip *clip_for_ikon(const char *file, int32_t x, int32_t y, void *scene, void *session, void *ikon);
// Continues clip `index` of a group (past the end: 0) and pauses and rewinds the others; the same index
// as `*current` does nothing.
void clip_select(MediaClip *clips, int count, int *current, int index);
// True once the clip reported its last frame (MEDIAMSG_LASTFRAME), until it plays again.
bool clip_ended(const MediaClip *clip);
// Closes the clip; a record the engine made is freed, another is cleared.
void clip_free(MediaClip *clip);

// The background pixel map the scene gives its clips (command 6), or null.
void set_clip_background(br_pixelmap *background);

// Takes a notification of the playback library before the scene window handles anything else: true
// for every message of its range.
bool clip_notification(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
ClipNotices &clip_notices();

}  // namespace vok
