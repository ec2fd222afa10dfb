// Renderer start and end through the driver discovery, with the recording renderer.
#include <brondel/brpixmap.h>

#include "db_support.h"
#include "dbstate.h"
#include "test_renderer.h"

using namespace dbtest;

namespace {

class Renderer : public Db {
protected:
    void SetUp() override
    {
        Db::SetUp();
        test_renderer_reset();
        test_renderer_register();
    }
};

TEST_F(Renderer, ZbBeginFindsTheDriverAndZbEndFreesTheRenderer)
{
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    EXPECT_TRUE(failures.empty());
    ASSERT_EQ(rec.renderers, 1);
    ASSERT_NE(BrV1dbRendererQuery(), nullptr);
    EXPECT_TRUE(rec.renderer_lists[0].empty()) << "no device was begun: no destination";
    EXPECT_NE(v1db.format_model, nullptr);
    EXPECT_NE(v1db.format_buckets, nullptr);
    EXPECT_NE(v1db.format_lighting, nullptr);
    EXPECT_NE(v1db.default_model->prepared, nullptr);
    EXPECT_NE(v1db.default_material->stored, nullptr);

    BrZbEnd();
    EXPECT_EQ(rec.renderers_freed, 1);
    EXPECT_EQ(BrV1dbRendererQuery(), nullptr);
    EXPECT_EQ(v1db.format_model, nullptr);
    EXPECT_EQ(v1db.default_material->stored, nullptr);
    EXPECT_EQ(rec.states_freed, rec.states);
    EXPECT_EQ(BrV1dbRendererEnd(), (br_error)BRE_FAIL);
}

TEST_F(Renderer, BothSidesShareOneRenderer)
{
    char heap[256];
    BrZsBegin(BR_PMT_RGB_565, heap, sizeof(heap));
    EXPECT_EQ(v1db.heap.start, heap);
    EXPECT_EQ(v1db.heap.size, sizeof(heap));
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    EXPECT_EQ(rec.renderers, 1);
    BrZbEnd();
    EXPECT_NE(BrV1dbRendererQuery(), nullptr);
    EXPECT_EQ(rec.renderers_freed, 0);
    BrZsEnd();
    EXPECT_EQ(BrV1dbRendererQuery(), nullptr);
    EXPECT_EQ(rec.renderers_freed, 1);
}

TEST_F(Renderer, DestinationIsHandedToTheFacility)
{
    br_pixelmap *screen = BrPixelmapAllocate(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    ASSERT_EQ(BrV1dbRendererBegin(screen, nullptr), 0u);
    ASSERT_EQ(rec.renderer_lists.size(), 1u);
    ASSERT_EQ(rec.renderer_lists[0].size(), 1u);
    EXPECT_EQ(rec.renderer_lists[0][0].t, (br_token)BRT_DESTINATION_O);
    EXPECT_EQ(rec.renderer_lists[0][0].v.p, screen);
    EXPECT_EQ(BrV1dbRendererBegin(screen, nullptr), (br_error)BRE_ALREADY_ACTIVE);
    EXPECT_EQ(rec.renderers, 1);
    EXPECT_EQ(BrV1dbRendererEnd(), 0u);
    BrPixelmapFree(screen);
}

TEST_F(Renderer, FailedStartsLeaveNoRenderer)
{
    struct {
        const char *name;
        void (*arrange)();
        br_error result;
        int freed;
    } cases[] = {
        {"renderer creation fails", [] { rec.renderer_new_result = BRE_NO_MEMORY; }, BRE_NO_MEMORY, 0},
        {"no model format", [] { rec.no_model_format = true; }, BRE_FAIL, 1},
        {"no lighting format", [] { rec.no_lighting_format = true; }, BRE_FAIL, 1},
    };
    for (auto &c : cases) {
        test_renderer_reset();
        c.arrange();
        EXPECT_EQ(BrV1dbRendererBegin(nullptr, nullptr), c.result) << c.name;
        EXPECT_EQ(BrV1dbRendererQuery(), nullptr) << c.name;
        EXPECT_EQ(v1db.format_model, nullptr) << c.name;
        EXPECT_EQ(rec.renderers_freed, c.freed) << c.name;
        EXPECT_EQ(v1db.default_material->stored, nullptr) << c.name;
    }

    test_renderer_reset();
    rec.no_buckets_format = true;
    EXPECT_EQ(BrV1dbRendererBegin(nullptr, nullptr), 0u) << "the bucket format is optional";
    EXPECT_EQ(v1db.format_buckets, nullptr);
    EXPECT_NE(v1db.format_model, nullptr);
    EXPECT_EQ(BrV1dbRendererEnd(), 0u);
}

TEST_F(Renderer, ZbBeginReportsARendererThatWillNotStart)
{
    rec.no_model_format = true;
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    EXPECT_TRUE(has_failure("Failed to load renderer"));
    EXPECT_EQ(BrV1dbRendererQuery(), nullptr);
    EXPECT_TRUE(v1db.zb_active);
    BrZbEnd();
    EXPECT_FALSE(v1db.zb_active);
}

TEST_F(Renderer, StartUpdatesAndEndClearsRegisteredItems)
{
    br_pixelmap *table = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    table->identifier = BrResStrDup(table, "shade");
    map->identifier = BrResStrDup(map, "wood");
    BrTableAdd(table);
    BrMapAdd(map);
    br_material *mat = BrMaterialAllocate("wood");
    mat->colour_map = map;
    BrMaterialAdd(mat);
    br_model *cube = make_cube("cube", 0);
    for (int f = 0; f < 12; f++)
        cube->faces[f].material = mat;
    BrModelAdd(cube);
    EXPECT_EQ(table->stored, nullptr);
    EXPECT_EQ(mat->stored, nullptr);
    EXPECT_EQ(cube->prepared->groups[0].stored, nullptr);
    EXPECT_TRUE(rec.calls.empty());

    ASSERT_EQ(BrV1dbRendererBegin(nullptr, nullptr), 0u);
    // Tables, then maps, then materials, then the default material.
    std::vector<call> made;
    for (const call &c : rec.calls)
        if (c.op == "newStoredBuffer" || c.op == "newStoredState")
            made.push_back(c);
    ASSERT_EQ(made.size(), 4u);
    EXPECT_EQ(made[0].object, table);
    EXPECT_EQ(made[0].part, (br_token)BRT_UNKNOWN);
    EXPECT_EQ(made[1].object, map);
    EXPECT_EQ(made[1].part, (br_token)BRT_COLOUR_MAP_O);
    EXPECT_EQ(made[2].op, "newStoredState");
    EXPECT_EQ(made[3].op, "newStoredState");
    EXPECT_NE(table->stored, nullptr);
    EXPECT_NE(map->stored, nullptr);
    ASSERT_NE(mat->stored, nullptr);
    // The material's buffers are those its maps got just before it.
    auto buffers = rec.of("partSetMany");
    bool saw_map = false;
    for (const call &c : buffers)
        if (const br_value *v = value_of(c.tv, BRT_COLOUR_MAP_O))
            saw_map |= v->p == map->stored;
    EXPECT_TRUE(saw_map);
    // The model keeps its preparation and now names the material's state.
    EXPECT_EQ(cube->prepared->groups[0].stored, mat->stored);

    EXPECT_EQ(BrV1dbRendererEnd(), 0u);
    EXPECT_EQ(table->stored, nullptr);
    EXPECT_EQ(map->stored, nullptr);
    EXPECT_EQ(mat->stored, nullptr);
    EXPECT_EQ(rec.buffers_freed, 2);
    EXPECT_EQ(rec.states_freed, rec.states);
    EXPECT_EQ(rec.renderers_freed, 1);
    ASSERT_NE(cube->prepared, nullptr);
    EXPECT_EQ(cube->prepared->groups[0].stored, nullptr);

    // A second start finds everything again.
    ASSERT_EQ(BrV1dbRendererBegin(nullptr, nullptr), 0u);
    EXPECT_NE(map->stored, nullptr);
    EXPECT_EQ(cube->prepared->groups[0].stored, mat->stored);
    EXPECT_EQ(BrV1dbRendererEnd(), 0u);
}

// An updated material that was never registered would otherwise keep a state of the freed
// renderer and restore from it on its next update.
TEST_F(Renderer, EndClearsUnregisteredMaterialsToo)
{
    ASSERT_EQ(BrV1dbRendererBegin(nullptr, nullptr), 0u);
    br_material *loose = BrMaterialAllocate("loose");
    BrMaterialUpdate(loose, BR_MATU_ALL);
    ASSERT_NE(loose->stored, nullptr);
    EXPECT_EQ(BrV1dbRendererEnd(), 0u);
    EXPECT_EQ(loose->stored, nullptr);
    EXPECT_EQ(rec.states_freed, rec.states);
}

TEST_F(Renderer, StoredGeometryForModelsThatAskForIt)
{
    ASSERT_EQ(BrV1dbRendererBegin(nullptr, nullptr), 0u);
    rec.stored_geometry = true;
    br_model *shared = make_cube("shared", BR_MODF_STORED_GEOMETRY);
    BrModelAdd(shared);
    auto asked = rec.of("storedNew");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].part, (br_token)BRT_TRIANGLE);
    ASSERT_EQ(asked[0].tv.size(), 1u);
    EXPECT_EQ(asked[0].tv[0].t, (br_token)BRT_CAN_SHARE_B);
    EXPECT_TRUE(asked[0].tv[0].v.b);
    EXPECT_NE(shared->stored, nullptr);
    EXPECT_NE(shared->prepared, nullptr);

    rec.stored_shared = false;
    br_model *own = make_cube("own", BR_MODF_STORED_GEOMETRY);
    BrModelAdd(own);
    EXPECT_NE(own->stored, nullptr);
    EXPECT_EQ(own->prepared, nullptr) << "geometry the renderer copied needs no prepared block";

    br_model *kept = make_cube("kept", BR_MODF_STORED_GEOMETRY | BR_MODF_UPDATEABLE);
    BrModelAdd(kept);
    EXPECT_EQ(kept->stored, nullptr);
    EXPECT_EQ(rec.of("storedNew").size(), 2u);

    EXPECT_EQ(BrModelRemove(shared), shared);
    EXPECT_EQ(shared->stored, nullptr);
    EXPECT_EQ(shared->prepared, nullptr);
    EXPECT_EQ(rec.geometries_freed, 1);
    EXPECT_EQ(BrV1dbRendererEnd(), 0u);
    EXPECT_EQ(own->stored, nullptr);
    EXPECT_EQ(rec.geometries_freed, 2);
}

// A map that another module owns (here: a record of the test's own) must not keep a pointer into
// a renderer that the end of the library frees.
TEST(RendererAndLibraryEnd, EndLetsGoOfMapsItDoesNotOwn)
{
    ASSERT_EQ(BrBegin(), 0u);
    test_renderer_reset();
    test_renderer_register();
    br_pixelmap foreign{};
    char name[] = "foreign";
    foreign.identifier = name;
    foreign.type = BR_PMT_RGB_565;
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    BrMapAdd(&foreign);
    EXPECT_NE(foreign.stored, nullptr);
    EXPECT_EQ(BrEnd(), 0u);
    EXPECT_EQ(foreign.stored, nullptr);
    EXPECT_EQ(rec.buffers_freed, 1);
    EXPECT_EQ(rec.renderers_freed, 1);
}

} // namespace

// The compiled-in renderer takes what the database sends it.
TEST(CompiledInRenderer, StartsAndTakesMaterialsMapsAndModels)
{
    ASSERT_EQ(BrBegin(), 0u);
    diag_record();
    br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    map->identifier = BrResStrDup(map, "tex");
    BrMapAdd(map);
    br_material *mat = BrMaterialAllocate("tex");
    mat->colour_map = map;
    mat->flags |= BR_MATF_SMOOTH | BR_MATF_TWO_SIDED;
    BrMaterialAdd(mat);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    ASSERT_NE(BrV1dbRendererQuery(), nullptr);
    EXPECT_NE(map->stored, nullptr);
    EXPECT_NE(mat->stored, nullptr);
    br_model *cube = make_cube("cube", 0);
    for (int f = 0; f < 6; f++)
        cube->faces[f].material = mat;
    BrModelAdd(cube);
    ASSERT_NE(cube->prepared, nullptr);
    EXPECT_EQ(cube->prepared->ngroups, 2);
    BrZbEnd();
    EXPECT_EQ(mat->stored, nullptr);
    EXPECT_EQ(map->stored, nullptr);
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_EQ(BrEnd(), 0u);
}
