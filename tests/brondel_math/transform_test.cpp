#include "reference.h"

#include <cstring>

namespace {

using ref::M4;

br_transform Make(br_uint_16 type)
{
    br_transform t;
    std::memset(&t, 0, sizeof t);
    t.type = type;
    return t;
}

TEST(Transform, ToMatrixByType)
{
    br_matrix34 m;
    const br_matrix34 general = ref::Make34({1, 0.5f, -0.25f, 0.2f, 2, 0.3f, -0.4f, 0.1f, 1.5f, 10, -20, 5});

    br_transform t = Make(BR_TRANSFORM_MATRIX34);
    t.t.mat = general;
    BrTransformToMatrix34(&m, &t);
    ref::ExpectEqual(m, general);

    t = Make(BR_TRANSFORM_QUAT);
    t.t.quat.q = br_quat{0, 0, 0.70710678f, 0.70710678f};
    BrVector3Set(&t.t.quat.t, 1, 2, 3);
    BrTransformToMatrix34(&m, &t);
    ref::ExpectNear(m, ref::Mul(ref::AxisRotation(2, ref::kPi / 2), ref::Translation(1, 2, 3)), 1e-6);

    t = Make(BR_TRANSFORM_EULER);
    t.t.euler.e = br_euler{16384, 0, 0, BR_EULER_XYZ_S};
    BrVector3Set(&t.t.euler.t, 4, 5, 6);
    BrTransformToMatrix34(&m, &t);
    ref::ExpectNear(m, ref::Mul(ref::AxisRotation(0, ref::kPi / 2), ref::Translation(4, 5, 6)), 1e-6);

    t = Make(BR_TRANSFORM_TRANSLATION);
    BrVector3Set(&t.t.translate.t, -1, -2, -3);
    BrTransformToMatrix34(&m, &t);
    ref::ExpectNear(m, ref::Translation(-1, -2, -3), 0);

    t = Make(BR_TRANSFORM_IDENTITY);
    BrTransformToMatrix34(&m, &t);
    ref::ExpectNear(m, ref::Identity(), 0);

    // An unknown type leaves the matrix as it was.
    t = Make(9);
    m = general;
    BrTransformToMatrix34(&m, &t);
    ref::ExpectEqual(m, general);
}

TEST(Transform, LookUp)
{
    struct Case {
        br_vector3 look, up;
        M4 want;
    } cases[] = {
        {{{0, 0, -1}}, {{0, 1, 0}}, ref::Identity()},
        // Looking along +x with y up: -z points along +x, so z = (-1, 0, 0), x = (0, 0, 1).
        {{{5, 0, 0}}, {{0, 3, 0}}, ref::AxisRotation(1, -ref::kPi / 2)},
        {{{0, 0, 1}}, {{0, 1, 0}}, ref::AxisRotation(1, ref::kPi)},
    };
    for (const Case &c : cases) {
        br_transform t = Make(BR_TRANSFORM_LOOK_UP);
        t.t.look_up.look = c.look;
        t.t.look_up.up = c.up;
        BrVector3Set(&t.t.look_up.t, 7, 8, 9);
        br_matrix34 m;
        BrTransformToMatrix34(&m, &t);
        ref::ExpectNear(m, ref::Mul(c.want, ref::Translation(7, 8, 9)), 1e-6);
    }
    // A zero look gives z = (-1, 0, 0).
    br_transform t = Make(BR_TRANSFORM_LOOK_UP);
    BrVector3Set(&t.t.look_up.up, 0, 1, 0);
    br_matrix34 m;
    BrTransformToMatrix34(&m, &t);
    EXPECT_EQ(m.m[2][0], -1);
    EXPECT_EQ(m.m[2][1], 0);
    EXPECT_EQ(m.m[2][2], 0);
}

TEST(Transform, FromMatrixByType)
{
    br_matrix34 rot;
    br_vector3 axis{{0, 0.6f, 0.8f}};
    BrMatrix34Rotate(&rot, 9000, &axis);
    rot.m[3][0] = 1;
    rot.m[3][1] = 2;
    rot.m[3][2] = 3;

    // Every type that can hold this placement gives it back.
    for (br_uint_16 type : {BR_TRANSFORM_MATRIX34, BR_TRANSFORM_MATRIX34_LP, BR_TRANSFORM_QUAT,
                            BR_TRANSFORM_EULER}) {
        br_transform t = Make(type);
        t.t.euler.e.order = BR_EULER_ZXY_R;
        BrMatrix34ToTransform(&t, &rot);
        br_matrix34 back;
        BrTransformToMatrix34(&back, &t);
        ref::ExpectEqual(back, rot, type == BR_TRANSFORM_EULER ? 6e-4 : 1e-5);
    }

    // Look-up keeps its up vector; an all-zero up (either sign) becomes (0, 1, 0).
    br_transform t = Make(BR_TRANSFORM_LOOK_UP);
    BrVector3Set(&t.t.look_up.up, 0.5f, 0.5f, 0);
    BrMatrix34ToTransform(&t, &rot);
    EXPECT_EQ(t.t.look_up.up.v[0], 0.5f);
    EXPECT_EQ(t.t.look_up.look.v[2], -rot.m[2][2]);
    EXPECT_EQ(t.t.look_up.t.v[1], 2);
    BrVector3Set(&t.t.look_up.up, -0.0f, 0, -0.0f);
    BrMatrix34ToTransform(&t, &rot);
    EXPECT_EQ(t.t.look_up.up.v[0], 0);
    EXPECT_EQ(t.t.look_up.up.v[1], 1);
    EXPECT_EQ(t.t.look_up.up.v[2], 0);

    t = Make(BR_TRANSFORM_TRANSLATION);
    BrMatrix34ToTransform(&t, &rot);
    EXPECT_EQ(t.t.translate.t.v[2], 3);

    // A length-preserving transform is normalised on the way in.
    br_matrix34 scaled = rot;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            scaled.m[r][c] *= 2;
    t = Make(BR_TRANSFORM_MATRIX34_LP);
    BrMatrix34ToTransform(&t, &scaled);
    ref::ExpectEqual(t.t.mat, rot, 1e-5);
}

TEST(Transform, ToTransform)
{
    br_matrix34 scaled;
    BrMatrix34Scale(&scaled, 2, 2, 2);
    scaled.m[3][0] = 5;

    br_transform src = Make(BR_TRANSFORM_MATRIX34);
    src.t.mat = scaled;
    // Type 0 into type 1: copied, then normalised.
    br_transform dst = Make(BR_TRANSFORM_MATRIX34_LP);
    BrTransformToTransform(&dst, &src);
    br_matrix34 id;
    BrMatrix34Identity(&id);
    id.m[3][0] = 5;
    ref::ExpectEqual(dst.t.mat, id);
    // Type 0 into type 0: copied unchanged.
    dst = Make(BR_TRANSFORM_MATRIX34);
    BrTransformToTransform(&dst, &src);
    ref::ExpectEqual(dst.t.mat, scaled);

    // Euler into quaternion and back to Euler keeps the placement.
    br_transform e = Make(BR_TRANSFORM_EULER);
    e.t.euler.e = br_euler{3000, 60000, 12000, BR_EULER_YXZ_S};
    BrVector3Set(&e.t.euler.t, 1, 2, 3);
    br_transform q = Make(BR_TRANSFORM_QUAT);
    BrTransformToTransform(&q, &e);
    EXPECT_EQ(q.type, BR_TRANSFORM_QUAT);
    br_matrix34 me, mq;
    BrTransformToMatrix34(&me, &e);
    BrTransformToMatrix34(&mq, &q);
    ref::ExpectEqual(mq, me, 1e-5);

    // A quaternion into a type 1 matrix is not renormalised but equals the rotation.
    br_transform lp = Make(BR_TRANSFORM_MATRIX34_LP);
    BrTransformToTransform(&lp, &q);
    ref::ExpectEqual(lp.t.mat, mq);

    // Equal types copy the whole record.
    br_transform e2 = Make(BR_TRANSFORM_EULER);
    BrTransformToTransform(&e2, &e);
    EXPECT_EQ(std::memcmp(&e2, &e, sizeof e), 0);

    // An unknown source type is taken as the identity, never as an unset matrix.
    br_transform bad = Make(42);
    dst = Make(BR_TRANSFORM_MATRIX34);
    dst.t.mat = scaled;
    BrTransformToTransform(&dst, &bad);
    BrMatrix34Identity(&id);
    ref::ExpectEqual(dst.t.mat, id);
}

TEST(Transform, PreAndPostConcatenation)
{
    const br_matrix34 base = ref::Make34({1, 0.5f, -0.25f, 0.2f, 2, 0.3f, -0.4f, 0.1f, 1.5f, 10, -20, 5});
    br_transform t = Make(BR_TRANSFORM_EULER);
    t.t.euler.e = br_euler{1000, 2000, 3000, BR_EULER_XYZ_S};
    BrVector3Set(&t.t.euler.t, 1, 1, 1);
    br_matrix34 x;
    BrTransformToMatrix34(&x, &t);

    br_matrix34 m = base;
    BrMatrix34PreTransform(&m, &t);
    ref::ExpectNear(m, ref::Mul(ref::From34(x), ref::From34(base)), 1e-5);
    m = base;
    BrMatrix34PostTransform(&m, &t);
    ref::ExpectNear(m, ref::Mul(ref::From34(base), ref::From34(x)), 1e-5);
    br_matrix4 m4;
    BrMatrix4Copy34(&m4, &base);
    BrMatrix4PreTransform(&m4, &t);
    ref::ExpectNear(m4, ref::Mul(ref::From34(x), ref::From34(base)), 1e-5);

    // The identity type changes nothing, not even by rounding.
    br_transform id = Make(BR_TRANSFORM_IDENTITY);
    m = base;
    BrMatrix34PreTransform(&m, &id);
    BrMatrix34PostTransform(&m, &id);
    ref::ExpectEqual(m, base);
}

TEST(Transform, TranslationSharesRowThree)
{
    br_transform t = Make(BR_TRANSFORM_MATRIX34);
    t.t.mat.m[3][0] = 11;
    t.t.mat.m[3][1] = 12;
    t.t.mat.m[3][2] = 13;
    EXPECT_EQ(t.t.quat.t.v[0], 11);
    EXPECT_EQ(t.t.euler.t.v[1], 12);
    EXPECT_EQ(t.t.look_up.t.v[2], 13);
    EXPECT_EQ(t.t.translate.t.v[0], 11);
}

} // namespace
