// Picking: the ray under a pixel (or a box) walked through the actor tree against model and bounds
// boxes, and the ray against the faces of one model.
#include <math.h>

#include <brondel/brpick.h>
#include <brondel/brpixmap.h>

#include "scene.h"

namespace {

// Ray components this small count as parallel to the axis.
constexpr br_scalar PARALLEL_EPSILON = 2.3841858e-7f;
constexpr br_scalar T_FAR = 3.4028235e38f;
// Slack on the ray interval, so a hit exactly on a model's bounds is kept.
constexpr br_scalar T_SLACK = 0.001f;

struct inherited {
    br_model *model;
    br_material *material;
};

inherited inherit(const br_actor *a, inherited in)
{
    if (a->model != nullptr)
        in.model = a->model;
    if (a->material != nullptr)
        in.material = a->material;
    return in;
}

inherited start_values(const br_actor *world)
{
    return inherit(world, {v1db.default_model, v1db.default_material});
}

// The actor's transform applied before the running matrix.
br_matrix34 actor_pre(const br_actor *a, const br_matrix34 &m)
{
    br_matrix34 r = m;
    BrMatrix34PreTransform(&r, &a->t);
    return r;
}

// The ray's interval inside the box, starting from [*tn, *tf]; false when it misses.
bool slab(const br_bounds3 *b, const br_vector3 &pos, const br_vector3 &dir, br_scalar *tn, br_scalar *tf)
{
    for (int i = 0; i < 3; i++) {
        if (fabsf(dir.v[i]) <= PARALLEL_EPSILON) {
            if (pos.v[i] < b->min.v[i] || pos.v[i] > b->max.v[i])
                return false;
            continue;
        }
        br_scalar t1 = (b->min.v[i] - pos.v[i]) / dir.v[i];
        br_scalar t2 = (b->max.v[i] - pos.v[i]) / dir.v[i];
        if (t1 > t2) {
            br_scalar t = t1;
            t1 = t2;
            t2 = t;
        }
        if (t1 > *tn)
            *tn = t1;
        if (t2 < *tf)
            *tf = t2;
    }
    return *tn <= *tf;
}

struct pick2d {
    br_pick2d_cbfn *callback;
    void *arg;
};

// pick takes the parent's space into pick space, where the ray runs along the z axis from the origin
// away from the camera, towards negative z.
int walk2d(const pick2d &p, br_actor *a, inherited in, const br_matrix34 &parent_pick)
{
    in = inherit(a, in);
    br_matrix34 pick = actor_pre(a, parent_pick);
    br_matrix34 to_model;
    // A space that flattens the view has no ray: nothing here is tested, the children still are.
    if (BrMatrix34Inverse(&to_model, &pick) != 0.0f) {
        br_vector3 pos = {{to_model.m[3][0], to_model.m[3][1], to_model.m[3][2]}};
        br_vector3 dir = {{-to_model.m[2][0], -to_model.m[2][1], -to_model.m[2][2]}};
        br_scalar tn = 0.0f, tf = T_FAR;
        switch (a->type) {
        case BR_ACTOR_MODEL:
            if (in.model != nullptr && slab(&in.model->bounds, pos, dir, &tn, &tf)) {
                int r = p.callback(a, in.model, in.material, &pos, &dir, tn, tf, p.arg);
                if (r != 0)
                    return r;
            }
            break;
        case BR_ACTOR_BOUNDS:
        case BR_ACTOR_BOUNDS_CORRECT:
            if (a->type_data != nullptr && !slab((const br_bounds3 *)a->type_data, pos, dir, &tn, &tf))
                return 0;
            break;
        default:
            break;
        }
    }
    for (br_actor *c = a->children; c != nullptr; c = c->next) {
        int r = walk2d(p, c, in, pick);
        if (r != 0)
            return r;
    }
    return 0;
}

// The inverse of the actor's matrix up to the world: length preserving unless it is a general one.
void world_to_actor(br_matrix34 *m, br_actor *a, br_actor *world)
{
    br_matrix34 to_world;
    br_uint_16 type;
    BrActorToRootMatrix34(a, world, &to_world, &type);
    if (type == BR_TRANSFORM_MATRIX34) {
        if (BrMatrix34Inverse(m, &to_world) == 0.0f)
            BrMatrix34Identity(m);
    } else {
        BrMatrix34LPInverse(m, &to_world);
    }
}

// Whether the box (in reference space) meets the model-space box, along the three model axes; to_ref
// takes model space into reference space.
bool boxes_meet(const br_bounds3 *model_box, const br_matrix34 &to_ref, const br_bounds3 *box)
{
    br_matrix34 n;
    if (BrMatrix34Inverse(&n, &to_ref) == 0.0f)
        return false;
    for (int i = 0; i < 3; i++) {
        br_scalar lo = n.m[3][i], hi = n.m[3][i];
        for (int k = 0; k < 3; k++) {
            br_scalar a = n.m[k][i] * box->min.v[k];
            br_scalar b = n.m[k][i] * box->max.v[k];
            lo += a < b ? a : b;
            hi += a < b ? b : a;
        }
        if (lo > model_box->max.v[i] || hi < model_box->min.v[i])
            return false;
    }
    return true;
}

struct pick3d {
    br_pick3d_cbfn *callback;
    void *arg;
    br_bounds3 *box;
};

int walk3d(const pick3d &p, br_actor *a, inherited in, const br_matrix34 &parent_to_ref)
{
    in = inherit(a, in);
    br_matrix34 to_ref = actor_pre(a, parent_to_ref);
    switch (a->type) {
    case BR_ACTOR_MODEL:
        if (in.model != nullptr && boxes_meet(&in.model->bounds, to_ref, p.box)) {
            int r = p.callback(a, in.model, in.material, &to_ref, p.box, p.arg);
            if (r != 0)
                return r;
        }
        break;
    case BR_ACTOR_BOUNDS:
    case BR_ACTOR_BOUNDS_CORRECT:
        if (a->type_data != nullptr && !boxes_meet((const br_bounds3 *)a->type_data, to_ref, p.box))
            return 0;
        break;
    default:
        break;
    }
    for (br_actor *c = a->children; c != nullptr; c = c->next) {
        int r = walk3d(p, c, in, to_ref);
        if (r != 0)
            return r;
    }
    return 0;
}

// Weights of vertices 2 (x) and 1 (z) of the hit q (relative to vertex 0) on the axes i, j; false for
// a face that has no area seen along the third axis.
bool weights(const br_vector3 &e1, const br_vector3 &e2, const br_vector3 &q, int i, int j, br_scalar *x,
             br_scalar *z)
{
    if (fabsf(e1.v[i]) > PARALLEL_EPSILON) {
        br_scalar den = e2.v[j] * e1.v[i] - e2.v[i] * e1.v[j];
        if (den == 0.0f)
            return false;
        *x = (q.v[j] * e1.v[i] - q.v[i] * e1.v[j]) / den;
        *z = (q.v[i] - *x * e2.v[i]) / e1.v[i];
    } else {
        if (e2.v[i] == 0.0f || e1.v[j] == 0.0f)
            return false;
        *x = q.v[i] / e2.v[i];
        *z = (q.v[j] - *x * e2.v[j]) / e1.v[j];
    }
    return true;
}

} // namespace

int BrScenePick2D(br_actor *world, br_actor *camera, br_pixelmap *viewport, int pick_x, int pick_y,
                  br_pick2d_cbfn *callback, void *arg)
{
    if (world == nullptr || camera == nullptr || viewport == nullptr || callback == nullptr ||
        camera->type_data == nullptr || viewport->width == 0 || viewport->height == 0)
        return 0;
    const br_camera *c = (const br_camera *)camera->type_data;
    br_scalar w = viewport->width, h = viewport->height;
    br_scalar x = (br_scalar)pick_x, y = (br_scalar)pick_y;
    // The centred kinds project about the middle of the view, whatever the viewport's origin.
    if (c->type == BR_CAMERA_PARALLEL_CENTRED || c->type == BR_CAMERA_PERSPECTIVE_CENTRED) {
        x += (br_scalar)viewport->origin_x - (br_scalar)(viewport->width / 2);
        y += (br_scalar)viewport->origin_y - (br_scalar)(viewport->height / 2);
    }

    br_matrix34 pick;
    world_to_actor(&pick, camera, world);
    switch (c->type) {
    case BR_CAMERA_PARALLEL:
    case BR_CAMERA_PARALLEL_CENTRED: {
        // The same scales as the camera's projection, so a pixel picks what was drawn there.
        br_scalar sx = c->type == BR_CAMERA_PARALLEL ? 2.0f / (c->aspect * c->width) : 1.0f / c->width;
        br_scalar sy = c->type == BR_CAMERA_PARALLEL ? 2.0f / c->height : 1.0f / c->height;
        BrMatrix34PostTranslate(&pick, 0.0f, 0.0f, c->hither_z);
        BrMatrix34PostScale(&pick, sx, sy, 1.0f / (c->yon_z - c->hither_z));
        BrMatrix34PostTranslate(&pick, -2.0f * x / w, 2.0f * y / h, 0.0f);
        break;
    }
    case BR_CAMERA_PERSPECTIVE:
    case BR_CAMERA_PERSPECTIVE_CENTRED: {
        br_scalar half = (br_scalar)c->field_of_view * 0.5f * 9.587379924285257e-05f;
        br_scalar k = cosf(half) / sinf(half);
        BrMatrix34PostScale(&pick, k / c->aspect, k, 1.0f);
        BrMatrix34PostShearZ(&pick, 2.0f * x / w, -2.0f * y / h);
        BrMatrix34PostScale(&pick, 1.0f, 1.0f, 1.0f / c->yon_z);
        break;
    }
    default:
        break;
    }

    pick2d p = {callback, arg};
    inherited in = start_values(world);
    for (br_actor *a = world->children; a != nullptr; a = a->next) {
        int r = walk2d(p, a, in, pick);
        if (r != 0)
            return r;
    }
    return 0;
}

int BrScenePick3D(br_actor *world, br_actor *reference, br_bounds3 *bounds, br_pick3d_cbfn *callback, void *arg)
{
    if (world == nullptr || reference == nullptr || bounds == nullptr || callback == nullptr)
        return 0;
    br_matrix34 to_ref;
    world_to_actor(&to_ref, reference, world);
    pick3d p = {callback, arg, bounds};
    inherited in = start_values(world);
    for (br_actor *a = world->children; a != nullptr; a = a->next) {
        int r = walk3d(p, a, in, to_ref);
        if (r != 0)
            return r;
    }
    return 0;
}

int BrModelPick2D(br_model *model, br_material *material, br_vector3 *ray_pos, br_vector3 *ray_dir,
                  br_scalar t_near, br_scalar t_far, br_modelpick2d_cbfn *callback, void *arg)
{
    if (model == nullptr || model->faces == nullptr || model->vertices == nullptr || callback == nullptr)
        return 0;
    const br_vector3 &pos = *ray_pos, &dir = *ray_dir;
    for (int f = 0; f < model->nfaces; f++) {
        br_face *fp = &model->faces[f];
        if (fp->vertices[0] >= model->nvertices || fp->vertices[1] >= model->nvertices ||
            fp->vertices[2] >= model->nvertices)
            continue;
        br_material *fmat = fp->material != nullptr ? fp->material : material;
        br_scalar s = BrVector3Dot(&fp->normal, &dir);
        br_scalar m = fp->d - BrVector3Dot(&fp->normal, &pos);
        if (s > 0.0f) {
            if (fmat == nullptr || !(fmat->flags & (BR_MATF_NO_CULL | BR_MATF_TWO_SIDED)) || !(s > fabsf(m)))
                continue;
        } else if (s < 0.0f) {
            if (!(-s > fabsf(m)))
                continue;
        } else {
            continue;
        }
        br_scalar t = m / s;
        if (t < t_near - T_SLACK || t > t_far + T_SLACK)
            continue;

        br_vector3 hit = {{pos.v[0] + t * dir.v[0], pos.v[1] + t * dir.v[1], pos.v[2] + t * dir.v[2]}};
        const br_vertex *v0 = &model->vertices[fp->vertices[0]];
        const br_vertex *v1 = &model->vertices[fp->vertices[1]];
        const br_vertex *v2 = &model->vertices[fp->vertices[2]];
        // Project along the normal's largest component.
        br_scalar ax = fabsf(fp->normal.v[0]), ay = fabsf(fp->normal.v[1]), az = fabsf(fp->normal.v[2]);
        int i, j;
        if (az > (ax > ay ? ax : ay)) {
            i = 0;
            j = 1;
        } else if (ay > ax) {
            i = 0;
            j = 2;
        } else {
            i = 1;
            j = 2;
        }
        br_vector3 e1, e2, q;
        BrVector3Sub(&e1, &v1->p, &v0->p);
        BrVector3Sub(&e2, &v2->p, &v0->p);
        BrVector3Sub(&q, &hit, &v0->p);
        br_scalar x, z;
        if (!weights(e1, e2, q, i, j, &x, &z))
            continue;
        // Written so that a weight that is not a number fails too.
        if (!(x >= 0.0f && x <= 1.0f && z >= 0.0f && x + z <= 1.0f))
            continue;

        br_scalar w0 = 1.0f - x - z, w1 = z, w2 = x;
        br_vector2 map = {{w0 * v0->map.v[0] + w1 * v1->map.v[0] + w2 * v2->map.v[0],
                           w0 * v0->map.v[1] + w1 * v1->map.v[1] + w2 * v2->map.v[1]}};
        int edge, vertex;
        if (x >= z) {
            edge = w1 < w0 ? 0 : 1;
            vertex = w2 > w0 ? 1 : 0;
        } else {
            edge = w2 < w0 ? 2 : 1;
            vertex = w1 > w0 ? 2 : 0;
        }
        int r = callback(model, fmat, ray_pos, ray_dir, t, f, edge, vertex, &hit, &map, arg);
        if (r != 0)
            return r;
    }
    return 0;
}
