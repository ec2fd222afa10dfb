// 2x3 affine matrices of the plane: the map transforms of materials.
#include <brondel/brmatrix23.h>

#include <cmath>

#include "angle.h"

namespace {

constexpr br_scalar kEpsilon = 2.3841858e-7f; // 2^-22
constexpr br_scalar kInverseRelative = 1e-15f;

void Set(br_matrix23 *m, br_scalar a, br_scalar b, br_scalar c, br_scalar d, br_scalar e,
         br_scalar f)
{
    m->m[0][0] = a; m->m[0][1] = b;
    m->m[1][0] = c; m->m[1][1] = d;
    m->m[2][0] = e; m->m[2][1] = f;
}

void Pre(br_matrix23 *m, const br_matrix23 *x)
{
    br_matrix23 product;
    BrMatrix23Mul(&product, x, m);
    *m = product;
}

void Post(br_matrix23 *m, const br_matrix23 *x)
{
    br_matrix23 product;
    BrMatrix23Mul(&product, m, x);
    *m = product;
}

} // namespace

extern "C" {

void BrMatrix23Identity(br_matrix23 *m)
{
    Set(m, 1, 0, 0, 1, 0, 0);
}

void BrMatrix23Copy(br_matrix23 *dst, const br_matrix23 *src)
{
    *dst = *src;
}

void BrMatrix23Translate(br_matrix23 *m, br_scalar x, br_scalar y)
{
    Set(m, 1, 0, 0, 1, x, y);
}

void BrMatrix23Scale(br_matrix23 *m, br_scalar sx, br_scalar sy)
{
    Set(m, sx, 0, 0, sy, 0, 0);
}

void BrMatrix23ShearX(br_matrix23 *m, br_scalar sy)
{
    Set(m, 1, sy, 0, 1, 0, 0);
}

void BrMatrix23ShearY(br_matrix23 *m, br_scalar sx)
{
    Set(m, 1, 0, sx, 1, 0, 0);
}

void BrMatrix23Rotate(br_matrix23 *m, br_angle a)
{
    br_scalar r = brmath::AngleRadians(a);
    br_scalar c = cosf(r), s = sinf(r);
    Set(m, c, s, -s, c, 0, 0);
}

void BrMatrix23Mul(br_matrix23 *dst, const br_matrix23 *a, const br_matrix23 *b)
{
    const br_scalar(*A)[2] = a->m;
    const br_scalar(*B)[2] = b->m;
    for (int c = 0; c < 2; ++c) {
        dst->m[0][c] = A[0][0] * B[0][c] + A[0][1] * B[1][c];
        dst->m[1][c] = A[1][0] * B[0][c] + A[1][1] * B[1][c];
        dst->m[2][c] = A[2][0] * B[0][c] + A[2][1] * B[1][c] + B[2][c];
    }
}

br_scalar BrMatrix23Inverse(br_matrix23 *dst, const br_matrix23 *src)
{
    const br_scalar m00 = src->m[0][0], m01 = src->m[0][1];
    const br_scalar m10 = src->m[1][0], m11 = src->m[1][1];
    const br_scalar m20 = src->m[2][0], m21 = src->m[2][1];
    const br_scalar terms[2] = {m00 * m11, -m01 * m10};
    br_scalar pos = 0, neg = 0;
    for (br_scalar t : terms) {
        if (t >= 0)
            pos += t;
        else
            neg += t;
    }
    const br_scalar det = pos + neg;
    if (fabsf(det) <= kEpsilon || fabsf(det / (pos - neg)) < kInverseRelative)
        return 0;
    Set(dst, m11 / det, -m01 / det, -m10 / det, m00 / det, (m10 * m21 - m11 * m20) / det,
        (m01 * m20 - m00 * m21) / det);
    return det;
}

void BrMatrix23LPInverse(br_matrix23 *dst, const br_matrix23 *src)
{
    const br_matrix23 s = *src;
    Set(dst, s.m[1][1], -s.m[0][1], -s.m[1][0], s.m[0][0],
        s.m[2][1] * s.m[1][0] - s.m[1][1] * s.m[2][0],
        s.m[0][1] * s.m[2][0] - s.m[2][1] * s.m[0][0]);
}

void BrMatrix23LPNormalise(br_matrix23 *dst, const br_matrix23 *src)
{
    br_vector2 row1 = {{src->m[1][0], src->m[1][1]}}, y;
    BrVector2Normalise(&y, &row1);
    Set(dst, y.v[1], -y.v[0], y.v[0], y.v[1], src->m[2][0], src->m[2][1]);
}

void BrMatrix23ApplyP(br_vector2 *dst, const br_vector2 *p, const br_matrix23 *m)
{
    br_scalar x = p->v[0], y = p->v[1];
    dst->v[0] = x * m->m[0][0] + y * m->m[1][0] + m->m[2][0];
    dst->v[1] = x * m->m[0][1] + y * m->m[1][1] + m->m[2][1];
}

void BrMatrix23ApplyV(br_vector2 *dst, const br_vector2 *v, const br_matrix23 *m)
{
    br_scalar x = v->v[0], y = v->v[1];
    dst->v[0] = x * m->m[0][0] + y * m->m[1][0];
    dst->v[1] = x * m->m[0][1] + y * m->m[1][1];
}

void BrMatrix23TApplyP(br_vector2 *dst, const br_vector2 *p, const br_matrix23 *m)
{
    br_scalar x = p->v[0], y = p->v[1];
    dst->v[0] = m->m[0][0] * x + m->m[0][1] * y;
    dst->v[1] = m->m[1][0] * x + m->m[1][1] * y;
}

void BrMatrix23TApplyV(br_vector2 *dst, const br_vector2 *v, const br_matrix23 *m)
{
    BrMatrix23TApplyP(dst, v, m);
}

void BrMatrix23Pre(br_matrix23 *m, const br_matrix23 *a)
{
    br_matrix23 x = *a;
    Pre(m, &x);
}

void BrMatrix23Post(br_matrix23 *m, const br_matrix23 *a)
{
    br_matrix23 x = *a;
    Post(m, &x);
}

void BrMatrix23PreRotate(br_matrix23 *m, br_angle a)
{
    br_matrix23 x;
    BrMatrix23Rotate(&x, a);
    Pre(m, &x);
}

void BrMatrix23PostRotate(br_matrix23 *m, br_angle a)
{
    br_matrix23 x;
    BrMatrix23Rotate(&x, a);
    Post(m, &x);
}

void BrMatrix23PreTranslate(br_matrix23 *m, br_scalar x0, br_scalar y0)
{
    br_matrix23 x;
    BrMatrix23Translate(&x, x0, y0);
    Pre(m, &x);
}

void BrMatrix23PostTranslate(br_matrix23 *m, br_scalar x, br_scalar y)
{
    // A translation acts last: it only moves row 2.
    m->m[2][0] += x;
    m->m[2][1] += y;
}

void BrMatrix23PreScale(br_matrix23 *m, br_scalar sx, br_scalar sy)
{
    br_matrix23 x;
    BrMatrix23Scale(&x, sx, sy);
    Pre(m, &x);
}

void BrMatrix23PostScale(br_matrix23 *m, br_scalar sx, br_scalar sy)
{
    br_matrix23 x;
    BrMatrix23Scale(&x, sx, sy);
    Post(m, &x);
}

void BrMatrix23PreShearX(br_matrix23 *m, br_scalar sy)
{
    br_matrix23 x;
    BrMatrix23ShearX(&x, sy);
    Pre(m, &x);
}

void BrMatrix23PostShearX(br_matrix23 *m, br_scalar sy)
{
    br_matrix23 x;
    BrMatrix23ShearX(&x, sy);
    Post(m, &x);
}

void BrMatrix23PreShearY(br_matrix23 *m, br_scalar sx)
{
    br_matrix23 x;
    BrMatrix23ShearY(&x, sx);
    Pre(m, &x);
}

void BrMatrix23PostShearY(br_matrix23 *m, br_scalar sx)
{
    br_matrix23 x;
    BrMatrix23ShearY(&x, sx);
    Post(m, &x);
}

} // extern "C"
