// Fly-in, animated textures and shards.
#include <math.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <brondel/bractor.h>
#include <brondel/brfw.h>
#include <brondel/brmaterial.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brv1db.h>

#include "terrow/trfield.h"
#include "terrow/trfx.h"
#include "terrow/trplay.h"

namespace {

class Fx : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrBegin(), 0);
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        TrActionFreeAll();
        Fx_SetFlyInCountdown(0);
        TrRandSeed(7);
    }
    void TearDown() override
    {
        TrActionFreeAll();
        BrZbEnd();
        BrEnd();
    }
};

bool same(const br_matrix34 &a, const br_matrix34 &b, float eps = 1e-5f)
{
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            if (fabsf(a.m[r][c] - b.m[r][c]) > eps)
                return false;
    return true;
}

TEST(FlyIn, OffsetsFromTheCell)
{
    struct Case {
        int cell;
        float offset;
    } cases[] = {{4, -0.6f}, {5, 0.3f}, {0, -1.8f}, {9, 1.5f}};
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(Fx_FlyInOffset(c.cell), c.offset) << c.cell;
}

TEST_F(Fx, ElementsFlyInAndLandInPlace)
{
    std::vector<TrElem *> elems;
    std::vector<br_matrix34> starts;
    for (int i = 0; i < 40; i++) {
        TrElem *e = Elem_New(i % 10, 1 + i / 10, 4 + i % 2, 0, TY_T_SIMA, EF_NOT_BALL);
        e->actor = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        e->actor->t.type = BR_TRANSFORM_MATRIX34;
        BrMatrix34RotateY(&e->actor->t.t.mat, 8000);
        BrMatrix34PostTranslate(&e->actor->t.t.mat, e->io->x * 0.1f, e->io->y * 0.055f, e->io->z * 0.1f);
        starts.push_back(e->actor->t.t.mat);
        elems.push_back(e);
    }
    int longest = 0;
    for (TrElem *e : elems) {
        Fx_FlyIn(e);
        TrTimedAction *a = TrActionFirst();
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(a->actor, e->actor);
        EXPECT_GE(a->steps, 20);
        EXPECT_LE(a->steps, 50);
        longest = std::max(longest, int(a->steps));
        // The first picture shows it at its offset: the x 4 element comes from -0.6, the z 5 from 0.3.
        const br_matrix34 &m = e->actor->t.t.mat;
        EXPECT_NEAR(m.m[3][0] - (e->io->x * 0.1f), Fx_FlyInOffset(e->io->x), 1e-4f);
        EXPECT_NEAR(m.m[3][2] - (e->io->z * 0.1f), Fx_FlyInOffset(e->io->z), 1e-4f);
        EXPECT_GE(m.m[3][1] - e->io->y * 0.055f, 0.0f);
        EXPECT_LE(m.m[3][1] - e->io->y * 0.055f, 2.0f);
    }
    EXPECT_EQ(Fx_FlyInCountdown(), longest);

    // Half of them land by the frames; a click lands the rest at once.
    for (int f = 0; f <= 25; f++) {
        TrActionRunFrame();
        Fx_FlyInFrame();
    }
    EXPECT_EQ(Fx_FlyInCountdown(), longest - 26);
    for (size_t i = 0; i < elems.size(); i++) {
        bool flying = false;
        for (TrTimedAction *a = TrActionFirst(); a != nullptr; a = a->next)
            flying = flying || a->actor == elems[i]->actor;
        if (!flying)
            EXPECT_TRUE(same(elems[i]->actor->t.t.mat, starts[i])) << i;
    }
    Fx_FlyInFinish();
    EXPECT_EQ(TrActionFirst(), nullptr);
    EXPECT_EQ(Fx_FlyInCountdown(), 0);
    for (size_t i = 0; i < elems.size(); i++) {
        EXPECT_TRUE(same(elems[i]->actor->t.t.mat, starts[i])) << i;
        BrActorFree(elems[i]->actor);
        elems[i]->actor = nullptr;
        Elem_Free(elems[i]);
    }
}

TEST_F(Fx, TheSameSeedFliesTheSameWay)
{
    std::vector<int32_t> a, b;
    TrRandSeed(99);
    for (int i = 0; i < 10; i++)
        a.push_back(TrRand());
    TrRandSeed(99);
    for (int i = 0; i < 10; i++)
        b.push_back(TrRand());
    EXPECT_EQ(a, b);
    for (int32_t v : a) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, TR_RAND_MAX);
    }
}

TEST_F(Fx, AnimatedTexturesStepEvery70Ms)
{
    br_pixelmap *frames[3];
    for (int i = 0; i < 3; i++) {
        frames[i] = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
        BrPixelmapFill(frames[i], 0x1000u * (i + 1));
    }
    br_pixelmap *target = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    BrPixelmapFill(target, 0);
    EXPECT_EQ(AnimTex_New(0, frames, target, 0, 0), nullptr) << "no frames: nothing to show";
    EXPECT_EQ(AnimTex_New(-1, frames, target, 0, 0), nullptr);
    EXPECT_EQ(AnimTex_New(3, frames, nullptr, 0, 0), nullptr);
    TrAnimTex *t = AnimTex_New(3, frames, target, 2, 2);
    ASSERT_NE(t, nullptr);
    br_material *m = BrMaterialAllocate("animtex");
    m->colour_map = target;
    BrMaterialAdd(m);
    EXPECT_EQ(AnimTex_AddMaterial(t, m), 1);

    auto px = [&](int x, int y) {
        return ((const uint16_t *)((const char *)target->pixels + (ptrdiff_t)y * target->row_bytes))[x];
    };
    struct Step {
        uint32_t now;
        int shown, next, cycles;
    } steps[] = {{0, 0, 0, 0}, {69, 0, 0, 0}, {70, 0, 1, 0}, {140, 1, 2, 0}, {210, 2, 0, 1}, {1000, 0, 2, 4}};
    for (const Step &s : steps) {
        EXPECT_EQ(AnimTex_StepAt(t, s.now), s.cycles) << s.now;
        EXPECT_EQ(px(3, 3), 0x1000u * (s.shown + 1)) << s.now;
        EXPECT_EQ(t->frame, s.next) << s.now;
    }
    EXPECT_EQ(px(1, 1), 0) << "outside the frame's place";
    AnimTex_Free(t);
    m->colour_map = nullptr;
    BrMaterialFree(BrMaterialRemove(m));
    BrPixelmapFree(target);
    for (br_pixelmap *f : frames)
        BrPixelmapFree(f);
}

// Debris with three pieces, each a small triangle around its own centre.
struct Debris {
    TrElem *elem;
    std::vector<br_model *> models;
};

Debris make_debris(int32_t type)
{
    Debris d;
    d.elem = Elem_New(-1, -1, -1, 0, type, EF_RUN_MADE);
    d.elem->actor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    d.elem->actor->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34RotateX(&d.elem->actor->t.t.mat, 4000);
    BrMatrix34PostTranslate(&d.elem->actor->t.t.mat, 0.3f, 0.1f, 0.2f);
    const float centres[3][3] = {{0.02f, 0, 0}, {0, 0.02f, 0}, {0, 0, -0.02f}};
    for (int i = 0; i < 3; i++) {
        br_model *m = BrModelAllocate("piece", 3, 1);
        for (int v = 0; v < 3; v++)
            for (int k = 0; k < 3; k++)
                m->vertices[v].p.v[k] = centres[i][k] + (v == k ? 0.01f : -0.005f);
        d.models.push_back(m);
        br_actor *a = BrActorAdd(d.elem->actor, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->model = m;
        a->t.type = BR_TRANSFORM_MATRIX34;
    }
    return d;
}

void free_debris(Debris &d)
{
    BrActorFree(d.elem->actor);
    d.elem->actor = nullptr;
    Elem_Free(d.elem);
    for (br_model *m : d.models)
        BrModelFree(m);
}

TEST_F(Fx, AShardSetEndsWithItsFirstExpiredShard)
{
    for (int32_t type : {TY_DEBRIS_BASE + TY_G_FEM, TY_DEBRIS_OTHER}) {
        Debris d = make_debris(type);
        TrShardSet *set = Shards_New(d.elem, 5000);
        ASSERT_NE(set, nullptr);
        ASSERT_EQ(set->count, 3);
        for (int i = 0; i < 3; i++) {
            const TrShard &s = set->shards[i];
            EXPECT_GE(s.lifetime, 1300);
            EXPECT_LE(s.lifetime, 1300 + TR_RAND_MAX / 36);
            EXPECT_GE(s.spin, -60.0f);
            EXPECT_LE(s.spin, 60.0f);
            const float h = sqrtf(s.velocity[0] * s.velocity[0] + (s.velocity[1] - 0.4f) * (s.velocity[1] - 0.4f) +
                                  s.velocity[2] * s.velocity[2]);
            EXPECT_GE(h, 0.15f - 1e-4f);
            EXPECT_LE(h, 0.30f + 1e-4f);
        }
        // The middle shard goes first.
        set->shards[0].lifetime = 2000;
        set->shards[1].lifetime = 1000;
        set->shards[2].lifetime = 2000;
        EXPECT_EQ(Shards_Step(set, 5999), 1);
        const br_matrix34 before[3] = {set->shards[0].actor->t.t.mat, set->shards[1].actor->t.t.mat,
                                       set->shards[2].actor->t.t.mat};
        // Moving: up by 0.4 t - 0.2 t^2 on top of the spread; a ball's pieces rise in the world, whatever
        // way the ball had turned, the others in their piece's own frame.
        br_matrix34 world;
        BrMatrix34Mul(&world, &before[0], &d.elem->actor->t.t.mat);
        if (type == TY_DEBRIS_OTHER)
            EXPECT_NEAR(before[0].m[3][1], 0.2f, 0.01f);
        else
            EXPECT_NEAR(world.m[3][1] - d.elem->actor->t.t.mat.m[3][1], 0.2f, 0.01f);
        EXPECT_EQ(Shards_Step(set, 6000), 0);
        EXPECT_FALSE(same(set->shards[0].actor->t.t.mat, before[0], 0.0f)) << "the first one still moved";
        EXPECT_TRUE(same(set->shards[1].actor->t.t.mat, before[1], 0.0f));
        EXPECT_TRUE(same(set->shards[2].actor->t.t.mat, before[2], 0.0f)) << "after the expired one";
        // Other debris shrinks towards 0.3 of its size; a ball's pieces keep theirs.
        const br_matrix34 &m = before[0];
        const float scale = sqrtf(m.m[0][0] * m.m[0][0] + m.m[0][1] * m.m[0][1] + m.m[0][2] * m.m[0][2]);
        if (type == TY_DEBRIS_OTHER)
            EXPECT_NEAR(scale, 0.3f + 0.7f * (1.0f - 999.0f / 2000.0f), 1e-3f);
        else
            EXPECT_NEAR(scale, 1.0f, 1e-3f);
        Shards_Free(set);
        free_debris(d);
    }
    TrElem *bare = Elem_New(-1, -1, -1, 0, TY_DEBRIS_OTHER, EF_RUN_MADE);
    EXPECT_EQ(Shards_New(bare, 0), nullptr) << "no actor";
    Elem_Free(bare);
}

}  // namespace
