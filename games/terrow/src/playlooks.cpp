// The element looks behind the current field's seams: the game and trview install them, the headless
// tests run without. Also the field's starting orbit and the surface points of the glow effects.
#include <math.h>
#include <stdio.h>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>

#include "terrow/trlook.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"

namespace {

void look_make(TrElem *e)
{
    if (e->actor != nullptr || Look_MakeActorsIn(Palya_Current(), e) == nullptr)
        return;
    // A ball's arrow in the field: the field places the marker above the ball, which turns by its
    // direction; the arrow model, drawn along +z, is turned round under it to point the ball's way.
    br_actor *marker = e->markerActor;
    if (marker == nullptr || (e->io->flags & EF_SAMPLE) != 0)
        return;
    br_actor *arrow = BrActorAdd(marker, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    arrow->model = marker->model;
    arrow->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34RotateY(&arrow->t.t.mat, br_angle(32768));
    marker->model = nullptr;
    marker->type = BR_ACTOR_NONE;
}

// The actor that carries the arrow model: the turned child in the field, the marker for a sample.
br_actor *arrow_of(TrElem *e)
{
    br_actor *m = e->markerActor;
    return m != nullptr && m->type == BR_ACTOR_NONE && m->children != nullptr ? m->children : m;
}

int look_opaque(TrElem *e)
{
    return e->actor == nullptr || e->actor->material == nullptr || e->actor->material->opacity >= 255;
}

// The material of another look (a broken piece's, the ring's); the element keeps its own variant.
void look_set_material_of(TrElem *e, int32_t type, int32_t variant)
{
    const int32_t own = e->io->variant;
    e->io->variant = variant;
    Look_SetMaterialOf(type, e);
    e->io->variant = own;
}

void marker_model(TrElem *e, int set)
{
    if (br_actor *arrow = arrow_of(e))
        arrow->model = Model_Get(set ? "nyil.mod" : "picinyil.mod", 0);
}

void marker_shift(float delta)
{
    TrPalya *f = Palya_Current();
    if (f == nullptr)
        return;
    for (int32_t i = 0; i < f->count; i++) {
        br_actor *m = f->elements[i]->markerActor;
        if (m != nullptr && m->material != nullptr) {
            m->material->ka += delta;
            BrMaterialUpdate(m->material, BR_MATU_ALL);
        }
    }
}

void count_model(TrElem *sample, int32_t count)
{
    if (sample->markerActor == nullptr || count < 0 || count > 9)
        return;
    char name[16];
    snprintf(name, sizeof name, "s%d.mod", int(count));
    sample->markerActor->model = Model_Get(name, 0);
}

}  // namespace

extern "C" {

void TrInstallLookHooks(void)
{
    TrPlayHooks h = *TrPlayHooksGet();
    h.lookMake = look_make;
    h.lookRefresh = Look_Refresh;
    h.lookFree = Look_FreeActors;
    h.lookOpaque = look_opaque;
    h.lookSetMaterialOf = look_set_material_of;
    h.markerModel = marker_model;
    h.markerMaterialShift = marker_shift;
    h.countModel = count_model;
    TrSetPlayHooks(&h);
}

void TrOrbitFromField(TrOrbit *o, const TrPalya *f)
{
    o->x = f != nullptr ? f->pan : 0.0f;
    o->y = f != nullptr ? f->height : TR_CAM_HEIGHT;
    o->tilt = f != nullptr ? f->pitch : TR_CAM_PITCH;
    o->turn = f != nullptr ? f->yaw : TR_CAM_YAW;
    o->distance = f != nullptr ? f->distance : TR_CAM_DISTANCE;
    o->parallel = 0;
}

void TrPlaceFieldCamera(br_actor *camera, const TrPalya *f)
{
    TrOrbit o{};
    TrOrbitFromField(&o, f);
    o.camera = camera;
    Orbit_Apply(&o);
    // The pivot's turn (as the orbit turns it), taken into the camera's own matrix.
    BrMatrix34PostRotateY(&camera->t.t.mat, br_angle(int32_t(o.turn * 182.0f)));
}

int32_t TrSurfacePoints(float (*points)[3], int32_t max)
{
    TrPalya *f = Palya_Current();
    int32_t n = 0;
    if (f == nullptr || points == nullptr)
        return 0;
    for (int32_t i = 0; i < f->count && n < max; i++) {
        TrElem *e = f->elements[i];
        if ((e->io->flags & EF_BALL) || e->actor == nullptr || e->actor->model == nullptr)
            continue;
        const br_model *m = e->actor->model;
        const br_matrix34 &t = e->actor->t.t.mat;
        const bool nailed = e->io->type == TY_T_SZOGES;
        for (int32_t v = 0; v < m->nvertices && n < max; v++) {
            const br_vector3 &p = m->vertices[v].p;
            if (nailed && fabsf(p.v[1]) <= 0.02f)
                continue;
            float w[3];
            for (int k = 0; k < 3; k++)
                w[k] = p.v[0] * t.m[0][k] + p.v[1] * t.m[1][k] + p.v[2] * t.m[2][k] + t.m[3][k];
            bool near = false;
            for (int32_t j = 0; j < n && !near; j++) {
                const float dx = points[j][0] - w[0], dy = points[j][1] - w[1], dz = points[j][2] - w[2];
                near = dx * dx + dy * dy + dz * dz < 0.02f * 0.02f;
            }
            if (near)
                continue;
            for (int k = 0; k < 3; k++)
                points[n][k] = w[k];
            n++;
        }
    }
    return n;
}

}  // extern "C"
