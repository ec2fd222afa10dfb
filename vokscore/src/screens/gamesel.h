// Game selection's helpers the game screens share.
#pragma once

#include "win32/wintypes.h"

namespace vok {

constexpr int kGameVarnel = 0, kGameMossik = 1, kGameTerrow = 2, kGameKelpa = 3, kGameDunmar = 4;
// Levels of Mossik's and Kelpa's free-play families.
constexpr int kMossikFamily = 8, kKelpaFamily = 9;
constexpr int kTerrowGroupSize = 25, kTerrowGroups = 4;

// Level `position` of game `game` in `kind` was solved (free play: in this process; Terrow's field
// game: its solved record; a best-times game: its level's table holds an entry).
bool level_solved(int game, int kind, int position);
// The number of levels of a game's kind the screens show (0: none).
int level_count(int game, int kind);
// First command id of a game's level buttons in kind 100 or 101 (0: none).
int level_command_base(int game, int kind);
// Delete on the general screen: asks, then clears the best times of the level whose list the statistics
// page shows. False when no list is shown.
bool stats_clear_question();
// Runs the file browser over the current screen for a file to open; NULL when none was chosen.
const char *browse_over_screen(HWND window, const char *filter, const char *folder, const char *title);

}  // namespace vok
