// The interface screen runner: ids onto table entries, one screen at a time over the popup window.
#pragma once

#include "vokscore/vokpopup.h"

namespace vok {

struct ScreenRunner {
    int current = 0;         // entry of the interface table now running (also the help page number)
    int nesting = 0;         // VokPopupIFScreen calls in progress
    bool choiceMade = false; // a button of a results screen was chosen: the preview stops redrawing
};
ScreenRunner &runner();

// Steps of the screens that other parts of the framework own. A null hook skips its step.
struct RunnerHooks {
    // The backdrop scene under the game screens: starts it over screenPix (clearing the loading bar's
    // progress when asked) and draws it once; false when it cannot be built.
    bool (*backdropBegin)(bool clearProgress) = nullptr;
    // The backdrop's picture, NULL when none is up.
    br_pixelmap *(*backdropPicture)() = nullptr;
    // Composes the loading picture over the game screen's last picture into the backdrop and reports
    // the first loading progress.
    void (*backdropLoading)(VokScene *gameScreen) = nullptr;
    // Ends the backdrop.
    void (*backdropEnd)() = nullptr;
    // Moves the level fields to the next unsolved level of the current game (1 when it moved).
    int (*nextUnsolvedLevel)() = nullptr;
    // The entry focused at build in session `sessionId` of game `game`'s screen: the kind pages 100 and
    // 101 and the family or group pages 121..124 (a level's command, or a family's page), 0 none.
    int (*levelCommand)(int game, int sessionId) = nullptr;
    // Level position of the level fields (for the best times); the level family when unset.
    int (*levelPosition)() = nullptr;
};
RunnerHooks &runner_hooks();

// Single-id mapping (unknown ids: popupResult -1, 0).
int popup_screen(int id);
// Runs entry 0..66 of the interface table; 1 when it was built and run.
int run_screen(int entry);
// Runs the game screen of id 15..20.
int run_game_screen(int id);
// Entry the results id 24 and the solved-level id 25 run, from the record and the statistics.
int results_entry();
int solved_entry();

// Plays the press movie of a button (frames 2..8, or 2..5 unless `full`); false when it has none.
bool press_button(VokSession *session, VokIkon *ikon, bool full);
// True while a press movie of the running scene has not reached its end frame.
bool button_movies_running();
// The session the keys of the running screen go to.
VokSession *popup_focus_session();
// Times the exit question was drawn again after it appeared.
int question_redraws();

}  // namespace vok
