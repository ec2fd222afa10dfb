/* 3x4 affine and 4x4 projective matrices of the 3D library.
 * Row-vector convention: a point p maps to p.M, and A.B applies A first. */
#ifndef BRONDEL_BRMATRIX_H
#define BRONDEL_BRMATRIX_H

#include <brondel/brvector.h>

/* Rows 0..2 are the images of the axes, row 3 the translation. */
typedef struct br_matrix34 {
    br_scalar m[4][3];
} br_matrix34;

typedef struct br_matrix4 {
    br_scalar m[4][4];
} br_matrix4;

typedef struct br_bounds3 {
    br_vector3 min;
    br_vector3 max;
} br_bounds3;

#ifdef __cplusplus
extern "C" {
#endif

/* Construction. */
void BrMatrix34Identity(br_matrix34 *m);
void BrMatrix34Copy(br_matrix34 *m, const br_matrix34 *src);
void BrMatrix34Copy4(br_matrix34 *m, const br_matrix4 *src);
void BrMatrix34Translate(br_matrix34 *m, br_scalar x, br_scalar y, br_scalar z);
void BrMatrix34Scale(br_matrix34 *m, br_scalar sx, br_scalar sy, br_scalar sz);
void BrMatrix34ShearX(br_matrix34 *m, br_scalar sy, br_scalar sz);
void BrMatrix34ShearY(br_matrix34 *m, br_scalar sx, br_scalar sz);
void BrMatrix34ShearZ(br_matrix34 *m, br_scalar sx, br_scalar sy);
void BrMatrix34RotateX(br_matrix34 *m, br_angle a);
void BrMatrix34RotateY(br_matrix34 *m, br_angle a);
void BrMatrix34RotateZ(br_matrix34 *m, br_angle a);
/* The axis is taken as unit length. */
void BrMatrix34Rotate(br_matrix34 *m, br_angle a, const br_vector3 *axis);
void BrMatrix34RollingBall(br_matrix34 *m, br_int_32 dx, br_int_32 dy, br_int_32 radius);
void BrBoundsToMatrix34(br_matrix34 *m, const br_bounds3 *bounds);
/* m and src may be one record. */
void BrMatrix34LPNormalise(br_matrix34 *m, const br_matrix34 *src);

/* Products, inverses, application. */
void BrMatrix34Mul(br_matrix34 *dst, const br_matrix34 *a, const br_matrix34 *b);
/* Returns the determinant of the linear part, 0 (dst untouched) when it has no inverse.
 * dst and src may be one record. */
br_scalar BrMatrix34Inverse(br_matrix34 *dst, const br_matrix34 *src);
void BrMatrix34LPInverse(br_matrix34 *dst, const br_matrix34 *src);
void BrMatrix34ApplyP(br_vector3 *dst, const br_vector3 *p, const br_matrix34 *m);
void BrMatrix34ApplyV(br_vector3 *dst, const br_vector3 *v, const br_matrix34 *m);
void BrMatrix34Apply(br_vector3 *dst, const br_vector4 *src, const br_matrix34 *m);
void BrMatrix34TApply(br_vector4 *dst, const br_vector4 *src, const br_matrix34 *m);
void BrMatrix34TApplyP(br_vector3 *dst, const br_vector3 *src, const br_matrix34 *m);
void BrMatrix34TApplyV(br_vector3 *dst, const br_vector3 *src, const br_matrix34 *m);
void BrMatrix34TApplyVAlt(br_vector3 *dst, const br_vector3 *src, const br_matrix34 *m);

/* Pre: m := X.m (X acts first); Post: m := m.X. */
void BrMatrix34Pre(br_matrix34 *m, const br_matrix34 *a);
void BrMatrix34Post(br_matrix34 *m, const br_matrix34 *a);
void BrMatrix34PreRotateX(br_matrix34 *m, br_angle a);
void BrMatrix34PostRotateX(br_matrix34 *m, br_angle a);
void BrMatrix34PreRotateY(br_matrix34 *m, br_angle a);
void BrMatrix34PostRotateY(br_matrix34 *m, br_angle a);
void BrMatrix34PreRotateZ(br_matrix34 *m, br_angle a);
void BrMatrix34PostRotateZ(br_matrix34 *m, br_angle a);
void BrMatrix34PreRotate(br_matrix34 *m, br_angle a, const br_vector3 *axis);
void BrMatrix34PostRotate(br_matrix34 *m, br_angle a, const br_vector3 *axis);
void BrMatrix34PreTranslate(br_matrix34 *m, br_scalar x, br_scalar y, br_scalar z);
void BrMatrix34PostTranslate(br_matrix34 *m, br_scalar x, br_scalar y, br_scalar z);
void BrMatrix34PreScale(br_matrix34 *m, br_scalar sx, br_scalar sy, br_scalar sz);
void BrMatrix34PostScale(br_matrix34 *m, br_scalar sx, br_scalar sy, br_scalar sz);
void BrMatrix34PreShearX(br_matrix34 *m, br_scalar sy, br_scalar sz);
void BrMatrix34PostShearX(br_matrix34 *m, br_scalar sy, br_scalar sz);
void BrMatrix34PreShearY(br_matrix34 *m, br_scalar sx, br_scalar sz);
void BrMatrix34PostShearY(br_matrix34 *m, br_scalar sx, br_scalar sz);
void BrMatrix34PreShearZ(br_matrix34 *m, br_scalar sx, br_scalar sy);
void BrMatrix34PostShearZ(br_matrix34 *m, br_scalar sx, br_scalar sy);

/* 4x4. */
void BrMatrix4Identity(br_matrix4 *m);
void BrMatrix4Copy(br_matrix4 *dst, const br_matrix4 *src);
void BrMatrix4Copy34(br_matrix4 *dst, const br_matrix34 *src);
void BrMatrix4Scale(br_matrix4 *m, br_scalar sx, br_scalar sy, br_scalar sz);
void BrMatrix4ShearZ(br_matrix4 *m, br_scalar sx, br_scalar sy);
/* Camera looks along -z; the result's w is -z. */
void BrMatrix4Perspective(br_matrix4 *m, br_angle fov, br_scalar aspect, br_scalar hither,
                          br_scalar yon);
void BrMatrix4Mul(br_matrix4 *dst, const br_matrix4 *a, const br_matrix4 *b);
void BrMatrix4Mul34(br_matrix4 *dst, const br_matrix34 *a, const br_matrix4 *b);
void BrMatrix4Pre34(br_matrix4 *m, const br_matrix34 *a);
void BrMatrix4Apply(br_vector4 *dst, const br_vector4 *src, const br_matrix4 *m);
void BrMatrix4ApplyP(br_vector4 *dst, const br_vector3 *p, const br_matrix4 *m);
void BrMatrix4ApplyV(br_vector4 *dst, const br_vector3 *v, const br_matrix4 *m);
void BrMatrix4TApply(br_vector4 *dst, const br_vector4 *src, const br_matrix4 *m);
void BrMatrix4TApplyP(br_vector4 *dst, const br_vector3 *p, const br_matrix4 *m);
void BrMatrix4TApplyV(br_vector4 *dst, const br_vector3 *v, const br_matrix4 *m);
br_scalar BrMatrix4Determinant(const br_matrix4 *m);
void BrMatrix4Adjoint(br_matrix4 *dst, const br_matrix4 *src);
/* Returns the determinant; on failure returns 0 and leaves the unscaled adjugate in dst. */
br_scalar BrMatrix4Inverse(br_matrix4 *dst, const br_matrix4 *src);

#ifdef __cplusplus
}
#endif

#endif
