// Transforms: conversions to and from matrices and concatenation with matrices.
#include <brondel/brtransform.h>

#include <cstddef>

namespace {

constexpr br_scalar kNormaliseEpsilon = 2.3841858e-7f; // 2^-22

void SetRow(br_matrix34 *m, int r, const br_vector3 *v)
{
    m->m[r][0] = v->v[0];
    m->m[r][1] = v->v[1];
    m->m[r][2] = v->v[2];
}

void SetTranslation(br_matrix34 *m, const br_vector3 *t)
{
    SetRow(m, 3, t);
}

void GetTranslation(br_vector3 *t, const br_matrix34 *m)
{
    t->v[0] = m->m[3][0];
    t->v[1] = m->m[3][1];
    t->v[2] = m->m[3][2];
}

void NormaliseOrX(br_vector3 *dst, const br_vector3 *src)
{
    br_scalar l = BrVector3Length(src);
    if (l > kNormaliseEpsilon)
        BrVector3InvScale(dst, src, l);
    else
        BrVector3Set(dst, 1.0f, 0.0f, 0.0f);
}

// Unknown transform types are treated as the identity, so no caller reads an unset matrix.
void MatrixOf(br_matrix34 *m, const br_transform *xform)
{
    BrMatrix34Identity(m);
    BrTransformToMatrix34(m, xform);
}

} // namespace

extern "C" {

void BrTransformToMatrix34(br_matrix34 *m, const br_transform *xform)
{
    switch (xform->type) {
    case BR_TRANSFORM_MATRIX34:
    case BR_TRANSFORM_MATRIX34_LP:
        *m = xform->t.mat;
        break;
    case BR_TRANSFORM_QUAT:
        BrQuatToMatrix34(m, &xform->t.quat.q);
        SetTranslation(m, &xform->t.quat.t);
        break;
    case BR_TRANSFORM_EULER:
        BrEulerToMatrix34(m, &xform->t.euler.e);
        SetTranslation(m, &xform->t.euler.t);
        break;
    case BR_TRANSFORM_LOOK_UP: {
        br_vector3 x, y, z, tmp;
        NormaliseOrX(&tmp, &xform->t.look_up.look);
        BrVector3Negate(&z, &tmp);
        BrVector3Cross(&tmp, &xform->t.look_up.up, &z);
        NormaliseOrX(&x, &tmp);
        BrVector3Cross(&y, &z, &x);
        SetRow(m, 0, &x);
        SetRow(m, 1, &y);
        SetRow(m, 2, &z);
        SetTranslation(m, &xform->t.look_up.t);
        break;
    }
    case BR_TRANSFORM_TRANSLATION:
        BrMatrix34Translate(m, xform->t.translate.t.v[0], xform->t.translate.t.v[1],
                            xform->t.translate.t.v[2]);
        break;
    case BR_TRANSFORM_IDENTITY:
        BrMatrix34Identity(m);
        break;
    default:
        break;
    }
}

void BrMatrix34ToTransform(br_transform *xform, const br_matrix34 *m)
{
    switch (xform->type) {
    case BR_TRANSFORM_MATRIX34:
        xform->t.mat = *m;
        break;
    case BR_TRANSFORM_MATRIX34_LP:
        xform->t.mat = *m;
        BrMatrix34LPNormalise(&xform->t.mat, &xform->t.mat);
        break;
    case BR_TRANSFORM_QUAT:
        BrMatrix34ToQuat(&xform->t.quat.q, m);
        GetTranslation(&xform->t.quat.t, m);
        break;
    case BR_TRANSFORM_EULER:
        BrMatrix34ToEuler(&xform->t.euler.e, m);
        GetTranslation(&xform->t.euler.t, m);
        break;
    case BR_TRANSFORM_LOOK_UP: {
        br_vector3 *up = &xform->t.look_up.up;
        xform->t.look_up.look.v[0] = -m->m[2][0];
        xform->t.look_up.look.v[1] = -m->m[2][1];
        xform->t.look_up.look.v[2] = -m->m[2][2];
        // -0 compares equal to 0, so a negative zero counts as zero too.
        if (up->v[0] == 0 && up->v[1] == 0 && up->v[2] == 0)
            BrVector3Set(up, 0.0f, 1.0f, 0.0f);
        GetTranslation(&xform->t.look_up.t, m);
        break;
    }
    case BR_TRANSFORM_TRANSLATION:
        GetTranslation(&xform->t.translate.t, m);
        break;
    default:
        break;
    }
}

void BrTransformToTransform(br_transform *dst, const br_transform *src)
{
    if (dst->type == src->type) {
        *dst = *src;
        return;
    }
    br_matrix34 m;
    MatrixOf(&m, src);
    if (dst->type >= BR_TRANSFORM_QUAT) {
        BrMatrix34ToTransform(dst, &m);
        return;
    }
    dst->t.mat = m;
    if (src->type == BR_TRANSFORM_MATRIX34)
        BrMatrix34LPNormalise(&dst->t.mat, &dst->t.mat);
}

void BrMatrix34PreTransform(br_matrix34 *m, const br_transform *xform)
{
    if (xform->type == BR_TRANSFORM_IDENTITY)
        return;
    br_matrix34 x;
    MatrixOf(&x, xform);
    BrMatrix34Pre(m, &x);
}

void BrMatrix34PostTransform(br_matrix34 *m, const br_transform *xform)
{
    if (xform->type == BR_TRANSFORM_IDENTITY)
        return;
    br_matrix34 x;
    MatrixOf(&x, xform);
    BrMatrix34Post(m, &x);
}

void BrMatrix4PreTransform(br_matrix4 *m, const br_transform *xform)
{
    if (xform->type == BR_TRANSFORM_IDENTITY)
        return;
    br_matrix34 x;
    MatrixOf(&x, xform);
    BrMatrix4Pre34(m, &x);
}

} // extern "C"

// The translation of every form overlays row 3 of the matrix.
static_assert(offsetof(br_transform, t.quat.t) == offsetof(br_transform, t.mat.m[3]));
static_assert(offsetof(br_transform, t.euler.t) == offsetof(br_transform, t.mat.m[3]));
static_assert(offsetof(br_transform, t.look_up.t) == offsetof(br_transform, t.mat.m[3]));
static_assert(offsetof(br_transform, t.translate.t) == offsetof(br_transform, t.mat.m[3]));
