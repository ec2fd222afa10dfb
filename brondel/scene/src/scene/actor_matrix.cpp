// Matrices between actors and from a camera to the screen, and the bounds of a subtree.
#include <float.h>
#include <math.h>

#include "scene.h"

br_scene_scratch br_scene;

namespace {

// combine(a, b): rows a, columns b. Anything but 0 keeps lengths.
const br_uint_8 combine_table[7][7] = {
    {0, 0, 0, 0, 0, 0, 0}, {0, 1, 1, 1, 1, 1, 1}, {0, 1, 1, 1, 1, 2, 2}, {0, 1, 1, 1, 1, 3, 3},
    {0, 1, 1, 1, 1, 4, 4}, {0, 1, 2, 3, 4, 5, 5}, {0, 1, 2, 3, 4, 5, 6},
};

void inverse(br_matrix34 *dst, const br_matrix34 *src, br_uint_16 type)
{
    if (type == BR_TRANSFORM_MATRIX34)
        BrMatrix34Inverse(dst, src);
    else
        BrMatrix34LPInverse(dst, src);
}

void translate_scale_translate(br_matrix4 *out, br_scalar z0, br_scalar sx, br_scalar sy, br_scalar sz,
                               br_scalar ox, br_scalar oy)
{
    // T(0, 0, z0) x S(sx, sy, sz) x T(ox, oy, 0), points as rows.
    br_matrix34 m;
    BrMatrix34Translate(&m, 0.0f, 0.0f, z0);
    BrMatrix34PostScale(&m, sx, sy, sz);
    BrMatrix34PostTranslate(&m, ox, oy, 0.0f);
    BrMatrix4Copy34(out, &m);
}

void parallel_checks(const br_camera *c)
{
    if (c->width == 0.0f)
        BrFailure("Parallel camera has zero width");
    if (c->height == 0.0f)
        BrFailure("Parallel camera has zero height");
    if (c->hither_z >= c->yon_z)
        BrFailure("Parallel camera has invalid yon and hither");
}

void perspective(br_matrix4 *m, br_angle fov, br_scalar aspect, br_scalar n, br_scalar r, br_scalar ox,
                 br_scalar oy)
{
    br_scalar half = (br_scalar)fov * 0.5f * 9.587379924285257e-05f;
    br_scalar c = cosf(half) / sinf(half);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            m->m[i][j] = 0.0f;
    m->m[0][0] = c / aspect;
    m->m[1][1] = c;
    m->m[2][0] = -ox;
    m->m[2][1] = -oy;
    m->m[2][2] = (r + n) / (r - n);
    m->m[2][3] = -1.0f;
    m->m[3][2] = -2.0f * n * r / (r - n);
}

const br_bounds3 empty_bounds = {{{FLT_MAX, FLT_MAX, FLT_MAX}}, {{-FLT_MAX, -FLT_MAX, -FLT_MAX}}};

void bounds_add_transformed(br_bounds3 *out, const br_bounds3 *in, const br_matrix34 *m)
{
    for (int j = 0; j < 3; j++) {
        br_scalar lo = m->m[3][j], hi = m->m[3][j];
        for (int i = 0; i < 3; i++) {
            br_scalar a = m->m[i][j] * in->min.v[i];
            br_scalar b = m->m[i][j] * in->max.v[i];
            lo += a < b ? a : b;
            hi += a < b ? b : a;
        }
        if (lo < out->min.v[j])
            out->min.v[j] = lo;
        if (hi > out->max.v[j])
            out->max.v[j] = hi;
    }
}

void subtree_bounds(br_bounds3 *out, br_actor *a, br_model *model, const br_matrix34 *running)
{
    for (br_actor *c = a->children; c != nullptr; c = c->next) {
        br_matrix34 m = *running;
        if (c->t.type != BR_TRANSFORM_IDENTITY) {
            br_matrix34 cm;
            BrActorMatrix34(&cm, c);
            BrMatrix34Pre(&m, &cm);
        }
        br_model *cmodel = c->model != nullptr ? c->model : model;
        if (c->type == BR_ACTOR_MODEL && cmodel != nullptr)
            bounds_add_transformed(out, &cmodel->bounds, &m);
        subtree_bounds(out, c, cmodel, &m);
    }
}

} // namespace

br_uint_16 BrTransformTypeCombine(br_uint_16 a, br_uint_16 b)
{
    if (a > BR_TRANSFORM_IDENTITY || b > BR_TRANSFORM_IDENTITY)
        return BR_TRANSFORM_MATRIX34;
    return combine_table[a][b];
}

void BrActorMatrix34(br_matrix34 *m, const br_actor *a)
{
    BrTransformToMatrix34(m, &a->t);
}

br_boolean BrActorToRootMatrix34(br_actor *a, br_actor *root, br_matrix34 *m, br_uint_16 *xform_type)
{
    br_uint_16 type;
    if (a == root) {
        BrMatrix34Identity(m);
        type = BR_TRANSFORM_IDENTITY;
    } else {
        BrActorMatrix34(m, a);
        type = a->t.type;
        for (a = a->parent; a != nullptr && a != root; a = a->parent) {
            if (a->t.type == BR_TRANSFORM_IDENTITY)
                continue;
            br_matrix34 pm;
            BrActorMatrix34(&pm, a);
            BrMatrix34Post(m, &pm);
            type = BrTransformTypeCombine(type, a->t.type);
        }
    }
    if (xform_type != nullptr)
        *xform_type = type;
    return a == root;
}

br_uint_16 BrActorToActorMatrix34(br_matrix34 *m, br_actor *a, br_actor *b)
{
    if (a == b) {
        BrMatrix34Identity(m);
        return BR_TRANSFORM_IDENTITY;
    }
    if (a->parent == b) {
        BrActorMatrix34(m, a);
        return a->t.type;
    }
    if (b->parent == a) {
        br_matrix34 bm;
        BrActorMatrix34(&bm, b);
        inverse(m, &bm, b->t.type);
        return b->t.type;
    }

    br_matrix34 am, bm, t;
    br_uint_16 at = BR_TRANSFORM_IDENTITY, bt = BR_TRANSFORM_IDENTITY;
    BrMatrix34Identity(&am);
    BrMatrix34Identity(&bm);
    br_actor *wa = a, *wb = b;
    while (wa != nullptr && wb != nullptr && wa != wb) {
        br_uint_16 da = wa->depth, db = wb->depth;
        if (da >= db) {
            if (wa->t.type != BR_TRANSFORM_IDENTITY) {
                BrActorMatrix34(&t, wa);
                BrMatrix34Post(&am, &t);
                at = BrTransformTypeCombine(at, wa->t.type);
            }
            wa = wa->parent;
        }
        if (db >= da) {
            if (wb->t.type != BR_TRANSFORM_IDENTITY) {
                BrActorMatrix34(&t, wb);
                BrMatrix34Post(&bm, &t);
                bt = BrTransformTypeCombine(bt, wb->t.type);
            }
            wb = wb->parent;
        }
    }

    if (bt == BR_TRANSFORM_IDENTITY) {
        *m = am;
        return at;
    }
    if (at == BR_TRANSFORM_IDENTITY) {
        inverse(m, &bm, bt);
        return bt;
    }
    br_matrix34 inv;
    inverse(&inv, &bm, bt);
    BrMatrix34Mul(m, &am, &inv);
    return BrTransformTypeCombine(at, bt);
}

br_token BrCameraToScreenMatrix4(br_matrix4 *m, br_actor *camera)
{
    const br_camera *c = (const br_camera *)camera->type_data;
    if (c == nullptr)
        return 0;
    switch (c->type) {
    case BR_CAMERA_PARALLEL:
        parallel_checks(c);
        translate_scale_translate(m, (c->hither_z + c->yon_z) * 0.5f, 2.0f / (c->aspect * c->width),
                                  2.0f / c->height, 2.0f / (c->yon_z - c->hither_z), br_scene.origin_x,
                                  br_scene.origin_y);
        return BRT_PARALLEL;
    case BR_CAMERA_PERSPECTIVE:
        perspective(m, c->field_of_view, c->aspect, -c->hither_z, -c->yon_z, br_scene.origin_x,
                    br_scene.origin_y);
        return BRT_PERSPECTIVE;
    case BR_CAMERA_PERSPECTIVE_OLD:
        return BRT_PERSPECTIVE;
    case BR_CAMERA_PARALLEL_CENTRED:
        parallel_checks(c);
        translate_scale_translate(m, c->hither_z, 1.0f / c->width, 1.0f / c->height,
                                  1.0f / (c->yon_z - c->hither_z), 0.0f, 0.0f);
        return BRT_PARALLEL;
    case BR_CAMERA_PERSPECTIVE_CENTRED:
        BrMatrix4Perspective(m, c->field_of_view, c->aspect, -c->hither_z, -c->yon_z);
        return BRT_PERSPECTIVE;
    default:
        return 0;
    }
}

void BrActorToScreenMatrix4(br_matrix4 *m, br_actor *a, br_actor *camera)
{
    BrCameraToScreenMatrix4(m, camera);
    if (a != camera) {
        br_matrix34 a2c;
        BrActorToActorMatrix34(&a2c, a, camera);
        BrMatrix4Pre34(m, &a2c);
    }
}

br_bounds3 *BrActorToBounds(br_bounds3 *b, br_actor *ap)
{
    br_model *model = ap->model != nullptr ? ap->model : v1db.default_model;
    if (ap->type == BR_ACTOR_MODEL && model != nullptr)
        *b = model->bounds;
    else
        *b = empty_bounds;
    br_matrix34 identity;
    BrMatrix34Identity(&identity);
    subtree_bounds(b, ap, model, &identity);
    return b;
}
