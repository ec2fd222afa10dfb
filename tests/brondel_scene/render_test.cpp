// Scene traversal, render styles, callbacks, lights and z-sort tables, against the recording
// renderer.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>

#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "db_support.h"
#include "db/dbstate.h"
#include "recorder.h"

namespace {

using scenetest::Recorder;

class Render : public dbtest::Db {
protected:
    Recorder rec;
    br_actor *world = nullptr, *camera = nullptr;
    br_model *cube = nullptr, *other = nullptr;
    br_pixelmap colour = {};

    void SetUp() override
    {
        Db::SetUp();
        rec.install();
        v1db.zb_active = 1;
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        BrMatrix34Translate(&camera->t.t.mat, 0, 0, 5);
        BrModelUpdate(v1db.default_model, BR_MODU_ALL); // as renderer start does
        cube = BrModelAdd(dbtest::make_cube("cube"));
        other = BrModelAdd(dbtest::make_cube("other"));
        colour.width = 64;
        colour.height = 48;
        colour.origin_x = 32;
        colour.origin_y = 24;
    }
    void TearDown() override
    {
        BrActorFree(world);
        BrModelRemove(cube);
        BrModelRemove(other);
        BrModelFree(cube);
        BrModelFree(other);
        rec.uninstall();
        Db::TearDown();
    }
    br_actor *add(br_actor *parent, br_uint_8 type, br_model *m = nullptr, float x = 0)
    {
        br_actor *a = BrActorAdd(parent, BrActorAllocate(type, nullptr));
        a->model = m;
        if (x != 0)
            BrMatrix34Translate(&a->t.t.mat, x, 0, 0);
        return a;
    }
    void render() { BrZbSceneRender(world, camera, &colour, nullptr); }
};

TEST_F(Render, TraversalInheritsAndPlacesModelsInView)
{
    br_actor *group = add(world, BR_ACTOR_NONE, other, 1);
    add(group, BR_ACTOR_MODEL, nullptr, 2);            // inherits "other"
    br_actor *hidden = add(world, BR_ACTOR_NONE, cube); // its subtree is skipped
    hidden->render_style = BR_RSTYLE_NONE;
    add(hidden, BR_ACTOR_MODEL, cube);
    add(world, BR_ACTOR_MODEL);                // the default model
    add(world, BR_ACTOR_LIGHT);                // a leaf that is not a model: skipped
    render();

    ASSERT_EQ(rec.drawn.size(), 2u);
    // Newest child first.
    EXPECT_EQ(rec.drawn[0].block, v1db.default_model->prepared);
    EXPECT_EQ(rec.drawn[1].block, other->prepared);
    EXPECT_EQ(rec.drawn[1].type, (br_token)BRT_TRIANGLE);
    // Placed at x = 1 + 2 in the world, seen from z = 5.
    EXPECT_NEAR(rec.drawn[1].model_to_view.m[3][0], 3.0f, 1e-5f);
    EXPECT_NEAR(rec.drawn[1].model_to_view.m[3][2], -5.0f, 1e-5f);
    EXPECT_TRUE(rec.stack.empty());
    EXPECT_EQ(rec.calls.back(), "flush");
    EXPECT_EQ(v1db.rendering, 0);
    EXPECT_TRUE(dbtest::failures.empty());
}

TEST_F(Render, BoundsActorsCullAndAcceptTheirSubtrees)
{
    br_actor *reject = add(world, BR_ACTOR_BOUNDS);
    ((br_bounds3 *)reject->type_data)->min.v[0] = 100; // marks it for the answer below
    add(reject, BR_ACTOR_MODEL, cube);
    br_actor *accept = add(world, BR_ACTOR_BOUNDS_CORRECT);
    br_actor *inner = add(accept, BR_ACTOR_BOUNDS);
    add(inner, BR_ACTOR_MODEL, other);
    int tests = 0;
    rec.bounds_answer = [&](const br_bounds3 *b) -> br_token {
        tests++;
        if (b->min.v[0] == 100)
            return BRT_REJECT;
        return BRT_ACCEPT;
    };
    render();
    ASSERT_EQ(rec.drawn.size(), 1u);
    EXPECT_EQ(rec.drawn[0].block, other->prepared);
    EXPECT_TRUE(rec.drawn[0].on_screen);
    EXPECT_EQ(tests, 2); // the accepted subtree tests nothing more
}

TEST_F(Render, CameraOutsideTheWorldOrTooDeepDrawsNothing)
{
    add(world, BR_ACTOR_MODEL, cube);
    br_actor *lone = BrActorAllocate(BR_ACTOR_CAMERA, nullptr);
    BrZbSceneRender(world, lone, &colour, nullptr);
    EXPECT_TRUE(dbtest::has_failure("camera is not in world hierachy"));
    EXPECT_TRUE(rec.drawn.empty());
    BrActorFree(lone);

    dbtest::failures.clear();
    br_actor *a = world;
    for (int i = 0; i < 16; i++)
        a = add(a, BR_ACTOR_NONE);
    br_actor *deep = add(a, BR_ACTOR_CAMERA);
    ASSERT_EQ(deep->depth, 17);
    BrZbSceneRender(world, deep, &colour, nullptr);
    EXPECT_EQ(dbtest::failures.size(), 1u);
    EXPECT_TRUE(rec.drawn.empty());

    // Fifteen levels down still fits.
    dbtest::failures.clear();
    br_actor *fits = add(a->parent->parent, BR_ACTOR_CAMERA);
    ASSERT_EQ(fits->depth, 15);
    BrZbSceneRender(world, fits, &colour, nullptr);
    EXPECT_TRUE(dbtest::failures.empty());
    EXPECT_EQ(rec.drawn.size(), 1u);
}

struct CustomSeen {
    int calls = 0;
    int queries_before = 0, queries_after = 0;
    br_vector2 origin;
    br_boolean in_front = 0;
    bool draw = false;
};
CustomSeen custom_seen;
Recorder *custom_rec;

br_uint_32 custom_cb(br_actor *actor, br_model *model, br_material *material, br_order_table *, br_uint_8 style,
                     int on_screen)
{
    custom_seen.calls++;
    custom_seen.queries_before = custom_rec->queries;
    br_vector3 zero = {{0, 0, 0}};
    custom_seen.in_front = BrPointToScreenXY(&custom_seen.origin, &zero);
    br_vector2 again;
    BrOriginToScreenXY(&again);
    custom_seen.queries_after = custom_rec->queries;
    if (custom_seen.draw)
        BrZbModelRender(actor, model, material, style, on_screen, 0);
    return 0;
}

TEST_F(Render, CustomModelsReachTheRendererOnlyThroughTheirCallback)
{
    custom_seen = {};
    custom_rec = &rec;
    cube->flags |= BR_MODF_CUSTOM;
    cube->custom = custom_cb;
    add(world, BR_ACTOR_MODEL, cube);
    render();
    EXPECT_EQ(custom_seen.calls, 1);
    EXPECT_TRUE(rec.drawn.empty());
    // The first projection asks for both matrices, the second asks nothing.
    EXPECT_EQ(custom_seen.queries_after - custom_seen.queries_before, 2);
    // The model at the world's origin is in the middle of a 64 x 48 buffer.
    EXPECT_NEAR(custom_seen.origin.v[0], 32.5f, 1e-4f);
    EXPECT_NEAR(custom_seen.origin.v[1], 24.5f, 1e-4f);
    // Homogeneous z: positive only in the nearer part of the view (depth 5 of 1..10 is not).
    EXPECT_FALSE(custom_seen.in_front);

    custom_seen.draw = true;
    render();
    ASSERT_EQ(rec.drawn.size(), 1u);
    EXPECT_EQ(rec.drawn[0].block, cube->prepared);
}

// The box's edges: each side's diagonal hidden, and each of the twelve outline edges numbered once
// whichever two sides share it (an edge style draws each number once).
void expect_box_edges(const br_prepared_group &g)
{
    std::map<br_uint_16, std::set<std::pair<int, int>>> numbered;
    for (int f = 0; f < g.nfaces; f++) {
        for (int e = 0; e < 3; e++) {
            int a = g.faces[f].vertices[e], b = g.faces[f].vertices[(e + 1) % 3];
            int axes = 0;
            for (int k = 0; k < 3; k++)
                axes += g.vertices[a].p.v[k] != g.vertices[b].p.v[k];
            br_uint_16 n = g.faces[f].edges[e];
            if (axes == 2) {
                EXPECT_EQ(n, 0) << "diagonal of face " << f;
                continue;
            }
            ASSERT_NE(n, 0) << "outline edge " << e << " of face " << f;
            EXPECT_LT(n, g.nedges);
            numbered[n].insert({std::min(a, b), std::max(a, b)});
        }
    }
    EXPECT_EQ(numbered.size(), 12u);
    for (const auto &[n, pairs] : numbered)
        EXPECT_EQ(pairs.size(), 1u) << "edge number " << n << " names more than one edge";
}

TEST_F(Render, StylesChooseThePrimitive)
{
    struct Case {
        br_uint_8 style;
        br_token type;
        bool box;
    } cases[] = {
        {BR_RSTYLE_DEFAULT, BRT_TRIANGLE, false},       {BR_RSTYLE_POINTS, BRT_POINT, false},
        {BR_RSTYLE_EDGES, BRT_LINE, false},             {BR_RSTYLE_FACES, BRT_TRIANGLE, false},
        {BR_RSTYLE_BOUNDING_POINTS, BRT_POINT, true},   {BR_RSTYLE_BOUNDING_EDGES, BRT_LINE, true},
        {BR_RSTYLE_BOUNDING_FACES, BRT_TRIANGLE, true},
    };
    br_actor *a = add(world, BR_ACTOR_MODEL, cube);
    for (const Case &c : cases) {
        rec.drawn.clear();
        a->render_style = c.style;
        render();
        ASSERT_EQ(rec.drawn.size(), 1u) << int(c.style);
        EXPECT_EQ(rec.drawn[0].type, c.type) << int(c.style);
        EXPECT_EQ(rec.drawn[0].block != cube->prepared, c.box) << int(c.style);
        if (c.box) {
            const br_prepared_model *box = (const br_prepared_model *)rec.drawn[0].block;
            ASSERT_EQ(box->ngroups, 1);
            EXPECT_EQ(box->groups[0].nvertices, 8);
            EXPECT_EQ(box->groups[0].nfaces, 12);
            EXPECT_EQ(box->groups[0].vertices[6].p.v[0], cube->bounds.max.v[0]);
            expect_box_edges(box->groups[0]);
        }
    }
    // A style set above is inherited; one set below wins.
    world->render_style = BR_RSTYLE_EDGES;
    a->render_style = BR_RSTYLE_DEFAULT;
    rec.drawn.clear();
    render();
    EXPECT_EQ(rec.drawn[0].type, (br_token)BRT_LINE);
}

TEST_F(Render, LightsAreSentInViewSpaceAndStaleIndicesSwitchedOff)
{
    br_actor *l[3];
    for (br_actor *&x : l) {
        x = add(world, BR_ACTOR_LIGHT);
        BrLightEnable(x);
    }
    ((br_light *)l[0]->type_data)->type = BR_LIGHT_POINT;
    BrMatrix34Translate(&l[0]->t.t.mat, 1, 2, 3);
    render();
    auto lights = rec.parts(BRT_LIGHT);
    ASSERT_EQ(lights.size(), 3u);
    EXPECT_EQ(scenetest::find(lights[0], BRT_TYPE_T)->t, (br_token)BRT_POINT);
    // Point light at (1, 2, 3) seen from z = 5.
    ASSERT_EQ(lights[0].floats.size(), 3u);
    EXPECT_NEAR(lights[0].floats[0], 1, 1e-5f);
    EXPECT_NEAR(lights[0].floats[2], -2, 1e-5f);
    // Direct light: its z axis in view space.
    EXPECT_EQ(scenetest::find(lights[1], BRT_TYPE_T)->t, (br_token)BRT_DIRECT);
    EXPECT_NEAR(lights[1].floats[2], 1, 1e-5f);
    EXPECT_EQ(scenetest::find(lights[1], BRT_SPACE_T)->t, (br_token)BRT_MODEL);

    rec.sets.clear();
    BrLightDisable(l[1]);
    ((br_light *)l[2]->type_data)->type = 3; // not a light type: not sent, takes no index
    ((br_light *)l[0]->type_data)->type = BR_LIGHT_VIEW | BR_LIGHT_SPOT;
    render();
    lights = rec.parts(BRT_LIGHT);
    ASSERT_EQ(lights.size(), 3u);
    EXPECT_EQ(lights[0].index, 0);
    EXPECT_EQ(scenetest::find(lights[0], BRT_TYPE_T)->t, (br_token)BRT_SPOT);
    EXPECT_EQ(scenetest::find(lights[0], BRT_SPACE_T)->t, (br_token)BRT_VIEW);
    EXPECT_NEAR(scenetest::find(lights[0], BRT_SPOT_OUTER_F)->f, cosf(2730 * 3.14159265f / 32768), 1e-5f);
    for (int i = 1; i <= 2; i++) {
        EXPECT_EQ(lights[i].index, i);
        EXPECT_EQ(lights[i].tv.size(), 1u);
        EXPECT_EQ(scenetest::find(lights[i], BRT_TYPE_T)->t, (br_token)BRT_NONE);
    }
}

TEST_F(Render, ClipPlanesAndEnvironment)
{
    // A plane keeping z >= 0 in the world, seen from z = 5: a point in front of the camera at
    // world z = 1 is kept, one at z = -1 is not, in screen space.
    br_actor *plane = add(world, BR_ACTOR_CLIP_PLANE);
    BrClipPlaneEnable(plane);
    br_actor *env = add(world, BR_ACTOR_NONE);
    BrEnvironmentSet(env);
    render();
    auto clips = rec.parts(BRT_CLIP);
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(scenetest::find(clips[0], BRT_TYPE_T)->t, (br_token)BRT_PLANE);
    ASSERT_EQ(clips[0].floats.size(), 4u);
    br_vector4 eq = {{clips[0].floats[0], clips[0].floats[1], clips[0].floats[2], clips[0].floats[3]}};
    auto side = [&](float wz) {
        br_vector3 p = {{0.2f, 0.1f, wz - 5}};
        br_vector4 s;
        BrMatrix4ApplyP(&s, &p, &rec.v2s);
        return s.v[0] * eq.v[0] + s.v[1] * eq.v[1] + s.v[2] * eq.v[2] + s.v[3] * eq.v[3];
    };
    EXPECT_GT(side(1), 0);
    EXPECT_LT(side(-1), 0);

    bool env_set = false;
    for (const auto &p : rec.parts(BRT_MATRIX))
        if (const br_value *v = scenetest::find(p, BRT_VIEW_TO_ENVIRONMENT_HINT_T))
            env_set = v->t == BRT_NONE;
    EXPECT_TRUE(env_set);

    BrClipPlaneDisable(plane);
    rec.sets.clear();
    render();
    clips = rec.parts(BRT_CLIP);
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(scenetest::find(clips[0], BRT_TYPE_T)->t, (br_token)BRT_NONE);
}

// Fills the stack below the caller with a pattern, so that a local the next call reads before
// writing holds that pattern rather than whatever happened to be there.
__attribute__((noinline)) void stack_scribble()
{
    volatile float junk[2048];
    for (int i = 0; i < 2048; i++)
        junk[i] = 7.0f;
}

bool matrix_sent(const Recorder &rec, br_token t)
{
    for (const auto &p : rec.parts(BRT_MATRIX))
        if (scenetest::find(p, t) != nullptr)
            return true;
    return false;
}

// What cannot be worked out is not handed over as garbage: a camera whose type builds no matrix
// views through identity; a light, clip plane or environment squashed flat (no inverse) is left
// out.
TEST_F(Render, DegenerateCamerasLightsAndPlanesSendNoGarbage)
{
    br_matrix4 identity;
    BrMatrix4Identity(&identity);
    void *record = camera->type_data;
    struct {
        int type; // -1: no camera record
        br_token hint;
    } cameras[] = {{BR_CAMERA_PERSPECTIVE_OLD, BRT_PERSPECTIVE}, {99, 0}, {-1, 0}};
    for (const auto &c : cameras) {
        camera->type_data = c.type < 0 ? nullptr : record;
        if (c.type >= 0)
            ((br_camera *)record)->type = (br_uint_8)c.type;
        rec.sets.clear();
        stack_scribble();
        render();
        EXPECT_EQ(memcmp(&rec.v2s, &identity, sizeof(identity)), 0) << c.type;
        br_token hint = 1;
        for (const auto &p : rec.parts(BRT_MATRIX))
            if (const br_value *v = scenetest::find(p, BRT_VIEW_TO_SCREEN_HINT_T))
                hint = v->t;
        EXPECT_EQ(hint, c.hint) << c.type;
    }
    camera->type_data = record;
    ((br_camera *)record)->type = BR_CAMERA_PERSPECTIVE;

    br_actor *light = add(world, BR_ACTOR_LIGHT); // direct
    br_actor *plane = add(world, BR_ACTOR_CLIP_PLANE);
    br_actor *env = add(world, BR_ACTOR_NONE);
    for (br_actor *a : {light, plane, env})
        BrMatrix34Scale(&a->t.t.mat, 0, 0, 0);
    BrLightEnable(light);
    BrClipPlaneEnable(plane);
    BrEnvironmentSet(env);
    rec.sets.clear();
    stack_scribble();
    render();
    EXPECT_TRUE(rec.parts(BRT_LIGHT).empty());
    EXPECT_TRUE(rec.parts(BRT_CLIP).empty());
    EXPECT_FALSE(matrix_sent(rec, BRT_VIEW_TO_ENVIRONMENT_M34_F));
    br_token env_hint = 0;
    for (const auto &p : rec.parts(BRT_MATRIX))
        if (const br_value *v = scenetest::find(p, BRT_VIEW_TO_ENVIRONMENT_HINT_T))
            env_hint = v->t;
    EXPECT_EQ(env_hint, (br_token)BRT_DONT_CARE);
    // A point light needs no inverse: it is still sent from its place.
    ((br_light *)light->type_data)->type = BR_LIGHT_POINT;
    rec.sets.clear();
    render();
    ASSERT_EQ(rec.parts(BRT_LIGHT).size(), 1u);
    EXPECT_EQ(scenetest::find(rec.parts(BRT_LIGHT)[0], BRT_TYPE_T)->t, (br_token)BRT_POINT);
}

TEST_F(Render, RenderAddDrawsOneSubtreeWithWhatItInherits)
{
    br_actor *group = add(world, BR_ACTOR_NONE, other, 4);
    group->render_style = BR_RSTYLE_POINTS;
    br_actor *leaf = add(group, BR_ACTOR_MODEL);
    add(world, BR_ACTOR_MODEL, cube);
    BrZbSceneRenderBegin(world, camera, &colour, nullptr);
    BrZbSceneRenderAdd(leaf);
    EXPECT_EQ(BrZbSceneRenderEnd(), 0u);
    ASSERT_EQ(rec.drawn.size(), 1u);
    EXPECT_EQ(rec.drawn[0].block, other->prepared);
    EXPECT_EQ(rec.drawn[0].type, (br_token)BRT_POINT);
    EXPECT_NEAR(rec.drawn[0].model_to_view.m[3][0], 4.0f, 1e-5f);
    EXPECT_TRUE(rec.stack.empty());
}

TEST_F(Render, ProjectionOutcodesAgreeOneByOneAndMany)
{
    br_vector3 pts[5] = {{{0, 0, 0}}, {{100, 0, 0}}, {{0, -100, 0}}, {{0, 0, 4.5f}}, {{0, 0, -50}}};
    custom_rec = &rec;
    cube->flags |= BR_MODF_CUSTOM;
    cube->custom = [](br_actor *, br_model *, br_material *, br_order_table *, br_uint_8, int) -> br_uint_32 {
        br_vector3 pts[5] = {{{0, 0, 0}}, {{100, 0, 0}}, {{0, -100, 0}}, {{0, 0, 4.5f}}, {{0, 0, -50}}};
        br_vector3 many[5], one;
        br_uint_32 codes[5];
        BrPointToScreenXYZOMany(many, codes, pts, 5);
        for (int i = 0; i < 5; i++) {
            EXPECT_EQ(BrPointToScreenXYZO(&one, &pts[i]), codes[i]);
            if ((codes[i] & 0xfff) == 0) {
                EXPECT_EQ(one.v[0], many[i].v[0]);
                EXPECT_EQ(one.v[2], many[i].v[2]);
            }
        }
        EXPECT_EQ(codes[0], BR_OUTCODE_INSIDE);
        EXPECT_EQ(codes[1], (BR_OUTCODE_INSIDE ^ (BR_OUTCODE_RIGHT << 16)) | BR_OUTCODE_RIGHT);
        EXPECT_EQ(codes[2] & 0xfff, BR_OUTCODE_BOTTOM);
        EXPECT_EQ(codes[3] & 0xfff, BR_OUTCODE_HITHER);
        EXPECT_EQ(codes[4] & 0xfff, BR_OUTCODE_YON);
        return 0;
    };
    (void)pts;
    add(world, BR_ACTOR_MODEL, cube);
    render();
}

br_uint_32 bounds_calls;
br_uint_32 on_bounds(br_actor *, br_model *, br_material *, br_order_table *, br_uint_8, br_matrix4 *, br_int_32 *)
{
    bounds_calls++;
    return 0;
}

TEST_F(Render, RenderBoundsCallbackNeedsTheBegunSideAndADrawnRectangle)
{
    v1db.zb_active = 0;
    EXPECT_EQ(BrZbSetRenderBoundsCallback(on_bounds), nullptr);
    EXPECT_TRUE(dbtest::has_failure("BrZbSetRenderBoundsCallback called before BrZbBegin"));
    v1db.zb_active = 1;
    EXPECT_EQ(BrZbSetRenderBoundsCallback(on_bounds), nullptr);
    bool enabled = false;
    for (const auto &p : rec.parts(BRT_ENABLE))
        enabled = scenetest::find(p, BRT_BOUNDS_B)->b != 0;
    EXPECT_TRUE(enabled);
    // The recorder reports no rectangle: the callback is not called.
    bounds_calls = 0;
    add(world, BR_ACTOR_MODEL, cube);
    render();
    EXPECT_EQ(rec.drawn.size(), 1u);
    EXPECT_EQ(bounds_calls, 0u);
    EXPECT_EQ(BrZbSetRenderBoundsCallback(nullptr), on_bounds);
}

class ZSort : public Render {};

TEST_F(ZSort, TablesAreDrawnFarFirstInFirstUseOrder)
{
    br_order_table *near_t = BrOrderTableAllocate(4, BR_ORDER_TABLE_SORT_NEAR, BR_SORT_AVERAGE);
    br_order_table *a = BrOrderTableAllocate(4, 0, BR_SORT_AVERAGE);
    br_order_table *b = BrOrderTableAllocate(4, 0, BR_SORT_AVERAGE);
    near_t->min_z = 1;
    near_t->max_z = 2;
    a->sort_z = b->sort_z = 5; // equal: first used first
    add(world, BR_ACTOR_MODEL, cube)->render_data = near_t;
    add(world, BR_ACTOR_MODEL, cube)->render_data = b;
    add(world, BR_ACTOR_MODEL, cube)->render_data = a;
    BrZsSceneRender(world, camera, &colour);
    ASSERT_EQ(rec.bucket_tables.size(), 3u);
    EXPECT_EQ(rec.bucket_tables[0], (void **)a->table);
    EXPECT_EQ(rec.bucket_tables[1], (void **)b->table);
    EXPECT_EQ(rec.bucket_tables[2], (void **)near_t->table);
    EXPECT_EQ(a->visits, 0);
    bool bucket_sort = false;
    for (const auto &p : rec.parts(BRT_HIDDEN_SURFACE))
        if (const br_value *v = scenetest::find(p, BRT_TYPE_T))
            bucket_sort = v->t == BRT_BUCKET_SORT;
    EXPECT_TRUE(bucket_sort);

    // No actor tables: the default table alone.
    rec.bucket_tables.clear();
    BrActorFree(world);
    world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    add(world, BR_ACTOR_MODEL, cube);
    add(world, BR_ACTOR_MODEL, other);
    BrZsSceneRender(world, camera, &colour);
    EXPECT_EQ(rec.bucket_tables.size(), 1u);
    for (br_order_table *t : {near_t, a, b})
        BrOrderTableFree(t);
}

br_primitive zs_prims[2];
br_uint_32 fill_scene_buckets(br_actor *actor, br_model *model, br_material *material, br_order_table *ot,
                              br_uint_8 style, int on_screen)
{
    br_uint_32 r = BrZsModelRender(actor, model, material, ot, style, on_screen, 0);
    BrOrderTablePrimitiveInsert(ot, &zs_prims[0], 200);
    BrOrderTablePrimitiveInsert(ot, &zs_prims[1], 50);
    return r;
}

TEST_F(ZSort, SceneTableInterleavesActorTablesByDepth)
{
    br_order_table *t[3];
    const float sort_z[3] = {20, 5, -1};
    for (int i = 0; i < 3; i++) {
        t[i] = BrOrderTableAllocate(4, 0, BR_SORT_AVERAGE);
        t[i]->sort_z = sort_z[i];
        add(world, BR_ACTOR_MODEL, other)->render_data = t[i];
    }
    cube->flags |= BR_MODF_CUSTOM;
    cube->custom = fill_scene_buckets;
    add(world, BR_ACTOR_MODEL, cube); // uses the default table, which is the scene table
    br_order_table *scene = BrZsOrderTableSceneSet(nullptr);
    BrZsSceneRender(world, camera, &colour);
    BrZsOrderTableSceneClear();
    ASSERT_EQ(rec.bucket_tables.size(), 5u);
    EXPECT_EQ(rec.bucket_tables[0], (void **)t[0]->table);
    EXPECT_EQ(rec.bucket_tables[1], (void **)&scene->table[200]);
    EXPECT_EQ(rec.bucket_tables[2], (void **)t[1]->table);
    EXPECT_EQ(rec.bucket_tables[3], (void **)&scene->table[50]);
    EXPECT_EQ(rec.bucket_tables[4], (void **)t[2]->table);
    EXPECT_EQ(scene->visits, 0);
    for (br_order_table *x : t)
        BrOrderTableFree(x);
}

TEST_F(ZSort, WithoutABucketFormatTheEndReportsAndGoesOn)
{
    rec.install(false);
    add(world, BR_ACTOR_MODEL, cube);
    BrZsSceneRender(world, camera, &colour);
    EXPECT_TRUE(dbtest::has_failure("Renderer does not support buckets"));
    EXPECT_EQ(rec.calls.back(), "flush");
    EXPECT_EQ(v1db.rendering, 0);
}

} // namespace
