// The tables of enabled lights and planes.
#include <gtest/gtest.h>

#include <brondel/bractor.h>

#include "db_support.h"
#include "db/dbstate.h"

namespace {

using dbtest::Db;

using Enable = Db;

TEST_F(Enable, SameLightTwiceTakesOneSlotAndDisableFreesIt)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_LIGHT, nullptr);
    br_actor *b = BrActorAllocate(BR_ACTOR_LIGHT, nullptr);
    BrLightDisable(a); // nothing enabled yet: nothing to do
    BrLightEnable(a);
    BrLightEnable(a);
    BrLightEnable(b);
    EXPECT_EQ(v1db.enabled_lights.count, 2);
    BrLightDisable(a);
    EXPECT_EQ(v1db.enabled_lights.count, 1);
    EXPECT_EQ(v1db.enabled_lights.enabled[0], nullptr);
    BrLightEnable(a); // first free slot again
    EXPECT_EQ(v1db.enabled_lights.enabled[0], a);
    BrActorFree(a);
    BrActorFree(b);
    EXPECT_EQ(v1db.enabled_lights.count, 0);
}

TEST_F(Enable, BeyondTheTableIsReportedAndStaysDisabled)
{
    struct Case {
        void (*enable)(br_actor *);
        br_uint_8 type;
        int max;
        const char *message;
        br_v1db_enable *table;
    } cases[] = {
        {BrLightEnable, BR_ACTOR_LIGHT, 16, "too many enabled lights", &v1db.enabled_lights},
        {BrClipPlaneEnable, BR_ACTOR_CLIP_PLANE, 6, "too many enabled clip planes", &v1db.enabled_clip_planes},
        {BrHorizonPlaneEnable, BR_ACTOR_HORIZON_PLANE, 6, "too many enabled horizon planes",
         &v1db.enabled_horizon_planes},
    };
    for (const Case &c : cases) {
        dbtest::failures.clear();
        br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        br_actor *last = nullptr;
        for (int i = 0; i <= c.max; i++) {
            last = BrActorAdd(world, BrActorAllocate(c.type, nullptr));
            c.enable(last);
        }
        ASSERT_EQ(dbtest::failures.size(), 1u) << c.message;
        EXPECT_TRUE(dbtest::has_failure(c.message));
        EXPECT_EQ(c.table->count, c.max);
        for (int i = 0; i < c.max; i++)
            EXPECT_NE(c.table->enabled[i], last);
        BrActorFree(world);
        EXPECT_EQ(c.table->count, 0);
    }
}

TEST_F(Enable, FreeRemovesAnActorFromWhicheverTableHoldsIt)
{
    // A model put in the light table by mistake must not stay there after it is freed.
    br_actor *m = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    BrLightEnable(m);
    BrClipPlaneEnable(m);
    BrActorFree(m);
    EXPECT_EQ(v1db.enabled_lights.count, 0);
    EXPECT_EQ(v1db.enabled_clip_planes.count, 0);
}

TEST_F(Enable, EnvironmentSetReturnsThePrevious)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    EXPECT_EQ(BrEnvironmentSet(a), nullptr);
    EXPECT_EQ(BrEnvironmentSet(nullptr), a);
    BrActorFree(a);
}

} // namespace
