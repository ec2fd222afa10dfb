// Picking: the ray under a pixel finds the face drawn there for every camera kind, faces seen from
// behind, corners, callbacks that stop the walk, and picks by box.
#include <math.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include <brondel/brpick.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "db_support.h"

namespace {

using dbtest::Db;

struct Hit {
    br_actor *actor = nullptr;
    br_model *model = nullptr;
    br_scalar t = 3.4e38f;
    int face = -1, edge = -1, vertex = -1;
    br_vector3 point = {};
    br_vector2 map = {};
    int models = 0; // scene callbacks
    int faces = 0;  // model callbacks
    br_actor *current = nullptr;
};

int face_cb(br_model *model, br_material *, br_vector3 *, br_vector3 *, br_scalar t, int face, int edge,
            int vertex, br_vector3 *point, br_vector2 *map, void *arg)
{
    Hit *h = (Hit *)arg;
    h->faces++;
    if (t < h->t) {
        h->t = t;
        h->actor = h->current;
        h->model = model;
        h->face = face;
        h->edge = edge;
        h->vertex = vertex;
        h->point = *point;
        h->map = *map;
    }
    return 0;
}

// The nearest face over every model, as the games find it.
int model_cb(br_actor *actor, br_model *model, br_material *material, br_vector3 *pos, br_vector3 *dir,
             br_scalar tn, br_scalar tf, void *arg)
{
    Hit *h = (Hit *)arg;
    h->models++;
    h->current = actor;
    return BrModelPick2D(model, material, pos, dir, tn, tf, face_cb, arg);
}

class Pick : public Db {
protected:
    br_actor *world = nullptr;
    br_actor *camera = nullptr;
    br_model *cube = nullptr;
    br_pixelmap *view = nullptr;

    void SetUp() override
    {
        Db::SetUp();
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        BrMatrix34Translate(&camera->t.t.mat, 0.3f, 0.2f, 6.0f);
        cube = BrModelAdd(dbtest::make_cube("cube"));
        view = BrPixelmapAllocate(BR_PMT_RGB_565, 160, 120, nullptr, 0);
    }
    void TearDown() override
    {
        BrPixelmapFree(view);
        Db::TearDown();
    }

    br_actor *model_actor(br_model *m, float x, float y, float z)
    {
        br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->model = m;
        BrMatrix34RotateY(&a->t.t.mat, 0x1400);
        BrMatrix34PostRotateX(&a->t.t.mat, 0x0c00);
        BrMatrix34PostTranslate(&a->t.t.mat, x, y, z);
        return a;
    }

    br_camera *cam() { return (br_camera *)camera->type_data; }

    // The pixel the renderer's screen mapping puts the model-space point on.
    void project(br_actor *a, const br_vector3 &p, int *px, int *py)
    {
        br_matrix4 m;
        BrActorToScreenMatrix4(&m, a, camera);
        br_vector4 h, in = {{p.v[0], p.v[1], p.v[2], 1.0f}};
        BrMatrix4Apply(&h, &in, &m);
        int hw = view->width / 2, hh = view->height / 2;
        *px = (int)(h.v[0] / h.v[3] * hw + hw + 0.5f);
        *py = (int)(h.v[1] / h.v[3] * -hh + hh + 0.5f);
    }

    Hit pick(int x, int y)
    {
        Hit h;
        EXPECT_EQ(BrScenePick2D(world, camera, view, x, y, model_cb, &h), 0);
        return h;
    }
};

br_vector3 centroid(const br_model *m, int f)
{
    br_vector3 c = {};
    for (int k = 0; k < 3; k++)
        BrVector3Accumulate(&c, &m->vertices[m->faces[f].vertices[k]].p);
    BrVector3Scale(&c, &c, 1.0f / 3.0f);
    return c;
}

struct CameraCase {
    const char *name;
    br_uint_8 type;
    int origin_x, origin_y; // the viewport's origin; pixels are given relative to it
};

class PickRoundTrip : public Pick, public ::testing::WithParamInterface<CameraCase> {};

// Every front face, picked at the pixel its centroid is drawn on, is the face found: the cubes sit
// apart on screen, so no face hides another's centroid. The kinds whose projection centre is the
// origin draw about it; the centred kinds draw about the middle of the view whatever the origin.
TEST_P(PickRoundTrip, EveryFrontFaceIsFoundAtItsCentroidPixel)
{
    const CameraCase &c = GetParam();
    br_camera *k = cam();
    k->type = c.type;
    k->field_of_view = 0x2000; // 45 degrees
    k->hither_z = 1.0f;
    k->yon_z = 20.0f;
    k->aspect = 160.0f / 120.0f;
    if (c.type == BR_CAMERA_PARALLEL) {
        k->width = 6.0f; // full extents
        k->height = 4.5f;
    } else {
        k->width = 3.0f * k->aspect; // half extents
        k->height = 3.0f;
    }
    view->origin_x = (br_int_16)c.origin_x;
    view->origin_y = (br_int_16)c.origin_y;
    br_actor *near_cube = model_actor(cube, -1.2f, -0.3f, 0.0f);
    br_actor *far_cube = model_actor(cube, 1.6f, 0.7f, -4.0f);

    // A render maps the screen for this viewport, as the games render before they pick.
    br_pixelmap *depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, view->width, view->height, nullptr, 0);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    BrPixelmapFill(view, 0);
    BrPixelmapFill(depth, 0xffffffff);
    BrZbSceneRender(world, camera, view, depth);

    int checked = 0;
    for (br_actor *a : {near_cube, far_cube})
        for (int f = 0; f < cube->nfaces; f++) {
            // Faces turned away from the camera are not drawn.
            br_matrix34 to_cam;
            BrActorToActorMatrix34(&to_cam, a, camera);
            br_vector3 c0, n;
            BrMatrix34ApplyP(&c0, &cube->vertices[cube->faces[f].vertices[0]].p, &to_cam);
            BrMatrix34ApplyV(&n, &cube->faces[f].normal, &to_cam);
            br_scalar facing = c.type == BR_CAMERA_PARALLEL || c.type == BR_CAMERA_PARALLEL_CENTRED
                                   ? n.v[2]
                                   : -BrVector3Dot(&n, &c0) / BrVector3Length(&c0);
            if (facing <= 0.0f)
                continue;
            br_vector3 centre = centroid(cube, f);
            int px, py;
            project(a, centre, &px, &py);
            Hit h = pick(px - view->origin_x, py - view->origin_y);
            EXPECT_EQ(h.actor, a) << c.name << " face " << f;
            EXPECT_EQ(h.face, f) << c.name << " face " << f;
            // The point hit is drawn on the pixel picked (give or take the pixel's own width: a
            // slanted face moves far in depth for a pixel).
            int hx, hy;
            project(a, h.point, &hx, &hy);
            EXPECT_LE(abs(hx - px), 1) << c.name << " face " << f;
            EXPECT_LE(abs(hy - py), 1) << c.name << " face " << f;
            checked++;
        }
    // Three sides of each cube face the camera: six triangles each.
    EXPECT_EQ(checked, 12) << c.name;
    // Nothing lies far off to the side.
    EXPECT_EQ(pick(-300, -300).models, 0) << c.name;
    BrZbEnd();
    BrPixelmapFree(depth);
}

std::vector<CameraCase> camera_cases()
{
    const struct {
        const char *name;
        br_uint_8 type;
    } kinds[] = {{"Parallel", BR_CAMERA_PARALLEL},
                 {"Perspective", BR_CAMERA_PERSPECTIVE},
                 {"ParallelCentred", BR_CAMERA_PARALLEL_CENTRED},
                 {"PerspectiveCentred", BR_CAMERA_PERSPECTIVE_CENTRED}};
    const struct {
        const char *name;
        int x, y;
    } origins[] = {{"Middle", 80, 60}, {"TopLeft", 0, 0}, {"Off", 37, 21}};
    static std::vector<std::string> names;
    std::vector<CameraCase> cases;
    names.reserve(12);
    for (const auto &k : kinds)
        for (const auto &o : origins) {
            names.push_back(std::string(k.name) + "Origin" + o.name);
            cases.push_back({names.back().c_str(), k.type, o.x, o.y});
        }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cameras, PickRoundTrip, ::testing::ValuesIn(camera_cases()),
                         [](const ::testing::TestParamInfo<CameraCase> &info) { return info.param.name; });

TEST_F(Pick, NearestOfTwoCubesInLineWins)
{
    cam()->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    cam()->yon_z = 50.0f;
    BrMatrix34Translate(&camera->t.t.mat, 0.0f, 0.0f, 6.0f);
    br_actor *front = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    front->model = cube;
    br_actor *back = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    back->model = cube;
    BrMatrix34Translate(&back->t.t.mat, 0.0f, 0.0f, -5.0f);
    Hit h = pick(80, 60);
    EXPECT_EQ(h.models, 2);
    EXPECT_EQ(h.actor, front);
    EXPECT_NEAR(h.point.v[2], 1.0f, 1e-4f); // the side facing the camera
    EXPECT_NEAR(h.t, 5.0f / 50.0f, 1e-4f);  // t runs from the eye to the far plane
}

// A callback's non-zero answer ends the walk and is the pick's answer.
TEST_F(Pick, NonZeroAnswerEndsThePick)
{
    cam()->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    BrMatrix34Translate(&camera->t.t.mat, 0.0f, 0.0f, 6.0f);
    for (int i = 0; i < 3; i++) {
        br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->model = cube;
        BrMatrix34Translate(&a->t.t.mat, 0.0f, 0.0f, -2.5f * i);
    }
    int calls = 0;
    auto stop = [](br_actor *, br_model *, br_material *, br_vector3 *, br_vector3 *, br_scalar, br_scalar,
                   void *arg) {
        ++*(int *)arg;
        return -77;
    };
    EXPECT_EQ(BrScenePick2D(world, camera, view, 80, 60, stop, &calls), -77);
    EXPECT_EQ(calls, 1);
}

// A bounds actor that the ray misses hides its subtree; an actor whose matrix flattens space is passed
// over without harm, and so is everything below it.
TEST_F(Pick, BoundsAndFlatActors)
{
    cam()->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    BrMatrix34Translate(&camera->t.t.mat, 0.0f, 0.0f, 6.0f);
    br_actor *bounds = BrActorAdd(world, BrActorAllocate(BR_ACTOR_BOUNDS, nullptr));
    br_bounds3 *b = (br_bounds3 *)bounds->type_data;
    BrVector3Set(&b->min, 5.0f, 5.0f, 5.0f);
    BrVector3Set(&b->max, 6.0f, 6.0f, 6.0f);
    br_actor *hidden = BrActorAdd(bounds, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    hidden->model = cube;
    EXPECT_EQ(pick(80, 60).models, 0);

    BrVector3Set(&b->min, -2.0f, -2.0f, -2.0f);
    BrVector3Set(&b->max, 2.0f, 2.0f, 2.0f);
    EXPECT_EQ(pick(80, 60).actor, hidden);

    BrActorRemove(bounds);
    br_actor *flat = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    flat->model = cube;
    BrMatrix34Scale(&flat->t.t.mat, 1.0f, 1.0f, 0.0f);
    br_actor *under = BrActorAdd(flat, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    BrMatrix34Scale(&under->t.t.mat, 1.0f, 1.0f, 5.0f);
    EXPECT_EQ(pick(80, 60).models, 0);
    BrMatrix34Identity(&flat->t.t.mat);
    Hit h = pick(80, 60);
    EXPECT_EQ(h.models, 2);
    EXPECT_EQ(h.actor, under); // its model is inherited, stretched towards the camera
    EXPECT_NEAR(h.t, 1.0f / 10.0f, 1e-4f);
}

// One triangle in z = 0 facing +z, picked directly.
class ModelPick : public Db {
protected:
    br_model *tri = nullptr;
    void SetUp() override
    {
        Db::SetUp();
        tri = BrModelAllocate("tri", 3, 1);
        BrVector3Set(&tri->vertices[0].p, 0.0f, 0.0f, 0.0f);
        BrVector3Set(&tri->vertices[1].p, 1.0f, 0.0f, 0.0f);
        BrVector3Set(&tri->vertices[2].p, 0.0f, 1.0f, 0.0f);
        for (int i = 0; i < 3; i++) {
            tri->vertices[i].map.v[0] = 0.1f + 0.4f * (float)i;
            tri->vertices[i].map.v[1] = 0.9f - 0.3f * (float)i;
        }
        tri->faces[0].vertices[1] = 1;
        tri->faces[0].vertices[2] = 2;
        tri->flags = BR_MODF_UPDATEABLE;
        BrModelAdd(tri);
    }
    Hit ray(br_material *mat, br_vector3 pos, br_vector3 dir)
    {
        Hit h;
        EXPECT_EQ(BrModelPick2D(tri, mat, &pos, &dir, 0.0f, 1.0f, face_cb, &h), 0);
        return h;
    }
};

TEST_F(ModelPick, BackFacesOnlyForTwoSidedMaterials)
{
    struct Case {
        br_uint_32 flags;
        float from_z;
        int faces;
    } cases[] = {
        {0, 0.5f, 1},                  // from the front
        {0, -0.5f, 0},                 // from behind, one-sided
        {BR_MATF_TWO_SIDED, -0.5f, 1}, // from behind, two-sided
        {BR_MATF_NO_CULL, -0.5f, 1},
        {0, 2.0f, 0}, // beyond the ray's reach of one unit
    };
    br_material *mat = BrMaterialAllocate("m");
    for (const Case &c : cases) {
        mat->flags = c.flags;
        float dz = c.from_z > 0 ? -1.0f : 1.0f;
        Hit h = ray(mat, {{0.25f, 0.25f, c.from_z}}, {{0.0f, 0.0f, dz}});
        EXPECT_EQ(h.faces, c.faces) << "flags " << c.flags << " from " << c.from_z;
        if (h.faces == 1) {
            EXPECT_FLOAT_EQ(h.t, fabsf(c.from_z));
        }
    }
    // The face's own material decides over the one handed in.
    br_material *two = BrMaterialAllocate("two");
    two->flags = BR_MATF_TWO_SIDED;
    tri->faces[0].material = two;
    mat->flags = 0;
    EXPECT_EQ(ray(mat, {{0.25f, 0.25f, -0.5f}}, {{0, 0, 1}}).faces, 1);
}

TEST_F(ModelPick, WeightsCodesAndTextureCoordinates)
{
    struct Case {
        float x, y;
        int edge, vertex;
    } cases[] = {
        {0.0f, 1.0f, 1, 1}, // on vertex 2: all its weight
        {1.0f, 0.0f, 1, 2}, // on vertex 1
        {0.0f, 0.0f, 0, 0}, // on vertex 0
        {0.1f, 0.6f, 0, 1},
        {0.4f, 0.1f, 2, 0},
    };
    for (const Case &c : cases) {
        Hit h = ray(nullptr, {{c.x, c.y, 0.5f}}, {{0, 0, -1}});
        ASSERT_EQ(h.faces, 1) << c.x << "," << c.y;
        EXPECT_EQ(h.edge, c.edge) << c.x << "," << c.y;
        EXPECT_EQ(h.vertex, c.vertex) << c.x << "," << c.y;
        float w1 = c.x, w2 = c.y, w0 = 1.0f - w1 - w2;
        EXPECT_NEAR(h.map.v[0], w0 * 0.1f + w1 * 0.5f + w2 * 0.9f, 1e-6f);
        EXPECT_NEAR(h.map.v[1], w0 * 0.9f + w1 * 0.6f + w2 * 0.3f, 1e-6f);
        EXPECT_FLOAT_EQ(h.point.v[0], c.x);
        EXPECT_FLOAT_EQ(h.point.v[1], c.y);
    }
    // Just outside the hypotenuse and beside the face: no hit.
    EXPECT_EQ(ray(nullptr, {{0.51f, 0.51f, 0.5f}}, {{0, 0, -1}}).faces, 0);
    EXPECT_EQ(ray(nullptr, {{-0.01f, 0.5f, 0.5f}}, {{0, 0, -1}}).faces, 0);
}

TEST_F(ModelPick, FacesWithVerticesTheModelLacksAreSkipped)
{
    tri->faces[0].vertices[2] = 7;
    EXPECT_EQ(ray(nullptr, {{0.25f, 0.25f, 0.5f}}, {{0, 0, -1}}).faces, 0);
}

struct Boxed {
    std::vector<br_actor *> actors;
    br_matrix34 to_ref;
};

int box_cb(br_actor *actor, br_model *, br_material *, br_matrix34 *to_ref, br_bounds3 *, void *arg)
{
    Boxed *b = (Boxed *)arg;
    b->actors.push_back(actor);
    b->to_ref = *to_ref;
    return 0;
}

TEST_F(Pick, BoxFindsTheModelsItMeets)
{
    br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    a->model = cube;
    BrMatrix34Translate(&a->t.t.mat, 4.0f, 0.0f, 0.0f);
    br_actor *b = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    b->model = cube;
    BrMatrix34RotateZ(&b->t.t.mat, 0x2000);
    BrMatrix34PostTranslate(&b->t.t.mat, -4.0f, 0.0f, 0.0f);
    // The reference is turned and moved: the box is in its space.
    br_actor *ref = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    BrMatrix34RotateY(&ref->t.t.mat, 0x4000);
    BrMatrix34PostTranslate(&ref->t.t.mat, 0.0f, 0.0f, 10.0f);

    // In the reference's space, world x = -4 lies at z = -(10 - ...): find it through the matrix.
    br_matrix34 world_to_ref, ref_to_world;
    BrActorToRootMatrix34(ref, world, &ref_to_world, nullptr);
    BrMatrix34LPInverse(&world_to_ref, &ref_to_world);
    br_vector3 at_b = {{-4.0f, 0.0f, 0.0f}}, centre;
    BrMatrix34ApplyP(&centre, &at_b, &world_to_ref);
    br_bounds3 box;
    for (int i = 0; i < 3; i++) {
        box.min.v[i] = centre.v[i] - 0.5f;
        box.max.v[i] = centre.v[i] + 0.5f;
    }
    Boxed got;
    EXPECT_EQ(BrScenePick3D(world, ref, &box, box_cb, &got), 0);
    ASSERT_EQ(got.actors, std::vector<br_actor *>{b});
    // The matrix handed over takes the model's origin to the box's centre.
    br_vector3 origin = {}, mapped;
    BrMatrix34ApplyP(&mapped, &origin, &got.to_ref);
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(mapped.v[i], centre.v[i], 1e-4f);

    // A box between the two meets neither; a wide one meets both.
    for (int i = 0; i < 3; i++) {
        box.min.v[i] = -0.5f;
        box.max.v[i] = 0.5f;
    }
    Boxed none;
    BrScenePick3D(world, ref, &box, box_cb, &none); // about the reference's own origin, at z = 10
    EXPECT_TRUE(none.actors.empty());
    box.min = {{-20.0f, -20.0f, -20.0f}};
    box.max = {{20.0f, 20.0f, 20.0f}};
    Boxed both;
    BrScenePick3D(world, ref, &box, box_cb, &both);
    EXPECT_EQ(both.actors.size(), 2u);
}

} // namespace
