// Picking, the orbit camera, the parallel view and the small geometry around them.
#include <cfloat>
#include <cmath>
#include <cstring>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpick.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "pannix/pxpix.h"
#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "terrow/trpick.h"

namespace {

struct PickState {
    br_actor *world = nullptr, *camera = nullptr;
    br_pixelmap *view = nullptr;
    int32_t yOffset = 0;
    bool ready = false;
};
PickState g_pick;
TrPickResult g_result;
float g_parallelHeight = 0;

constexpr float kDegreesToBr = 182.0f;

br_angle br_degrees(float d)
{
    return (br_angle)(br_int_32)(d * kDegreesToBr);
}

}  // namespace

extern "C" int TrPickModelCb(br_actor *, br_model *, br_material *, br_vector3 *, br_vector3 *, br_scalar,
                             br_scalar, void *);

namespace {

bool run_pick(int32_t x, int32_t y)
{
    std::memset(&g_result, 0, sizeof g_result);
    g_result.t = FLT_MAX;
    if (!g_pick.ready)
        return false;
    // A point far outside the view still picks nothing, without overflowing on the way.
    auto to_view = [](int64_t v) { return (int)(v < -0x1000000 ? -0x1000000 : v > 0x1000000 ? 0x1000000 : v); };
    BrScenePick2D(g_pick.world, g_pick.camera, g_pick.view, to_view(int64_t(x) - g_pick.view->origin_x),
                  to_view(int64_t(y) - g_pick.yOffset - g_pick.view->origin_y), TrPickModelCb, &g_result);
    if (g_result.actor == nullptr) {
        std::memset(&g_result, 0, sizeof g_result);
        return false;
    }
    return true;
}

float length(const float v[3])
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

void normalise(float v[3])
{
    float l = length(v);
    if (l < 2.3841858e-7f) {
        v[0] = 1;
        v[1] = v[2] = 0;
        return;
    }
    for (int i = 0; i < 3; i++)
        v[i] /= l;
}

float dot(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace

extern "C" {

int TrPickFaceCb(br_model *model, br_material *material, br_vector3 *, br_vector3 *, br_scalar t, int face, int edge,
            int vertex, br_vector3 *point, br_vector2 *map, void *arg)
{
    auto *r = static_cast<TrPickResult *>(arg);
    if (t < r->t) {
        r->actor = r->currentActor;
        r->model = model;
        r->material = material;
        for (int i = 0; i < 3; i++)
            r->point[i] = point != nullptr ? point->v[i] : 0.0f;
        r->face = face;
        r->edge = edge;
        r->vertex = vertex;
        r->map[0] = map != nullptr ? map->v[0] : 0.0f;
        r->map[1] = map != nullptr ? map->v[1] : 0.0f;
        r->t = t;
    }
    return 0;
}

int TrPickModelCb(br_actor *actor, br_model *model, br_material *material, br_vector3 *pos, br_vector3 *dir,
             br_scalar tNear, br_scalar tFar, void *arg)
{
    auto *r = static_cast<TrPickResult *>(arg);
    r->currentActor = actor;
    BrModelPick2D(model, material, pos, dir, tNear, tFar, TrPickFaceCb, arg);
    return 0;
}

void PickInit(br_actor *world, br_actor *camera, br_pixelmap *view, int32_t yOffset)
{
    g_pick.world = world;
    g_pick.camera = camera;
    g_pick.view = view;
    g_pick.yOffset = yOffset;
    g_pick.ready = world != nullptr && camera != nullptr && view != nullptr;
}

void PickReset(void)
{
    g_pick = PickState();
}

br_actor *Pick_Actor(int32_t x, int32_t y)
{
    return run_pick(x, y) ? g_result.actor : nullptr;
}

TrPickResult *Pick_Record(int32_t x, int32_t y)
{
    if (!g_pick.ready) {
        TrWarning("PickInit() not called yet");
        return nullptr;
    }
    return run_pick(x, y) ? &g_result : nullptr;
}

TrElem *Pick_Elem(int32_t x, int32_t y)
{
    return Look_ElemOfActor(Pick_Actor(x, y));
}

float Wrap360(float angle)
{
    if (!std::isfinite(angle))
        return 0.0f;
    float a = std::fmod(angle, 360.0f);
    if (a < 0)
        a += 360.0f;
    return a >= 360.0f ? 0.0f : a;
}

void Orbit_Apply(TrOrbit *o)
{
    if (o == nullptr)
        return;
    o->tilt = Wrap360(o->tilt);
    o->turn = Wrap360(o->turn);
    // An offset that is no number would leave no picture at all.
    if (!std::isfinite(o->x))
        o->x = 0;
    if (!std::isfinite(o->y))
        o->y = 0;
    if (!(o->distance >= TR_ORBIT_MIN_DISTANCE))
        o->distance = TR_ORBIT_MIN_DISTANCE;
    if (o->distance > TR_ORBIT_MAX_DISTANCE)
        o->distance = TR_ORBIT_MAX_DISTANCE;
    if (o->camera != nullptr) {
        br_matrix34 *m = &o->camera->t.t.mat;
        BrMatrix34Translate(m, o->x, o->y, o->distance);
        BrMatrix34PostRotateX(m, br_degrees(o->tilt));
    }
    if (o->pivot != nullptr)
        BrMatrix34RotateY(&o->pivot->t.t.mat, br_degrees(o->turn));
    if (o->camera != nullptr && o->camera->type_data != nullptr) {
        auto *c = static_cast<br_camera *>(o->camera->type_data);
        if (o->parallel) {
            c->type = BR_CAMERA_PARALLEL_CENTRED;
            Orbit_MakeParallel(o->camera);
        } else {
            c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        }
    }
}

void Orbit_MakeParallel(br_actor *camera)
{
    if (camera == nullptr || camera->type_data == nullptr)
        return;
    auto *c = static_cast<br_camera *>(camera->type_data);
    br_matrix34 *m = &camera->t.t.mat;
    float angles[3], translation[3];
    Matrix_Decompose(m, nullptr, nullptr, angles, translation);
    // Turned back about x, the translation is the camera's offset from the pivot.
    BrMatrix34PostRotateX(m, br_degrees(-angles[0]));
    translation[0] = m->m[3][0];
    translation[1] = m->m[3][1];
    translation[2] = m->m[3][2];
    float half = (float)c->field_of_view * 0.5f * float(M_PI) / 32768.0f;
    float w = std::tan(half) * translation[2];
    c->type = BR_CAMERA_PARALLEL_CENTRED;
    c->width = c->aspect * w;
    c->height = w;
    BrMatrix34Translate(m, translation[0], translation[1], translation[2]);
    BrMatrix34PostRotateX(m, br_degrees(angles[0]));
    g_parallelHeight = w;
}

float Orbit_ParallelHeight(void)
{
    return g_parallelHeight;
}

void View_PointUnderCursor(br_actor *camera, br_pixelmap *view, float position[3], int32_t sx, int32_t sy)
{
    if (camera == nullptr || camera->type_data == nullptr || view == nullptr || position == nullptr ||
        view->width == 0 || view->height == 0)
        return;
    auto *c = static_cast<br_camera *>(camera->type_data);
    float f = (float)c->field_of_view * float(M_PI) / 32768.0f, a = c->aspect, z = position[2];
    position[0] = std::tan((0.5f - (float)sx / view->width) * a * f) * z;
    position[1] = std::tan(((float)sy / view->height - 0.5f) * f) * z;
}

int32_t View_Project(br_actor *actor, const float point[3], int32_t *sx, int32_t *sy, int32_t *depth,
                     br_actor *camera, br_pixelmap *view)
{
    if (actor == nullptr || camera == nullptr || view == nullptr || point == nullptr)
        return 0;
    br_matrix4 m;
    BrActorToScreenMatrix4(&m, actor, camera);
    br_vector3 p;
    BrVector3Set(&p, point[0], point[1], point[2]);
    br_vector4 s;
    BrMatrix4ApplyP(&s, &p, &m);
    // A point in the camera's plane has no place on the screen.
    if (s.v[3] == 0.0f || !std::isfinite(s.v[3]))
        return 0;
    float x = s.v[0] / s.v[3], y = s.v[1] / s.v[3], z = s.v[2] / s.v[3];
    if (!std::isfinite(x) || !std::isfinite(y))
        return 0;
    // Close to that plane a point lands far off the screen: held where an int still holds it.
    auto screen = [](float v) { return (int32_t)(v < -1e9f ? -1e9f : v > 1e9f ? 1e9f : v); };
    if (sx != nullptr)
        *sx = screen(view->width * (x + 1.0f) * 0.5f);
    if (sy != nullptr)
        *sy = screen(view->height * (1.0f - y) * 0.5f);
    if (depth != nullptr)
        *depth = (int32_t)(BrZbScreenZToDepth(z * -32768.0f) >> 16);
    return 1;
}

int32_t View_ProjectXY(br_actor *actor, const float point[3], int32_t *sx, int32_t *sy, br_actor *camera,
                       br_pixelmap *view)
{
    return View_Project(actor, point, sx, sy, nullptr, camera, view);
}

void Model_Scale(br_model *model, const float scale[3])
{
    if (model == nullptr || model->vertices == nullptr || model->nvertices == 0)
        return;
    for (int i = 0; i < model->nvertices; i++)
        for (int k = 0; k < 3; k++)
            model->vertices[i].p.v[k] *= scale[k];
    BrModelUpdate(model, BR_MODU_BOUNDS);
}

void Model_ScaleAbout(br_model *model, const float scale[3], const float centre[3])
{
    if (model == nullptr || model->vertices == nullptr || model->nvertices == 0)
        return;
    for (int i = 0; i < model->nvertices; i++)
        for (int k = 0; k < 3; k++) {
            float &v = model->vertices[i].p.v[k];
            v = centre[k] + (v - centre[k]) * scale[k];
        }
    BrModelUpdate(model, BR_MODU_BOUNDS);
}

void Matrix_Decompose(const br_matrix34 *m, float scale[3], float shear[3], float angles[3], float translation[3])
{
    float r0[3], r1[3], r2[3];
    for (int i = 0; i < 3; i++) {
        r0[i] = m->m[0][i];
        r1[i] = m->m[1][i];
        r2[i] = m->m[2][i];
    }
    float sx = length(r0);
    normalise(r0);
    float xy = dot(r0, r1);
    for (int i = 0; i < 3; i++)
        r1[i] -= xy * r0[i];
    float sy = length(r1);
    normalise(r1);
    if (sy != 0)
        xy /= sy;
    float xz = dot(r0, r2);
    for (int i = 0; i < 3; i++)
        r2[i] -= xz * r0[i];
    float yz = dot(r1, r2);
    for (int i = 0; i < 3; i++)
        r2[i] -= yz * r1[i];
    float sz = length(r2);
    normalise(r2);
    if (sz != 0) {
        xz /= sz;
        yz /= sz;
    }
    const float cross[3] = {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2], r1[0] * r2[1] - r1[1] * r2[0]};
    if (dot(r0, cross) < 0) {
        sx = -sx;
        sy = -sy;
        sz = -sz;
        for (int i = 0; i < 3; i++) {
            r0[i] = -r0[i];
            r1[i] = -r1[i];
            r2[i] = -r2[i];
        }
    }
    float s = r0[2] < -1 ? -1 : r0[2] > 1 ? 1 : r0[2];
    float ry = std::asin(-s), rx, rz;
    if (std::fabs(std::cos(ry)) > 1e-6f) {
        rx = std::atan2(r1[2], r2[2]);
        rz = std::atan2(r0[1], r0[0]);
    } else {
        rx = std::atan2(r1[0], r1[1]);
        rz = 0;
    }
    if (scale != nullptr) {
        scale[0] = sx;
        scale[1] = sy;
        scale[2] = sz;
    }
    if (shear != nullptr) {
        shear[0] = xy;
        shear[1] = xz;
        shear[2] = yz;
    }
    if (angles != nullptr) {
        angles[0] = rx * 57.29578f;
        angles[1] = ry * 57.29578f;
        angles[2] = rz * 57.29578f;
    }
    if (translation != nullptr)
        for (int i = 0; i < 3; i++)
            translation[i] = m->m[3][i];
}

void Br_ReleaseAll(void)
{
    // The tables of looks and models point at what follows: they go first.
    Look_FreeAll();
    Model_FreeAll();
    br_model *models[64];
    br_uint_32 n;
    while ((n = BrModelFindMany("*", models, 64)) > 0)
        for (br_uint_32 i = 0; i < n; i++)
            BrModelFree(BrModelRemove(models[i]));
    br_material *materials[64];
    while ((n = BrMaterialFindMany("*", materials, 64)) > 0)
        for (br_uint_32 i = 0; i < n; i++)
            BrMaterialFree(BrMaterialRemove(materials[i]));
    br_pixelmap *maps[64];
    while ((n = BrMapFindMany("*", maps, 64)) > 0)
        for (br_uint_32 i = 0; i < n; i++) {
            // Maps of the 2D library's own alpha types go back through it.
            br_pixelmap *map = BrMapRemove(maps[i]);
            if (map->type == PX_PMT_RGB565_ALPHA8 || map->type == PX_PMT_ARGB_4444)
                PxFreePix(map);
            else
                BrPixelmapFree(map);
        }
}

}  // extern "C"
