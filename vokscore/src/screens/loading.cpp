// The backdrop scene and the loading bar: a spiral of tiles that fills as the game module reports
// its progress, and the end of the backdrop when the game's own window takes over.
#include "loading.h"

#include <algorithm>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "scenedesc.h"
#include "runner.h"
#include "scenestate.h"
#include "state.h"
#include "vokscore/vokloading.h"

namespace vok {

namespace {

// The bar's cells: x and y of the 12 columns and 11 rows, the spiral's start, and where the bar and
// its first cell lie in the backdrop.
constexpr int kCols[] = {0, 32, 65, 98, 130, 163, 195, 228, 260, 293, 325, 358};
constexpr int kRows[] = {0, 32, 65, 98, 130, 163, 195, 228, 260, 293, 325};
constexpr int kColCount = 12, kRowCount = 11;
constexpr int kStartCol = 5, kStartRow = 5;
constexpr int kBarX = 115, kBarY = 51;
constexpr int kTileDx = 10, kTileDy = 6;
constexpr int kStripY = 368;
// Ikons of the backdrop description.
constexpr int kIkonEmptyBar = 1, kIkonTile = 3, kIkonLoad = 4, kIkonLoading = 5;

struct Spiral {
    int x[kLoadingTiles], y[kLoadingTiles];
    Spiral()
    {
        // Right, down, left, up in runs of 1, 1, 2, 2, 3, 3, ... cells; cells off the grid are passed over.
        static const int dc[] = {1, 0, -1, 0}, dr[] = {0, 1, 0, -1};
        int c = kStartCol, r = kStartRow, n = 0, dir = 0, run = 1;
        x[n] = kCols[c], y[n] = kRows[r], n++;
        while (n < kLoadingTiles) {
            for (int twice = 0; twice < 2 && n < kLoadingTiles; twice++, dir = (dir + 1) % 4) {
                for (int s = 0; s < run && n < kLoadingTiles; s++) {
                    c += dc[dir], r += dr[dir];
                    if (c >= 0 && c < kColCount && r >= 0 && r < kRowCount)
                        x[n] = kCols[c], y[n] = kRows[r], n++;
                }
            }
            run++;
        }
    }
};

// Lives as long as the library: the bar's count survives the backdrop, as the game screen after a
// game may show it again; the scene pointer is only trusted while the scene is on the stack.
struct Loading {
    VokScene *backdrop = nullptr;
    int drawn = 0;
};

Loading &loading()
{
    static Loading l;
    return l;
}

bool on_stack(VokScene *scene)
{
    for (VokScene *s = engine().running; s && scene; s = s->beneath)
        if (s == scene)
            return true;
    return false;
}

VokIkon *ikon(VokScene *scene, int id)
{
    return scene->sessionCount > 0 ? FindIkon(&scene->sessions[0], id) : nullptr;
}

// Draws a picture into the backdrop's background and its shown picture alike, so that a repaint of
// a dirty place keeps it.
void put(VokScene *scene, br_pixelmap *pm, int x, int y, bool transparent)
{
    VokSession *f = &scene->sessions[0];
    if (!pm)
        return;
    for (br_pixelmap *d : {f->backgroundPix, f->pix})
        if (d) {
            if (transparent)
                CopyRectTransparent0(d, x, y, pm, 0, 0, pm->width, pm->height);
            else
                CopyRectangle(d, x, y, pm, 0, 0, pm->width, pm->height);
        }
}

}  // namespace

void tile_position(int index, int *x, int *y)
{
    static const Spiral spiral;
    index = std::clamp(index, 0, kLoadingTiles - 1);
    *x = spiral.x[index];
    *y = spiral.y[index];
}

VokScene *backdrop_scene()
{
    Loading &l = loading();
    if (l.backdrop && !on_stack(l.backdrop))
        l.backdrop = nullptr;
    return l.backdrop;
}

int loading_drawn()
{
    return loading().drawn;
}

int backdrop_begin(bool clearProgress)
{
    Loading &l = loading();
    if (clearProgress)
        l.drawn = 0;
    backdrop_end(0);
    VokScene *desc = backdrop_screen();
    if (!desc || !InitScene(desc, 0)) {
        if (desc && VokGetCurScene() == desc)
            KillCurScene(0);
        return 0;
    }
    l.backdrop = desc;
    MnuBuildScene();
    MnuPaintScreen(desc, 1);
    return 1;
}

int backdrop_end(int keep)
{
    VokScene *b = backdrop_scene();
    if (!b || VokGetCurScene() != b)
        return 0;
    KillCurScene(keep);
    if (!keep)
        loading().backdrop = nullptr;
    return 1;
}

void loading_compose(br_pixelmap *picture)
{
    VokScene *b = backdrop_scene();
    if (!b || b->sessionCount <= 0)
        return;
    if (picture)
        put(b, picture, 0, 0, false);
    auto pix = [&](int id) {
        VokIkon *k = ikon(b, id);
        return k ? k->pix : nullptr;
    };
    put(b, pix(kIkonLoad), 0, 0, true);
    put(b, pix(kIkonLoading), 0, kStripY, true);
    put(b, pix(kIkonEmptyBar), kBarX, kBarY, true);
    b->sessions[0].state |= VOK_SST_FULL;
    MnuPaintScreen(b, 1);
}

}  // namespace vok

using namespace vok;

VOK_EXPORT void UpdateLoadingProgressBar(unsigned percent)
{
    VokScene *b = backdrop_scene();
    if (!b || b->sessionCount <= 0 || !b->sessions[0].pix)
        return;
    Loading &l = loading();
    percent = std::min(percent, 100u);
    int target = int(percent * unsigned(kLoadingTiles) / 100u);
    VokIkon *tile = ikon(b, kIkonTile);
    bool drew = false;
    while (l.drawn < target) {
        int x, y;
        tile_position(l.drawn, &x, &y);
        if (tile && tile->pix)
            put(b, tile->pix, kBarX + kTileDx + x, kBarY + kTileDy + y, false);
        MnuPaintScreen(b, 1);
        l.drawn++;
        drew = true;
    }
    if (!drew)
        MnuPaintScreen(b, 1);
    // The cursor hidden when the game screen ended comes back once, when the bar is full.
    if (percent == 100 && drew)
        ShowCursor(TRUE);
}

VOK_EXPORT int FadeInGame(void *)
{
    return backdrop_end(0);
}

namespace {

// The screen runner builds the backdrop under every game screen and leaves it up for a game that loads.
struct Hooks {
    Hooks()
    {
        RunnerHooks &h = runner_hooks();
        h.backdropBegin = [](bool clearProgress) { return backdrop_begin(clearProgress) != 0; };
        h.backdropPicture = []() -> br_pixelmap * {
            VokScene *b = backdrop_scene();
            return b && b->sessionCount > 0 ? b->sessions[0].pix : nullptr;
        };
        h.backdropLoading = [](VokScene *gameScreen) {
            bool shown = gameScreen && gameScreen->sessionCount > 0;
            loading_compose(shown ? gameScreen->sessions[0].pix : nullptr);
            UpdateLoadingProgressBar(1);
        };
        h.backdropEnd = [] { backdrop_end(0); };
    }
} g_hooks;

}  // namespace
