// Commands of the interface screens: the common key handler, choosing a button, and the movies of
// the buttons (a focused button loops its first frames, a pressed one plays its press frames).
#include <string.h>

#include <vector>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "controls.h"
#include "help.h"
#include "options.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokpopup.h"
#include "vokplat/window.h"
#include "vokscore/voksound.h"

namespace vok {

namespace {

// Command ids of the buttons.
constexpr int kYes = 11, kNo = 12, kOk = 23, kCancel = 24, kBack = 5;
// Results screens.
constexpr int kResultsReturn = 2, kMenu = 6, kTryAgain = 7, kNext = 8, kReplay = 9, kContinue = 17, kSave = 22;
constexpr int kSavedText = 44;
constexpr int kChatLine = 1;
// The first choice button of the speed and level-group screens; the speeds and groups there are.
constexpr int kFirstChoice = 50, kSpeeds = 9, kMossikGroups = 4, kGroups = 5;
constexpr int kMossik = 1, kKelpa = 3;
// Menu sounds.
constexpr int kSoundYes = 11, kSoundBack = 13, kSoundChoice = 9;
// Press frames: 2..8 for a chosen button or one with both action bits, else 2..5 (end one past).
constexpr int kPressStart = 2, kPressEnd = 9, kShortPressEnd = 6, kFocusLoopEnd = 4;
constexpr uint32_t kChooseWaitMs = 1000, kResultsWaitMs = 500;

struct ButtonMovies {
    VokIkon *lastFocus = nullptr;
    VokIkon *pressed = nullptr;
    VokIkon *usedSave = nullptr; // the save button goes once its press has played
};

void save_used(VokSession *s, VokIkon *k);

std::vector<VokSessionProc *> &movie_procs()
{
    static std::vector<VokSessionProc *> procs;
    return procs;
}

ButtonMovies *movies_of(VokSessionProc *p)
{
    return reinterpret_cast<ButtonMovies *>(p->words[0]);
}

void show_frame(PMVMOVIE *m, int start, int end, bool loop)
{
    if (end > m->frameCount)
        end = m->frameCount;
    if (start >= end)
        start = end - 1;
    SetLoopFrames(m, start, end);
    if (loop)
        m->flags |= PMV_LOOP;
    else
        m->flags &= ~uint32_t(PMV_LOOP);
    PmvSeekToLoop(m);
    m->lastTime = timeGetTime() - m->frameTime; // due now
}

// The frame of `k`'s movie is taken and the button redrawn when a new one came.
void advance(VokIkon *k)
{
    PlayMovie(k->pixMovie);
    if (!(k->pixMovie->flags & PMV_NOFRAME))
        k->state |= VOK_IST_REDRAW;
}

int movies_init(VokSessionProc *p)
{
    VokSession *s = p->session;
    bool any = false;
    for (int i = 0; i < s->ikonCount; i++)
        if (s->ikons[i].pixMovie) {
            // The painter leaves these movies to this procedure.
            s->ikons[i].flags |= VOK_IK_KEEP;
            show_frame(s->ikons[i].pixMovie, 0, 1, false);
            any = true;
        }
    if (!any)
        return 0;
    p->words[0] = reinterpret_cast<intptr_t>(new ButtonMovies);
    movie_procs().push_back(p);
    return 1;
}

bool movies_running();

int movies_frame(VokSessionProc *p)
{
    ButtonMovies *b = movies_of(p);
    VokSession *s = p->session;
    // The focus moves off the used save button when every press has played to its end.
    if (b->usedSave && !movies_running()) {
        VokIkon *k = b->usedSave;
        b->usedSave = nullptr;
        b->pressed = nullptr;
        save_used(s, k);
    }
    for (int i = 0; i < s->ikonCount; i++) {
        VokIkon *k = &s->ikons[i];
        if (!k->pixMovie)
            continue;
        if (k == b->pressed) {
            if (k->pixMovie->currentFrame < k->pixMovie->loopEnd)
                advance(k);
        } else if (k == s->focused) {
            if (k != b->lastFocus)
                show_frame(k->pixMovie, 0, kFocusLoopEnd, true);
            advance(k);
        } else if (k == b->lastFocus) {
            show_frame(k->pixMovie, 0, 1, false); // put back
            advance(k);
        }
    }
    b->lastFocus = s->focused;
    return 1;
}

void movies_end(VokSessionProc *p)
{
    auto &procs = movie_procs();
    for (size_t i = 0; i < procs.size(); i++)
        if (procs[i] == p) {
            procs.erase(procs.begin() + long(i));
            break;
        }
    delete movies_of(p);
    p->words[0] = 0;
}

// Session routine of button sessions: adds the movie procedure when a button has a movie.
int button_movies(VokSession *session)
{
    AddProcToSession(session, movies_init, movies_frame, nullptr, movies_end);
    return 1;
}

int focused_id(VokSession *s)
{
    return s && s->focused ? s->focused->id : 0;
}

bool movies_running()
{
    return button_movies_running();
}

void save_used(VokSession *s, VokIkon *k)
{
    HideIkon(s, k);
    if (s->focused == k)
        for (int i = 0; i < s->ikonCount; i++)
            if (!(s->ikons[i].state & VOK_IST_HIDDEN) && (s->ikons[i].flags & VOK_IK_ACT1)) {
                VokFocusIkon(s, &s->ikons[i]);
                break;
            }
}

// Repaints the running scene until `done` or `ms` have passed.
template <typename Done>
void wait_repainting(uint32_t ms, Done done)
{
    uint32_t start = timeGetTime();
    while (!done() && timeGetTime() - start < ms) {
        VokScene *scene = engine().running;
        if (!scene)
            break;
        MnuBuildScene();
        MnuPaintScreen(scene, 0);
        VokPump();  // the press movie reaches the display
        Sleep(1);
    }
}


// Groups of levels of the current game: Mossik has four, the others five.
int group_count()
{
    return int(iface().gameId & 0xFF) == kMossik ? kMossikGroups : kGroups;
}

// Init routine of the button session of the speed and level-group screens: the button of the
// current speed or group has the focus when the screen opens.
int choice_focus(VokSession *session)
{
    VokInterFace &f = iface();
    VokScene *scene = engine().running;
    if (scene && scene->screenId == 2) {
        if (f.levelFamily < 0 || f.levelFamily >= group_count())
            f.levelFamily = 0;
        session->focusId = kFirstChoice + f.levelFamily;
    } else {
        int speed = f.speedIndex >= 0 && f.speedIndex < kSpeeds ? f.speedIndex : 0;
        session->focusId = kFirstChoice + speed;
    }
    return 1;
}

constexpr int kChoiceSession = 3, kChoiceLines = 6;

VokChoiceRecord *choice_record()
{
    return reinterpret_cast<VokChoiceRecord *>(iface().messageText);
}

void choice_end(VokSessionProc *p)
{
    VokSession *lines = FindSession(kChoiceSession);
    for (int id = 1; lines && id <= kChoiceLines; id++)
        if (VokIkon *k = FindIkon(lines, id))
            k->text.string = nullptr;
    (void)p;
}

// Init routine of the choice screen's button session: the lines take the caller's texts, the lines
// beyond its count are inactive.
int choice_init(VokSession *s)
{
    VokChoiceRecord *r = choice_record();
    VokSession *lines = FindSession(kChoiceSession);
    int count = r && r->entries ? r->count : 0;
    for (int id = 1; lines && id <= kChoiceLines; id++) {
        VokIkon *k = FindIkon(lines, id);
        if (!k)
            continue;
        bool used = id <= count;
        k->text.string = used ? r->entries[id - 1].text : nullptr;
        if (used)
            k->flags &= ~uint32_t(VOK_IK_INACTIVE);
        else
            k->flags |= VOK_IK_INACTIVE;
    }
    AddProcToSession(s, nullptr, nullptr, nullptr, choice_end);
    return 1;
}

// The exit question is drawn again once, half a second after it appears.
constexpr uint32_t kRedrawAfterMs = 500;
int g_questionRedraws = 0;

int redraw_frame(VokSessionProc *p)
{
    if (p->words[1])
        return 1;
    if (timeGetTime() - uint32_t(p->words[0]) >= kRedrawAfterMs) {
        p->words[1] = 1;
        g_questionRedraws++;
        VokAddDirtyRect(p->session, nullptr);
    }
    return 1;
}

int redraw_later(VokSession *s)
{
    if (VokSessionProc *p = AddProcToSession(s, nullptr, redraw_frame, nullptr, nullptr))
        p->words[0] = intptr_t(timeGetTime());
    return 1;
}

void results_command(VokSession *s, int id)
{
    VokInterFace &f = iface();
    if (id != kReplay)
        f.titleText[0] = 0;
    switch (id) {
    case kResultsReturn:
        VokChooseButton(s, id, kSoundYes, 3);
        break;
    case kMenu:
        VokChooseButton(s, id, kSoundYes, 1);
        // The screen's picture stays behind in the caller's picture.
        if (s && s->pix && f.screenPix)
            CopyRectangle(f.screenPix, s->place.x, s->place.y, s->pix, 0, 0, s->pix->width, s->pix->height);
        break;
    case kNext:
        f.gameFlags &= ~(VOK_GF_RESULT_SEEN | VOK_GF_REPLAY);
        VokChooseButton(s, id, kSoundYes, 2);
        break;
    case kReplay: {
        VokScene *scene = engine().running;
        bool kelpaChallenge = scene && scene->screenId == 24 && int(f.gameId & 0xFF) == kKelpa &&
                              f.gameKind == VOK_KIND_CHALLENGE;
        f.gameFlags |= kelpaChallenge ? VOK_GF_REPLAY : VOK_GF_RESULT_SEEN | VOK_GF_REPLAY;
        VokChooseButton(s, id, kSoundYes, 0);
        break;
    }
    case kTryAgain:
        VokChooseButton(s, id, kSoundYes, 0);
        break;
    case kContinue:
        f.gameFlags &= ~(VOK_GF_RESULT_SEEN | VOK_GF_REPLAY);
        VokChooseButton(s, id, kSoundYes, 4);
        break;
    case kSave: {
        IfPlaySound(kSoundYes);
        VokReplayProc proc = f.replayProc;
        // Saved once: the button goes, the screen stays; a button with a movie plays its press first.
        if (VokIkon *k = FindIkon(s, kSave)) {
            VokSessionProc *movies = nullptr;
            for (VokSessionProc *p : movie_procs())
                if (p->session == s)
                    movies = p;
            if (movies && press_button(s, k, (k->flags & (VOK_IK_ACT1 | VOK_IK_ACT2)) == (VOK_IK_ACT1 | VOK_IK_ACT2)))
                movies_of(movies)->usedSave = k;
            else
                save_used(s, k);
        }
        if (proc && proc() != 0 && text(kSavedText))
            VokMessageBox(f.ownerWnd, 0, "%s", text(kSavedText));
        break;
    }
    default:
        break;
    }
}

// Session routine of sessions with edit fields: their carets blink while the session has the keys.
int edit_carets(VokSession *s)
{
    for (int i = 0; s && i < s->ikonCount; i++)
        if (VokEdit *e = edit_of(&s->ikons[i]))
            start_caret(s, e);
    return 1;
}

struct Registered {
    Registered()
    {
        add_routine("editCarets", kRoutineSession, reinterpret_cast<void *>(&edit_carets));
        add_routine("popupKeys", kRoutineKey, reinterpret_cast<void *>(&VokPopupKeyHandler));
        add_routine("buttonMovies", kRoutineSession, reinterpret_cast<void *>(&button_movies));
        add_routine("choiceFocus", kRoutineSession, reinterpret_cast<void *>(&choice_focus));
        add_routine("redrawLater", kRoutineSession, reinterpret_cast<void *>(&redraw_later));
        add_routine("choiceLines", kRoutineSession, reinterpret_cast<void *>(&choice_init));
    }
} g_registered;

}  // namespace

VokSession *popup_focus_session()
{
    SceneEngine &e = engine();
    if (e.focusSession)
        return e.focusSession;
    if (e.page)
        return e.page;
    VokScene *scene = e.running;
    for (int i = scene ? scene->sessionCount - 1 : -1; i >= 0; i--)
        if (scene->sessions[i].focused)
            return &scene->sessions[i];
    return nullptr;
}

bool press_button(VokSession *session, VokIkon *ikon, bool full)
{
    if (!session || !ikon || !ikon->pixMovie)
        return false;
    for (VokSessionProc *p : movie_procs())
        if (p->session == session) {
            movies_of(p)->pressed = ikon;
            show_frame(ikon->pixMovie, kPressStart, full ? kPressEnd : kShortPressEnd, false);
            return true;
        }
    return false;
}

int question_redraws()
{
    return g_questionRedraws;
}

bool button_movies_running()
{
    for (VokSessionProc *p : movie_procs()) {
        VokIkon *k = movies_of(p)->pressed;
        if (k && k->pixMovie && k->pixMovie->currentFrame < k->pixMovie->loopEnd)
            return true;
    }
    return false;
}

}  // namespace vok

using namespace vok;

VOK_EXPORT void VokChooseButton(VokSession *session, int id, int sound, int result)
{
    VokInterFace &f = iface();
    f.popupResult = result;
    IfPlaySound(sound);
    VokScene *scene = engine().running;
    if (press_button(session, FindIkon(session, id), true))
        wait_repainting(kChooseWaitMs, [] { return !button_movies_running(); });
    if (scene && scene->screenId == 24) {
        runner().choiceMade = true;
        wait_repainting(kResultsWaitMs, [] { return false; });
    }
    engine().runningFlag = false;
}

VOK_EXPORT int VokPopupKeyHandler(HWND, UINT message, WPARAM key, LPARAM)
{
    VokScene *scene = engine().running;
    if (!scene || (message != WM_KEYDOWN && scene->screenId != 42 && scene->screenId != 44))
        return 0;
    VokSession *s = popup_focus_session();
    // Every other key of the chat entry goes to its line.
    if (scene->screenId == 42 && !(message == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE))) {
        if (VokEdit *e = edit_of(FindIkon(s, kChatLine)))
            edit_key(message, e, key);
        return 0;
    }
    // Help, story, credits and movie screens.
    if (help_key(scene, s, message, key) || credits_key(scene, s, message, key) || movie_key(scene, message, key))
        return 0;
    if (scene->screenId == 44 || scene->screenId == 45) {
        options_key(message, key);
        return 0;
    }
    if (message != WM_KEYDOWN || (key != VK_RETURN && key != VK_ESCAPE))
        return 0;
    int id = key == VK_RETURN ? focused_id(s) : 0;
    switch (scene->screenId) {
    case 1:
    case 8:
        if (id == kYes)
            VokChooseButton(s, kYes, kSoundYes, 1);
        else
            VokChooseButton(s, kNo, kSoundBack, 0);
        break;
    case 2:
        if (id >= kFirstChoice && id < kFirstChoice + group_count()) {
            iface().levelFamily = id - kFirstChoice;
            iface().levelNumber = 0;
            VokChooseButton(s, id, kSoundChoice, 1);
        } else {
            VokChooseButton(s, kBack, kSoundBack, 0);
        }
        break;
    case 3:
        if (id >= kFirstChoice && id < kFirstChoice + kSpeeds) {
            iface().speedIndex = id - kFirstChoice;
            VokChooseButton(s, id, kSoundChoice, 1);
        } else {
            VokChooseButton(s, kBack, kSoundBack, 0);
        }
        break;
    case 9: {
        VokChoiceRecord *r = choice_record();
        if (key == VK_RETURN && id && r && r->entries) {
            VokSession *lines = FindSession(kChoiceSession);
            int line = focused_id(lines);
            if (line >= 1 && line <= kChoiceLines && line <= r->count)
                r->chosen = line;
            VokChooseButton(s, kYes, kSoundYes, 1);
        } else {
            VokChooseButton(s, kBack, kSoundBack, 0);
        }
        break;
    }
    case 42:
    case 43:
        if (key == VK_ESCAPE) {
            VokChooseButton(s, kCancel, kSoundBack, 0);
        } else if (id == kYes) {
            VokChooseButton(s, kYes, kSoundYes, 14);
        } else if (id == kOk || (scene->screenId == 42 && edit_of(s ? s->focused : nullptr))) {
            // The typed line goes to titleText, cut to keep its end.
            if (scene->screenId == 42)
                if (VokEdit *e = edit_of(FindIkon(s, kChatLine))) {
                    VokInterFace &f = iface();
                    strncpy(f.titleText, e->text ? e->text : "", sizeof f.titleText - 1);
                    f.titleText[sizeof f.titleText - 1] = 0;
                }
            VokChooseButton(s, kOk, kSoundYes, 1);
        }
        break;
    case 23:
    case 24:
    case 25:
    case 41:
        if (key == VK_RETURN && id)
            results_command(s, id);
        break;
    case 22:
        if (id == kYes)
            VokChooseButton(s, kYes, kSoundBack, 1);
        else
            VokChooseButton(s, kNo, kSoundChoice, 0);
        break;
    case 38:
    case 47: case 48: case 49: case 50: case 51:
        if (id == kYes)
            VokChooseButton(s, kYes, kSoundYes, 11);
        else if (id == kNo)
            VokChooseButton(s, kNo, kSoundYes, 10);
        else if (id == kOk)
            VokChooseButton(s, kOk, kSoundYes, 1);
        else
            VokChooseButton(s, kCancel, kSoundBack, 0);
        break;
    case 40:
        // The colour choice has no way out but a colour.
        if (key == VK_RETURN && id)
            VokChooseButton(s, id, kSoundYes, id == kYes ? 12 : 13);
        break;
    case 46:
        if (id == kYes)
            VokChooseButton(s, kYes, kSoundYes, 11);
        else
            VokChooseButton(s, kNo, kSoundBack, 10);
        break;
    default:
        break;
    }
    return 0;
}
