// Projecting points of the current model to the screen during a render.
#include <math.h>

#include "rend.h"

using namespace brrend;

namespace {

br_uint_32 outcode(const br_vector4 &v)
{
    br_uint_32 c = BR_OUTCODE_INSIDE;
    br_scalar x = v.v[0], y = v.v[1], z = v.v[2], w = v.v[3];
    if (x < -w)
        c ^= BR_OUTCODE_LEFT | (BR_OUTCODE_LEFT << 16);
    if (x >= w)
        c ^= BR_OUTCODE_RIGHT | (BR_OUTCODE_RIGHT << 16);
    if (y >= w)
        c ^= BR_OUTCODE_TOP | (BR_OUTCODE_TOP << 16);
    if (y < -w)
        c ^= BR_OUTCODE_BOTTOM | (BR_OUTCODE_BOTTOM << 16);
    if (z >= w)
        c ^= BR_OUTCODE_HITHER | (BR_OUTCODE_HITHER << 16);
    if (z < -w)
        c ^= BR_OUTCODE_YON | (BR_OUTCODE_YON << 16);
    return c;
}

void to_screen_xy(br_scalar *out, const br_vector4 &v)
{
    out[0] = v.v[0] / v.v[3] * br_scene.x_scale + br_scene.x_offset;
    out[1] = v.v[1] / v.v[3] * br_scene.y_scale + br_scene.y_offset;
}

br_vector4 project(const br_vector3 *p)
{
    br_vector4 v;
    BrMatrix4ApplyP(&v, p, model_to_screen());
    return v;
}

br_uint_32 point_xyzo(br_vector3 *screen, const br_vector3 *p)
{
    br_vector4 v = project(p);
    br_uint_32 c = outcode(v);
    if ((c & 0xfff) == 0) {
        to_screen_xy(screen->v, v);
        screen->v[2] = v.v[2] / v.v[3] * -32767.0f;
    }
    return c;
}

const br_vector3 *origin()
{
    static br_vector3 zero;
    return &zero;
}

} // namespace

br_matrix4 *BrModelToScreenQuery(br_matrix4 *dest)
{
    model_to_screen_forget();
    *dest = *model_to_screen();
    return dest;
}

void BrModelToViewQuery(br_matrix34 *dest)
{
    query_floats(BRT_MATRIX, BRT_MODEL_TO_VIEW_M34_F, dest, sizeof(*dest));
}

br_boolean BrPointToScreenXY(br_vector2 *screen, const br_vector3 *point)
{
    br_vector4 v = project(point);
    to_screen_xy(screen->v, v);
    return v.v[2] > 0.0f;
}

br_boolean BrOriginToScreenXY(br_vector2 *screen)
{
    return BrPointToScreenXY(screen, origin());
}

br_uint_32 BrPointToScreenXYZO(br_vector3 *screen, const br_vector3 *point)
{
    return point_xyzo(screen, point);
}

br_uint_32 BrOriginToScreenXYZO(br_vector3 *screen)
{
    return point_xyzo(screen, origin());
}

void BrPointToScreenXYMany(br_vector2 *screens, const br_vector3 *points, br_uint_32 npoints)
{
    for (br_uint_32 i = 0; i < npoints; i++)
        to_screen_xy(screens[i].v, project(&points[i]));
}

br_uint_32 BrPointToScreenXYZOMany(br_vector3 *screens, br_uint_32 *outcodes, const br_vector3 *points,
                                   br_uint_32 npoints)
{
    for (br_uint_32 i = 0; i < npoints; i++)
        outcodes[i] = point_xyzo(&screens[i], &points[i]);
    return 0;
}

void BrScreenXYZToCamera(br_vector3 *point, br_actor *camera, br_pixelmap *viewport, br_int_16 sx, br_int_16 sy,
                         br_scalar sz)
{
    const br_camera *c = (const br_camera *)camera->type_data;
    br_scalar z = BrScreenZToCamera(camera, sz);
    br_scalar w = (br_scalar)viewport->width, h = (br_scalar)viewport->height;
    br_scalar gx = (w - 2.0f * (br_scalar)(sx + viewport->origin_x)) / w;
    br_scalar gy = (2.0f * (br_scalar)(viewport->origin_y + sy) - h) / h;
    switch (c->type) {
    case BR_CAMERA_PERSPECTIVE: {
        br_scalar half = (br_scalar)c->field_of_view * 0.5f * 9.587379924285257e-05f;
        br_scalar k = cosf(half) / sinf(half);
        point->v[0] = c->aspect * gx / k * z;
        point->v[1] = gy * z / k;
        point->v[2] = z;
        break;
    }
    case BR_CAMERA_PARALLEL:
        point->v[0] = -c->width * c->aspect * gx / 2.0f;
        point->v[1] = -gy * c->height / 2.0f;
        point->v[2] = z;
        break;
    default:
        break;
    }
}
