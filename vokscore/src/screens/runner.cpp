// The interface screen runner: VokPopupIFScreen checks the call, resolves the ids that stand for a
// sequence of screens, and runs one table entry (or one game screen) at a time through the scene
// engine.
#include <string.h>

#include "brondel/brpixmap.h"
#include "help.h"
#include "media_layer.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenestate.h"
#include "scores.h"
#include "state.h"
#include "vokscore/voksound.h"
#include "vokscore/vokstats.h"

namespace vok {

ScreenRunner &runner()
{
    static ScreenRunner r;
    return r;
}

RunnerHooks &runner_hooks()
{
    static RunnerHooks h;
    return h;
}

namespace {

constexpr int kVarnel = 0, kMossik = 1, kTerrow = 2, kKelpa = 3, kDunmar = 4;
constexpr int kHelpClipPage = 41;

// Game number of the record: the low byte of gameId.
int game_of_record()
{
    return int(iface().gameId & 0xFF);
}

bool is_game(int game)
{
    return game_of_record() == game;
}

int unknown_id()
{
    iface().popupResult = -1;
    return 0;
}

// The current game's screen; a game number outside 0..`last` counts as an unknown id.
int game_screen_of_record(int last)
{
    int game = game_of_record();
    if (game > last)
        return unknown_id();
    return popup_screen(15 + game);
}

// A help screen with its movie-clip page is current: its clips are stopped while another screen runs.
bool help_clip_page_up()
{
    VokScene *scene = engine().running;
    return scene && scene->screenId >= 30 && scene->screenId <= 36 && runner().current == kHelpClipPage;
}

void help_clips(int command)
{
    help_demo_pause(command == kClipStop);
    VokScene *scene = engine().running;
    for (int i = 0; scene && i < scene->sessionCount; i++)
        for (int j = 0; j < scene->sessions[i].ikonCount; j++)
            if (void *clip = scene->sessions[i].ikons[j].clip)
                clip_command(command, static_cast<MediaClip *>(clip), 1);
}

bool levels_left()
{
    VokInterFace &f = iface();
    int game = game_number(f.gameId);
    if (game < 0)
        return false;
    if (f.gameKind == VOK_KIND_FREE) {
        VokLoadStatistic(f.gameKind, f.gameId, 0, nullptr);
        return free_solved(game) < free_levels(game);
    }
    VokStatRecord record{};
    int position = runner_hooks().levelPosition ? runner_hooks().levelPosition() : f.levelFamily;
    if (VokLoadStatistic(f.gameKind, f.gameId, position < 0 ? 0 : position, &record) < 0)
        return false;
    return record.solved < record.total;
}

// Free play, or Terrow's field game: the kinds that count solved levels.
bool counts_levels()
{
    VokInterFace &f = iface();
    return f.gameKind == VOK_KIND_FREE || (f.gameKind == VOK_KIND_CHALLENGE && is_game(kTerrow));
}

// The window of the scene now running was destroyed under a screen that ran over it: that scene has
// to end too, or its loop would wait for messages that can no longer come.
bool window_gone()
{
    VokScene *scene = engine().running;
    return scene && scene->drawWnd && !IsWindow(scene->drawWnd);
}

int next_unsolved()
{
    return runner_hooks().nextUnsolvedLevel ? runner_hooks().nextUnsolvedLevel() : 0;
}

}  // namespace

int results_entry()
{
    VokInterFace &f = iface();
    if (f.gameFlags & VOK_GF_REPLAY) {
        if (counts_levels())
            return levels_left() ? 24 : 23;
        return 25;
    }
    if (f.gameKind > VOK_KIND_CHALLENGE && !is_game(kDunmar))
        return 13;
    if (!(f.gameFlags & VOK_GF_RESULT_SEEN)) {
        int position = runner_hooks().levelPosition ? runner_hooks().levelPosition() : f.levelFamily;
        VokUpdateScores(f.gameKind, f.gameId, position, f.resultTime, f.resultValue);
        int first = best_rank(0), second = best_rank(1);
        if (is_game(kVarnel))
            return (first >= 0 && first <= 2) || (second >= 0 && second <= 2) ? 8 : 9;
        if (is_game(kTerrow))
            return levels_left() ? 10 : 11;
        if (is_game(kDunmar) || first < 0)
            return 9;
        return 7;
    }
    if (counts_levels())
        return levels_left() ? 15 : 14;
    return 16;
}

int solved_entry()
{
    VokInterFace &f = iface();
    bool left = counts_levels() && levels_left();
    if (is_game(kDunmar))
        return left ? 45 : 22;
    if (f.gameKind == VOK_KIND_FREE)
        return left ? 44 : 43;
    return left ? 21 : 20;
}

int popup_screen(int id)
{
    switch (id) {
    case 1: return run_screen(26);
    case 2: return run_screen(is_game(kMossik) ? 29 : 28);
    case 3: return run_screen(27);
    case 8: return run_screen(31);
    case 15: case 16: case 17: case 18: case 19: case 20: return run_game_screen(id);
    case 22: return run_screen(30);
    case 23: return run_screen(is_game(kDunmar) ? 18 : is_game(kKelpa) ? 19 : 17);
    case 24: return run_screen(results_entry());
    case 25: return run_screen(solved_entry());
    case 29: return run_screen(14);
    case 30: return run_screen(35);
    case 31: return run_screen(36);
    case 32: return run_screen(37);
    case 33: case 34: case 35: case 36: return run_screen(id + 5);
    case 37: return run_screen(42);
    case 42: return run_screen(58);
    case 43: return run_screen(59);
    case 44: return run_screen(60);
    case 45: {
        int game = game_of_record();
        return game < VOK_GAME_COUNT ? run_screen(61 + game) : unknown_id();
    }
    case 46: return run_screen(66);
    default: return unknown_id();
    }
}

int run_screen(int entry)
{
    if (entry < 0 || entry >= VOK_INTERFACE_SCREENS)
        return 0;
    SceneEngine &e = engine();
    // Only this thread changes the flags: a screen asked for while another is built or torn down
    // would wait for ever, so it is refused (quietly: the caller falls back on its own).
    if (!e.mayStart || e.starting || e.ending)
        return 0;
    VokScene *scene = VokInterfaceScreen(entry);
    if (!scene) {
        ShowLastMsgError();
        return 0;
    }
    e.mayStart = false;
    scene->underPix = iface().screenPix;
    ScreenRunner &r = runner();
    int saved = r.current;
    r.current = entry;
    e.abort = false;
    int ok = InitAndRunScene(scene);
    if (e.abort) {
        iface().popupResult = -1;
        ok = 0;
    }
    e.abort = window_gone();
    r.current = saved;
    e.mayStart = true;
    return ok;
}

int run_game_screen(int id)
{
    if (id < 15 || id > 20)
        return 0;
    SceneEngine &e = engine();
    if (!e.mayStart)
        return 0;
    VokInterFace &f = iface();
    RunnerHooks &h = runner_hooks();
    int game = id - 15;
    VokScene *scene = VokGameScreen(game);
    int ran = 0;
    if (!scene) {
        ShowLastMsgError();
        f.popupResult = -1;
    } else {
        e.mayStart = false;
        bool backdrop = h.backdropBegin && h.backdropBegin(!f.inGame);
        if (backdrop && f.inGame && h.backdropPicture && f.screenPix && h.backdropPicture())
            CopyRectangle(f.screenPix, 0, 0, h.backdropPicture(), 0, 0, f.screenPix->width, f.screenPix->height);
        f.gameId = VOK_GAME_BASE + uint32_t(game);
        VokSession *first = scene->sessionCount > 0 ? &scene->sessions[0] : nullptr;
        if (game < VOK_GAME_COUNT && !f.inGame && first) {
            first->focusId = f.gameKind;
            for (int i = 1; i < scene->sessionCount; i++) {
                VokSession &s = scene->sessions[i];
                bool page = s.id == 100 || s.id == 101 || (s.id >= 121 && s.id <= 124);
                if (page && h.levelCommand)
                    if (int command = h.levelCommand(game, s.id))
                        s.focusId = command;
            }
        }
        VokScene *under = engine().running;
        e.abort = false;
        if (InitScene(scene, 0)) {
            VokScene *running = engine().running;
            int focus = running->sessions[0].focusId;
            for (int i = 1; i < running->sessionCount; i++)
                if (running->sessions[i].id != focus)
                    HideSession(&running->sessions[i]);
            // The pages' frame routines show what belongs under them (a family's grid) before the first
            // input is taken: painting alone runs no routine, building the picture does.
            MnuBuildScene();
            MnuPaintScreen(running, 0);
            place_cursor_on_focus();
            RunCurScene();
            ran = e.abort ? 0 : 1;
            if (e.abort)
                f.popupResult = -1;
        } else {
            ShowLastMsgError();
            f.popupResult = -1;
        }
        e.abort = false;
        VokScene *running = engine().running;
        bool startsGame = ran && f.popupResult >= 0 && !f.inGame && game_number(f.gameId) >= 0;
        if (startsGame) {
            if (backdrop && h.backdropLoading)
                h.backdropLoading(running);
            ShowCursor(FALSE);
            if (running && running != under)
                KillCurScene(0);
        } else {
            if (backdrop && h.backdropPicture && f.screenPix && h.backdropPicture())
                CopyRectangle(f.screenPix, 0, 0, h.backdropPicture(), 0, 0, f.screenPix->width,
                              f.screenPix->height);
            if (running && running != under)
                KillCurScene(0);
            if (backdrop && h.backdropEnd)
                h.backdropEnd();
        }
    }
    e.abort = window_gone();
    reset_best_ranks();
    f.bestRank1 = f.bestRank2 = -1;
    f.imgThreadProc = nullptr;
    f.imgEndProc = nullptr;
    f.replayProc = nullptr;
    e.mayStart = true;
    return ran;
}

}  // namespace vok

using namespace vok;

VOK_EXPORT int VokPopupIFScreen(unsigned id)
{
    VokInterFace &f = iface();
    if (id > VOK_SCREEN_LAST || f.ownerWnd == nullptr || f.screenPix == nullptr)
        return 0;
    SceneEngine &e = engine();
    if (!e.mayStart || e.starting || e.ending)
        return 0;
    ScreenRunner &r = runner();
    r.nesting++;
    bool clipPage = help_clip_page_up();
    if (clipPage)
        help_clips(kClipStop);
    IfInitSound();
    int result = 0;
    switch (id) {
    case 4:
    case 14:
        result = game_screen_of_record(VOK_GAME_COUNT);
        break;
    case 5:
        result = popup_screen(23);
        if (result == 1 && f.popupResult == 1) {
            if (is_game(kDunmar) && f.gameKind == 102)
                f.popupResult = 15;
            else
                result = game_screen_of_record(VOK_GAME_COUNT - 1);
        }
        break;
    case 6:
        result = popup_screen(24);
        if (result != 1)
            break;
        switch (f.popupResult) {
        case 1:
            if (is_game(kDunmar) && f.gameKind == 102)
                f.popupResult = 15;
            else
                result = game_screen_of_record(VOK_GAME_COUNT - 1);
            break;
        case 2:
            next_unsolved();
            if (!is_game(kDunmar))
                f.popupResult = 1;
            break;
        case 4:
            if (!is_game(kDunmar))
                f.popupResult = 1;
            break;
        case 3: result = 0; break;
        default: break;
        }
        break;
    case 7:
        result = popup_screen(25);
        if (result != 1)
            break;
        if (f.popupResult == 1) {
            result = game_screen_of_record(VOK_GAME_COUNT - 1);
        } else if (f.popupResult == 2) {
            next_unsolved();
            f.popupResult = 1;
        } else if (f.popupResult == 4) {
            f.popupResult = 1;
        }
        break;
    case 9: result = run_screen(34); break;
    case 27: result = run_screen(f.levelFamily); break;
    case 28: result = run_screen(33); break;
    case 38: result = run_screen(46); break;
    case 40: result = run_screen(55); break;
    case 41:
        result = run_screen(f.gameKind == VOK_KIND_FREE ? 56 : 57);
        if (result == 1 && f.popupResult == 1)
            result = popup_screen(19);
        break;
    case 47: case 48: case 49: case 50: case 51: result = run_screen(int(id)); break;
    default: result = popup_screen(int(id)); break;
    }
    IfKillSound();
    if (clipPage && help_clip_page_up())
        help_clips(kClipPlay);
    r.nesting--;
    e.mayStart = true;
    return result;
}

VOK_EXPORT int VokPopupIFScreenEx(int id)
{
    return VokPopupIFScreen(unsigned(id));
}

VOK_EXPORT int VokIsAnyPopupAlive(void)
{
    SceneEngine &e = engine();
    e.alive = e.running != nullptr;
    if (e.alive)
        iface().popupResult = 0;
    return e.alive ? 1 : 0;
}

VOK_EXPORT void VokCloseAllPopup(void) {}
