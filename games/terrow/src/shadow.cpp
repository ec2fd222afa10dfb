// Soft ball shadows: each ball carries four shadow actors, one per piece it casts on. A shadow is the
// receiver's own flat shape with a blurred spot texture moved under the ball; it shrinks with the
// ball's height and stands on a slope turned like the slope.
#include <stdio.h>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmatrix23.h>
#include <brondel/brpixmap.h>

#include "terrow/trdib.h"
#include "terrow/trfx.h"
#include "terrow/trlook.h"
#include "terrow/trplay.h"

namespace {

br_pixelmap *g_picture = nullptr;
int32_t g_number = 0;

br_material *new_shadow_material()
{
    char name[32];
    snprintf(name, sizeof name, "shadow.%d", g_number++);
    br_material *m = BrMaterialAllocate(name);
    if (m == nullptr)
        return nullptr;
    m->opacity = 128;
    m->ka = 0.5f;
    m->kd = 0.0f;
    m->ks = 0.0f;
    m->flags = 37;
    m->colour = 0xFFFFFF;  // our renderer lights a texture by the material's colour
    m->index_shade = BrTableFind("shade\\b.shd");
    m->colour_map = Fx_LoadShadowPicture();
    return BrMaterialAdd(m);
}

const char *shadow_model(int32_t type)
{
    switch (type) {
    case TY_T_LEJTO: return "lejtof.mod";
    case TY_T_SIMA:
    case TY_T_SZOGES:
    case TY_T_CEL:
    case TY_T_INDITO: return "lapf.mod";
    case TY_T_MAGNES: return "magnes.mod";
    default: return nullptr;
    }
}

br_angle quarter(int32_t direction)
{
    return br_angle(int32_t(float(direction) * 90.0f * 182.0f));
}

}  // namespace

extern "C" {

br_pixelmap *Fx_LoadShadowPicture(void)
{
    if (g_picture == nullptr || BrMapFind("bq\\arny256x.pix") != g_picture)
        g_picture = TrLoadPicture("bq\\arny256x.pix");
    return g_picture;
}

float Shadow_Fade(float height)
{
    if (height < 0.0625f)
        return 1.0f;
    if (height < 0.8875f)
        return 1.0f - (height - 0.0625f) * 1.2121212f;
    return 0.0f;
}

float Shadow_Band(float v, float f)
{
    const float a = 0.025f * f;
    float g;
    if (v > 0.05f + a)
        g = 1.0f;
    else if (v > 0.05f - a)
        g = 0.6667f + 0.3333f * (v - (0.05f - a)) / (2.0f * a);
    else if (v > a - 0.05f)
        g = 0.3333f + 0.3334f * (v - (a - 0.05f)) / (2.0f * (0.05f - a));
    else if (v > -(0.05f + a))
        g = 0.3333f - 0.3333f * ((a - 0.05f) - v) / (2.0f * a);
    else
        g = 0.0f;
    return g < 0.0f ? 0.0f : g > 1.0f ? 1.0f : g;
}

void Shadow_Make(TrElem *elem)
{
    if (elem == nullptr || elem->io == nullptr || (elem->io->flags & EF_SAMPLE))
        return;
    if (elem->io->type >= TY_BALL_LIMIT) {
        for (br_actor *&a : elem->shadowActors)
            a = nullptr;
        return;
    }
    for (br_actor *&a : elem->shadowActors) {
        if (a != nullptr)
            continue;
        a = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
        if (a == nullptr)
            continue;
        a->t.type = BR_TRANSFORM_MATRIX34;
        a->material = new_shadow_material();
    }
    Shadow_FindBelow(elem);
}

void Shadow_Free(TrElem *elem)
{
    if (elem == nullptr)
        return;
    for (br_actor *&a : elem->shadowActors) {
        if (a == nullptr)
            continue;
        if (a->parent != nullptr)
            BrActorRemove(a);
        if (br_material *m = a->material) {
            m->colour_map = nullptr;
            BrMaterialFree(BrMaterialRemove(m));
            a->material = nullptr;
        }
        BrActorFree(a);
        a = nullptr;
    }
}

void Shadow_FindBelow(TrElem *elem)
{
    if (elem == nullptr || elem->io == nullptr)
        return;
    const TrPalya *field = Palya_Current();
    elem->shadowReceivers[0] =
        field != nullptr ? Palya_FindCell(field, elem->io->x, elem->io->y - 1, elem->io->z) : nullptr;
    elem->shadowReceivers[1] = nullptr;
}

void Shadow_Update(TrElem *ball)
{
    if (ball == nullptr || ball->io == nullptr)
        return;
    if (ball->io->flags & (EF_SUNK | EF_ENTERED))
        ball->shadowReceivers[0] = nullptr;
    int32_t i = 0;
    for (; i < 4 && ball->shadowReceivers[i] != nullptr; i++)
        if (ball->shadowActors[i] != nullptr)
            Shadow_Place(ball->actor, ball->shadowActors[i], ball->shadowReceivers[i]);
    for (; i < 4; i++)
        if (ball->shadowActors[i] != nullptr && ball->shadowActors[i]->parent != nullptr)
            BrActorRemove(ball->shadowActors[i]);
}

void Shadow_Place(br_actor *ballActor, br_actor *shadow, TrElem *receiver)
{
    if (shadow == nullptr)
        return;
    if (shadow->parent != nullptr)
        BrActorRemove(shadow);
    if (receiver == nullptr || receiver->io == nullptr || ballActor == nullptr)
        return;
    const int32_t type = receiver->io->type;
    const char *modelName = shadow_model(type);
    br_model *model = modelName != nullptr ? Model_Get(modelName, 0) : nullptr;
    const TrPalya *field = Palya_Current();
    if (model == nullptr || field == nullptr || field->translucentParent == nullptr)
        return;
    shadow->model = model;
    const bool slope = type == TY_T_LEJTO;
    const int32_t dir = receiver->io->direction & 3;

    // The receiver's place: its actor's, or the one saved while the actor is lifted into the copies.
    const float *R = receiver->actor != nullptr && receiver->actor->parent == field->opaqueParent
                         ? receiver->actor->t.t.mat.m[3]
                         : receiver->savedMatrix.m[3];
    const float *B = ballActor->t.t.mat.m[3];
    br_vector3 d = {{B[0] - R[0], B[1] - R[1], B[2] - R[2]}};
    br_vector3 e = d;
    if (slope) {
        br_matrix34 turn;
        BrMatrix34RotateY(&turn, br_angle(-int32_t(quarter(dir))));
        BrMatrix34ApplyV(&e, &d, &turn);
    }
    const float f = Shadow_Fade(e.v[1]);
    const float gx = Shadow_Band(e.v[0], f), gz = Shadow_Band(e.v[2], f);

    if (br_material *m = shadow->material) {
        BrMatrix23Translate(&m->map_transform, gx - 1.0f, gz - 1.0f);
        BrMatrix23PostScale(&m->map_transform, 0.4f, 0.4f);
        BrMatrix23PostTranslate(&m->map_transform, 1.0f - gx, 1.0f - gz);
        BrMaterialUpdate(m, BR_MATU_MAP_MATRIX);
    }

    float s = 0.0f;
    if (slope) {
        switch (dir) {
        case 0: s = d.v[0] * 0.55f; break;
        case 1: s = d.v[2] * -0.55f; break;
        case 2: s = d.v[0] * -0.55f; break;
        default: s = d.v[2] * 0.55f; break;
        }
    }
    br_matrix34 *mat = &shadow->t.t.mat;
    shadow->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34Translate(mat, -d.v[0], -s, -d.v[2]);
    BrMatrix34PostScale(mat, f, slope ? f : 1.0f, f);
    if (f != 0.0f)
        BrMatrix34PostTranslate(mat, d.v[0] + R[0], s + R[1] + 0.005f, d.v[2] + R[2]);
    if (slope)
        BrMatrix34PreRotateY(mat, quarter(dir));
    BrActorAdd(field->translucentParent, shadow);
}

}  // extern "C"
