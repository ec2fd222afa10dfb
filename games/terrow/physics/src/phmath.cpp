// Vector and matrix arithmetic. Single-precision storage, double for dot products and lengths.
#include "terrow/phys/phmath.h"

#include <math.h>
#include <xmmintrin.h>

#include "terrow/phys/phmsg.h"

int32_t QueueLevel = 0;

namespace {
bool g_check = true;

inline void check_state(uint8_t state, bool always)
{
    if ((g_check || always) && state != PH_VALID)
        Phys_Warning(PHMSG_UNINITIALISED);
}
}  // namespace

void PhMath_Unset(bool always) { check_state(PH_CONSTRUCTED, always); }

bool Phys_SetValidityCheck(bool on)
{
    bool old = g_check;
    g_check = on;
    return old;
}

FV3 &FV3::operator<<(float v)
{
    if (fill > 2)
        fill = 0;
    (&x)[fill] = v;
    if (fill == 2) {
        fill = 0;
        state = PH_VALID;
    } else {
        fill++;
        state = PH_CONSTRUCTED;
    }
    return *this;
}

void FV3::Set(const float v[3])
{
    x = v[0];
    y = v[1];
    z = v[2];
    state = PH_VALID;
}

FV3 FV3::operator*(int s) const { return *this * static_cast<float>(s); }
FV3 FV3::operator/(int s) const { return *this / static_cast<float>(s); }


FV3 &FV3::operator/=(int s) { return *this /= static_cast<float>(s); }



void FV3::Zero()
{
    x = y = z = 0;
    state = PH_VALID;
}

void FV3::SetLength(double len)
{
    double l = Length();
    if (l == 0)
        return;
    *this *= static_cast<float>(len / l);
}


void FV3::CopyOut(float *ox, float *oy, float *oz) const
{
    Check();
    *ox = x;
    *oy = y;
    *oz = z;
}

void FV3_Diff(FV3 &target, const FV3 &a, const FV3 &b)
{
    a.Check();
    b.Check();
    target.x = a.x - b.x;
    target.y = a.y - b.y;
    target.z = a.z - b.z;
    target.state = PH_VALID;
}

void FV3_Cross(FV3 &target, const FV3 &a, const FV3 &b)
{
    a.Check();
    b.Check();
    float x = a.y * b.z - a.z * b.y;
    float y = a.z * b.x - a.x * b.z;
    float z = a.x * b.y - a.y * b.x;
    target.x = x;
    target.y = y;
    target.z = z;
    target.state = PH_VALID;
}

M33::M33() : state(PH_VALID), zero(1), detKnown(1), singular(1), det(0) {}

M33::M33(const float e[9]) : state(PH_VALID)
{
    for (int i = 0; i < 9; i++)
        m[i] = e[i];
}

namespace {

// The rotation by |v| about v / |v| (the identity for |v| <= 0, > 1e20 or NaN): true for the identity.
bool rotation_of(const FV3 &v, float m[9])
{
    double theta = v.Length();
    if (!(theta > 0 && theta <= 1e20)) {  // a NaN turn too: it would spoil every later product
        for (int i = 0; i < 9; i++)
            m[i] = i % 4 == 0 ? 1.0f : 0.0f;
        return true;
    }
    float x = static_cast<float>(v.x / theta), y = static_cast<float>(v.y / theta);
    float z = static_cast<float>(v.z / theta);
    float s = static_cast<float>(sin(theta)), c = static_cast<float>(cos(theta)), t = 1 - c;
    m[0] = x * x * t + c;
    m[1] = x * y * t + z * s;
    m[2] = x * z * t - y * s;
    m[3] = x * y * t - z * s;
    m[4] = y * y * t + c;
    m[5] = y * z * t + x * s;
    m[6] = x * z * t + y * s;
    m[7] = y * z * t - x * s;
    m[8] = z * z * t + c;
    return false;
}

}  // namespace

M33::M33(const FV3 &v) : state(PH_VALID)
{
    if (rotation_of(v, m)) {
        detKnown = 1;
        det = 1;
    }
}

void PhMath_ExactTurnRows(const FV3 &v, __m128 row[3])
{
    float e[12];
    rotation_of(v, e);
    e[9] = e[10] = e[11] = 0;
    row[0] = _mm_loadu_ps(e);
    row[1] = _mm_loadu_ps(e + 3);
    row[2] = _mm_loadu_ps(e + 6);
}

M33 &M33::operator=(const M33 &o)
{
    o.Check();
    for (int i = 0; i < 9; i++)
        m[i] = o.m[i];
    zero = o.zero;
    detKnown = o.detKnown;
    singular = o.singular;
    det = o.det;
    state = PH_VALID;
    return *this;
}

void M33::Check() const { check_state(state, false); }

M33 M33::operator*(const M33 &b) const
{
    Check();
    b.Check();
    float e[9];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            e[i * 3 + j] = m[i * 3] * b.m[j] + m[i * 3 + 1] * b.m[3 + j] + m[i * 3 + 2] * b.m[6 + j];
    return M33(e);
}

M33 &M33::operator*=(const M33 &b) { return *this = *this * b; }

float M33::Det()
{
    Check();
    if (!detKnown) {
        det = m[0] * m[4] * m[8] + m[1] * m[5] * m[6] + m[2] * m[3] * m[7] - m[2] * m[4] * m[6] -
              m[0] * m[5] * m[7] - m[1] * m[3] * m[8];
        detKnown = 1;
        singular = det == 0;
    }
    return det;
}

void M33::CopyOut(float e[9]) const
{
    Check();
    for (int i = 0; i < 9; i++)
        e[i] = m[i];
}

FV3 operator*(const FV3 &p, const M33 &m)
{
    p.Check();
    m.Check();
    return FV3(p.x * m.m[0] + p.y * m.m[3] + p.z * m.m[6], p.x * m.m[1] + p.y * m.m[4] + p.z * m.m[7],
               p.x * m.m[2] + p.y * m.m[5] + p.z * m.m[8]);
}

br_vector3 *DD_FV3toBrV3(const FV3 *src, br_vector3 *dst)
{
    src->Check();
    dst->v[0] = src->x;
    dst->v[1] = src->y;
    dst->v[2] = src->z;
    return dst;
}

br_matrix34 *DD_Mtx33toBrM34(const M33 *src, br_matrix34 *dst)
{
    src->Check();
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            dst->m[r][c] = src->m[r * 3 + c];
    return dst;
}

br_matrix34 *DD_Mtx34toBrM34(const Mtx34 *src, br_matrix34 *dst)
{
    check_state(src->state, false);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            dst->m[r][c] = src->m[r * 3 + c];
    return dst;
}

using ph_detail::trunc_minus;

int32_t CellOfBiased(float size, float bias, float v)
{
    if (v >= 0)
        return trunc_minus((v + bias) / size, false);
    return trunc_minus(v / size, true);
}

