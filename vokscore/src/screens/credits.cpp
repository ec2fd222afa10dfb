// The credits screen: a page clip and a clip for each of four parts, over the credits text; without
// all five clips the plain text page shows.
#include <string.h>

#include "help.h"
#include "media_layer.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokpath.h"
#include "vokscore/vokpopup.h"
#include "vokscore/voksound.h"

namespace vok {

namespace {

constexpr int kClips = 5, kPage = 0;
constexpr int kClipX = 160, kClipY = 100;
constexpr int kReplay = 9, kContinue = 26, kPause = 27, kBack = 5, kSoundBack = 13;
constexpr int kEnded = 10000;
const char *const kClipFiles[kClips] = {"crpage.dat", "cr1.dat", "cr2.dat", "cr3.dat", "cr4.dat"};

struct Credits {
    MediaClip *clips[kClips] = {};
    bool all = false;
    int current = -1;
    bool paused = false;
    bool started = false; // the current clip was seen playing
    int progress = -1;
    SoundSet *sounds = nullptr;
    VokLoopHandle loop = 0;
};

Credits &credits()
{
    static Credits c;
    return c;
}

void stop_loop()
{
    Credits &c = credits();
    if (c.loop)
        VokStopLoopSound(c.loop);
    c.loop = 0;
}

void start_loop()
{
    Credits &c = credits();
    if (!c.loop && c.sounds)
        c.loop = VokPlayLoopSound(c.sounds, 0);
}

void close_all()
{
    Credits &c = credits();
    stop_loop();
    if (c.sounds)
        c.sounds = VokKillSound(c.sounds);
    for (MediaClip *&clip : c.clips)
        if (clip) {
            clip_free(clip);
            clip = nullptr;
        }
    c.all = false;
    c.current = -1;
    c.paused = false;
    c.progress = -1;
}

// Clip `index` plays from its start; the others wait rewound.
void play(int index)
{
    Credits &c = credits();
    for (int i = 0; i < kClips; i++)
        if (i != index)
            clip_command(kClipPauseRewind, c.clips[i], 1);
    c.current = index;
    c.paused = false;
    c.started = false;
    clip_command(kClipRewind, c.clips[index], 1);
    clip_command(kClipPlay, c.clips[index], 1);
}

void open_clips(VokScene *scene, VokSession *text)
{
    Credits &c = credits();
    int opened = 0;
    for (int i = 0; i < kClips; i++) {
        c.clips[i] = clip_for_ikon(kClipFiles[i], scene->curX + kClipX, scene->curY + kClipY, scene, text, nullptr);
        opened += c.clips[i] != nullptr;
    }
    VokSession *buttons = FindSession(kHelpButtons);
    if (opened < kClips) {
        // Without every clip the parts have nothing to show: the plain page.
        close_all();
        for (int id = 1; id <= 4; id++)
            help_show_ikon(buttons, id, false);
        for (int id : {kReplay, kContinue, kPause})
            help_show_ikon(buttons, id, false);
        help_layout(text, special_text(kCredits), 10);
        return;
    }
    c.all = true;
    help_layout(text, "", 10);
    if (const char *pack = VokMakeDataPath("cw.pck"))
        c.sounds = VokInitSound(pack);
    play(kPage);
}

int credits_frame(VokSessionProc *p)
{
    VokScene *scene = engine().running;
    Credits &c = credits();
    if (!scene)
        return 1;
    if (!p->words[0]) {
        p->words[0] = 1;
        open_clips(scene, p->session);
        return 1;
    }
    if (!c.all || c.current < 0 || c.paused)
        return 1;
    MediaClip *clip = c.clips[c.current];
    int32_t frame = 0;
    MediaGet(clip->handle, MEDIAPARAM_FRAME, &frame);
    int state = GetMediaState(clip->handle);
    if (state == MEDIA_STATE_PLAYING)
        c.started = true;
    c.progress = (c.started && state == MEDIA_STATE_STOPPED) || clip_ended(clip) ? kEnded : frame;
    if (c.progress >= kEnded) {
        // At its end: the page again, with the loop under it when nothing else plays.
        clip_command(kClipPauseRewind, clip, 1);
        for (int i = 0; i < kClips; i++)
            if (i != kPage)
                clip_command(kClipPauseRewind, c.clips[i], 1);
        c.current = kPage;
        c.paused = true;
        c.progress = 0;
        start_loop();
    }
    return 1;
}

void credits_end(VokSessionProc *)
{
    close_all();
}

int credits_init(VokSession *s)
{
    AddProcToSession(s, nullptr, credits_frame, nullptr, credits_end);
    return 1;
}

struct Registered {
    Registered() { add_routine("creditsText", kRoutineSession, reinterpret_cast<void *>(&credits_init)); }
} g_registered;

}  // namespace

int credits_current()
{
    return credits().current;
}

int credits_progress()
{
    return credits().progress;
}

bool credits_paused()
{
    return credits().paused;
}

bool credits_key(VokScene *scene, VokSession *focus, UINT message, WPARAM key)
{
    if (!scene || scene->screenId != 32 || message != WM_KEYDOWN)
        return false;
    if (key != VK_RETURN && key != VK_ESCAPE)
        return true;
    int id = key == VK_RETURN && focus && focus->focused ? focus->focused->id : kBack;
    if (id == kBack) {
        VokChooseButton(focus, kBack, kSoundBack, 0);
        return true;
    }
    press_button(focus, FindIkon(focus, id), false);
    Credits &c = credits();
    if (!c.all)
        return true;
    if (id >= 1 && id <= 4) {
        stop_loop();
        play(id);
    } else if (id == kReplay) {
        if (c.current != kPage) {
            clip_command(kClipPauseRewind, c.clips[c.current], 1);
            c.current = kPage;
            c.paused = true;
        } else {
            stop_loop();
            play(kPage);
        }
    } else if (id == kPause && !c.paused && c.current >= 0) {
        clip_command(kClipPause, c.clips[c.current], 1);
        c.paused = true;
    } else if ((id == kPause || id == kContinue) && c.paused && c.current >= 0) {
        clip_command(kClipContinue, c.clips[c.current], 1);
        c.paused = false;
    }
    return true;
}

}  // namespace vok
