// 4x4 matrices: projections and their products, application, determinant and inverse.
#include <brondel/brmatrix.h>

#include <cmath>

#include "angle.h"

namespace {

constexpr br_scalar kInverseEpsilon = 2.3841858e-7f; // 2^-22

br_scalar Det3(br_scalar a, br_scalar b, br_scalar c, br_scalar d, br_scalar e, br_scalar f,
               br_scalar g, br_scalar h, br_scalar i)
{
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// Determinant of m with row r and column c removed.
br_scalar Minor(const br_matrix4 *m, int r, int c)
{
    br_scalar v[9];
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == r)
            continue;
        for (int j = 0; j < 4; ++j) {
            if (j != c)
                v[n++] = m->m[i][j];
        }
    }
    return Det3(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
}

} // namespace

extern "C" {

void BrMatrix4Identity(br_matrix4 *m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m->m[r][c] = r == c ? 1.0f : 0.0f;
}

void BrMatrix4Copy(br_matrix4 *dst, const br_matrix4 *src)
{
    *dst = *src;
}

void BrMatrix4Copy34(br_matrix4 *dst, const br_matrix34 *src)
{
    for (int r = 0; r < 4; ++r) {
        dst->m[r][0] = src->m[r][0];
        dst->m[r][1] = src->m[r][1];
        dst->m[r][2] = src->m[r][2];
        dst->m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
}

void BrMatrix4Scale(br_matrix4 *m, br_scalar sx, br_scalar sy, br_scalar sz)
{
    BrMatrix4Identity(m);
    m->m[0][0] = sx;
    m->m[1][1] = sy;
    m->m[2][2] = sz;
}

void BrMatrix4ShearZ(br_matrix4 *m, br_scalar sx, br_scalar sy)
{
    BrMatrix4Identity(m);
    m->m[2][0] = sx;
    m->m[2][1] = sy;
}

void BrMatrix4Perspective(br_matrix4 *m, br_angle fov, br_scalar aspect, br_scalar hither,
                          br_scalar yon)
{
    br_scalar half = brmath::AngleRadians((br_angle)(fov >> 1));
    br_scalar cot = cosf(half) / sinf(half);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m->m[r][c] = 0;
    m->m[0][0] = cot / aspect;
    m->m[1][1] = cot;
    m->m[2][2] = (yon + hither) / (yon - hither);
    m->m[2][3] = -1.0f;
    m->m[3][2] = (yon / (yon - hither)) * hither * -2.0f;
}

void BrMatrix4Mul(br_matrix4 *dst, const br_matrix4 *a, const br_matrix4 *b)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dst->m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] +
                           a->m[r][2] * b->m[2][c] + a->m[r][3] * b->m[3][c];
}

void BrMatrix4Mul34(br_matrix4 *dst, const br_matrix34 *a, const br_matrix4 *b)
{
    // A's fourth column is (0, 0, 0, 1).
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            br_scalar v = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c];
            if (r == 3)
                v += b->m[3][c];
            dst->m[r][c] = v;
        }
    }
}

void BrMatrix4Pre34(br_matrix4 *m, const br_matrix34 *a)
{
    br_matrix4 local = *m;
    BrMatrix4Mul34(m, a, &local);
}

void BrMatrix4Apply(br_vector4 *dst, const br_vector4 *src, const br_matrix4 *m)
{
    br_scalar x = src->v[0], y = src->v[1], z = src->v[2], w = src->v[3];
    for (int c = 0; c < 4; ++c)
        dst->v[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c] + w * m->m[3][c];
}

void BrMatrix4ApplyP(br_vector4 *dst, const br_vector3 *p, const br_matrix4 *m)
{
    br_scalar x = p->v[0], y = p->v[1], z = p->v[2];
    for (int c = 0; c < 4; ++c)
        dst->v[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c] + m->m[3][c];
}

void BrMatrix4ApplyV(br_vector4 *dst, const br_vector3 *v, const br_matrix4 *m)
{
    br_scalar x = v->v[0], y = v->v[1], z = v->v[2];
    for (int c = 0; c < 4; ++c)
        dst->v[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c];
}

void BrMatrix4TApply(br_vector4 *dst, const br_vector4 *src, const br_matrix4 *m)
{
    br_scalar x = src->v[0], y = src->v[1], z = src->v[2], w = src->v[3];
    for (int r = 0; r < 4; ++r)
        dst->v[r] = m->m[r][0] * x + m->m[r][1] * y + m->m[r][2] * z + m->m[r][3] * w;
}

void BrMatrix4TApplyP(br_vector4 *dst, const br_vector3 *p, const br_matrix4 *m)
{
    br_scalar x = p->v[0], y = p->v[1], z = p->v[2];
    for (int r = 0; r < 4; ++r)
        dst->v[r] = m->m[r][0] * x + m->m[r][1] * y + m->m[r][2] * z + m->m[r][3];
}

void BrMatrix4TApplyV(br_vector4 *dst, const br_vector3 *v, const br_matrix4 *m)
{
    br_scalar x = v->v[0], y = v->v[1], z = v->v[2];
    for (int r = 0; r < 4; ++r)
        dst->v[r] = m->m[r][0] * x + m->m[r][1] * y + m->m[r][2] * z;
}

br_scalar BrMatrix4Determinant(const br_matrix4 *m)
{
    return m->m[0][0] * Minor(m, 0, 0) - m->m[0][1] * Minor(m, 0, 1) +
           m->m[0][2] * Minor(m, 0, 2) - m->m[0][3] * Minor(m, 0, 3);
}

void BrMatrix4Adjoint(br_matrix4 *dst, const br_matrix4 *src)
{
    const br_matrix4 s = *src;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            br_scalar cof = Minor(&s, r, c);
            dst->m[c][r] = ((r + c) & 1) ? -cof : cof;
        }
    }
}

br_scalar BrMatrix4Inverse(br_matrix4 *dst, const br_matrix4 *src)
{
    // The determinant comes from a copy of the source, so dst may be the source itself.
    const br_matrix4 s = *src;
    BrMatrix4Adjoint(dst, &s);
    br_scalar det = BrMatrix4Determinant(&s);
    if (fabsf(det) < kInverseEpsilon)
        return 0;
    br_scalar inv = 1.0f / det;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dst->m[r][c] *= inv;
    return det;
}

} // extern "C"
