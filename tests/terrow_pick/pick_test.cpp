// Picking the generated cube from each side, pick ties and misses, the orbit record, the parallel
// view, projection and the matrix decomposition.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>

#include <brondel/bractor.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "fixture.h"
#include "terrow/trpick.h"

namespace {

using trtest::boxes;

class Pick : public trtest::Brondel {
protected:
    void SetUp() override
    {
        trtest::Brondel::SetUp();
        view = BrPixelmapAllocate(BR_PMT_RGB_565, 320, 240, nullptr, 0);
        view->origin_x = 160;
        view->origin_y = 120;
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        pivot = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        camera = BrActorAdd(pivot, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        auto *c = (br_camera *)camera->type_data;
        c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        c->hither_z = 0.01f;
        c->yon_z = 10.0f;
        c->field_of_view = 7280;
        c->aspect = 320.0f / 240.0f;
    }
    void TearDown() override
    {
        PickReset();
        BrActorFree(world);
        BrPixelmapFree(view);
        trtest::Brondel::TearDown();
    }
    br_pixelmap *view = nullptr;
    br_actor *world = nullptr, *pivot = nullptr, *camera = nullptr;
};

TEST_F(Pick, TheCubeFromSixSidesGivesAFaceOfTheFacingSide)
{
    load_all();
    br_model *cube = Model_Get("kocka.mod", 0);
    br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    a->model = cube;
    PickInit(world, camera, view, 0);
    // The generated cube's faces: two a side, +y, +x, -z, -x, +z, -y.
    const float normals[6][3] = {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
    const struct {
        float tilt, turn;
    } views[] = {{0, 0}, {0, 90}, {0, 180}, {0, 270}, {60, 30}, {300, 200}, {89, 0}, {271, 0}};
    int sidesSeen = 0;
    for (const auto &v : views) {
        TrOrbit o = {0, 0, v.tilt, v.turn, 0.5f, 0, camera, pivot};
        Orbit_Apply(&o);
        br_matrix34 toWorld;
        BrActorToActorMatrix34(&toWorld, camera, world);
        const float eye[3] = {toWorld.m[3][0], toWorld.m[3][1], toWorld.m[3][2]};
        // The side that faces the camera most.
        int side = 0;
        float best = -1e9f;
        for (int s = 0; s < 6; s++) {
            const float d = eye[0] * normals[s][0] + eye[1] * normals[s][1] * 1.8f + eye[2] * normals[s][2];
            if (d > best) {
                best = d;
                side = s;
            }
        }
        const float centre[3] = {normals[side][0] * 0.0505f, normals[side][1] * 0.02778f, normals[side][2] * 0.0505f};
        int32_t sx = -1, sy = -1;
        ASSERT_EQ(View_ProjectXY(a, centre, &sx, &sy, camera, view), 1);
        TrPickResult *r = Pick_Record(sx, sy);
        ASSERT_NE(r, nullptr) << "tilt " << v.tilt << " turn " << v.turn << " at " << sx << "," << sy;
        EXPECT_EQ(r->actor, a);
        EXPECT_EQ(r->model, cube);
        EXPECT_EQ(r->face / 2, side) << "tilt " << v.tilt << " turn " << v.turn;
        EXPECT_EQ(Pick_Actor(sx, sy), a);
        sidesSeen |= 1 << side;
    }
    EXPECT_EQ(sidesSeen, 63) << "all six sides were looked at";
}

TEST_F(Pick, NearestFaceWinsATieKeepsTheFirstAMissClearsTheRecord)
{
    TrPickResult r;
    std::memset(&r, 0, sizeof r);
    r.t = FLT_MAX;
    br_actor *first = world, *second = pivot;
    br_vector3 p = {{1, 2, 3}};
    br_vector2 map = {{0.5f, 0.25f}};
    r.currentActor = first;
    EXPECT_EQ(TrPickFaceCb(nullptr, nullptr, nullptr, nullptr, 2.0f, 3, 1, 2, &p, &map, &r), 0);
    r.currentActor = second;
    TrPickFaceCb(nullptr, nullptr, nullptr, nullptr, 2.0f, 5, 0, 0, &p, &map, &r);
    EXPECT_EQ(r.actor, first) << "a tie keeps the first face met";
    EXPECT_EQ(r.face, 3);
    EXPECT_FLOAT_EQ(r.map[0], 0.5f);
    EXPECT_FLOAT_EQ(r.point[2], 3.0f);
    TrPickFaceCb(nullptr, nullptr, nullptr, nullptr, 1.5f, 7, 0, 0, &p, &map, &r);
    EXPECT_EQ(r.actor, second) << "a nearer face wins";
    EXPECT_EQ(r.face, 7);
    EXPECT_FLOAT_EQ(r.t, 1.5f);

    load_all();
    br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    a->model = Model_Get("kocka.mod", 0);
    TrOrbit o = {0, 0, 0, 0, 0.5f, 0, camera, pivot};
    Orbit_Apply(&o);
    PickInit(world, camera, view, 0);
    TrPickResult *hit = Pick_Record(160, 120);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(Pick_Record(2, 2), nullptr);
    TrPickResult empty;
    std::memset(&empty, 0, sizeof empty);
    EXPECT_EQ(std::memcmp(hit, &empty, sizeof empty), 0) << "a miss leaves the record cleared";
    EXPECT_EQ(Pick_Actor(2, 2), nullptr);
    // The view's corners, and points far outside any window.
    const int corners[][2] = {{0, 0}, {319, 0}, {0, 239}, {319, 239}, {320, 240}, {-1, -1},
                              {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}};
    for (const auto &p : corners)
        EXPECT_EQ(Pick_Record(p[0], p[1]), nullptr) << p[0] << "," << p[1];
    EXPECT_TRUE(boxes().empty());
    PickReset();
    EXPECT_EQ(Pick_Record(160, 120), nullptr);
    EXPECT_EQ(Pick_Actor(160, 120), nullptr);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "PickInit() not called yet");
}

TEST_F(Pick, OrbitClampsAndWraps)
{
    const struct {
        float tilt, turn, distance;
        float wantTilt, wantTurn, wantDistance;
    } cases[] = {
        {310, -45, 1.85f, 310, 315, 1.85f}, {-45, 0, 0.05f, 315, 0, 0.1f},  {720, 365, 20, 0, 5, 16},
        {NAN, INFINITY, NAN, 0, 0, 0.1f},    {1e30f, -1e30f, 5, -1, -1, 5}, {360, -360, 16, 0, 0, 16},
    };
    for (const auto &c : cases) {
        // A camera offset that is no number is no offset.
        const float side = std::isnan(c.tilt) ? NAN : std::isinf(c.turn) ? -INFINITY : 0.0f;
        TrOrbit o = {side, side, c.tilt, c.turn, c.distance, 0, camera, pivot};
        Orbit_Apply(&o);
        EXPECT_TRUE(o.tilt >= 0 && o.tilt < 360) << c.tilt;
        EXPECT_TRUE(o.turn >= 0 && o.turn < 360) << c.turn;
        if (c.wantTilt >= 0) {
            EXPECT_NEAR(o.tilt, c.wantTilt, 1e-3f) << c.tilt;
        }
        if (c.wantTurn >= 0) {
            EXPECT_NEAR(o.turn, c.wantTurn, 1e-3f) << c.turn;
        }
        EXPECT_FLOAT_EQ(o.distance, c.wantDistance) << c.distance;
        for (int i = 0; i < 4; i++)
            for (int k = 0; k < 3; k++)
                EXPECT_TRUE(std::isfinite(camera->t.t.mat.m[i][k])) << c.tilt << " " << i << "," << k;
        EXPECT_TRUE(std::isfinite(o.x) && std::isfinite(o.y));
        EXPECT_EQ(((br_camera *)camera->type_data)->type, BR_CAMERA_PERSPECTIVE_CENTRED);
    }
    EXPECT_FLOAT_EQ(Wrap360(-45), 315);
}

TEST_F(Pick, ParallelViewShowsAtThePivotWhatThePerspectiveShowed)
{
    TrOrbit o = {0, -0.1f, 310, -45, 1.85f, 1, camera, pivot};
    Orbit_Apply(&o);
    auto *c = (br_camera *)camera->type_data;
    EXPECT_EQ(c->type, BR_CAMERA_PARALLEL_CENTRED);
    const float w = std::tan(7280 * 0.5f * float(M_PI) / 32768.0f) * 1.85f;
    EXPECT_NEAR(c->height, w, 1e-4f);
    EXPECT_NEAR(c->width, c->aspect * w, 1e-4f);
    EXPECT_NEAR(Orbit_ParallelHeight(), w, 1e-4f);
    // The camera keeps its place and turn.
    TrOrbit p = o;
    p.parallel = 0;
    Orbit_Apply(&p);
    br_matrix34 perspective = camera->t.t.mat;
    Orbit_Apply(&o);
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(camera->t.t.mat.m[i][k], perspective.m[i][k], 1e-3f) << i << "," << k;
}

TEST_F(Pick, ProjectionSkipsThePointsOfTheCameraPlane)
{
    TrOrbit o = {0, 0, 0, 0, 1.0f, 0, camera, pivot};
    Orbit_Apply(&o);
    int32_t sx = -7, sy = -7, depth = -7;
    const float centre[3] = {0, 0, 0};
    ASSERT_EQ(View_Project(world, centre, &sx, &sy, &depth, camera, view), 1);
    EXPECT_EQ(sx, 160);
    EXPECT_EQ(sy, 120);
    EXPECT_GT(depth, 0);
    const float onPlane[3] = {0.3f, 0.2f, 1.0f};
    sx = sy = depth = -7;
    EXPECT_EQ(View_Project(world, onPlane, &sx, &sy, &depth, camera, view), 0);
    EXPECT_EQ(sx, -7);
    EXPECT_EQ(depth, -7);
    // Next to the plane the point lies far off the screen, never past what an int holds.
    for (float z : {0.9999999f, 1.0000001f}) {
        const float near[3] = {30.0f, -20.0f, z};
        ASSERT_EQ(View_Project(world, near, &sx, &sy, &depth, camera, view), 1) << z;
        EXPECT_TRUE(sx > 100000 || sx < -100000) << z;
        EXPECT_TRUE(sx > INT_MIN / 2 && sx < INT_MAX / 2 && sy > INT_MIN / 2 && sy < INT_MAX / 2) << sx << "," << sy;
    }
    // The point under the cursor at the middle of the view lies straight ahead.
    float at[3] = {5, 5, -2};
    View_PointUnderCursor(camera, view, at, 160, 120);
    EXPECT_NEAR(at[0], 0, 1e-5f);
    EXPECT_NEAR(at[1], 0, 1e-5f);
    EXPECT_FLOAT_EQ(at[2], -2);
}

TEST_F(Pick, DecompositionRoundTrip)
{
    br_matrix34 m;
    BrMatrix34Scale(&m, 2, 3, 4);
    BrMatrix34PostRotateX(&m, (br_angle)(25 * 182));
    BrMatrix34PostRotateY(&m, (br_angle)(-40 * 182));
    BrMatrix34PostRotateZ(&m, (br_angle)(70 * 182));
    BrMatrix34PostTranslate(&m, 1, -2, 3);
    float scale[3], shear[3], angles[3], move[3];
    Matrix_Decompose(&m, scale, shear, angles, move);
    EXPECT_NEAR(scale[0], 2, 1e-4f);
    EXPECT_NEAR(scale[1], 3, 1e-4f);
    EXPECT_NEAR(scale[2], 4, 1e-4f);
    for (float s : shear)
        EXPECT_NEAR(s, 0, 1e-4f);
    EXPECT_FLOAT_EQ(move[0], 1);
    EXPECT_FLOAT_EQ(move[2], 3);
    br_matrix34 back;
    BrMatrix34Scale(&back, scale[0], scale[1], scale[2]);
    BrMatrix34PostRotateX(&back, (br_angle)(int)std::lround(angles[0] * 182.0444f));
    BrMatrix34PostRotateY(&back, (br_angle)(int)std::lround(angles[1] * 182.0444f));
    BrMatrix34PostRotateZ(&back, (br_angle)(int)std::lround(angles[2] * 182.0444f));
    BrMatrix34PostTranslate(&back, move[0], move[1], move[2]);
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(back.m[i][k], m.m[i][k], 2e-3f) << i << "," << k;
    // A mirrored matrix gives negative scales; outs may be null.
    BrMatrix34Scale(&m, -1, 1, 1);
    Matrix_Decompose(&m, scale, nullptr, nullptr, nullptr);
    EXPECT_LT(scale[0] * scale[1] * scale[2], 0);
}

}  // namespace
