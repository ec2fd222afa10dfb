// The backdrop scene that stays under the game screens and, while a game module loads, shows the
// loading picture with its bar of tiles.
#pragma once

#include "vokscore/vokscene.h"

namespace vok {

// Tiles of a full bar, and the place of tile `index` (0..131) in the bar's spiral, from the bar's origin.
constexpr int kLoadingTiles = 132;
void tile_position(int index, int *x, int *y);

// Ends a backdrop still up, then starts the backdrop over screenPix and draws it once (the bar's
// count cleared when asked: no game runs). 1 when it is up.
int backdrop_begin(bool clearProgress);
// Ends the backdrop when it is the current scene (KillCurScene with `keep`); 0 otherwise.
int backdrop_end(int keep);
// The backdrop while it runs, else NULL.
VokScene *backdrop_scene();
// Composes the loading picture into the backdrop: `picture` (the game screen's last picture), "load"
// at the top, "loading" at y 368 and the empty bar, then paints it.
void loading_compose(br_pixelmap *picture);
// Tiles drawn so far.
int loading_drawn();

}  // namespace vok
