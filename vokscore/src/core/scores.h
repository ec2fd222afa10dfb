// What the best-times lists and the progress page read of the scores.
#pragma once

#include "vokscore/vokstats.h"

namespace vok {

// Working table 0 or 1 of the last block read or written (six entries), NULL for other numbers.
const VokScoreEntry *score_table(int table);
// The best ranks of the last update or check (-1 none).
int best_rank(int table);
// Free play: levels of a game solved in this process, and the game's number of levels.
int free_solved(int game);
int free_levels(int game);
// Free play: level `position` of a game was solved in this process.
bool free_seen(int game, int position);
// Frees every entry of the tables of block `block` of a game's best-times file in one write; false when
// the file could not be read or written (it is then unchanged).
bool clear_best_times(uint32_t gameId, int block);

}  // namespace vok
