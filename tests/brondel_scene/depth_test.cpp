// Screen z, depth-buffer values and camera depth.
#include <gtest/gtest.h>

#include <math.h>

#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "db_support.h"

namespace {

TEST(Depth, ScreenZToDepthAtItsLimits)
{
    EXPECT_EQ(BrZbScreenZToDepth(0.0f), 0x80000000u);
    EXPECT_EQ(BrZbScreenZToDepth(-32768.0f), 0u);
    EXPECT_EQ(BrZbScreenZToDepth(-1e30f), 0u);
    EXPECT_EQ(BrZbScreenZToDepth(-INFINITY), 0u);
    EXPECT_EQ(BrZbScreenZToDepth(32768.0f), 0xffffffffu);
    EXPECT_EQ(BrZbScreenZToDepth(INFINITY), 0xffffffffu);
    EXPECT_EQ(BrZbScreenZToDepth(NAN), 0xffffffffu);
    br_uint_32 just_below = BrZbScreenZToDepth(32767.9f);
    EXPECT_LT(just_below, 0xffffffffu);
    EXPECT_GT(just_below, 0xffff0000u);
    EXPECT_EQ(BrZbScreenZToDepth(-1.0f), 0x7fff0000u);
    EXPECT_EQ(BrZbScreenZToDepth(1.5f), 0x80018000u);
}

TEST(Depth, DepthToScreenZInvertsWholeSteps)
{
    for (float z : {-32767.0f, -100.25f, 0.0f, 0.5f, 12345.0f, 32767.5f})
        EXPECT_EQ(BrZbDepthToScreenZ(BrZbScreenZToDepth(z)), z);
    EXPECT_EQ(BrZbDepthToScreenZ(0), -32768.0f);
}

TEST(Depth, CameraDepthRoundTrip)
{
    br_camera c = {};
    c.hither_z = 0.5f;
    c.yon_z = 20.0f;
    EXPECT_EQ(BrCameraDepthToScreenZ(0.5f, &c), -32768.0f);
    EXPECT_EQ(BrCameraDepthToScreenZ(0.1f, &c), -32768.0f);
    EXPECT_EQ(BrCameraDepthToScreenZ(20.0f, &c), 32768.0f);
    EXPECT_EQ(BrScreenZToCameraDepth(-40000.0f, &c), 0.5f);
    EXPECT_EQ(BrScreenZToCameraDepth(32768.0f, &c), 20.0f);
    for (float d : {0.75f, 5.0f, 10.25f, 19.5f})
        EXPECT_NEAR(BrScreenZToCameraDepth(BrCameraDepthToScreenZ(d, &c), &c), d, 1e-4f);
}

using dbtest::Db;
using ScreenZ = Db;

TEST_F(ScreenZ, ToCameraSpaceByCameraType)
{
    br_actor *cam = BrActorAllocate(BR_ACTOR_CAMERA, nullptr);
    br_camera *c = (br_camera *)cam->type_data;
    c->hither_z = 1.0f;
    c->yon_z = 9.0f;
    EXPECT_EQ(BrScreenZToCamera(cam, -32768.0f), -1.0f);
    EXPECT_EQ(BrScreenZToCamera(cam, 40000.0f), -9.0f);
    // Perspective: screen z of a camera-space point comes back to its z.
    br_matrix4 m;
    BrCameraToScreenMatrix4(&m, cam);
    for (float z : {-1.5f, -3.0f, -8.0f}) {
        br_vector3 p = {{0, 0, z}};
        br_vector4 v;
        BrMatrix4ApplyP(&v, &p, &m);
        float sz = v.v[2] / v.v[3] * -32768.0f;
        EXPECT_NEAR(BrScreenZToCamera(cam, sz), z, 1e-4f);
    }
    c->type = BR_CAMERA_PARALLEL;
    EXPECT_NEAR(BrScreenZToCamera(cam, 0.0f), -5.0f, 1e-6f);
    EXPECT_NEAR(BrScreenZToCamera(cam, 32767.0f), -9.0f, 1e-3f);
    c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    EXPECT_EQ(BrScreenZToCamera(cam, 0.0f), 0.0f);
    BrActorFree(cam);
}

TEST_F(ScreenZ, ScreenPointBackToCameraSpace)
{
    br_actor *cam = BrActorAllocate(BR_ACTOR_CAMERA, nullptr);
    br_camera *c = (br_camera *)cam->type_data;
    c->aspect = 4.0f / 3.0f;
    br_pixelmap viewport = {};
    viewport.width = 64;
    viewport.height = 48;
    // A camera-space point projected by hand with the camera's own matrix (centred on the view).
    br_matrix4 m;
    BrMatrix4Perspective(&m, c->field_of_view, c->aspect, -c->hither_z, -c->yon_z);
    br_vector3 p = {{0.5f, -0.25f, -3.0f}};
    br_vector4 v;
    BrMatrix4ApplyP(&v, &p, &m);
    float sx = v.v[0] / v.v[3] * 32 + 32, sy = v.v[1] / v.v[3] * -24 + 24;
    float sz = v.v[2] / v.v[3] * -32768.0f;
    // Whole pixels only: compare where the rounding allows.
    br_vector3 back;
    BrScreenXYZToCamera(&back, cam, &viewport, (br_int_16)(sx + 0.5f), (br_int_16)(sy + 0.5f), sz);
    EXPECT_NEAR(back.v[2], -3.0f, 1e-3f);
    EXPECT_NEAR(back.v[0], 0.5f, 0.1f);
    EXPECT_NEAR(back.v[1], -0.25f, 0.1f);
    BrActorFree(cam);
}

} // namespace
