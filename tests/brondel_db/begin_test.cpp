// Whole-library and database begin and end: result codes and what begin sets up.
#include "db_support.h"

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
