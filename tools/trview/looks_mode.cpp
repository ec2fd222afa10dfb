// --looks: every look of the table side by side on a floor of ground plates, balls with their
// arrows, debris as the pieces of their whole.
#include <cstdio>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmatrix.h>

#include "modes.h"
#include "terrow/trfield.h"
#include "terrow/trlook.h"

namespace trview {

namespace {

constexpr int kColumns = 8;
constexpr float kSpacing = 0.16f;
std::vector<TrElem *> g_elems;

bool build(Viewer &v, const std::vector<std::string> &args)
{
    if (!args.empty()) {
        fprintf(stderr, "trview: --looks takes no field\n");
        return false;
    }
    const int n = Look_Count();
    const int rows = (n + kColumns - 1) / kColumns;
    for (int i = 0; i < n; i++) {
        const TrLook *l = Look_At(i);
        // A sample, so that the ground rules leave the look as it is; balls point to +z.
        uint32_t flags = Elem_ClassOf(l->type) | EF_SAMPLE | EF_LEVEL_PART;
        const int32_t dir = l->type < TY_BALL_LIMIT ? 2 : 0;
        TrElem *e = Elem_NewV(0, 0, 0, dir, l->type, flags, l->variant);
        br_actor *a = Look_MakeActorsIn(nullptr, e);
        if (a == nullptr) {
            Elem_Free(e);
            continue;
        }
        BrActorAdd(v.root(), a);
        const int col = i % kColumns, row = i / kColumns;
        br_matrix34 *m = &a->t.t.mat;
        BrMatrix34PostTranslate(m, col * kSpacing, 0.0f, row * kSpacing);
        g_elems.push_back(e);
        printf("look %2d: type %3d variant %d at column %d row %d, %s\n", i, l->type, l->variant, col, row,
               l->textureName);
    }
    fflush(stdout);
    v.set_centre((kColumns - 1) * kSpacing * 0.5f, 0.0f, (rows - 1) * kSpacing * 0.5f);
    TrOrbit &o = v.orbit();
    o.tilt = 305.0f;
    o.turn = 0.0f;
    o.distance = 1.45f;
    v.apply_orbit();
    return true;
}

void finish(Viewer &)
{
    for (TrElem *e : g_elems) {
        Look_FreeActors(e);
        Elem_Free(e);
    }
    g_elems.clear();
}

}  // namespace

const Mode kLooksMode = {"--looks", "every element look side by side", build, nullptr, finish, nullptr};

}  // namespace trview
