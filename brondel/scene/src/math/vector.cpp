// 2-, 3- and 4-component vectors.
#include <brondel/brvector.h>

#include <cmath>

namespace {
// Below this length a vector has no usable direction.
constexpr br_scalar kNormaliseEpsilon = 2.3841858e-7f; // 2^-22
} // namespace

extern "C" {

void BrVector2Copy(br_vector2 *dst, const br_vector2 *src)
{
    *dst = *src;
}

void BrVector2Set(br_vector2 *dst, br_scalar x, br_scalar y)
{
    dst->v[0] = x;
    dst->v[1] = y;
}

void BrVector2SetFloat(br_vector2 *dst, float x, float y)
{
    dst->v[0] = x;
    dst->v[1] = y;
}

void BrVector2SetInt(br_vector2 *dst, br_int_32 x, br_int_32 y)
{
    dst->v[0] = (br_scalar)x;
    dst->v[1] = (br_scalar)y;
}

void BrVector2Negate(br_vector2 *dst, const br_vector2 *src)
{
    dst->v[0] = -src->v[0];
    dst->v[1] = -src->v[1];
}

void BrVector2Add(br_vector2 *dst, const br_vector2 *a, const br_vector2 *b)
{
    dst->v[0] = a->v[0] + b->v[0];
    dst->v[1] = a->v[1] + b->v[1];
}

void BrVector2Accumulate(br_vector2 *dst, const br_vector2 *a)
{
    dst->v[0] += a->v[0];
    dst->v[1] += a->v[1];
}

void BrVector2Sub(br_vector2 *dst, const br_vector2 *a, const br_vector2 *b)
{
    dst->v[0] = a->v[0] - b->v[0];
    dst->v[1] = a->v[1] - b->v[1];
}

void BrVector2Scale(br_vector2 *dst, const br_vector2 *src, br_scalar s)
{
    dst->v[0] = src->v[0] * s;
    dst->v[1] = src->v[1] * s;
}

void BrVector2InvScale(br_vector2 *dst, const br_vector2 *src, br_scalar s)
{
    dst->v[0] = src->v[0] / s;
    dst->v[1] = src->v[1] / s;
}

br_scalar BrVector2Dot(const br_vector2 *a, const br_vector2 *b)
{
    return a->v[0] * b->v[0] + a->v[1] * b->v[1];
}

br_scalar BrVector2DotAlt(const br_vector2 *a, const br_vector2 *b)
{
    return BrVector2Dot(a, b);
}

br_scalar BrVector2LengthSquared(const br_vector2 *a)
{
    return a->v[0] * a->v[0] + a->v[1] * a->v[1];
}

br_scalar BrVector2Length(const br_vector2 *a)
{
    return sqrtf(BrVector2LengthSquared(a));
}

void BrVector2Normalise(br_vector2 *dst, const br_vector2 *src)
{
    br_scalar l = BrVector2Length(src);
    if (l > kNormaliseEpsilon) {
        dst->v[0] = src->v[0] / l;
        dst->v[1] = src->v[1] / l;
    } else {
        dst->v[0] = 1.0f;
        dst->v[1] = 0.0f;
    }
}

void BrVector3Copy(br_vector3 *dst, const br_vector3 *src)
{
    *dst = *src;
}

void BrVector3CopyAlt(br_vector3 *dst, const br_vector3 *src)
{
    *dst = *src;
}

void BrVector3Set(br_vector3 *dst, br_scalar x, br_scalar y, br_scalar z)
{
    dst->v[0] = x;
    dst->v[1] = y;
    dst->v[2] = z;
}

void BrVector3SetFloat(br_vector3 *dst, float x, float y, float z)
{
    BrVector3Set(dst, x, y, z);
}

void BrVector3SetInt(br_vector3 *dst, br_int_32 x, br_int_32 y, br_int_32 z)
{
    BrVector3Set(dst, (br_scalar)x, (br_scalar)y, (br_scalar)z);
}

void BrVector3Negate(br_vector3 *dst, const br_vector3 *src)
{
    dst->v[0] = -src->v[0];
    dst->v[1] = -src->v[1];
    dst->v[2] = -src->v[2];
}

void BrVector3Add(br_vector3 *dst, const br_vector3 *a, const br_vector3 *b)
{
    dst->v[0] = a->v[0] + b->v[0];
    dst->v[1] = a->v[1] + b->v[1];
    dst->v[2] = a->v[2] + b->v[2];
}

void BrVector3Accumulate(br_vector3 *dst, const br_vector3 *a)
{
    dst->v[0] += a->v[0];
    dst->v[1] += a->v[1];
    dst->v[2] += a->v[2];
}

void BrVector3Sub(br_vector3 *dst, const br_vector3 *a, const br_vector3 *b)
{
    dst->v[0] = a->v[0] - b->v[0];
    dst->v[1] = a->v[1] - b->v[1];
    dst->v[2] = a->v[2] - b->v[2];
}

void BrVector3Scale(br_vector3 *dst, const br_vector3 *src, br_scalar s)
{
    dst->v[0] = src->v[0] * s;
    dst->v[1] = src->v[1] * s;
    dst->v[2] = src->v[2] * s;
}

void BrVector3ScaleAlt(br_vector3 *dst, const br_vector3 *src, br_scalar s)
{
    BrVector3Scale(dst, src, s);
}

void BrVector3InvScale(br_vector3 *dst, const br_vector3 *src, br_scalar s)
{
    dst->v[0] = src->v[0] / s;
    dst->v[1] = src->v[1] / s;
    dst->v[2] = src->v[2] / s;
}

br_scalar BrVector3Dot(const br_vector3 *a, const br_vector3 *b)
{
    return a->v[0] * b->v[0] + a->v[1] * b->v[1] + a->v[2] * b->v[2];
}

br_scalar BrVector3DotAlt(const br_vector3 *a, const br_vector3 *b)
{
    return BrVector3Dot(a, b);
}

br_scalar BrVector3LengthSquared(const br_vector3 *a)
{
    return BrVector3Dot(a, a);
}

br_scalar BrVector3Length(const br_vector3 *a)
{
    return sqrtf(BrVector3Dot(a, a));
}

void BrVector3Normalise(br_vector3 *dst, const br_vector3 *src)
{
    br_scalar l = BrVector3Length(src);
    if (l > kNormaliseEpsilon)
        BrVector3InvScale(dst, src, l);
    else
        BrVector3Set(dst, 1.0f, 0.0f, 0.0f);
}

void BrVector3NormaliseAlt(br_vector3 *dst, const br_vector3 *src)
{
    br_scalar l = BrVector3Length(src);
    if (l != 0.0f)
        BrVector3InvScale(dst, src, l);
    else
        BrVector3Set(dst, 1.0f, 0.0f, 0.0f);
}

// A zero vector has no direction: the quick forms leave dst alone rather than fill it with NaN.
void BrVector3NormaliseQuick(br_vector3 *dst, const br_vector3 *src)
{
    br_scalar l = BrVector3Length(src);
    if (l == 0.0f)
        return;
    br_scalar r = 1.0f / l;
    if (r == 0.0f)
        return;
    BrVector3Scale(dst, src, r);
}

void BrVector3NormaliseQuickAlt(br_vector3 *dst, const br_vector3 *src)
{
    br_scalar l = BrVector3Length(src);
    if (l == 0.0f)
        return;
    BrVector3InvScale(dst, src, l);
}

void BrVector3Cross(br_vector3 *dst, const br_vector3 *a, const br_vector3 *b)
{
    br_scalar ax = a->v[0], ay = a->v[1], az = a->v[2];
    br_scalar bx = b->v[0], by = b->v[1], bz = b->v[2];
    dst->v[0] = ay * bz - az * by;
    dst->v[1] = az * bx - ax * bz;
    dst->v[2] = ax * by - ay * bx;
}

void BrVector4Copy(br_vector4 *dst, const br_vector4 *src)
{
    *dst = *src;
}

br_scalar BrVector4Dot(const br_vector4 *a, const br_vector4 *b)
{
    return a->v[0] * b->v[0] + a->v[1] * b->v[1] + a->v[2] * b->v[2] + a->v[3] * b->v[3];
}

} // extern "C"
