// Actor tree: allocation defaults, linking, depths, search, freeing, relinking.
#include <gtest/gtest.h>

#include <brondel/bractor.h>

#include "db_support.h"
#include "db/dbstate.h"

namespace {

using dbtest::Db;

class Actors : public Db {
protected:
    br_actor *named(br_uint_8 type, const char *name)
    {
        br_actor *a = BrActorAllocate(type, nullptr);
        a->identifier = BrResStrDup(a, name);
        return a;
    }

    // Every child's back link and parent agree with the list it is in, and depths follow.
    static void expect_consistent(br_actor *a)
    {
        br_actor **link = &a->children;
        for (br_actor *c = a->children; c != nullptr; c = c->next) {
            EXPECT_EQ(c->prev, link);
            EXPECT_EQ(c->parent, a);
            EXPECT_EQ(c->depth, a->depth + 1);
            expect_consistent(c);
            link = &c->next;
        }
    }
};

TEST_F(Actors, AllocateGivesTypeRecordDefaults)
{
    br_actor *l = BrActorAllocate(BR_ACTOR_LIGHT, nullptr);
    const br_light *light = (const br_light *)l->type_data;
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->type, BR_LIGHT_DIRECT);
    EXPECT_EQ(light->colour, 0xffffffu);
    EXPECT_EQ(light->attenuation_c, 1.0f);
    EXPECT_EQ(light->cone_outer, 2730);
    EXPECT_EQ(light->cone_inner, 1820);

    br_actor *c = BrActorAllocate(BR_ACTOR_CAMERA, nullptr);
    const br_camera *cam = (const br_camera *)c->type_data;
    EXPECT_EQ(cam->type, BR_CAMERA_PERSPECTIVE);
    EXPECT_EQ(cam->field_of_view, 8190);
    EXPECT_EQ(cam->hither_z, 1.0f);
    EXPECT_EQ(cam->yon_z, 10.0f);

    br_actor *p = BrActorAllocate(BR_ACTOR_CLIP_PLANE, nullptr);
    EXPECT_EQ(((br_plane *)p->type_data)->eqn.v[2], 1.0f);
    EXPECT_EQ(BrActorAllocate(BR_ACTOR_MODEL, nullptr)->type_data, nullptr);

    br_camera mine = {};
    br_actor *given = BrActorAllocate(BR_ACTOR_CAMERA, &mine);
    EXPECT_EQ(given->type_data, &mine); // used as it is
    EXPECT_EQ(given->t.type, BR_TRANSFORM_MATRIX34);
    EXPECT_EQ(given->t.t.mat.m[0][0], 1.0f);
    for (br_actor *a : {l, c, p, given})
        BrActorFree(a);
}

TEST_F(Actors, AddRenumbersSubtreeAndRemoveRestarts)
{
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *b = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *c = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    BrActorAdd(b, c);
    BrActorAdd(a, b);
    EXPECT_EQ(c->depth, 2);
    EXPECT_EQ(BrActorAdd(world, a), a);
    EXPECT_EQ(a->depth, 1);
    EXPECT_EQ(b->depth, 2);
    EXPECT_EQ(c->depth, 3);
    expect_consistent(world);

    EXPECT_EQ(BrActorRemove(b), b);
    EXPECT_EQ(b->parent, nullptr);
    EXPECT_EQ(b->depth, 0);
    EXPECT_EQ(c->depth, 1);
    EXPECT_EQ(a->children, nullptr);
    BrActorFree(b);
    BrActorFree(world);
}

TEST_F(Actors, AddAtHeadAndMoveBetweenParentsKeepsBothListsWhole)
{
    br_actor *p1 = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *p2 = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *k[3];
    for (br_actor *&x : k)
        BrActorAdd(p1, x = BrActorAllocate(BR_ACTOR_NONE, nullptr));
    EXPECT_EQ(p1->children, k[2]); // newest first

    // Added elsewhere without a remove: leaves p1's list whole.
    BrActorAdd(p2, k[1]);
    EXPECT_EQ(p1->children, k[2]);
    EXPECT_EQ(k[2]->next, k[0]);
    EXPECT_EQ(k[0]->next, nullptr);
    EXPECT_EQ(p2->children, k[1]);
    expect_consistent(p1);
    expect_consistent(p2);
    BrActorFree(p1);
    BrActorFree(p2);
}

TEST_F(Actors, AddUnderItselfOrItsDescendantIsRefused)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *b = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    BrActorAdd(a, b);
    EXPECT_EQ(BrActorAdd(b, a), nullptr);
    EXPECT_EQ(BrActorAdd(a, a), nullptr);
    EXPECT_EQ(a->parent, nullptr);
    EXPECT_EQ(a->children, b);
    BrActorRelink(b, a);
    EXPECT_EQ(a->parent, nullptr);
    EXPECT_TRUE(dbtest::failures.empty());
    BrActorFree(a);
}

TEST_F(Actors, FreeOfAnActorStillInTheTreeUnlinksIt)
{
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *b = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    BrActorAdd(world, a);
    BrActorAdd(world, b);
    BrActorAdd(a, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    BrActorFree(b); // no remove first
    EXPECT_EQ(world->children, a);
    EXPECT_EQ(a->next, nullptr);
    expect_consistent(world);
    BrActorFree(world);
}

TEST_F(Actors, FreeOfAnEnabledLightOrEnvironmentClearsThem)
{
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *l = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
    br_actor *env = BrActorAdd(l, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    BrLightEnable(l);
    BrEnvironmentSet(env);
    EXPECT_EQ(v1db.enabled_lights.count, 1);
    BrActorFree(world);
    EXPECT_EQ(v1db.enabled_lights.count, 0);
    EXPECT_EQ(v1db.enabled_lights.enabled[0], nullptr);
    EXPECT_EQ(BrEnvironmentSet(nullptr), nullptr);
}

TEST_F(Actors, EnumReadsTheNextChildBeforeTheCallback)
{
    br_actor *p = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    for (int i = 0; i < 3; i++)
        BrActorAdd(p, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    int seen = 0;
    auto unlink_each = [](br_actor *a, void *arg) -> br_uint_32 {
        ++*(int *)arg;
        BrActorFree(BrActorRemove(a));
        return 0;
    };
    EXPECT_EQ(BrActorEnum(p, unlink_each, &seen), 0u);
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(p->children, nullptr);

    BrActorAdd(p, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    BrActorAdd(p, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    auto stop = [](br_actor *, void *arg) -> br_uint_32 { return ++*(int *)arg == 1 ? 0 : 77; };
    seen = 0;
    EXPECT_EQ(BrActorEnum(p, stop, &seen), 77u);
    BrActorFree(p);
}

TEST_F(Actors, SearchFollowsPathsOfPatterns)
{
    br_actor *world = named(BR_ACTOR_NONE, "world");
    br_actor *car = BrActorAdd(world, named(BR_ACTOR_NONE, "car"));
    br_actor *cart = BrActorAdd(world, named(BR_ACTOR_NONE, "cart"));
    br_actor *wheel = BrActorAdd(car, named(BR_ACTOR_MODEL, "wheel"));
    BrActorAdd(cart, named(BR_ACTOR_MODEL, "wheel"));
    BrActorAdd(car, BrActorAllocate(BR_ACTOR_NONE, nullptr)); // no name: never matches

    EXPECT_EQ(BrActorSearch(world, "//car//wheel"), wheel);
    EXPECT_EQ(BrActorSearch(world, "car/wheel/"), wheel);
    EXPECT_EQ(BrActorSearch(world, "car*"), cart); // first in list order
    EXPECT_EQ(BrActorSearch(world, "bus"), nullptr);

    br_actor *found[4] = {};
    EXPECT_EQ(BrActorSearchMany(world, "car*/wheel", found, 4), 2u);
    EXPECT_EQ(BrActorSearchMany(world, "car*/wheel", found, 1), 1u);
    EXPECT_EQ(BrActorSearchMany(world, "*", found, 4), 2u);
    BrActorFree(world);
}

} // namespace
