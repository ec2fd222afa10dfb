/* Transforms (the placement of an actor in its parent), Euler angles and quaternions. */
#ifndef BRONDEL_BRTRANSFORM_H
#define BRONDEL_BRTRANSFORM_H

#include <brondel/brmatrix.h>

/* Vector part first, scalar part last. */
typedef struct br_quat {
    br_scalar x, y, z, w;
} br_quat;

/* order: bits 0-1 first axis (0 x, 1 y, 2 z), bit 2 odd parity, bit 3 first axis repeated as the
 * third, bit 4 rotating frame (a and c exchange roles). */
typedef struct br_euler {
    br_angle a, b, c;
    br_uint_8 order;
} br_euler;

enum {
    BR_EULER_FIRST_X = 0x00,
    BR_EULER_FIRST_Y = 0x01,
    BR_EULER_FIRST_Z = 0x02,
    BR_EULER_FIRST = 0x03,
    BR_EULER_PARITY = 0x04,
    BR_EULER_REPEAT = 0x08,
    BR_EULER_FRAME = 0x10,

    BR_EULER_XYZ_S = 0,
    BR_EULER_YZX_S = 1,
    BR_EULER_ZXY_S = 2,
    BR_EULER_XZY_S = 4,
    BR_EULER_YXZ_S = 5,
    BR_EULER_ZYX_S = 6,
    BR_EULER_XYX_S = 8,
    BR_EULER_YZY_S = 9,
    BR_EULER_ZXZ_S = 10,
    BR_EULER_XZX_S = 12,
    BR_EULER_YXY_S = 13,
    BR_EULER_ZYZ_S = 14,
    BR_EULER_ZYX_R = 16,
    BR_EULER_XZY_R = 17,
    BR_EULER_YXZ_R = 18,
    BR_EULER_YZX_R = 20,
    BR_EULER_ZXY_R = 21,
    BR_EULER_XYZ_R = 22,
    BR_EULER_XYX_R = 24,
    BR_EULER_YZY_R = 25,
    BR_EULER_ZXZ_R = 26,
    BR_EULER_XZX_R = 28,
    BR_EULER_YXY_R = 29,
    BR_EULER_ZYZ_R = 30
};

enum {
    BR_TRANSFORM_MATRIX34 = 0,
    BR_TRANSFORM_MATRIX34_LP = 1,
    BR_TRANSFORM_QUAT = 2,
    BR_TRANSFORM_EULER = 3,
    BR_TRANSFORM_LOOK_UP = 4,
    BR_TRANSFORM_TRANSLATION = 5,
    BR_TRANSFORM_IDENTITY = 6,
    BR_TRANSFORM_MAX = BR_TRANSFORM_IDENTITY
};

/* In every form the translation t shares its storage with row 3 of mat. */
typedef struct br_transform {
    br_uint_16 type;
    union {
        br_matrix34 mat;
        struct {
            br_quat q;
            br_scalar _pad[5];
            br_vector3 t;
        } quat;
        struct {
            br_euler e;
            br_scalar _pad[7];
            br_vector3 t;
        } euler;
        struct {
            br_vector3 look;
            br_vector3 up;
            br_scalar _pad[3];
            br_vector3 t;
        } look_up;
        struct {
            br_scalar _pad[9];
            br_vector3 t;
        } translate;
    } t;
} br_transform;

#ifdef __cplusplus
extern "C" {
#endif

void BrTransformToMatrix34(br_matrix34 *m, const br_transform *xform);
void BrMatrix34ToTransform(br_transform *xform, const br_matrix34 *m);
void BrTransformToTransform(br_transform *dst, const br_transform *src);
void BrMatrix34PreTransform(br_matrix34 *m, const br_transform *xform);
void BrMatrix34PostTransform(br_matrix34 *m, const br_transform *xform);
void BrMatrix4PreTransform(br_matrix4 *m, const br_transform *xform);

/* An order code outside the 24 valid ones gives the identity rotation and leaves angles as they are. */
void BrEulerToMatrix34(br_matrix34 *m, const br_euler *euler);
void BrMatrix34ToEuler(br_euler *euler, const br_matrix34 *m);
void BrEulerToMatrix4(br_matrix4 *m, const br_euler *euler);
void BrMatrix4ToEuler(br_euler *euler, const br_matrix4 *m);
void BrEulerToQuat(br_quat *q, const br_euler *euler);
void BrQuatToEuler(br_euler *euler, const br_quat *q);

void BrQuatToMatrix34(br_matrix34 *m, const br_quat *q);
void BrMatrix34ToQuat(br_quat *q, const br_matrix34 *m);
void BrQuatToMatrix4(br_matrix4 *m, const br_quat *q);
void BrMatrix4ToQuat(br_quat *q, const br_matrix4 *m);
void BrQuatMul(br_quat *q, const br_quat *l, const br_quat *r);
void BrQuatNormalise(br_quat *dst, const br_quat *src);
void BrQuatInvert(br_quat *dst, const br_quat *src);
/* Not normalised; each spin adds a further (almost) half turn of angle units. */
void BrQuatSlerp(br_quat *q, const br_quat *from, const br_quat *to, br_scalar t, br_int_16 spins);

#ifdef __cplusplus
}
#endif

#endif
