/* 2-, 3- and 4-component vectors of the 3D library. */
#ifndef BRONDEL_BRVECTOR_H
#define BRONDEL_BRVECTOR_H

#include <brondel/brtypes.h>

typedef struct br_vector2 {
    br_scalar v[2];
} br_vector2;

typedef struct br_vector3 {
    br_scalar v[3];
} br_vector3;

typedef struct br_vector4 {
    br_scalar v[4];
} br_vector4;

#ifdef __cplusplus
extern "C" {
#endif

/* Component-wise operations may write over a source; BrVector3Cross reads both sources first. */
void BrVector2Copy(br_vector2 *dst, const br_vector2 *src);
void BrVector2Set(br_vector2 *dst, br_scalar x, br_scalar y);
void BrVector2SetFloat(br_vector2 *dst, float x, float y);
void BrVector2SetInt(br_vector2 *dst, br_int_32 x, br_int_32 y);
void BrVector2Negate(br_vector2 *dst, const br_vector2 *src);
void BrVector2Add(br_vector2 *dst, const br_vector2 *a, const br_vector2 *b);
void BrVector2Accumulate(br_vector2 *dst, const br_vector2 *a);
void BrVector2Sub(br_vector2 *dst, const br_vector2 *a, const br_vector2 *b);
void BrVector2Scale(br_vector2 *dst, const br_vector2 *src, br_scalar s);
void BrVector2InvScale(br_vector2 *dst, const br_vector2 *src, br_scalar s);
br_scalar BrVector2Dot(const br_vector2 *a, const br_vector2 *b);
br_scalar BrVector2DotAlt(const br_vector2 *a, const br_vector2 *b);
br_scalar BrVector2Length(const br_vector2 *a);
br_scalar BrVector2LengthSquared(const br_vector2 *a);
void BrVector2Normalise(br_vector2 *dst, const br_vector2 *src);

void BrVector3Copy(br_vector3 *dst, const br_vector3 *src);
void BrVector3CopyAlt(br_vector3 *dst, const br_vector3 *src);
void BrVector3Set(br_vector3 *dst, br_scalar x, br_scalar y, br_scalar z);
void BrVector3SetFloat(br_vector3 *dst, float x, float y, float z);
void BrVector3SetInt(br_vector3 *dst, br_int_32 x, br_int_32 y, br_int_32 z);
void BrVector3Negate(br_vector3 *dst, const br_vector3 *src);
void BrVector3Add(br_vector3 *dst, const br_vector3 *a, const br_vector3 *b);
void BrVector3Accumulate(br_vector3 *dst, const br_vector3 *a);
void BrVector3Sub(br_vector3 *dst, const br_vector3 *a, const br_vector3 *b);
void BrVector3Scale(br_vector3 *dst, const br_vector3 *src, br_scalar s);
void BrVector3ScaleAlt(br_vector3 *dst, const br_vector3 *src, br_scalar s);
void BrVector3InvScale(br_vector3 *dst, const br_vector3 *src, br_scalar s);
br_scalar BrVector3Dot(const br_vector3 *a, const br_vector3 *b);
br_scalar BrVector3DotAlt(const br_vector3 *a, const br_vector3 *b);
br_scalar BrVector3Length(const br_vector3 *a);
br_scalar BrVector3LengthSquared(const br_vector3 *a);
void BrVector3Normalise(br_vector3 *dst, const br_vector3 *src);
void BrVector3NormaliseAlt(br_vector3 *dst, const br_vector3 *src);
void BrVector3NormaliseQuick(br_vector3 *dst, const br_vector3 *src);
void BrVector3NormaliseQuickAlt(br_vector3 *dst, const br_vector3 *src);
void BrVector3Cross(br_vector3 *dst, const br_vector3 *a, const br_vector3 *b);

void BrVector4Copy(br_vector4 *dst, const br_vector4 *src);
br_scalar BrVector4Dot(const br_vector4 *a, const br_vector4 *b);

#ifdef __cplusplus
}
#endif

#endif
