// What the database keeps between renders must not outlive the renderer, the material or the
// database it belongs to: prepared models outside the registry, the z-sort tables and callbacks, and
// the render-bounds callback, across material removal, renderer restarts and a library restart.
// Drawn with the compiled-in renderer, so a stale pointer is read (and caught by the address
// checker) rather than only compared.
#include <gtest/gtest.h>

#include <vector>

#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "db_support.h"
#include "db/dbstate.h"

namespace {

class Lifetime : public dbtest::Db {
protected:
    br_pixelmap *colour = nullptr, *depth = nullptr;
    br_actor *world = nullptr, *camera = nullptr, *actor = nullptr;
    alignas(16) unsigned char heap[4096];

    void SetUp() override
    {
        Db::SetUp();
        scene_make();
    }
    void TearDown() override
    {
        BrZbEnd();
        BrZsEnd();
        BrActorFree(world);
        BrPixelmapFree(colour);
        BrPixelmapFree(depth);
        Db::TearDown();
    }
    // Buffers and a cube in front of a camera; made again after a library restart.
    void scene_make()
    {
        colour = BrPixelmapAllocate(BR_PMT_RGB_565, 32, 24, nullptr, 0);
        depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, 32, 24, nullptr, 0);
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        ((br_camera *)camera->type_data)->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        BrMatrix34Translate(&camera->t.t.mat, 0, 0, 5);
        actor = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    }
    // Ends and begins the library again.
    void library_restart()
    {
        BrZbEnd();
        BrZsEnd();
        BrActorFree(world);
        BrPixelmapFree(colour);
        BrPixelmapFree(depth);
        EXPECT_EQ(BrEnd(), 0u);
        ASSERT_EQ(BrBegin(), 0u);
        dbtest::diag_record();
        scene_make();
    }
    void zb_render()
    {
        BrPixelmapFill(colour, 0);
        BrPixelmapFill(depth, 0xffffffff);
        BrZbSceneRender(world, camera, colour, depth);
    }
};

// A model prepared on its own (never registered) follows its material's renderer state: none once
// the material is removed or the renderer ends, the new one once it is back.
TEST_F(Lifetime, PreparedModelOutsideTheRegistryFollowsItsMaterial)
{
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    br_material *mat = BrMaterialAdd(BrMaterialAllocate("used"));
    br_model *loose = dbtest::make_cube("loose");
    for (int f = 0; f < loose->nfaces; f++)
        loose->faces[f].material = mat;
    BrModelUpdate(loose, BR_MODU_ALL);
    ASSERT_NE(loose->prepared, nullptr);
    const br_prepared_group &g = loose->prepared->groups[0];
    EXPECT_EQ(g.stored, mat->stored);
    actor->model = loose;
    zb_render();

    BrMaterialRemove(mat);
    EXPECT_EQ(g.stored, nullptr);
    zb_render(); // would restore from the freed state
    BrMaterialAdd(mat);
    EXPECT_EQ(g.stored, mat->stored);

    BrZbEnd();
    EXPECT_EQ(g.stored, nullptr);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    ASSERT_NE(mat->stored, nullptr);
    EXPECT_EQ(g.stored, mat->stored);
    zb_render();
    EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures.front();
}

// The scene-wide order table is let go at renderer end, when it is freed and at database end; a
// z-sort render after that draws without it instead of reading a freed table.
TEST_F(Lifetime, ZSortSceneTableGoesWithTheRendererAndTheDatabase)
{
    BrZsBegin(BR_PMT_RGB_565, heap, sizeof(heap));
    br_order_table *t = BrOrderTableAllocate(16, 0, BR_SORT_AVERAGE);
    EXPECT_EQ(BrZsOrderTableSceneSet(t), t);
    BrZsEnd();
    EXPECT_EQ(v1db.primary_order_table, nullptr);
    BrOrderTableFree(t);
    BrZsBegin(BR_PMT_RGB_565, heap, sizeof(heap));
    BrZsSceneRender(world, camera, colour);
    EXPECT_EQ(v1db.order_list, nullptr);

    t = BrOrderTableAllocate(16, 0, BR_SORT_AVERAGE);
    BrZsOrderTableSceneSet(t);
    BrOrderTableFree(t);
    EXPECT_EQ(v1db.primary_order_table, nullptr);
    BrZsSceneRender(world, camera, colour);

    t = BrOrderTableAllocate(16, 0, BR_SORT_AVERAGE);
    BrZsOrderTableSceneSet(t);
    library_restart(); // frees the table with the database
    BrZsBegin(BR_PMT_RGB_565, heap, sizeof(heap));
    BrZsSceneRender(world, camera, colour);
    EXPECT_EQ(v1db.primary_order_table, nullptr);
    EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures.front();
}

// The primitive heap goes back to the caller at the z-sort end, also while the z-buffer side keeps
// the renderer going: a z-sort render after that must not fill the freed heap.
TEST_F(Lifetime, ZSortHeapIsLetGoAtTheZSortEnd)
{
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    std::vector<unsigned char> *own = new std::vector<unsigned char>(1 << 16);
    BrZsBegin(BR_PMT_RGB_565, own->data(), (br_uint_32)own->size());
    actor->model = nullptr; // the default cube
    BrZsSceneRender(world, camera, colour);
    EXPECT_NE(v1db.heap.current, (void *)own->data()) << "the render took primitives from the heap";
    BrZsEnd();
    delete own;
    ASSERT_NE(BrV1dbRendererQuery(), nullptr);
    EXPECT_EQ(v1db.heap.start, nullptr);
    BrZsSceneRender(world, camera, colour);
}

void on_insert(br_primitive *, br_actor *, br_model *, br_material *, br_order_table *, br_scalar *) {}

int bounds_calls;
br_uint_32 on_bounds(br_actor *, br_model *, br_material *, br_order_table *, br_uint_8, br_matrix4 *, br_int_32 *)
{
    bounds_calls++;
    return 0;
}

// The render-bounds callback keeps firing after a renderer restart (the new renderer is told to
// keep bounds), and neither callback survives the database.
TEST_F(Lifetime, CallbacksFollowRendererRestartsButNotTheDatabase)
{
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    EXPECT_EQ(BrZbSetRenderBoundsCallback(on_bounds), nullptr);
    EXPECT_EQ(BrZsPrimitiveCallbackSet(on_insert), nullptr);
    bounds_calls = 0;
    zb_render();
    EXPECT_EQ(bounds_calls, 1);
    BrZbEnd();
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    zb_render();
    EXPECT_EQ(bounds_calls, 2);

    library_restart();
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    EXPECT_EQ(BrZbSetRenderBoundsCallback(nullptr), nullptr);
    EXPECT_EQ(BrZsPrimitiveCallbackSet(nullptr), nullptr);
    zb_render();
    EXPECT_EQ(bounds_calls, 2);
}

} // namespace
