// Euler angles in any of the 24 axis orders, to and from rotation matrices and quaternions.
#include <brondel/brtransform.h>

#include <cmath>

#include "angle.h"

using brmath::AngleFromRadians;
using brmath::AngleNegate;
using brmath::AngleRadians;

namespace {

constexpr br_scalar kGimbalEpsilon = 1.9073486e-6f; // 2^-19

struct Order {
    int i, j, k;
    bool parity, repeat, frame;
};

// Only 24 of the 256 codes mean anything; the others (first axis 3, high bits) come from bad data
// and must not index outside the 3x3 block.
bool DecodeOrder(br_uint_8 code, Order *o)
{
    if ((code & ~0x1f) != 0 || (code & BR_EULER_FIRST) == 3)
        return false;
    o->i = code & BR_EULER_FIRST;
    o->parity = (code & BR_EULER_PARITY) != 0;
    o->repeat = (code & BR_EULER_REPEAT) != 0;
    o->frame = (code & BR_EULER_FRAME) != 0;
    o->j = o->parity ? (o->i + 2) % 3 : (o->i + 1) % 3;
    o->k = 3 - o->i - o->j;
    return true;
}

} // namespace

extern "C" {

void BrEulerToMatrix34(br_matrix34 *m, const br_euler *euler)
{
    Order o;
    if (!DecodeOrder(euler->order, &o)) {
        BrMatrix34Identity(m);
        return;
    }
    br_angle x = euler->a, y = euler->b, z = euler->c;
    if (o.frame) {
        x = euler->c;
        z = euler->a;
    }
    if (o.parity) {
        x = AngleNegate(x);
        y = AngleNegate(y);
        z = AngleNegate(z);
    }
    br_scalar rx = AngleRadians(x), ry = AngleRadians(y), rz = AngleRadians(z);
    br_scalar ci = cosf(rx), si = sinf(rx);
    br_scalar cj = cosf(ry), sj = sinf(ry);
    br_scalar ch = cosf(rz), sh = sinf(rz);
    br_scalar cc = ci * ch, cs = ci * sh, sc = si * ch, ss = si * sh;
    const int i = o.i, j = o.j, k = o.k;

    if (o.repeat) {
        m->m[i][i] = cj;
        m->m[j][i] = sj * si;
        m->m[k][i] = sj * ci;
        m->m[i][j] = sj * sh;
        m->m[j][j] = cc - cj * ss;
        m->m[k][j] = -(sc + cj * cs);
        m->m[i][k] = -sj * ch;
        m->m[j][k] = cs + cj * sc;
        m->m[k][k] = cj * cc - ss;
    } else {
        m->m[i][i] = cj * ch;
        m->m[j][i] = sj * sc - cs;
        m->m[k][i] = sj * cc + ss;
        m->m[i][j] = cj * sh;
        m->m[j][j] = sj * ss + cc;
        m->m[k][j] = sj * cs - sc;
        m->m[i][k] = -sj;
        m->m[j][k] = cj * si;
        m->m[k][k] = cj * ci;
    }
    m->m[3][0] = m->m[3][1] = m->m[3][2] = 0;
}

void BrMatrix34ToEuler(br_euler *euler, const br_matrix34 *mat)
{
    Order o;
    if (!DecodeOrder(euler->order, &o))
        return;
    const br_scalar(*m)[3] = mat->m;
    const int i = o.i, j = o.j, k = o.k;
    br_scalar x, y, z;

    if (o.repeat) {
        br_scalar sy = sqrtf(m[j][i] * m[j][i] + m[k][i] * m[k][i]);
        if (sy > kGimbalEpsilon) {
            x = atan2f(m[j][i], m[k][i]);
            y = atan2f(sy, m[i][i]);
            z = atan2f(m[i][j], -m[i][k]);
        } else {
            x = atan2f(-m[k][j], m[j][j]);
            y = atan2f(sy, m[i][i]);
            z = 0;
        }
    } else {
        br_scalar cy = sqrtf(m[i][i] * m[i][i] + m[i][j] * m[i][j]);
        if (cy > kGimbalEpsilon) {
            x = atan2f(m[j][k], m[k][k]);
            y = atan2f(-m[i][k], cy);
            z = atan2f(m[i][j], m[i][i]);
        } else {
            x = atan2f(-m[k][j], m[j][j]);
            y = atan2f(-m[i][k], cy);
            z = 0;
        }
    }

    br_angle ax = AngleFromRadians(x), ay = AngleFromRadians(y), az = AngleFromRadians(z);
    if (o.parity) {
        ax = AngleNegate(ax);
        ay = AngleNegate(ay);
        az = AngleNegate(az);
    }
    if (o.frame) {
        br_angle t = ax;
        ax = az;
        az = t;
    }
    euler->a = ax;
    euler->b = ay;
    euler->c = az;
}

void BrEulerToMatrix4(br_matrix4 *m, const br_euler *euler)
{
    br_matrix34 m34;
    BrEulerToMatrix34(&m34, euler);
    BrMatrix4Copy34(m, &m34);
}

void BrMatrix4ToEuler(br_euler *euler, const br_matrix4 *m)
{
    br_matrix34 m34;
    BrMatrix34Copy4(&m34, m);
    BrMatrix34ToEuler(euler, &m34);
}

void BrEulerToQuat(br_quat *q, const br_euler *euler)
{
    Order o;
    if (!DecodeOrder(euler->order, &o)) {
        q->x = q->y = q->z = 0;
        q->w = 1;
        return;
    }
    br_angle x = euler->a, z = euler->c;
    if (o.frame) {
        x = euler->c;
        z = euler->a;
    }
    x = (br_angle)(x >> 1);
    br_angle y = (br_angle)(euler->b >> 1);
    z = (br_angle)(z >> 1);
    if (o.parity)
        y = AngleNegate(y);

    br_scalar rx = AngleRadians(x), ry = AngleRadians(y), rz = AngleRadians(z);
    br_scalar ci = cosf(rx), si = sinf(rx);
    br_scalar cj = cosf(ry), sj = sinf(ry);
    br_scalar ch = cosf(rz), sh = sinf(rz);
    br_scalar cc = ci * ch, cs = ci * sh, sc = si * ch, ss = si * sh;

    br_scalar v[3], w;
    if (o.repeat) {
        v[o.i] = cj * (cs + sc);
        v[o.j] = sj * (cc + ss);
        v[o.k] = sj * (cs - sc);
        w = cj * (cc - ss);
    } else {
        v[o.i] = cj * sc - sj * cs;
        v[o.j] = cj * ss + sj * cc;
        v[o.k] = cj * cs - sj * sc;
        w = cj * cc + sj * ss;
    }
    if (o.parity)
        v[o.j] = -v[o.j];
    q->x = v[0];
    q->y = v[1];
    q->z = v[2];
    q->w = w;
}

void BrQuatToEuler(br_euler *euler, const br_quat *q)
{
    br_matrix34 m;
    BrQuatToMatrix34(&m, q);
    BrMatrix34ToEuler(euler, &m);
}

} // extern "C"
