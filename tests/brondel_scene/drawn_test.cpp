// With the stand-in renderer: the pixel a vertex projects to is the pixel drawn for it, and its
// depth is the one the depth conversion gives.
#include <gtest/gtest.h>

#include <algorithm>

#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "db_support.h"
#include <brondel/brv1db.h>

namespace {

struct Seen {
    br_vector2 xy;
    br_vector3 xyz;
    br_uint_32 outcode;
};
Seen seen;

br_uint_32 project_centre(br_actor *actor, br_model *model, br_material *material, br_order_table *,
                          br_uint_8 style, int on_screen)
{
    BrPointToScreenXY(&seen.xy, &model->vertices[0].p);
    seen.outcode = BrPointToScreenXYZO(&seen.xyz, &model->vertices[0].p);
    return BrZbModelRender(actor, model, material, style, on_screen, 0);
}

// A square of four triangles around an off-centre middle vertex, facing +z.
br_model *fan()
{
    static const float v[5][3] = {{0.13f, 0.07f, 0}, {-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    br_model *m = BrModelAllocate("fan", 5, 4);
    for (int i = 0; i < 5; i++)
        BrVector3Set(&m->vertices[i].p, v[i][0], v[i][1], v[i][2]);
    for (int f = 0; f < 4; f++) {
        m->faces[f].vertices[0] = 0;
        m->faces[f].vertices[1] = (br_uint_16)(1 + f);
        m->faces[f].vertices[2] = (br_uint_16)(1 + (f + 1) % 4);
        m->faces[f].smoothing = 1;
    }
    m->flags = BR_MODF_UPDATEABLE | BR_MODF_CUSTOM;
    m->custom = project_centre;
    return m;
}

class Drawn : public dbtest::Db {
protected:
    br_pixelmap *colour = nullptr, *depth = nullptr;
    void SetUp() override
    {
        Db::SetUp();
        colour = BrPixelmapAllocate(BR_PMT_RGB_565, 64, 48, nullptr, 0);
        depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, 64, 48, nullptr, 0);
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        ASSERT_NE(BrV1dbRendererQuery(), nullptr);
    }
    void TearDown() override
    {
        BrZbEnd();
        BrPixelmapFree(colour);
        BrPixelmapFree(depth);
        Db::TearDown();
    }
    br_uint_16 pixel16(br_pixelmap *pm, int x, int y)
    {
        const br_uint_8 *row = (const br_uint_8 *)pm->pixels + (pm->base_y + y) * pm->row_bytes;
        return ((const br_uint_16 *)row)[pm->base_x + x];
    }
};

TEST_F(Drawn, ProjectedVertexLandsOnItsPixel)
{
    struct Case {
        br_uint_8 camera_type;
        br_int_16 origin_x, origin_y;
        br_angle turn; // of the fan about y, so its depth varies across it
    } cases[] = {
        {BR_CAMERA_PERSPECTIVE_CENTRED, 0, 0, 0},
        {BR_CAMERA_PERSPECTIVE_CENTRED, 0, 0, 3000},
        {BR_CAMERA_PERSPECTIVE, 32, 24, 2000},
        {BR_CAMERA_PERSPECTIVE, 20, 30, 0}, // projection centred on the buffer's origin
        {BR_CAMERA_PARALLEL_CENTRED, 0, 0, 1000},
    };
    br_model *model = BrModelAdd(fan());
    for (const Case &c : cases) {
        br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        br_actor *cam = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *cd = (br_camera *)cam->type_data;
        cd->type = c.camera_type;
        cd->aspect = 64.0f / 48.0f;
        cd->width = 2.0f;
        cd->height = 1.5f;
        BrMatrix34Translate(&cam->t.t.mat, 0, 0, 4);
        br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->model = model;
        BrMatrix34RotateY(&a->t.t.mat, c.turn);
        colour->origin_x = c.origin_x;
        colour->origin_y = c.origin_y;

        BrPixelmapFill(colour, 0);
        BrPixelmapFill(depth, 0xffffffff);
        seen = {};
        BrZbSceneRender(world, cam, colour, depth);
        ASSERT_EQ(seen.outcode & 0xfff, 0u) << int(c.camera_type);
        int x = (int)seen.xy.v[0], y = (int)seen.xy.v[1];
        ASSERT_TRUE(x >= 0 && x < 64 && y >= 0 && y < 48) << x << "," << y;
        EXPECT_NE(pixel16(colour, x, y), 0) << "camera " << int(c.camera_type) << " at " << x << "," << y;
        // The depth stored is the surface's at the pixel centre, up to half a pixel from the vertex:
        // equal when the fan faces the camera, close when it is turned.
        int stored = pixel16(depth, x, y), expected = (int)(BrZbScreenZToDepth(seen.xyz.v[2]) >> 16);
        if (c.turn == 0)
            EXPECT_EQ(stored, expected) << int(c.camera_type);
        else
            EXPECT_NEAR(stored, expected, 64) << int(c.camera_type);
        // A corner of the buffer away from the square stays empty.
        EXPECT_EQ(pixel16(colour, 0, 0), 0);
        EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures.front();
        BrActorFree(world);
    }
    BrModelRemove(model);
    BrModelFree(model);
}

br_int_32 drawn_rect[4];
int bounds_calls;
br_uint_32 on_bounds(br_actor *, br_model *, br_material *, br_order_table *, br_uint_8, br_matrix4 *,
                     br_int_32 *rect)
{
    bounds_calls++;
    for (int i = 0; i < 4; i++)
        drawn_rect[i] = rect[i];
    return 0;
}

// The rectangle the render-bounds callback gets holds every pixel drawn, relative to the origin.
TEST_F(Drawn, RenderBoundsCallbackGetsTheDrawnRectangle)
{
    br_model *model = BrModelAdd(fan());
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *cam = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    ((br_camera *)cam->type_data)->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    BrMatrix34Translate(&cam->t.t.mat, 0.5f, 0, 5);
    BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr))->model = model;
    colour->origin_x = 10;
    colour->origin_y = 5;
    BrPixelmapFill(colour, 0);
    BrPixelmapFill(depth, 0xffffffff);
    bounds_calls = 0;
    EXPECT_EQ(BrZbSetRenderBoundsCallback(on_bounds), nullptr);
    BrZbSceneRender(world, cam, colour, depth);
    BrZbSetRenderBoundsCallback(nullptr);
    ASSERT_EQ(bounds_calls, 1);
    int minx = 64, miny = 48, maxx = -1, maxy = -1;
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            if (pixel16(colour, x, y) != 0) {
                minx = std::min(minx, x);
                maxx = std::max(maxx, x);
                miny = std::min(miny, y);
                maxy = std::max(maxy, y);
            }
    ASSERT_GE(maxx, 0);
    EXPECT_LE(drawn_rect[0], minx - 10);
    EXPECT_LE(drawn_rect[1], miny - 5);
    EXPECT_GE(drawn_rect[2], maxx - 10);
    EXPECT_GE(drawn_rect[3], maxy - 5);
    EXPECT_LE(drawn_rect[2] - drawn_rect[0], maxx - minx + 2);
    BrActorFree(world);
    BrModelRemove(model);
    BrModelFree(model);
}

// An enabled clip plane keeps the side its equation is positive on: x >= 0.25 in the world.
TEST_F(Drawn, ClipPlaneCutsAwayItsNegativeSide)
{
    br_model *model = BrModelAdd(fan());
    model->flags &= (br_uint_16)~BR_MODF_CUSTOM;
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *cam = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    ((br_camera *)cam->type_data)->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    BrMatrix34Translate(&cam->t.t.mat, 0, 0, 4);
    BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr))->model = model;
    br_actor *plane = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CLIP_PLANE, nullptr));
    ((br_plane *)plane->type_data)->eqn = {{1, 0, 0, 0}};
    BrMatrix34Translate(&plane->t.t.mat, 0.25f, 0, 0);
    BrClipPlaneEnable(plane);
    colour->origin_x = 32;
    colour->origin_y = 24;
    BrPixelmapFill(colour, 0);
    BrPixelmapFill(depth, 0xffffffff);
    BrZbSceneRender(world, cam, colour, depth);

    // x = 0.25 at depth 4 maps to column 36.8 (45 degree view, 64 wide): the fan is drawn right of
    // the cut only, although it spans columns 13 to 51.
    int left = 0, right = 0;
    for (int y = 0; y < 48; y++) {
        for (int x = 0; x < 30; x++)
            left += pixel16(colour, x, y) != 0;
        for (int x = 36; x < 64; x++)
            right += pixel16(colour, x, y) != 0;
    }
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 100);
    BrActorFree(world);
    BrModelRemove(model);
    BrModelFree(model);
}

} // namespace
