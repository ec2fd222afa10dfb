// The movie screens: a full-screen clip that slides in from the top and bottom edges like a curtain
// and slides back out when it ends.
#include <math.h>
#include <string.h>

#include <vector>

#include "brondel/brpixmap.h"
#include "help.h"
#include "media_layer.h"
#include "preview.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokplat/window.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokpath.h"
#include "vokscore/vokpopup.h"

namespace vok {

namespace {

constexpr int kLoadingText = 59, kMissingText = 60;
constexpr int kWidth = 640, kHeight = 480, kHalf = 240;
constexpr int kCurtainSteps = 20;
constexpr double kCurtainAngle = 0.07853981633974483; // pi / 40
constexpr uint32_t kCurtainMs = 50;
constexpr int kEnded = 10000;
const char *const kGameMovies[] = {"vn.dat", "mk.dat", "fw.dat", "kp.dat", "dm.dat"};

struct Movie {
    bool support = false;     // entry 53: "sup.dat"
    MediaClip *clip = nullptr;
    bool curtainOpen = false;
    bool musicStopped = false;
    bool started = false;
    int progress = -1;
    std::vector<uint16_t> under;   // the picture under the scene when the curtain opened
    std::vector<uint16_t> picture; // the movie's picture, 640 x 480
};

Movie &movie()
{
    static Movie m;
    return m;
}

// The movie's picture now, scaled to the screen; false when the clip cannot give one.
bool take_picture()
{
    Movie &m = movie();
    m.picture.assign(size_t(kWidth) * kHeight, 0);
    MediaPicture p{m.picture.data(), kWidth, kHeight, kWidth * 2};
    int32_t frames = 0;
    return m.clip && MediaGet(m.clip->handle, MEDIAPARAM_FRAMES, &frames, MEDIAPARAM_PICTURE, &p) && frames > 0;
}

// One curtain step: the top `b` rows show the movie's rows 240 - b .. 239, the bottom `b` rows its
// rows 240 .. 240 + b - 1, the rows between the picture under the scene.
void curtain(VokScene *scene, br_pixelmap *pic, int b, bool havePicture, int step)
{
    const std::vector<uint16_t> &under = movie().under;
    for (int y = 0; y < pic->height && y < kHeight; y++) {
        auto *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(pic->pixels) + ptrdiff_t(y) * pic->row_bytes);
        int from = -1;
        if (havePicture && y < b)
            from = kHalf - b + y;
        else if (havePicture && y >= kHeight - b)
            from = kHalf + (y - (kHeight - b));
        if (from >= 0) {
            memcpy(row, movie().picture.data() + size_t(from) * kWidth, size_t(std::min<int>(pic->width, kWidth)) * 2);
        } else if (!under.empty()) {
            memcpy(row, under.data() + size_t(y) * kWidth, size_t(std::min<int>(pic->width, kWidth)) * 2);
        }
    }
    if (help_frame_hook())
        help_frame_hook()(step, pic);
    MnuPaintScreen(scene, 1);
}

void run_curtain(VokScene *scene, bool opening, bool have)
{
    br_pixelmap *pic = scene->sessions[0].pix;
    if (!pic || pic->type != BR_PMT_RGB_565)
        return;
    uint32_t last = timeGetTime();
    for (int k = 1; k <= kCurtainSteps; k++) {
        double angle = k * kCurtainAngle;
        int b = int((opening ? sin(angle) : cos(angle)) * kHalf);
        curtain(scene, pic, std::clamp(b, 0, kHalf), have, (opening ? 200 : 300) + k - 1);
        // The step reaches the display before the wait for the next one.
        VokPump();
        while (timeGetTime() - last < kCurtainMs)
            Sleep(1);
        last = timeGetTime();
    }
}

void restart_music()
{
    Movie &m = movie();
    if (m.musicStopped)
        VokReplayCDtrack(general().menuCdTrack);
    m.musicStopped = false;
}

void close_clip()
{
    Movie &m = movie();
    if (m.clip) {
        clip_free(m.clip);
        m.clip = nullptr;
    }
}

// Steps 0 and 1 only pass; step 2 opens the clip and the curtain; later steps watch the clip.
int movie_frame(VokSessionProc *p)
{
    VokScene *scene = engine().running;
    Movie &m = movie();
    if (!scene)
        return 1;
    intptr_t step = p->words[0]++;
    if (step < 2)
        return 1;
    if (step == 2) {
        VokSession *s = p->session;
        if (s->pix && engine().fonts && PxSelectFont(engine().fonts, 0) && text(kLoadingText))
            PxShowText(s->pix, 55, 450, text(kLoadingText));
        MnuPaintScreen(scene, 1);
        const char *name = m.support ? "sup.dat" : kGameMovies[std::clamp<int>(int(iface().gameId & 0xFF), 0, 4)];
        if (VokFindAndMakePath("Data\\", "%s", name)) {
            VokStopCD();
            m.musicStopped = true;
            auto *c = new MediaClip;
            c->flags = kClipAllocated | kClipFullScreen;
            snprintf(c->file, sizeof c->file, "%s", name);
            if (clip_command(kClipOpen, c, 1))
                m.clip = c;
            else
                clip_free(c);
        }
        if (!m.clip) {
            if (text(kMissingText))
                VokMessageBox(iface().ownerWnd, 0, "%s", text(kMissingText));
            restart_music();
            engine().runningFlag = false;
            return 1;
        }
        // The picture under the scene is kept for the closing: the scene may lose it before its end.
        m.under.assign(size_t(kWidth) * kHeight, 0);
        if (br_pixelmap *under = scene->underPix)
            for (int y = 0; y < kHeight && y < under->height; y++)
                memcpy(m.under.data() + size_t(y) * kWidth,
                       static_cast<const uint8_t *>(under->pixels) + ptrdiff_t(y) * under->row_bytes,
                       size_t(std::min<int>(kWidth, under->width)) * 2);
        m.curtainOpen = true;
        run_curtain(scene, true, take_picture());
        m.started = false;
        clip_command(kClipPlay, m.clip, 1);
        return 1;
    }
    if (!m.clip)
        return 1;
    int32_t frame = 0;
    MediaGet(m.clip->handle, MEDIAPARAM_FRAME, &frame);
    int state = GetMediaState(m.clip->handle);
    if (state == MEDIA_STATE_PLAYING)
        m.started = true;
    m.progress = (m.started && state == MEDIA_STATE_STOPPED) || clip_ended(m.clip) ? kEnded : frame;
    if (m.progress > 9999)
        engine().runningFlag = false;
    return 1;
}

// The end: the clip closes and the curtain slides back out over the edges.
void movie_end(VokSessionProc *p)
{
    Movie &m = movie();
    VokScene *scene = engine().running;
    if (m.clip && m.curtainOpen && scene) {
        // The clip's window goes first, so that the curtain is seen sliding out.
        bool have = take_picture();
        close_clip();
        run_curtain(scene, false, have);
    }
    close_clip();
    m.curtainOpen = false;
    m.progress = -1;
    m.picture.clear();
    m.under.clear();
    restart_music();
    (void)p;
}

int movie_init(VokSession *s, bool support)
{
    Movie &m = movie();
    m.support = support;
    m.curtainOpen = false;
    AddProcToSession(s, nullptr, movie_frame, nullptr, movie_end);
    return 1;
}

int game_movie(VokSession *s)
{
    return movie_init(s, false);
}

int support_movie(VokSession *s)
{
    return movie_init(s, true);
}

// The results animation: once (until a game is chosen again), after the results screen's first
// picture, the game's movie (or the support movie without it) runs over it while the game's producer
// pauses; then the screen is drawn whole again.
bool g_resultsMovieShown = false;
constexpr int kGameMovieEntry = 52, kSupportMovieEntry = 53;

int results_movie_frame(VokSessionProc *p)
{
    // It follows the producer's first picture.
    if (g_resultsMovieShown || preview_waiting_first() || p->words[0]++ < 1)
        return 1;
    g_resultsMovieShown = true;
    VokInterFace &f = iface();
    int game = std::clamp<int>(int(f.gameId & 0xFF), 0, 4);
    bool gameClip = VokFindAndMakePath("Data\\", "%s", kGameMovies[game]) != nullptr;
    SceneEngine &e = engine();
    bool mayStart = e.mayStart;
    e.mayStart = true;
    VokImgFlagsSet(&f, VOK_IMG_PAUSE);
    run_screen(gameClip ? kGameMovieEntry : kSupportMovieEntry);
    VokImgFlagsClear(&f, VOK_IMG_PAUSE);
    e.mayStart = mayStart;
    // The producer's next picture is drawn whole, whatever part it names.
    preview_full_redraw();
    if (VokScene *scene = e.running) {
        for (int i = 0; i < scene->sessionCount; i++) {
            scene->sessions[i].state |= VOK_SST_FULL;
            VokAddDirtyRect(&scene->sessions[i], nullptr);
        }
        MnuPaintScreen(scene, 1);
    }
    return 1;
}

int results_movie(VokSession *s)
{
    AddProcToSession(s, nullptr, results_movie_frame, nullptr, nullptr);
    return 1;
}

struct Registered {
    Registered()
    {
        add_routine("resultsMovie", kRoutineSession, reinterpret_cast<void *>(&results_movie));
        add_routine("gameMovie", kRoutineSession, reinterpret_cast<void *>(&game_movie));
        add_routine("supportMovie", kRoutineSession, reinterpret_cast<void *>(&support_movie));
    }
} g_registered;

}  // namespace

void results_movie_reset()
{
    g_resultsMovieShown = false;
}

bool &results_movie_flag()
{
    return g_resultsMovieShown;
}

int movie_progress()
{
    return movie().progress;
}

bool movie_key(VokScene *scene, UINT message, WPARAM key)
{
    if (!scene || scene->screenId != 39 || message != WM_KEYDOWN)
        return false;
    // Enter or Escape ends the movie; popupResult stays as it was.
    if (key == VK_RETURN || key == VK_ESCAPE)
        engine().runningFlag = false;
    return true;
}

}  // namespace vok
