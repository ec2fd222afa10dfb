// The game's 3D effects beside the glows: the fly-in of a level's elements, textures animated at a
// fixed frame time, and elements breaking into shards. They draw from one seedable random source, so
// that a test sees the same flight twice.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>

#include "pannix/pxblit.h"
#include "terrow/trfx.h"
#include "terrow/trplay.h"
#include "win32/wintime.h"

namespace {

std::atomic<uint32_t> g_seed{1};
int32_t g_flyInCountdown = 0;

constexpr float kShortVector = 2.3841858e-7f;

// Fly-in data kept in the action itself: the frame count in `steps`, the offset and the spin in the
// first rows of the (otherwise unused) target matrix.
float &fly_spin(TrTimedAction *a)
{
    return a->toMatrix.m[1][0];
}
float *fly_offset(TrTimedAction *a)
{
    return a->toMatrix.m[0];
}

br_vector3 axis_of(float x, float y, float z)
{
    const float len = sqrtf(x * x + y * y + z * z);
    if (!(len >= kShortVector))
        return br_vector3{{1.0f, 0.0f, 0.0f}};
    return br_vector3{{x / len, y / len, z / len}};
}

br_angle degrees(float d)
{
    return br_angle(int32_t(d * 182.0f));
}

}  // namespace

extern "C" {

int32_t TrRand(void)
{
    uint32_t s = g_seed.load(), next;
    do
        next = s * 1103515245u + 12345u;
    while (!g_seed.compare_exchange_weak(s, next));
    return int32_t((next >> 16) & 0x7FFF);
}

void TrRandSeed(uint32_t seed)
{
    g_seed.store(seed);
}

// ---- Fly-in.

int32_t Fx_FlyInCountdown(void)
{
    return g_flyInCountdown;
}

void Fx_SetFlyInCountdown(int32_t frames)
{
    g_flyInCountdown = frames;
}

void Fx_FlyInFrame(void)
{
    if (g_flyInCountdown > 0)
        g_flyInCountdown--;
}

float Fx_FlyInOffset(int32_t cell)
{
    const int32_t c = cell < 5 ? cell - 1 : cell + 1;
    return float(c - 5) * 0.3f;
}

int Fx_FlyInStep(TrTimedAction *a)
{
    if (a == nullptr || a->actor == nullptr || a->steps <= 0)
        return 0;
    const float t = float(a->progress) / float(a->steps);
    const float s = t >= 1.0f ? 0.0f : 1.0f - t * t;
    const float *o = fly_offset(a);
    br_matrix34 *m = &a->actor->t.t.mat;
    BrMatrix34Copy(m, &a->fromMatrix);
    BrMatrix34PostTranslate(m, o[0] * s, o[1] * s, o[2] * s);
    const br_vector3 axis = axis_of(o[0], o[1], o[2]);
    BrMatrix34PreRotate(m, degrees(fly_spin(a) * s), &axis);
    return a->progress < a->steps ? 1 : 0;
}

void Fx_FlyIn(TrElem *elem)
{
    if (elem == nullptr || elem->actor == nullptr || elem->io == nullptr)
        return;
    br_actor *actor = elem->actor;
    TrTimedAction *a = TrActionNewFrame(actor, &actor->t.t.mat, nullptr, Fx_FlyInStep);
    if (a == nullptr)
        return;
    a->steps = 20 + int32_t(30.0f * float(TrRand()) / 32767.0f);
    if (a->steps > g_flyInCountdown)
        g_flyInCountdown = a->steps;
    fly_spin(a) = 360.0f * float(TrRand()) / 32767.0f - 180.0f;
    float *o = fly_offset(a);
    o[0] = Fx_FlyInOffset(elem->io->x);
    o[1] = 2.0f * float(TrRand()) / 32767.0f;
    o[2] = Fx_FlyInOffset(elem->io->z);
    if (TrActionAdd(a) != nullptr)
        Fx_FlyInStep(a);  // the first picture already shows it out there
}

void Fx_FlyInFinish(void)
{
    for (TrTimedAction *a = TrActionFirst(); a != nullptr;) {
        TrTimedAction *next = a->next;
        if (a->callback == Fx_FlyInStep) {
            a->progress = a->steps;
            Fx_FlyInStep(a);
            TrActionFree(a);
        }
        a = next;
    }
    g_flyInCountdown = 0;
}

// ---- Animated textures.

TrAnimTex *AnimTex_New(int32_t frameCount, br_pixelmap **frames, br_pixelmap *target, int32_t x, int32_t y)
{
    // No frames would leave nothing to show and no frame time to divide by.
    if (frameCount <= 0 || frames == nullptr || target == nullptr)
        return nullptr;
    for (int32_t i = 0; i < frameCount; i++)
        if (frames[i] == nullptr)
            return nullptr;
    auto *t = static_cast<TrAnimTex *>(calloc(1, sizeof(TrAnimTex)));
    if (t == nullptr)
        return nullptr;
    t->frameCount = frameCount;
    t->frames = frames;
    t->target = target;
    t->x = x;
    t->y = y;
    return t;
}

int32_t AnimTex_AddMaterial(TrAnimTex *tex, br_material *material)
{
    if (tex == nullptr || material == nullptr || tex->materialCount >= ANIMTEX_MATERIALS)
        return 0;
    tex->materials[tex->materialCount++] = material;
    return 1;
}

int32_t AnimTex_StepAt(TrAnimTex *tex, uint32_t now)
{
    if (tex == nullptr || tex->frameCount <= 0)
        return 0;
    br_pixelmap *f = tex->frames[tex->frame];
    CopyRectangle(tex->target, tex->x, tex->y, f, 0, 0, f->width, f->height);
    // The renderer reads the texture's own buffer: each material takes the new pixels.
    for (int32_t i = 0; i < tex->materialCount; i++)
        BrMaterialUpdate(tex->materials[i], BR_MATU_BUFFERS);
    tex->frame = int32_t((now / ANIMTEX_FRAME_MS) % uint32_t(tex->frameCount));
    return int32_t(now / (ANIMTEX_FRAME_MS * uint32_t(tex->frameCount)));
}

int32_t AnimTex_Step(TrAnimTex *tex)
{
    return AnimTex_StepAt(tex, timeGetTime());
}

void AnimTex_Free(TrAnimTex *tex)
{
    free(tex);
}

// ---- Shards.

TrShardSet *Shards_New(TrElem *debris, uint32_t startMs)
{
    if (debris == nullptr || debris->actor == nullptr)
        return nullptr;
    br_actor *actor = debris->actor;
    int32_t n = 0;
    for (br_actor *c = actor->children; c != nullptr; c = c->next)
        n++;
    if (n == 0)
        return nullptr;
    auto *set = static_cast<TrShardSet *>(calloc(1, sizeof(TrShardSet)));
    auto *shards = static_cast<TrShard *>(calloc(size_t(n), sizeof(TrShard)));
    if (set == nullptr || shards == nullptr) {
        free(set);
        free(shards);
        return nullptr;
    }
    set->count = n;
    set->shards = shards;
    set->actor = actor;
    set->startTime = startMs;
    set->elem = debris;
    BrMatrix34Inverse(&set->startTransform, &actor->t.t.mat);
    set->startTransform.m[3][0] = set->startTransform.m[3][1] = set->startTransform.m[3][2] = 0.0f;
    int32_t i = 0;
    for (br_actor *c = actor->children; c != nullptr; c = c->next, i++) {
        TrShard &s = shards[i];
        s.actor = c;
        float centre[3] = {0, 0, 0};
        if (c->model != nullptr && c->model->nvertices > 0) {
            for (int v = 0; v < c->model->nvertices; v++)
                for (int k = 0; k < 3; k++)
                    centre[k] += c->model->vertices[v].p.v[k];
            for (float &k : centre)
                k /= float(c->model->nvertices);
        }
        memcpy(s.centre, centre, sizeof centre);
        const br_vector3 d = axis_of(centre[0], centre[1], centre[2]);
        const float v = 0.15f + float(TrRand()) * 4.5777765e-6f;
        s.velocity[0] = d.v[0] * v;
        s.velocity[1] = d.v[1] * v + 0.4f;
        s.velocity[2] = d.v[2] * v;
        s.lifetime = 1300 + TrRand() / 36;
        s.spin = -60.0f + float(TrRand()) * 120.0f / 32767.0f;
        for (int k = 0; k < 3; k++)
            s.start[k] = c->t.t.mat.m[3][k];
    }
    return set;
}

int32_t Shards_Step(TrShardSet *set, uint32_t nowMs)
{
    if (set == nullptr)
        return 0;
    const float t = nowMs > set->startTime ? float(nowMs - set->startTime) / 1000.0f : 0.0f;
    const int32_t type = set->elem != nullptr && set->elem->io != nullptr ? set->elem->io->type : 0;
    const bool ballDebris = type >= TY_DEBRIS_BASE && type <= TY_DEBRIS_BASE + 3;
    for (int32_t i = 0; i < set->count; i++) {
        TrShard &s = set->shards[i];
        if (t * 1000.0f >= float(s.lifetime))
            return 0;
        br_matrix34 *m = &s.actor->t.t.mat;
        BrMatrix34Translate(m, -s.centre[0], -s.centre[1], -s.centre[2]);
        const br_vector3 axis = axis_of(s.velocity[0], s.velocity[1], s.velocity[2]);
        BrMatrix34PostRotate(m, degrees(s.spin * t), &axis);
        BrMatrix34PostTranslate(m, s.centre[0], s.centre[1], s.centre[2]);
        if (!ballDebris) {
            const float k = 0.3f + 0.7f * (1.0f - t * 1000.0f / float(s.lifetime));
            BrMatrix34PreScale(m, k, k, k);
        }
        BrMatrix34PostTranslate(m, s.start[0] + s.velocity[0] * t, s.start[1] + s.velocity[1] * t - 0.2f * t * t,
                                s.start[2] + s.velocity[2] * t);
        if (ballDebris)
            BrMatrix34Post(m, &set->startTransform);
    }
    return 1;
}

void Shards_Free(TrShardSet *set)
{
    if (set == nullptr)
        return;
    free(set->shards);
    free(set);
}

}  // extern "C"
