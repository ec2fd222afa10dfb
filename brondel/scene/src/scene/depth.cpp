// Conversions between screen z, depth-buffer values and camera depth.
#include <math.h>

#include "scene.h"
#include <brondel/brscene.h>

namespace {

constexpr br_scalar kNear = -32768.0f;
constexpr br_scalar kFar = 32768.0f;

} // namespace

br_uint_32 BrZbScreenZToDepth(br_scalar z)
{
    if (z <= kNear)
        return 0;
    // Not a number counts as far: it must not reach the integer conversion.
    if (!(z < kFar))
        return 0xffffffffu;
    return (br_uint_32)(br_int_32)(z * 65536.0f) + 0x80000000u;
}

br_scalar BrZbDepthToScreenZ(br_uint_32 depth)
{
    return (br_scalar)(br_int_32)(depth - 0x80000000u) / 65536.0f;
}

br_scalar BrCameraDepthToScreenZ(br_scalar depth, const br_camera *camera)
{
    br_scalar h = camera->hither_z, y = camera->yon_z;
    if (!(depth > h))
        return kNear;
    if (depth >= y)
        return kFar;
    return (2.0f * depth - y - h) / (y - h) * 32768.0f;
}

br_scalar BrScreenZToCameraDepth(br_scalar z, const br_camera *camera)
{
    br_scalar h = camera->hither_z, y = camera->yon_z;
    if (z <= kNear)
        return h;
    if (z >= kFar)
        return y;
    return ((y + h) + (y - h) * z / 32768.0f) / 2.0f;
}

br_scalar BrScreenZToCamera(br_actor *camera_actor, br_scalar z)
{
    const br_camera *c = (const br_camera *)camera_actor->type_data;
    br_scalar h = c->hither_z, y = c->yon_z;
    if (z <= kNear)
        return -h;
    if (z >= kFar)
        return -y;
    switch (c->type) {
    case BR_CAMERA_PARALLEL:
        return (z / 32768.0f) * (h - y) / 2.0f - (h + y) / 2.0f;
    case BR_CAMERA_PERSPECTIVE:
        return 2.0f * h * y / ((y - h) * z / 32768.0f - (h + y));
    default:
        return 0.0f;
    }
}
