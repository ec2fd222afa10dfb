// The help screens (general help, a game's rules, help pages, second text, demo movie, short help)
// and the story screen: pages of text laid out 18 pixels a line and scrolled in their session.
#pragma once

#include <functional>

#include "vokscore/vokscene.h"

namespace vok {

constexpr int kHelpGeneral = 35, kHelpStory = 36, kHelpRules = 38, kHelpTips = 39, kHelpSecond = 40,
              kHelpDemo = 41, kHelpShort = 42;
constexpr int kHelpLineHeight = 18, kHelpMaxLines = 1024;
// Sessions of the help and story screens.
constexpr int kHelpButtons = 2, kHelpText = 3;
// The arrows of the text page.
constexpr int kHelpUp = 28, kHelpDown = 29;

// Lays text out into session `s` from content row `top`, 18 pixels a line, as high as it needs.
void help_layout(VokSession *s, const char *text, int top);
// Shows or hides ikon `id` of `s`; a shown one is drawn again.
void help_show_ikon(VokSession *s, int id, bool shown);

// Key handler rows of the help screens (ids 30, 31, 33..37): true when the key was theirs.
bool help_key(VokScene *scene, VokSession *focus, UINT message, WPARAM key);
// Key handler rows of the credits screen (id 32) and the movie screens (id 39).
bool credits_key(VokScene *scene, VokSession *focus, UINT message, WPARAM key);
bool movie_key(VokScene *scene, UINT message, WPARAM key);
// The results animation runs again on the next results screen (a game was chosen again).
void results_movie_reset();
bool &results_movie_flag();  // shown since it was last cleared
// The movie screen's clip progress, -1 without a clip.
int movie_progress();
// The credits clip now shown (0 the page, 1..4 the parts), -1 without clips; its progress.
int credits_current();
int credits_progress();
bool credits_paused();

// Help page positions of every game are forgotten (a new player).
void help_clear_positions();
// The help page position of game 0..4 (tests and the key rows).
int &help_position(int game);
// Lines of the text page laid out last and where the story's sections lie (content rows).
int help_line_count();
int help_section(int index);
// Called after every step of the demo frame's opening and closing animation with the step number
// (0..21 opening, 100..121 closing) and the scene picture; tests look at it.
std::function<void(int step, br_pixelmap *picture)> &help_frame_hook();
// The demo clip's progress the cues were last compared with, -1 when no clip plays.
int help_demo_progress();
// Cue text shown under the demo clip now, NULL when none.
const char *help_demo_cue();
// Stops the demo clip while another screen runs over the page, and plays it again afterwards.
void help_demo_pause(bool pause);

}  // namespace vok
