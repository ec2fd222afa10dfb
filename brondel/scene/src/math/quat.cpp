// Quaternions: matrix conversions, product, normalise, invert and spherical interpolation.
#include <brondel/brtransform.h>

#include <cmath>

#include "angle.h"

using brmath::AngleFromUnits;
using brmath::AngleRadians;

namespace {

constexpr br_scalar kSlerpEpsilon = 1.1920929e-7f; // 2^-23
// One extra spin adds this many angle units (not quite a half turn).
constexpr br_int_32 kSpinUnits = 32766;

} // namespace

extern "C" {

void BrQuatToMatrix34(br_matrix34 *m, const br_quat *q)
{
    const br_scalar x = q->x, y = q->y, z = q->z, w = q->w;
    m->m[0][0] = 1 - 2 * (y * y + z * z);
    m->m[0][1] = 2 * (x * y + w * z);
    m->m[0][2] = 2 * (x * z - w * y);
    m->m[1][0] = 2 * (x * y - w * z);
    m->m[1][1] = 1 - 2 * (x * x + z * z);
    m->m[1][2] = 2 * (y * z + w * x);
    m->m[2][0] = 2 * (x * z + w * y);
    m->m[2][1] = 2 * (y * z - w * x);
    m->m[2][2] = 1 - 2 * (x * x + y * y);
    m->m[3][0] = m->m[3][1] = m->m[3][2] = 0;
}

void BrMatrix34ToQuat(br_quat *q, const br_matrix34 *mat)
{
    const br_scalar(*m)[3] = mat->m;
    br_scalar trace = m[0][0] + m[1][1] + m[2][2];
    if (trace >= 0) {
        br_scalar s = sqrtf(trace + 1);
        q->w = s / 2;
        s = 0.5f / s;
        q->x = s * (m[1][2] - m[2][1]);
        q->y = s * (m[2][0] - m[0][2]);
        q->z = s * (m[0][1] - m[1][0]);
        return;
    }
    int i = 0;
    if (m[1][1] > m[0][0])
        i = 1;
    if (m[2][2] > m[i][i])
        i = 2;
    int j = (i + 1) % 3, k = (j + 1) % 3;
    br_scalar v[3];
    br_scalar s = sqrtf(m[i][i] - (m[j][j] + m[k][k]) + 1);
    v[i] = s / 2;
    s = 0.5f / s;
    q->w = s * (m[j][k] - m[k][j]);
    v[j] = s * (m[i][j] + m[j][i]);
    v[k] = s * (m[i][k] + m[k][i]);
    q->x = v[0];
    q->y = v[1];
    q->z = v[2];
}

void BrQuatToMatrix4(br_matrix4 *m, const br_quat *q)
{
    br_matrix34 m34;
    BrQuatToMatrix34(&m34, q);
    BrMatrix4Copy34(m, &m34);
}

void BrMatrix4ToQuat(br_quat *q, const br_matrix4 *m)
{
    br_matrix34 m34;
    BrMatrix34Copy4(&m34, m);
    BrMatrix34ToQuat(q, &m34);
}

void BrQuatMul(br_quat *q, const br_quat *l, const br_quat *r)
{
    // Hamilton product l.r in eight multiplications.
    const br_scalar lx = l->x, ly = l->y, lz = l->z, lw = l->w;
    const br_scalar rx = r->x, ry = r->y, rz = r->z, rw = r->w;
    br_scalar a = (rx + ry) * (lx + lz);
    br_scalar b = (lw + ly) * (rw - rz);
    br_scalar d = (rw + rz) * (lw - ly);
    br_scalar s = a + b + d;
    br_scalar t = (s + (rx - ry) * (lz - lx)) / 2;
    q->x = (rx + rw) * (lx + lw) - s + t;
    q->y = t + (lw - lx) * (ry + rz) - d;
    q->z = t + (rw - rx) * (lz + ly) - b;
    q->w = t + (lz - ly) * (ry - rz) - a;
}

void BrQuatNormalise(br_quat *dst, const br_quat *src)
{
    br_scalar l = sqrtf(src->x * src->x + src->y * src->y + src->z * src->z + src->w * src->w);
    if (l == 0) {
        // A zero quaternion has no rotation to keep: give the identity rather than NaNs.
        dst->x = dst->y = dst->z = 0;
        dst->w = 1;
        return;
    }
    dst->x = src->x / l;
    dst->y = src->y / l;
    dst->z = src->z / l;
    dst->w = src->w / l;
}

void BrQuatInvert(br_quat *dst, const br_quat *src)
{
    dst->x = -src->x;
    dst->y = -src->y;
    dst->z = -src->z;
    dst->w = src->w;
}

void BrQuatSlerp(br_quat *q, const br_quat *from, const br_quat *to, br_scalar t, br_int_16 spins)
{
    br_quat end = *to;
    br_scalar cosom = from->x * end.x + from->y * end.y + from->z * end.z + from->w * end.w;
    if (cosom < 0) {
        // Take the shorter arc.
        cosom = -cosom;
        end.x = -end.x;
        end.y = -end.y;
        end.z = -end.z;
        end.w = -end.w;
    }

    br_scalar scale0, scale1;
    if (1.0f - cosom > kSlerpEpsilon) {
        br_angle omega = AngleFromUnits(acosf(cosom) * brmath::kRadianToAngle);
        br_scalar phi = t * (br_scalar)((br_int_32)omega + (br_int_32)spins * kSpinUnits);
        br_scalar s = sinf(AngleRadians(omega));
        scale0 = sinf(AngleRadians(AngleFromUnits((br_scalar)omega - phi))) / s;
        scale1 = sinf(AngleRadians(AngleFromUnits(phi))) / s;
    } else {
        scale0 = 1.0f - t;
        scale1 = t;
    }
    q->x = from->x * scale0 + end.x * scale1;
    q->y = from->y * scale0 + end.y * scale1;
    q->z = from->z * scale0 + end.z * scale1;
    q->w = from->w * scale0 + end.w * scale1;
}

} // extern "C"
