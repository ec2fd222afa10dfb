// The help screens and the story screen. The current table entry is the help page; a page of text is
// drawn into the text session's background, as high as the text needs, and scrolled there.
#include "help.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "media_layer.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokplat/window.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokpath.h"
#include "vokscore/vokpopup.h"
#include "vokscore/voksound.h"

namespace vok {

namespace {

constexpr int kBack = 5, kSoundBack = 13;
constexpr int kFirstGroup = 18, kLastGroup = 21;
constexpr int kGroupPage[] = {kHelpRules, kHelpSecond, kHelpTips, kHelpDemo};
constexpr int kVarnel = 0;
constexpr int kLoadingText = 11, kNoDemoText = 12;
constexpr int kMargin = 10;
// Story: the empty band under the text, the moves of the keys.
constexpr int kStoryBand = 64, kStoryPageLess = 14, kStoryStep = 7, kMaxSections = 3;
// Pictures of the short help, ids of the text session's picture ikons.
constexpr int kFirstPicture = 60;
enum { kPicUnscramble, kPicLearn, kPicFree, kPicStudy, kPicCreate, kPictureCount };
constexpr int kStudyFree = 6;
// The demo movie: where it plays, the frames let pass before it opens, the frame's colour.
constexpr int kClipX = 158, kClipY = 108, kClipW = 320, kClipH = 240;
constexpr int kDemoWaitFrames = 3;
constexpr uint16_t kFrameColour = 992;
constexpr uint32_t kStepMs = 20;
constexpr int kCueLines = 16;
constexpr int kClipEnded = 10000;
const char *const kDemoFiles[] = {"vn.dat", "mk.dat", "fw.dat", "kp.dat", "dm.dat"};

struct Help {
    bool gamePageOpen = false;
    int position[VOK_GAME_COUNT] = {};
    int lines = 0;
    int sections[kMaxSections] = {};
    int sectionCount = 0;
    // The demo movie.
    int demoWait = 0;     // frames still to pass before the clip opens
    int demoGame = -1;    // the game whose clip is open
    MediaClip *clip = nullptr;
    SoundSet *sounds = nullptr;
    VokLoopHandle loop = 0;
    bool started = false; // the clip was seen playing
    bool held = false;    // stopped while another screen runs over the page
    int progress = -1;
    const char *cue = nullptr;
};

Help &help()
{
    static Help h;
    return h;
}

int game_of_record()
{
    int game = int(iface().gameId & 0xFF);
    return game >= 0 && game < VOK_GAME_COUNT ? game : 0;
}

bool is_help_screen(const VokScene *scene)
{
    return scene && ((scene->screenId >= 30 && scene->screenId <= 31) ||
                     (scene->screenId >= 33 && scene->screenId <= 37));
}

void show_ikon(VokSession *s, int id, bool shown)
{
    if (VokIkon *k = s ? FindIkon(s, id) : nullptr) {
        bool hidden = (k->state & VOK_IST_HIDDEN) != 0;
        // Shown again even when it was not hidden: a hidden neighbour may have covered its place.
        if (shown)
            ShowIkon(s, k);
        else if (!shown && !hidden)
            HideIkon(s, k);
    }
}

// Splits `text` at its line ends and wraps lines wider than `width` at blanks.
std::vector<std::string> split_lines(const char *text, int width)
{
    std::vector<std::string> out;
    if (!text)
        return out;
    const char *p = text;
    while (*p && int(out.size()) < kHelpMaxLines) {
        const char *end = strchr(p, '\n');
        std::string line = end ? std::string(p, size_t(end - p)) : std::string(p);
        p = end ? end + 1 : p + line.size();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // Wrap at the last blank that fits; a word wider than the page is cut where the page ends.
        while (PxGetTextWidth(line.c_str()) > width && int(out.size()) < kHelpMaxLines) {
            size_t cut = std::string::npos;
            for (size_t i = line.find(' '); i != std::string::npos; i = line.find(' ', i + 1)) {
                if (PxGetTextWidth(line.substr(0, i).c_str()) > width)
                    break;
                cut = i;
            }
            if (cut != std::string::npos && cut > 0) {
                out.push_back(line.substr(0, cut));
                line.erase(0, cut + 1);
                continue;
            }
            // The longest start of the word that fits, one character at least.
            size_t fits = 1, wide = line.size();
            while (wide - fits > 1) {
                size_t mid = (fits + wide) / 2;
                if (PxGetTextWidth(line.substr(0, mid).c_str()) <= width)
                    fits = mid;
                else
                    wide = mid;
            }
            out.push_back(line.substr(0, fits));
            line.erase(0, fits);
        }
        if (int(out.size()) < kHelpMaxLines)
            out.push_back(line);
        if (!end)
            break;
    }
    return out;
}

int max_scroll(const VokSession *s)
{
    return std::max(0, s->pixHeight - s->place.height);
}

void update_arrows(VokSession *text)
{
    VokSession *buttons = FindSession(kHelpButtons);
    int page = runner().current;
    bool up = false, down = false;
    if (page == kHelpTips) {
        const GameTexts *g = game_texts(game_of_record());
        int n = help().position[game_of_record()];
        up = n > 0;
        down = g && n < g->tipCount - 1;
    } else if (text && page != kHelpDemo) {
        up = text->scrollY > 0;
        down = text->scrollY < max_scroll(text);
    }
    show_ikon(buttons, kHelpUp, up);
    show_ikon(buttons, kHelpDown, down);
}

// Lays the lines of `text` out from content row `top` into a background as high as they need.
void layout(VokSession *s, const char *text, int top, bool story)
{
    Help &h = help();
    if (!s || !s->backgroundPix)
        return;
    SceneEngine &e = engine();
    bool font = e.fonts && PxSelectFont(e.fonts, 0);
    std::vector<std::string> lines = font ? split_lines(text, s->place.width - 2 * kMargin) : std::vector<std::string>{};
    h.lines = int(lines.size());
    h.sectionCount = 0;
    int height = top + h.lines * kHelpLineHeight + kMargin;
    if (story)
        height = std::max(height, s->place.height) + kStoryBand;
    height = std::max(height, s->place.height);
    br_pixelmap *old = s->backgroundPix;
    br_pixelmap *pix = old;
    if (old->height != height || s->backgroundShared) {
        pix = PxAllocPix(old->type, s->pixWidth, height, nullptr, 0);
        if (!pix)
            return;
    }
    PxFillPix(pix, s->fillColour);
    for (int i = 0; i < h.lines; i++) {
        const char *line = lines[size_t(i)].c_str();
        int y = top + i * kHelpLineHeight;
        if (story && line[0] == '#') {
            // A section mark: its position lies half a line below the line's top.
            if (h.sectionCount < kMaxSections)
                h.sections[h.sectionCount++] = y + kHelpLineHeight / 2;
            line++;
        }
        PxShowText(pix, kMargin, y, line);
    }
    if (pix != old) {
        if (!s->backgroundShared)
            PxFreePix(old);
        s->backgroundShared = 0;
        s->backgroundPix = pix;
        s->pixHeight = height;
    }
    s->scrollY = 0;
    s->state |= VOK_SST_FULL;
    VokAddDirtyRect(s, nullptr);
    update_arrows(s);
}

void scroll_to(VokSession *s, int y)
{
    if (!s)
        return;
    y = std::clamp(y, 0, max_scroll(s));
    if (y == s->scrollY)
        return;
    s->scrollY = y;
    s->state |= VOK_SST_FULL;
    VokAddDirtyRect(s, nullptr);
    update_arrows(s);
}

void present(VokScene *scene, br_pixelmap *picture, int step)
{
    if (help_frame_hook())
        help_frame_hook()(step, picture);
    MnuPaintScreen(scene, 1);
}

// Waits until `ms` have passed since `*last`; the step just painted reaches the display meanwhile
// (no message is taken: the page stays as it is until the animation is over).
void wait_step(uint32_t *last, uint32_t ms)
{
    VokPump();
    while (timeGetTime() - *last < ms)
        Sleep(1);
    *last = timeGetTime();
}

void border(br_pixelmap *p, int x, int y, int w, int h, int thick)
{
    PxFillPixRect(p, x, y, w, thick, kFrameColour);
    PxFillPixRect(p, x, y + h - thick, w, thick, kFrameColour);
    PxFillPixRect(p, x, y, thick, h, kFrameColour);
    PxFillPixRect(p, x + w - thick, y, thick, h, kFrameColour);
}

// The frame around the demo clip grows from a point to the clip's rectangle (opening) or shrinks to
// a line (closing), 20 ms a step over a copy of the scene picture taken first.
void frame_animation(VokScene *scene, bool opening)
{
    if (!scene || scene->sessionCount <= 0)
        return;
    br_pixelmap *picture = scene->sessions[0].pix;
    if (!picture)
        return;
    MnuBuildScene();
    MnuBuildPic(scene);
    br_pixelmap *copy = PxAllocPix(picture->type, picture->width, picture->height, nullptr, 0);
    if (!copy)
        return;
    CopyRectangle(copy, 0, 0, picture, 0, 0, picture->width, picture->height);
    uint32_t last = timeGetTime();
    int step = opening ? 0 : 100;
    int y = 0, h = 0;
    for (int off = 0; off <= 120; off += 12, step++) {
        CopyRectangle(picture, 0, 0, copy, 0, 0, copy->width, copy->height);
        if (opening) {
            y = 225 - off, h = 2 * (off + 3);
            border(picture, 318, y, 2, h, 1);
        } else {
            border(picture, kClipX, kClipY + off, kClipW, kClipH - 2 * off, 2);
        }
        present(scene, picture, step);
        wait_step(&last, kStepMs);
    }
    for (int off = 0; off <= 160; off += 16, step++) {
        CopyRectangle(picture, 0, 0, copy, 0, 0, copy->width, copy->height);
        if (opening)
            border(picture, 315 - off, y, 2 * (off + 3), h, 2);
        else
            PxFillPixRect(picture, kClipX + off, 228, kClipW - 2 * off, 2, kFrameColour);
        present(scene, picture, step);
        wait_step(&last, kStepMs);
    }
    CopyRectangle(picture, 0, 0, copy, 0, 0, copy->width, copy->height);
    PxFreePix(copy);
}

// The demo clip's loop and sound set go; the CD music was never stopped for a clip from the data
// folder, so it plays on.
void demo_close()
{
    Help &h = help();
    if (h.loop) {
        VokStopLoopSound(h.loop);
        h.loop = 0;
    }
    if (h.sounds)
        h.sounds = VokKillSound(h.sounds);
    if (h.clip) {
        clip_free(h.clip);
        h.clip = nullptr;
    }
    h.demoGame = -1;
    h.demoWait = 0;
    h.started = false;
    h.held = false;
    h.progress = -1;
    h.cue = nullptr;
}

void show_cue(VokSession *text, const char *cue)
{
    Help &h = help();
    if (cue == h.cue)
        return;
    h.cue = cue;
    std::string shown(size_t(kCueLines), '\n');
    if (cue)
        shown += cue;
    layout(text, shown.c_str(), kMargin, false);
    // A cue wrapped to more lines than fit under the blank ones moves up into the free band under
    // the clip, so that it shows to its end.
    if (text)
        scroll_to(text, max_scroll(text));
}

void demo_open(VokScene *scene, VokSession *text)
{
    Help &h = help();
    int game = game_of_record();
    // The clip layer finds the file in the data folder by its name.
    MediaClip *clip = clip_for_ikon(kDemoFiles[game], scene->curX + kClipX, scene->curY + kClipY, scene, text, nullptr);
    if (!clip) {
        layout(text, vok::text(kNoDemoText), kMargin, false);
        return;
    }
    h.clip = clip;
    h.demoGame = game;
    // The loading text goes; the cues come under the clip.
    h.cue = "";
    show_cue(text, nullptr);
    frame_animation(scene, true);
    if (const char *pack = VokMakeDataPath("cw.pck"))
        h.sounds = VokInitSound(pack);
    if (h.sounds)
        h.loop = VokPlayLoopSound(h.sounds, 0);
    clip_command(kClipPlay, clip, 1);
}

// Once a frame: the clip's progress against the cues of the game's demo script.
void demo_frame(VokScene *scene, VokSession *text)
{
    Help &h = help();
    if (runner().current != kHelpDemo)
        return;
    if (h.demoWait > 0) {
        if (--h.demoWait == 0)
            demo_open(scene, text);
        return;
    }
    if (!h.clip || h.held)
        return;
    int32_t frame = 0;
    MediaGet(h.clip->handle, MEDIAPARAM_FRAME, &frame);
    int state = GetMediaState(h.clip->handle);
    if (state == MEDIA_STATE_PLAYING)
        h.started = true;
    // The clip stops itself at its end and rewinds: past every cue.
    h.progress = (h.started && state == MEDIA_STATE_STOPPED) || clip_ended(h.clip) ? kClipEnded : frame;
    const GameTexts *g = game_texts(h.demoGame);
    const char *cue = nullptr;
    for (const DemoStep *d = g ? g->demo : nullptr; d && d->start >= 0; d++)
        if (h.progress >= d->start && h.progress <= d->end) {
            cue = d->text;
            break;
        }
    show_cue(text, cue);
}

void demo_begin(VokSession *text)
{
    Help &h = help();
    // The same game's clip starts again from its beginning.
    demo_close();
    layout(text, vok::text(kLoadingText), kMargin, false);
    h.demoWait = kDemoWaitFrames;
}

void short_help(VokSession *text)
{
    VokInterFace &f = iface();
    int game = int(f.gameId & 0xFF);
    int pic = kPicCreate, which = kFwEpito;
    if (game == kVarnel) {
        if (f.levelFamily == 0)
            pic = kPicUnscramble, which = kVnUnscr;
        else if (f.levelFamily == 1)
            pic = kPicLearn, which = kVnLearn;
        else if (f.subMode == kStudyFree)
            pic = kPicFree, which = kVnFree;
        else
            pic = kPicStudy, which = kVnStudy;
    }
    VokSession *back = &engine().running->sessions[0];
    for (int i = 0; i < kPictureCount; i++)
        show_ikon(back, kFirstPicture + i, i == pic);
    layout(text, special_text(which), kMargin, false);
}

// Draws the current page: the entry now running is the page.
void paint_page(VokScene *scene)
{
    Help &h = help();
    int page = runner().current;
    int game = game_of_record();
    VokSession *buttons = FindSession(kHelpButtons), *text = FindSession(kHelpText);
    if (h.clip && page != kHelpDemo)
        demo_close();
    h.demoWait = 0;
    if (scene->screenId != 31) {
        // The game buttons and the page buttons share their places: the row going is hidden first.
        bool general = page == kHelpGeneral;
        for (int pass = 0; pass < 2; pass++) {
            bool showing = pass == 1;
            for (int g = 0; g < VOK_GAME_COUNT; g++)
                if (general == showing)
                    show_ikon(buttons, int(VOK_GAME_BASE) + g, showing);
            for (int id = kFirstGroup; id <= kLastGroup; id++)
                if (general != showing)
                    show_ikon(buttons, id, showing);
        }
        // The focus may not stay on a button that went.
        if (buttons && buttons->focused && (buttons->focused->state & VOK_IST_HIDDEN))
            if (VokIkon *back = FindIkon(buttons, kBack))
                VokFocusIkon(buttons, back);
    }
    if (page != kHelpShort)
        for (int i = 0; i < kPictureCount; i++)
            show_ikon(&scene->sessions[0], kFirstPicture + i, false);
    const GameTexts *g = game_texts(game);
    switch (page) {
    case kHelpGeneral:
        layout(text, special_text(kMainHelp), kMargin, false);
        break;
    case kHelpStory:
        layout(text, special_text(kStory), kMargin, true);
        break;
    case kHelpRules:
        layout(text, g ? g->rules : nullptr, kMargin, false);
        break;
    case kHelpSecond:
        layout(text, g ? g->controls : nullptr, kMargin, false);
        break;
    case kHelpTips: {
        int &n = h.position[game];
        int count = g ? g->tipCount : 0;
        if (n < 0 || n >= count)
            n = 0;
        layout(text, count ? g->tips[n] : nullptr, kMargin, false);
        break;
    }
    case kHelpDemo:
        demo_begin(text);
        break;
    case kHelpShort:
        short_help(text);
        break;
    default:
        break;
    }
    update_arrows(text);
}

void change_page(VokScene *scene, int page)
{
    runner().current = page;
    paint_page(scene);
}

int text_frame(VokSessionProc *p)
{
    VokScene *scene = engine().running;
    if (!scene)
        return 1;
    if (!p->words[0]) {
        p->words[0] = 1;
        paint_page(scene);
    }
    demo_frame(scene, p->session);
    return 1;
}

void text_end(VokSessionProc *)
{
    demo_close();
    // However the screen ended, the next one starts without a game page open.
    help().gamePageOpen = false;
    help().lines = 0;
    help().sectionCount = 0;
}

// Init routine of the text session of the help and story screens.
int help_text_init(VokSession *s)
{
    AddProcToSession(s, nullptr, text_frame, nullptr, text_end);
    return 1;
}

// Leaving the screen: the demo frame closes first when its clip is up.
void leave(VokScene *scene, VokSession *focus)
{
    Help &h = help();
    if (h.clip) {
        h.cue = nullptr;
        VokSession *text = FindSession(kHelpText);
        std::string blank(size_t(kCueLines), '\n');
        layout(text, blank.c_str(), kMargin, false);
        clip_command(kClipStop, h.clip, 1);
        clip_free(h.clip);
        h.clip = nullptr;
        frame_animation(scene, false);
        demo_close();
    }
    h.gamePageOpen = false;
    VokChooseButton(focus, kBack, kSoundBack, 0);
}

void step_tip(int by)
{
    int game = game_of_record();
    const GameTexts *g = game_texts(game);
    int &n = help().position[game];
    int next = n + by;
    if (!g || next < 0 || next >= g->tipCount)
        return;
    n = next;
    layout(FindSession(kHelpText), g->tips[n], kMargin, false);
}

// Keys that move the text of a page: a line, a page, the ends.
bool scroll_key(WPARAM key, bool story)
{
    VokSession *text = FindSession(kHelpText);
    if (!text)
        return false;
    int page = text->place.height;
    int lineStep = story ? kStoryStep * kHelpLineHeight : kHelpLineHeight;
    // A page less one line, in whole lines, so that lines stay whole at the top.
    int pageStep = story ? std::max(kHelpLineHeight, page - kStoryPageLess * kHelpLineHeight)
                         : std::max(1, page / kHelpLineHeight - 1) * kHelpLineHeight;
    switch (key) {
    case VK_UP: scroll_to(text, text->scrollY - lineStep); return true;
    case VK_DOWN: scroll_to(text, text->scrollY + lineStep); return true;
    case VK_PRIOR: scroll_to(text, text->scrollY - pageStep); return true;
    case VK_NEXT: scroll_to(text, text->scrollY + pageStep); return true;
    case VK_HOME: scroll_to(text, 0); return true;
    case VK_END: scroll_to(text, max_scroll(text)); return true;
    default: return false;
    }
}

struct Registered {
    Registered() { add_routine("helpText", kRoutineSession, reinterpret_cast<void *>(&help_text_init)); }
} g_registered;

}  // namespace

void help_layout(VokSession *s, const char *text, int top)
{
    layout(s, text, top, false);
}

void help_show_ikon(VokSession *s, int id, bool shown)
{
    show_ikon(s, id, shown);
}

int &help_position(int game)
{
    static int none = 0;
    return game >= 0 && game < VOK_GAME_COUNT ? help().position[game] : none;
}

void help_clear_positions()
{
    for (int &n : help().position)
        n = 0;
}

int help_line_count()
{
    return help().lines;
}

int help_section(int index)
{
    return index >= 0 && index < help().sectionCount ? help().sections[index] : -1;
}

std::function<void(int, br_pixelmap *)> &help_frame_hook()
{
    static std::function<void(int, br_pixelmap *)> hook;
    return hook;
}

int help_demo_progress()
{
    return help().progress;
}

const char *help_demo_cue()
{
    return help().cue;
}

void help_demo_pause(bool pause)
{
    Help &h = help();
    if (MediaClip *c = h.clip)
        clip_command(pause ? kClipStop : kClipPlay, c, 1);
    h.held = pause && h.clip;
    h.started = false;
}

bool help_key(VokScene *scene, VokSession *focus, UINT message, WPARAM key)
{
    if (!is_help_screen(scene) || message != WM_KEYDOWN)
        return false;
    Help &h = help();
    int page = runner().current;
    bool story = scene->screenId == 31;
    if (key != VK_RETURN && key != VK_ESCAPE) {
        if (page == kHelpTips && (key == VK_UP || key == VK_DOWN)) {
            step_tip(key == VK_UP ? -1 : 1);
            return true;
        }
        return scroll_key(key, story);
    }
    int id = key == VK_RETURN && focus && focus->focused ? focus->focused->id : 0;
    if (key == VK_RETURN) {
        if (!story && id >= kFirstGroup && id <= kLastGroup) {
            change_page(scene, kGroupPage[id - kFirstGroup]);
            return true;
        }
        if (!story && id >= int(VOK_GAME_BASE) && id < int(VOK_GAME_BASE) + VOK_GAME_COUNT) {
            press_button(focus, FindIkon(focus, id), false);
            iface().gameId = uint32_t(id);
            h.gamePageOpen = true;
            change_page(scene, kHelpRules);
            return true;
        }
        if (id == kHelpUp || id == kHelpDown) {
            WPARAM arrow = id == kHelpUp ? VK_UP : VK_DOWN;
            if (page == kHelpTips)
                step_tip(arrow == VK_UP ? -1 : 1);
            else
                scroll_key(arrow, story);
            return true;
        }
        if (story && id >= 1 && id <= kMaxSections) {
            if (help_section(id - 1) >= 0)
                scroll_to(FindSession(kHelpText), help_section(id - 1));
            return true;
        }
    }
    // Escape, or Enter on the back button.
    if (h.gamePageOpen && page != kHelpGeneral && !story) {
        h.gamePageOpen = false;
        change_page(scene, kHelpGeneral);
        return true;
    }
    leave(scene, focus);
    return true;
}

}  // namespace vok
