// Whole-library and database begin and end: result codes and what begin sets up.
#include <math.h>
#include <string.h>

#include <brondel/brpixmap.h>

#include "db_support.h"
#include "dbstate.h"

using namespace dbtest;

namespace {

class Begin : public Db {};

TEST_F(Begin, SecondBeginIsRefusedAndChangesNothing)
{
    br_model *m = make_cube("kept");
    BrModelAdd(m);
    EXPECT_EQ(BrV1dbBegin(), (br_error)BRE_ALREADY_ACTIVE);
    EXPECT_EQ(BrBegin(), (br_error)BRE_ALREADY_ACTIVE);
    EXPECT_EQ(BrModelFind("kept"), m);
    EXPECT_NE(m->prepared, nullptr);
}

TEST_F(Begin, EndThenBeginAgainStartsEmpty)
{
    BrModelAdd(make_cube("gone"));
    BrMaterialAdd(BrMaterialAllocate("gone"));
    EXPECT_EQ(BrV1dbEnd(), 0u);
    EXPECT_EQ(BrV1dbEnd(), (br_error)BRE_NOT_ACTIVE);
    EXPECT_EQ(BrV1dbBegin(), 0u);
    EXPECT_EQ(BrModelCount(nullptr), 0u);
    EXPECT_EQ(BrMaterialCount(nullptr), 0u);
    // The classes are registered once, however often the database begins.
    EXPECT_EQ(BrResClassCount("MODEL"), 1u);
}

// The database hears of freed pixel maps only while it is begun: a map freed after its end is
// simply freed, and a database begun again takes freed maps out of its registries as the first did.
TEST_F(Begin, FreedMapsLeaveTheRegistriesOfEachDatabaseBegun)
{
    br_pixelmap *kept = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    BrMapAdd(kept);
    EXPECT_EQ(BrV1dbEnd(), 0u);
    EXPECT_EQ(BrPixelmapFreeHook(nullptr), nullptr);
    BrPixelmapFree(kept);
    for (int begun = 0; begun < 2; begun++) {
        EXPECT_EQ(BrV1dbBegin(), 0u);
        br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
        br_pixelmap *table = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
        BrMapAdd(map);
        BrTableAdd(table);
        BrPixelmapFree(map);
        BrPixelmapFree(table);
        EXPECT_EQ(BrMapCount(nullptr), 0u) << begun;
        EXPECT_EQ(BrTableCount(nullptr), 0u) << begun;
        if (begun == 0)
            EXPECT_EQ(BrV1dbEnd(), 0u);
    }
}

TEST_F(Begin, DatabaseResourceClasses)
{
    const struct {
        const char *name;
        int id;
        int alignment;
    } classes[] = {
        {"VERTICES", 4, 0}, {"FACES", 5, 0}, {"MODEL", 7, 0}, {"MATERIAL", 8, 0}, {"MATERIAL_INDEX", 9, 0},
        {"ACTOR", 10, 0}, {"LIGHT", 13, 0}, {"CAMERA", 14, 0}, {"BOUNDS", 15, 0}, {"CLIP_PLANE", 16, 0},
        {"TRANSFORM", 19, 0}, {"ENABLED_ACTORS", 40, 0}, {"PREPARED_MODEL", 42, 32}, {"ORDER_TABLE", 43, 32},
    };
    for (auto &c : classes) {
        br_resource_class *rc = BrResClassFind(c.name);
        ASSERT_NE(rc, nullptr) << c.name;
        EXPECT_EQ(rc->res_class, c.id) << c.name;
        EXPECT_EQ(rc->alignment, c.alignment) << c.name;
    }
}

TEST_F(Begin, DefaultModelIsTheCube)
{
    br_model *m = v1db.default_model;
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->identifier, "default_model");
    EXPECT_EQ(BrResClass(m), BR_MEMORY_MODEL);
    EXPECT_EQ(m->flags, BR_MODF_UPDATEABLE);
    ASSERT_EQ(m->nvertices, 8);
    ASSERT_EQ(m->nfaces, 12);
    const br_uint_16 faces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                     {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};
    for (int f = 0; f < 12; f++) {
        EXPECT_EQ(memcmp(m->faces[f].vertices, faces[f], sizeof(faces[f])), 0) << f;
        EXPECT_EQ(m->faces[f].smoothing, 1);
        EXPECT_EQ(m->faces[f].flags, f % 2 ? 1 : 4);
        EXPECT_EQ(m->faces[f].material, nullptr);
    }
    EXPECT_EQ(m->vertices[2].p.v[0], 1.0f);
    EXPECT_EQ(m->vertices[4].p.v[2], -1.0f);
    for (int v = 0; v < 8; v++)
        for (int a = 0; a < 2; a++)
            EXPECT_TRUE(m->vertices[v].map.v[a] == 0.0f || m->vertices[v].map.v[a] == 0.99f);

    // Prepared, it keeps its source and hides the side diagonals.
    BrModelUpdate(m, BR_MODU_ALL);
    ASSERT_NE(m->prepared, nullptr);
    EXPECT_EQ(m->prepared->groups[0].nvertices, 8);
    EXPECT_EQ(m->prepared->groups[0].nedges, 13);
    EXPECT_NE(m->vertices, nullptr);
    EXPECT_FLOAT_EQ(m->radius, sqrtf(3.0f));

    br_material *mat = v1db.default_material;
    ASSERT_NE(mat, nullptr);
    EXPECT_STREQ(mat->identifier, "default_mat");
    EXPECT_EQ(mat->flags, (br_uint_32)BR_MATF_LIT);
}

TEST_F(Begin, EnableTables)
{
    EXPECT_EQ(v1db.enabled_lights.max, 16);
    EXPECT_EQ(v1db.enabled_lights.type, 2);
    EXPECT_STREQ(v1db.enabled_lights.name, "light");
    EXPECT_EQ(v1db.enabled_clip_planes.max, 6);
    EXPECT_EQ(v1db.enabled_clip_planes.type, 7);
    EXPECT_STREQ(v1db.enabled_clip_planes.name, "clip plane");
    EXPECT_EQ(v1db.enabled_horizon_planes.max, 6);
    EXPECT_EQ(v1db.enabled_horizon_planes.type, 8);
    EXPECT_STREQ(v1db.enabled_horizon_planes.name, "horizon plane");
}

TEST(BeginWithoutDatabase, EndStillEndsTheCore)
{
    EXPECT_EQ(BrCoreBegin(), 0u);
    EXPECT_EQ(BrEnd(), 0u);
    EXPECT_EQ(BrEnd(), (br_error)BRE_NOT_ACTIVE);
    EXPECT_EQ(BrV1dbEnd(), (br_error)BRE_NOT_ACTIVE);
}

TEST(BeginWithoutDatabase, BeginReturnsTheDatabaseResult)
{
    EXPECT_EQ(BrBegin(), 0u);
    EXPECT_EQ(BrV1dbEnd(), 0u);
    // The core is still running; begin again only begins the database.
    EXPECT_EQ(BrBegin(), 0u);
    EXPECT_EQ(BrEnd(), 0u);
}

} // namespace
