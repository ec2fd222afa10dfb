// Media clips of the scenes: open, the command table, one clip of a group, and the notifications.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "media_layer.h"
#include "vokscore/vokpath.h"

namespace vok {

namespace {

struct ClipState {
    br_pixelmap *background = nullptr;
    ClipNotices notices;
    std::vector<MediaHandle> ended; // clips whose last frame was reported since they last started
};


ClipState &clips()
{
    static ClipState s;
    return s;
}

void forget_end(MediaHandle h)
{
    auto &e = clips().ended;
    e.erase(std::remove(e.begin(), e.end(), h), e.end());
}

bool has_mzi(const char *name)
{
    return strstr(name, ".mzi") != nullptr;
}

int open_clip(MediaClip &c)
{
    const char *path = VokFindAndMakePath("Data\\", "%s", c.file);
    if (path == nullptr)
        return 0;
    const int32_t type = has_mzi(c.file) ? MEDIA_MZI : MEDIA_DSHOW_WINDOW;
    c.handle = MediaOpen(type, path, MEDIAPARAM_PARENT, media_window());
    if (c.handle == MEDIA_BAD_HANDLE)
        return 0;
    if (c.flags & kClipFullScreen) {
        int32_t rect[4] = {0, 0, 640, 480};
        MediaSet(c.handle, MEDIAPARAM_RECT, rect);
    } else {
        MediaSet(c.handle, MEDIAPARAM_HOLDATEND, 1, MEDIAPARAM_LEFT, c.x, MEDIAPARAM_TOP, c.y);
    }
    int32_t source[4] = {};
    MediaGet(c.handle, MEDIAPARAM_FRAMES, &c.frames, MEDIAPARAM_SOURCERECT, source);
    c.width = source[2] - source[0];
    c.height = source[3] - source[1];
    return 1;
}

int set_range(MediaClip &c, bool swing, bool hold)
{
    int ok = MediaSet(c.handle, MEDIAPARAM_RANGESTART, 0, MEDIAPARAM_RANGEEND, c.frames, 34,
                      swing ? c.frames - 1 : 0, MEDIAPARAM_PINGPONG, swing ? 1 : 0, MEDIAPARAM_LOOP, 1);
    if (hold)
        ok &= MediaSet(c.handle, MEDIAPARAM_HOLDATEND, 1);
    return ok;
}

int one_command(int command, MediaClip &c)
{
    switch (command) {
    case kClipOpen:
        return open_clip(c);
    case kClipClose: {
        const int ok = CloseMedia(c.handle);
        c.handle = MEDIA_BAD_HANDLE;
        return ok;
    }
    case kClipPlay:
        forget_end(c.handle);
        c.flags &= ~kClipStopped;
        return PlayMedia(c.handle);
    case kClipPause:
        return PauseMedia(c.handle);
    case kClipContinue:
        forget_end(c.handle);
        c.flags &= ~kClipStopped;
        return ContinueMedia(c.handle);
    case kClipStop:
        c.flags |= kClipStopped;
        return StopMedia(c.handle);
    case kClipBackground: {
        int ok = 1;
        if (clips().background != nullptr)
            ok = MediaSet(c.handle, MEDIAPARAM_BACKGROUND, clips().background);
        return ok & MediaSet(c.handle, MEDIAPARAM_COPYBACKGROUND, 1);
    }
    case kClipRedraw:
        return MediaSet(c.handle, MEDIAPARAM_REDRAW, 1);
    case kClipRangeOnce:
    case kClipRangeOnce2:
        return set_range(c, false, command == kClipRangeOnce);
    case kClipRangeSwing:
    case kClipRangeSwing2:
        return set_range(c, true, command == kClipRangeSwing);
    case kClipPauseRewind:
        return PauseMedia(c.handle) & MediaSet(c.handle, MEDIAPARAM_FRAME, 0);
    case kClipRewind:
        return MediaSet(c.handle, MEDIAPARAM_FRAME, 0);
    case kClipSave: {
        int32_t position = 0;
        const int ok = MediaGet(c.handle, MEDIAPARAM_FRAME, &position);
        c.savedPosition = position;
        return ok & one_command(kClipStop, c);
    }
    case kClipRestore:
        return MediaSet(c.handle, MEDIAPARAM_FRAME, c.savedPosition) & one_command(kClipContinue, c);
    default:
        return 0;
    }
}

}  // namespace

int clip_command(int command, MediaClip *first, int count)
{
    if (first == nullptr || count < 0)
        return 0;
    int ok = 1;
    for (int i = 0; i < count; i++)
        ok &= one_command(command, first[i]) != 0 ? 1 : 0;
    return ok;
}

MediaClip *clip_for_ikon(const char *file, int32_t x, int32_t y, void *scene, void *session, void *ikon)
{
    if (file == nullptr)
        return nullptr;
    auto *c = new MediaClip;
    c->flags = kClipAllocated;
    c->x = x;
    c->y = y;
    snprintf(c->file, sizeof c->file, "%s", file);
    if (!open_clip(*c)) {
        clip_free(c);
        return nullptr;
    }
    c->rangeStart = 0;
    c->rangeEnd = c->frames;
    MediaSet(c->handle, MEDIAPARAM_USER1, scene, MEDIAPARAM_USER2, session, MEDIAPARAM_USER3, ikon);
    return c;
}

void clip_select(MediaClip *clips, int count, int *current, int index)
{
    if (clips == nullptr || count <= 0 || current == nullptr)
        return;
    if (index >= count || index < 0)
        index = 0;
    if (index == *current)
        return;
    *current = index;
    for (int i = 0; i < count; i++) {
        MediaClip &c = clips[i];
        if (i == index) {
            MediaSet(c.handle, MEDIAPARAM_RANGESTART, c.rangeStart, MEDIAPARAM_RANGEEND, c.rangeEnd,
                     MEDIAPARAM_LOOP, 0);
            ContinueMedia(c.handle);
        } else {
            PauseMedia(c.handle);
            MediaSet(c.handle, MEDIAPARAM_RANGESTART, 0, MEDIAPARAM_RANGEEND, 0, MEDIAPARAM_PINGPONG, 0,
                     MEDIAPARAM_LOOP, 0, MEDIAPARAM_FRAME, 0);
        }
    }
}

void clip_free(MediaClip *clip)
{
    if (clip == nullptr)
        return;
    if (clip->handle != MEDIA_BAD_HANDLE) {
        forget_end(clip->handle);
        CloseMedia(clip->handle);
    }
    if (clip->flags & kClipAllocated)
        delete clip;
    else
        *clip = MediaClip{};
}

bool clip_ended(const MediaClip *clip)
{
    if (clip == nullptr || clip->handle == MEDIA_BAD_HANDLE)
        return false;
    const auto &e = clips().ended;
    return std::find(e.begin(), e.end(), clip->handle) != e.end();
}

void set_clip_background(br_pixelmap *background)
{
    clips().background = background;
}

ClipNotices &clip_notices()
{
    return clips().notices;
}

bool clip_notification(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message < MEDIAMSG_FIRST || message > MEDIAMSG_LAST)
        return false;
    ClipNotices &n = clips().notices;
    switch (message) {
    case MEDIAMSG_PAUSED:
        MediaGet(MediaHandle(wParam), MEDIAPARAM_USER1, &n.scene, MEDIAPARAM_USER2, &n.session,
                 MEDIAPARAM_USER3, &n.ikon);
        break;
    case MEDIAMSG_FRAMEDECODED:
        n.waitTime = lParam;
        break;
    case MEDIAMSG_LASTFRAME:
        n.waitTime = 10000;
        forget_end(MediaHandle(wParam));
        clips().ended.push_back(MediaHandle(wParam));
        break;
    case MEDIAMSG_MOUSE:
        n.mouse = lParam;
        break;
    default:
        break;
    }
    return true;
}

}  // namespace vok
