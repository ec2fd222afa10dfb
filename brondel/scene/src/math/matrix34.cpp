// 3x4 affine matrices: construction, products, inverses and application.
#include <brondel/brmatrix.h>

#include <cmath>

#include "angle.h"

using brmath::AngleRadians;

namespace {

constexpr br_scalar kNormaliseEpsilon = 2.3841858e-7f; // 2^-22
constexpr br_scalar kInverseEpsilon = 1.1920929e-7f;   // 2^-23
constexpr br_scalar kInverseRelative = 1e-15f;

void SetRows(br_matrix34 *m, br_scalar a, br_scalar b, br_scalar c, br_scalar d, br_scalar e,
             br_scalar f, br_scalar g, br_scalar h, br_scalar i)
{
    m->m[0][0] = a; m->m[0][1] = b; m->m[0][2] = c;
    m->m[1][0] = d; m->m[1][1] = e; m->m[1][2] = f;
    m->m[2][0] = g; m->m[2][1] = h; m->m[2][2] = i;
    m->m[3][0] = 0; m->m[3][1] = 0; m->m[3][2] = 0;
}

void Row(br_vector3 *v, const br_matrix34 *m, int r)
{
    v->v[0] = m->m[r][0];
    v->v[1] = m->m[r][1];
    v->v[2] = m->m[r][2];
}

void SetRow(br_matrix34 *m, int r, const br_vector3 *v)
{
    m->m[r][0] = v->v[0];
    m->m[r][1] = v->v[1];
    m->m[r][2] = v->v[2];
}

} // namespace

extern "C" {

void BrMatrix34Identity(br_matrix34 *m)
{
    SetRows(m, 1, 0, 0, 0, 1, 0, 0, 0, 1);
}

void BrMatrix34Copy(br_matrix34 *m, const br_matrix34 *src)
{
    *m = *src;
}

void BrMatrix34Copy4(br_matrix34 *m, const br_matrix4 *src)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            m->m[r][c] = src->m[r][c];
}

void BrMatrix34Translate(br_matrix34 *m, br_scalar x, br_scalar y, br_scalar z)
{
    BrMatrix34Identity(m);
    m->m[3][0] = x;
    m->m[3][1] = y;
    m->m[3][2] = z;
}

void BrMatrix34Scale(br_matrix34 *m, br_scalar sx, br_scalar sy, br_scalar sz)
{
    SetRows(m, sx, 0, 0, 0, sy, 0, 0, 0, sz);
}

void BrMatrix34ShearX(br_matrix34 *m, br_scalar sy, br_scalar sz)
{
    SetRows(m, 1, sy, sz, 0, 1, 0, 0, 0, 1);
}

void BrMatrix34ShearY(br_matrix34 *m, br_scalar sx, br_scalar sz)
{
    SetRows(m, 1, 0, 0, sx, 1, sz, 0, 0, 1);
}

void BrMatrix34ShearZ(br_matrix34 *m, br_scalar sx, br_scalar sy)
{
    SetRows(m, 1, 0, 0, 0, 1, 0, sx, sy, 1);
}

void BrMatrix34RotateX(br_matrix34 *m, br_angle a)
{
    br_scalar r = AngleRadians(a);
    br_scalar c = cosf(r), s = sinf(r);
    SetRows(m, 1, 0, 0, 0, c, s, 0, -s, c);
}

void BrMatrix34RotateY(br_matrix34 *m, br_angle a)
{
    br_scalar r = AngleRadians(a);
    br_scalar c = cosf(r), s = sinf(r);
    SetRows(m, c, 0, -s, 0, 1, 0, s, 0, c);
}

void BrMatrix34RotateZ(br_matrix34 *m, br_angle a)
{
    br_scalar r = AngleRadians(a);
    br_scalar c = cosf(r), s = sinf(r);
    SetRows(m, c, s, 0, -s, c, 0, 0, 0, 1);
}

void BrMatrix34Rotate(br_matrix34 *m, br_angle a, const br_vector3 *axis)
{
    br_scalar r = AngleRadians(a);
    br_scalar c = cosf(r), s = sinf(r), t = 1.0f - c;
    br_scalar x = axis->v[0], y = axis->v[1], z = axis->v[2];
    SetRows(m,
            t * x * x + c, t * x * y + s * z, t * x * z - s * y,
            t * x * y - s * z, t * y * y + c, t * y * z + s * x,
            t * x * z + s * y, t * y * z - s * x, t * z * z + c);
}

void BrMatrix34RollingBall(br_matrix34 *m, br_int_32 dx, br_int_32 dy, br_int_32 radius)
{
    br_scalar fx = (br_scalar)dx, fy = (br_scalar)dy, fr = (br_scalar)radius;
    br_scalar d = sqrtf(fx * fx + fy * fy);
    if (d == 0.0f) {
        BrMatrix34Identity(m);
        return;
    }
    br_scalar h = sqrtf(d * d + fr * fr);
    br_scalar ct = fr / h, st = d / h, t = 1.0f - ct;
    br_scalar nx = -fy / d, ny = fx / d;

    m->m[0][0] = ct + t * nx * nx;
    m->m[1][1] = ct + t * ny * ny;
    m->m[0][1] = m->m[1][0] = t * nx * ny;
    m->m[2][2] = ct;
    m->m[2][0] = ny * st;
    m->m[2][1] = -nx * st;
    m->m[0][2] = -m->m[2][0];
    m->m[1][2] = -m->m[2][1];
    m->m[3][0] = m->m[3][1] = m->m[3][2] = 0;
}

void BrBoundsToMatrix34(br_matrix34 *m, const br_bounds3 *bounds)
{
    br_scalar centre[3], half[3];
    for (int i = 0; i < 3; ++i) {
        br_scalar lo = bounds->min.v[i], hi = bounds->max.v[i];
        centre[i] = lo * 0.5f + hi * 0.5f;
        // A flat side keeps unit scale so the matrix stays invertible.
        half[i] = hi == lo ? 1.0f : hi * 0.5f - lo * 0.5f;
    }
    BrMatrix34Scale(m, half[0], half[1], half[2]);
    BrMatrix34PostTranslate(m, centre[0], centre[1], centre[2]);
}

void BrMatrix34LPNormalise(br_matrix34 *m, const br_matrix34 *src)
{
    br_vector3 x, y, z, row;
    Row(&row, src, 2);
    BrVector3Normalise(&z, &row);
    Row(&row, src, 1);
    BrVector3Cross(&y, &row, &z);
    BrVector3Normalise(&x, &y);
    BrVector3Cross(&y, &z, &x);
    SetRow(m, 0, &x);
    SetRow(m, 1, &y);
    SetRow(m, 2, &z);
    if (m != src) {
        Row(&row, src, 3);
        SetRow(m, 3, &row);
    }
}

void BrMatrix34Mul(br_matrix34 *dst, const br_matrix34 *a, const br_matrix34 *b)
{
    const br_scalar(*A)[3] = a->m;
    const br_scalar(*B)[3] = b->m;
    for (int c = 0; c < 3; ++c) {
        dst->m[0][c] = A[0][0] * B[0][c] + A[0][1] * B[1][c] + A[0][2] * B[2][c];
        dst->m[1][c] = A[1][0] * B[0][c] + A[1][1] * B[1][c] + A[1][2] * B[2][c];
        dst->m[2][c] = A[2][0] * B[0][c] + A[2][1] * B[1][c] + A[2][2] * B[2][c];
        dst->m[3][c] = A[3][0] * B[0][c] + A[3][1] * B[1][c] + A[3][2] * B[2][c] + B[3][c];
    }
}

br_scalar BrMatrix34Inverse(br_matrix34 *dst, const br_matrix34 *src)
{
    const br_matrix34 s = *src;
    const br_scalar m00 = s.m[0][0], m01 = s.m[0][1], m02 = s.m[0][2];
    const br_scalar m10 = s.m[1][0], m11 = s.m[1][1], m12 = s.m[1][2];
    const br_scalar m20 = s.m[2][0], m21 = s.m[2][1], m22 = s.m[2][2];

    // Summing the positive and negative terms apart tells a true zero from cancellation noise.
    const br_scalar terms[6] = {m00 * m11 * m22, m01 * m12 * m20, m02 * m10 * m21,
                                -m02 * m11 * m20, -m01 * m10 * m22, -m00 * m12 * m21};
    br_scalar pos = 0, neg = 0;
    for (br_scalar t : terms) {
        if (t >= 0)
            pos += t;
        else
            neg += t;
    }
    const br_scalar det = pos + neg;
    if (fabsf(det) <= kInverseEpsilon)
        return 0;
    if (fabsf(det / (pos - neg)) < kInverseRelative)
        return 0;

    br_matrix34 inv;
    inv.m[0][0] = (m11 * m22 - m12 * m21) / det;
    inv.m[0][1] = -(m01 * m22 - m02 * m21) / det;
    inv.m[0][2] = (m01 * m12 - m02 * m11) / det;
    inv.m[1][0] = -(m10 * m22 - m12 * m20) / det;
    inv.m[1][1] = (m00 * m22 - m02 * m20) / det;
    inv.m[1][2] = -(m00 * m12 - m02 * m10) / det;
    inv.m[2][0] = (m10 * m21 - m11 * m20) / det;
    inv.m[2][1] = -(m00 * m21 - m01 * m20) / det;
    inv.m[2][2] = (m00 * m11 - m01 * m10) / det;
    for (int c = 0; c < 3; ++c)
        inv.m[3][c] = -(s.m[3][0] * inv.m[0][c] + s.m[3][1] * inv.m[1][c] + s.m[3][2] * inv.m[2][c]);
    *dst = inv;
    return det;
}

void BrMatrix34LPInverse(br_matrix34 *dst, const br_matrix34 *src)
{
    const br_matrix34 s = *src;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            dst->m[r][c] = s.m[c][r];
    for (int c = 0; c < 3; ++c)
        dst->m[3][c] = -(s.m[3][0] * s.m[c][0] + s.m[3][1] * s.m[c][1] + s.m[3][2] * s.m[c][2]);
}

void BrMatrix34ApplyP(br_vector3 *dst, const br_vector3 *p, const br_matrix34 *m)
{
    br_scalar x = p->v[0], y = p->v[1], z = p->v[2];
    for (int c = 0; c < 3; ++c)
        dst->v[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c] + m->m[3][c];
}

void BrMatrix34ApplyV(br_vector3 *dst, const br_vector3 *v, const br_matrix34 *m)
{
    br_scalar x = v->v[0], y = v->v[1], z = v->v[2];
    for (int c = 0; c < 3; ++c)
        dst->v[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c];
}

void BrMatrix34Apply(br_vector3 *dst, const br_vector4 *src, const br_matrix34 *m)
{
    br_scalar x = src->v[0], y = src->v[1], z = src->v[2], w = src->v[3];
    for (int c = 0; c < 3; ++c)
        dst->v[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c] + w * m->m[3][c];
}

void BrMatrix34TApply(br_vector4 *dst, const br_vector4 *src, const br_matrix34 *m)
{
    br_scalar x = src->v[0], y = src->v[1], z = src->v[2], w = src->v[3];
    for (int r = 0; r < 3; ++r)
        dst->v[r] = m->m[r][0] * x + m->m[r][1] * y + m->m[r][2] * z;
    dst->v[3] = m->m[3][0] * x + m->m[3][1] * y + m->m[3][2] * z + w;
}

void BrMatrix34TApplyP(br_vector3 *dst, const br_vector3 *src, const br_matrix34 *m)
{
    br_scalar x = src->v[0], y = src->v[1], z = src->v[2];
    for (int r = 0; r < 3; ++r)
        dst->v[r] = m->m[r][0] * x + m->m[r][1] * y + m->m[r][2] * z;
}

void BrMatrix34TApplyV(br_vector3 *dst, const br_vector3 *src, const br_matrix34 *m)
{
    BrMatrix34TApplyP(dst, src, m);
}

void BrMatrix34TApplyVAlt(br_vector3 *dst, const br_vector3 *src, const br_matrix34 *m)
{
    BrMatrix34TApplyP(dst, src, m);
}

} // extern "C"
