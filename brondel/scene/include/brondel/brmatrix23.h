/* 2x3 affine matrices of the plane (material map transforms) and plane equations. */
#ifndef BRONDEL_BRMATRIX23_H
#define BRONDEL_BRMATRIX23_H

#include <brondel/brvector.h>

/* Rows 0 and 1 are the linear part, row 2 the translation; points are row vectors. */
typedef struct br_matrix23 {
    br_scalar m[3][2];
} br_matrix23;

#ifdef __cplusplus
extern "C" {
#endif

void BrMatrix23Identity(br_matrix23 *m);
void BrMatrix23Copy(br_matrix23 *dst, const br_matrix23 *src);
void BrMatrix23Translate(br_matrix23 *m, br_scalar x, br_scalar y);
void BrMatrix23Scale(br_matrix23 *m, br_scalar sx, br_scalar sy);
void BrMatrix23ShearX(br_matrix23 *m, br_scalar sy);
void BrMatrix23ShearY(br_matrix23 *m, br_scalar sx);
void BrMatrix23Rotate(br_matrix23 *m, br_angle a);
void BrMatrix23Mul(br_matrix23 *dst, const br_matrix23 *a, const br_matrix23 *b);
/* Returns the determinant, 0 (dst untouched) when there is no inverse. */
br_scalar BrMatrix23Inverse(br_matrix23 *dst, const br_matrix23 *src);
void BrMatrix23LPInverse(br_matrix23 *dst, const br_matrix23 *src);
void BrMatrix23LPNormalise(br_matrix23 *dst, const br_matrix23 *src);
void BrMatrix23ApplyP(br_vector2 *dst, const br_vector2 *p, const br_matrix23 *m);
void BrMatrix23ApplyV(br_vector2 *dst, const br_vector2 *v, const br_matrix23 *m);
void BrMatrix23TApplyP(br_vector2 *dst, const br_vector2 *p, const br_matrix23 *m);
void BrMatrix23TApplyV(br_vector2 *dst, const br_vector2 *v, const br_matrix23 *m);

void BrMatrix23Pre(br_matrix23 *m, const br_matrix23 *a);
void BrMatrix23Post(br_matrix23 *m, const br_matrix23 *a);
void BrMatrix23PreRotate(br_matrix23 *m, br_angle a);
void BrMatrix23PostRotate(br_matrix23 *m, br_angle a);
void BrMatrix23PreTranslate(br_matrix23 *m, br_scalar x, br_scalar y);
void BrMatrix23PostTranslate(br_matrix23 *m, br_scalar x, br_scalar y);
void BrMatrix23PreScale(br_matrix23 *m, br_scalar sx, br_scalar sy);
void BrMatrix23PostScale(br_matrix23 *m, br_scalar sx, br_scalar sy);
void BrMatrix23PreShearX(br_matrix23 *m, br_scalar sy);
void BrMatrix23PostShearX(br_matrix23 *m, br_scalar sy);
void BrMatrix23PreShearY(br_matrix23 *m, br_scalar sx);
void BrMatrix23PostShearY(br_matrix23 *m, br_scalar sx);

/* Plane through three points, counter-clockwise as seen from the side the normal points to:
 * unit normal in x, y, z and the distance in w (p.normal = d on the plane). Returns 1 when the
 * points span no plane (the normal is then (0, 0, 1)), else 0. */
int BrPlaneEquation(br_vector4 *plane, const br_vector3 *p0, const br_vector3 *p1,
                    const br_vector3 *p2);

#ifdef __cplusplus
}
#endif

#endif
