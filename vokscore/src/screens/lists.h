// The lines of the best-times lists and the sizes of the progress bars.
#pragma once

#include <string>

#include "vokscore/vokstats.h"

namespace vok {

constexpr int kBarLength = 121; // pixels of a full progress bar

// "%d. %s" with the place from 1, or "%d. -" for a free entry.
std::string best_name_line(int place, const VokScoreEntry &e);
// The result of an entry as game `game` shows it in its list 0 or 1; "-" for a free entry.
// Mossik and Kelpa: tenths as m:ss.t; Varnel: seconds as m:ss or h:mm:ss (list 0), the score (list 1).
std::string best_value_line(int game, int list, const VokScoreEntry &e);
// Lines a list of the game has (Varnel: three a list; Mossik and Kelpa six; 0: no list).
int best_lines(int game);
// The bar of `solved` of `levels`: its length in pixels, and which picture shows it (2 full,
// 1 partial, 0 none).
int bar_length(int solved, int levels);
int bar_picture(int length);
// "%d/%d" of all games.
std::string progress_line(int solved, int levels);

}  // namespace vok
