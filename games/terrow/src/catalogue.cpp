// The element catalogue beside the field: its samples, where they stand, which the supply shows, and
// the ring of sixteen pieces of the supply tool.
#include <math.h>

#include <initializer_list>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>

#include "terrow/trplay.h"

namespace {

struct SampleDef {
    int32_t type;
    int32_t x, y, z;
    int32_t direction;  // -1: none (0 without a marker)
    int parent;         // 0 ball slot, 1 second selection parent, 2.. node 1..5
};

const SampleDef kSamples[TR_CATALOGUE_SAMPLES] = {
    {TY_G_UVEG, 0, 0, 0, 0, 0},      {TY_G_FEM, 0, 0, 0, 0, 0},         {TY_G_GUMI, 0, 0, 0, 0, 0},
    {TY_G_BOMBA, 0, 0, 0, 0, 0},     {TY_T_SAROK, 1, 0, 1, 2, 1},       {TY_T_SAROK, -1, 0, 1, 1, 1},
    {TY_T_SAROK, -1, 0, -1, 0, 1},   {TY_T_SAROK, 1, 0, -1, 3, 1},      {TY_T_LEJTO, 1, 0, 0, 2, 1},
    {TY_T_LEJTO, 0, 0, 1, 1, 1},     {TY_T_LEJTO, -1, 0, 0, 0, 1},      {TY_T_LEJTO, 0, 0, -1, 3, 1},
    {TY_T_SIMA, 0, 0, 0, 0, 2},      {TY_T_MAGNES, 0, 0, 0, -1, 4},     {TY_T_INDITO, 0, 0, 0, 0, 3},
    {TY_T_SZOGES, 0, 0, 0, -1, 5},   {TY_T_CEL, 0, 0, 0, -1, 6},
};

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kRing = 16;

TrElem *g_samples[TR_CATALOGUE_SAMPLES];
int32_t g_count = 0;
int32_t g_shownCount[TR_CATALOGUE_SAMPLES];
TrElem *g_ring[kRing];
float g_pair[2][3];

bool has_marker(int32_t i)
{
    return kSamples[i].direction >= 0;
}

void make_actors(TrElem *e, bool marker)
{
    const TrPlayHooks *h = TrPlayHooksGet();
    if (h->lookMake != nullptr)
        h->lookMake(e);
    if (e->actor == nullptr)
        e->actor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    if (marker && e->markerActor == nullptr)
        e->markerActor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    if (e->markerActor != nullptr) {
        const bool ball = (e->io->flags & EF_BALL) != 0;
        br_matrix34 *m = &e->markerActor->t.t.mat;
        e->markerActor->t.type = BR_TRANSFORM_MATRIX34;
        if (ball) {
            BrMatrix34Scale(m, 0.7f, 0.7f, 0.7f);
            BrMatrix34PostTranslate(m, 0.0f, 0.05f, 0.0f);
        } else {
            BrMatrix34Translate(m, 0.0f, 0.04f, 0.0f);
        }
        if (e->markerActor->parent == nullptr)
            BrActorAdd(e->actor, e->markerActor);
    }
}

void free_actors(TrElem *e)
{
    const TrPlayHooks *h = TrPlayHooksGet();
    if (e->actor != nullptr && e->actor->parent != nullptr)
        BrActorRemove(e->actor);
    if (h->lookFree != nullptr) {
        h->lookFree(e);
    } else {
        if (e->markerActor != nullptr) {
            if (e->markerActor->parent != nullptr)
                BrActorRemove(e->markerActor);
            BrActorFree(e->markerActor);
        }
        if (e->actor != nullptr)
            BrActorFree(e->actor);
    }
    e->actor = e->markerActor = nullptr;
}

void show(TrElem *e, bool on)
{
    if (e != nullptr && e->actor != nullptr)
        e->actor->type = on ? BR_ACTOR_MODEL : BR_ACTOR_NONE;
}

void refresh(TrElem *e)
{
    if (TrPlayHooksGet()->lookRefresh != nullptr)
        TrPlayHooksGet()->lookRefresh(e);
}

bool supplied(int32_t i)
{
    const SampleDef &s = kSamples[i];
    return Supply_Get(s.type, s.direction < 0 ? 0 : s.direction) > 0;
}

void put(TrElem *e, const float p[3])
{
    if (e == nullptr || e->actor == nullptr)
        return;
    e->actor->t.type = BR_TRANSFORM_MATRIX34;
    br_matrix34 *m = &e->actor->t.t.mat;
    m->m[3][0] = p[0];
    m->m[3][1] = p[1];
    m->m[3][2] = p[2];
}

void stored_pair(float out[2][3], bool swapped)
{
    const float a[3] = {float(0.795 * cos(3 * kPi / 16)), 0.04f, float(0.725 * sin(3 * kPi / 16))};
    const float b[3] = {float(0.795 * cos(11 * kPi / 32)), 0.04f, float(0.795 * sin(11 * kPi / 32))};
    for (int k = 0; k < 3; k++) {
        out[swapped ? 1 : 0][k] = a[k];
        out[swapped ? 0 : 1][k] = b[k];
    }
}

}  // namespace

extern "C" {

void TrCatalogueFree(void)
{
    for (int32_t i = 0; i < g_count; i++) {
        free_actors(g_samples[i]);
        Elem_Free(g_samples[i]);
        g_samples[i] = nullptr;
    }
    g_count = 0;
    for (TrElem *&r : g_ring) {
        if (r != nullptr) {
            free_actors(r);
            Elem_Free(r);
        }
        r = nullptr;
    }
}

void TrCatalogueBuild(const TrCatalogueParents *parents)
{
    TrCatalogueFree();
    for (int32_t i = 0; i < TR_CATALOGUE_SAMPLES; i++) {
        const SampleDef &s = kSamples[i];
        TrElem *e = Elem_NewSample(s.type, s.x, s.y, s.z, s.direction < 0 ? 0 : s.direction);
        make_actors(e, has_marker(i));
        br_actor *parent = nullptr;
        if (parents != nullptr)
            parent = s.parent == 0 ? parents->ballSlot : s.parent == 1 ? parents->selection : parents->nodes[s.parent - 2];
        if (parent != nullptr)
            BrActorAdd(parent, e->actor);
        Palya_Place(e, 0);
        g_samples[g_count++] = e;
        g_shownCount[i] = -1;
    }
    TrCatalogueSupplyShow();
}

int32_t TrCatalogueCount(void)
{
    return g_count;
}

TrElem *TrCatalogueFind(int32_t type, int32_t direction)
{
    for (int32_t i = 0; i < g_count; i++) {
        const EIo *io = g_samples[i]->io;
        if (io->type != type)
            continue;
        if (type < TY_BALL_LIMIT || !has_marker(i) || io->direction == direction)
            return g_samples[i];
    }
    return nullptr;
}

TrElem *TrCatalogueSetVariant(int32_t type, int32_t direction, int32_t variant)
{
    for (int32_t i = 0; i < g_count; i++) {
        TrElem *e = g_samples[i];
        if (e->io->type != type)
            continue;
        if (type < TY_BALL_LIMIT || type == TY_T_MAGNES || !has_marker(i) || e->io->direction == direction) {
            e->io->variant = Elem_VariantKnown(type, variant) ? variant : 0;
            refresh(e);
            return e;
        }
    }
    return nullptr;
}

TrElem *TrCatalogueAt(int32_t index)
{
    return index >= 0 && index < g_count ? g_samples[index] : nullptr;
}

void TrCatalogueSlotPosition(int32_t slot, float factor, float out[3])
{
    if (slot < 0 || slot > 3)
        slot = 0;
    const double a = 0.19375 * kPi + slot * kPi / 20;
    out[0] = float(-0.795 * cos(a)) * factor;
    out[1] = 0.04f;
    out[2] = float(0.795 * sin(a)) * factor;
}

float TrCatalogueLayoutFactor(void)
{
    const TrPalya *f = Palya_Current();
    return f != nullptr && f->distance >= 2.05f ? 1.1f : 1.0f;
}

void TrCatalogueSlot(int32_t type, int32_t slot, float factor)
{
    float p[3];
    TrCatalogueSlotPosition(slot, factor, p);
    put(TrCatalogueFind(type, 0), p);
}

int TrCatalogueSlotIfSupplied(int32_t type, int32_t slot, float factor)
{
    if (Supply_Get(type, 0) <= 0)
        return 0;
    TrCatalogueSlot(type, slot, factor);
    return 1;
}

void TrCataloguePair(float out[2][3])
{
    for (int i = 0; i < 2; i++)
        for (int k = 0; k < 3; k++)
            out[i][k] = g_pair[i][k];
}

void TrCatalogueLayoutEditor(void)
{
    const float f = TrCatalogueLayoutFactor();
    TrCatalogueSlot(TY_G_UVEG, 0, f);
    TrCatalogueSlot(TY_G_FEM, 1, f);
    TrCatalogueSlot(TY_G_GUMI, 2, f);
    TrCatalogueSlot(TY_G_BOMBA, 3, f);
    stored_pair(g_pair, false);
}

void TrCatalogueLayoutGame(void)
{
    static const int32_t kLists[3][4] = {{1, 2, 0, 3}, {0, 1, 2, 3}, {3, 2, 1, 0}};
    const TrPalya *field = Palya_Current();
    int32_t layout = field != nullptr ? field->ballLayout : 0;
    if (layout < 0 || layout > 2)
        layout = 0;
    const float f = TrCatalogueLayoutFactor();
    int32_t next = 0;
    for (int32_t type : {TY_G_UVEG, TY_G_FEM, TY_G_GUMI, TY_G_BOMBA})
        if (TrCatalogueSlotIfSupplied(type, kLists[layout][next], f))
            next++;
    stored_pair(g_pair, field != nullptr && field->startLayout == 1);
}

void TrCatalogueShowAll(void)
{
    for (int32_t i = 0; i < g_count; i++)
        show(g_samples[i], true);
    TrCatalogueLayoutEditor();
}

void TrCatalogueShowSupplied(void)
{
    bool ramps = false;
    for (int32_t i = 0; i < g_count; i++)
        if ((kSamples[i].type == TY_T_LEJTO || kSamples[i].type == TY_T_SAROK) && supplied(i))
            ramps = true;
    for (int32_t i = 0; i < g_count; i++) {
        const bool ramp = kSamples[i].type == TY_T_LEJTO || kSamples[i].type == TY_T_SAROK;
        show(g_samples[i], ramp ? ramps : supplied(i));
    }
}

void TrCatalogueSupplyShow(void)
{
    const TrPlayMode *mode = TrPlayModeGet();
    for (int32_t i = 0; i < g_count; i++) {
        TrElem *e = g_samples[i];
        const SampleDef &s = kSamples[i];
        const int32_t n = Supply_Get(s.type, s.direction < 0 ? 0 : s.direction);
        if (n > 0) {
            e->io->flags &= ~EF_OUT_OF_STOCK;
            e->io->variant = 0;
            // The count models go from 0 to 9.
            g_shownCount[i] = n > 9 ? 9 : n;
            if (e->markerActor != nullptr) {
                e->markerActor->type = BR_ACTOR_MODEL;
                if (TrPlayHooksGet()->countModel != nullptr)
                    TrPlayHooksGet()->countModel(e, g_shownCount[i]);
            }
        } else {
            g_shownCount[i] = -1;
            if (e->markerActor != nullptr)
                e->markerActor->type = BR_ACTOR_NONE;
            if (mode->game) {
                e->io->flags |= EF_OUT_OF_STOCK;
                e->io->variant = Elem_VariantKnown(s.type, 2) ? 2 : 0;
            } else {
                e->io->flags &= ~EF_OUT_OF_STOCK;
                e->io->variant = 0;
            }
        }
        refresh(e);
    }
}

int32_t TrCatalogueShownCount(int32_t index)
{
    return index >= 0 && index < g_count ? g_shownCount[index] : -1;
}

int TrCatalogueShown(int32_t index)
{
    const TrElem *e = TrCatalogueAt(index);
    return e != nullptr && e->actor != nullptr && e->actor->type == BR_ACTOR_MODEL;
}

void TrRingBuild(br_actor *root)
{
    for (int32_t i = 0; i < kRing; i++) {
        if (g_ring[i] != nullptr) {
            free_actors(g_ring[i]);
            Elem_Free(g_ring[i]);
        }
        TrElem *e = Elem_NewSample(100, 0, 0, 0, 0);
        // Only the first variants of the ring piece have a look.
        e->io->variant = Elem_VariantKnown(100, i) ? i : 0;
        make_actors(e, false);
        br_matrix34 *m = &e->actor->t.t.mat;
        e->actor->t.type = BR_TRANSFORM_MATRIX34;
        BrMatrix34RotateY(m, br_angle(i * 16380));
        BrMatrix34PostTranslate(m, 0.0f, 0.077f, -0.05f);
        if (root != nullptr)
            BrActorAdd(root, e->actor);
        g_ring[i] = e;
    }
}

TrElem *TrRingAt(int32_t index)
{
    return index >= 0 && index < kRing ? g_ring[index] : nullptr;
}

void TrRingRefresh(int32_t variantBase)
{
    const TrPlayHooks *h = TrPlayHooksGet();
    for (int32_t i = 0; i < kRing; i++) {
        TrElem *e = g_ring[i];
        if (e == nullptr)
            continue;
        // A variant without a look of its own takes the first.
        const int32_t v = Elem_VariantKnown(100, variantBase + i) ? variantBase + i : 0;
        if (h->lookSetMaterialOf != nullptr)
            h->lookSetMaterialOf(e, 100, v);
        else
            e->io->variant = v;
    }
}

void TrRingShift(float delta)
{
    for (TrElem *e : g_ring) {
        if (e == nullptr || e->actor == nullptr || e->actor->material == nullptr)
            continue;
        e->actor->material->ka += delta;
        BrMaterialUpdate(e->actor->material, BR_MATU_ALL);
    }
}

}  // extern "C"
