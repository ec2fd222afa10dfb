#include "reference.h"

#include <cstring>
#include <functional>
#include <string>

namespace {

using ref::M4;

const br_angle kAngles[] = {0, 1, 1000, 8192, 16384, 23456, 32768, 49152, 65535};

// A few general affine matrices (not orthogonal, with translation) used across tests.
const br_matrix34 kGeneral[] = {
    ref::Make34({1, 0.5f, -0.25f, 0.2f, 2, 0.3f, -0.4f, 0.1f, 1.5f, 10, -20, 5}),
    ref::Make34({0, 1, 0, -1, 0, 0, 0, 0, 1, 3, 4, 5}),
    ref::Make34({3, 0, 0, 0, 0.5f, 0, 0, 0, -2, -1, 0, 7}),
    ref::Make34({0.8f, -0.6f, 0, 0.6f, 0.8f, 0, 0, 0, 1, 100, 200, 300}),
};

TEST(Matrix34, AxisRotationsAgainstReference)
{
    using Build = void (*)(br_matrix34 *, br_angle);
    const Build builds[3] = {BrMatrix34RotateX, BrMatrix34RotateY, BrMatrix34RotateZ};
    for (int axis = 0; axis < 3; ++axis) {
        for (br_angle a : kAngles) {
            br_matrix34 m, g;
            builds[axis](&m, a);
            std::string what = "axis " + std::to_string(axis) + " angle " + std::to_string(a);
            ref::ExpectNear(m, ref::AxisRotation(axis, ref::Radians(a)), 2e-6, what.c_str());
            // The general axis rotation agrees with the axis-specific one.
            br_vector3 n{{0, 0, 0}};
            n.v[axis] = 1;
            BrMatrix34Rotate(&g, a, &n);
            ref::ExpectEqual(g, m, 1e-6);
        }
    }
    // Angle 0 is exactly the identity; 65536 - 16384 is the negative quarter turn.
    br_matrix34 m, id;
    BrMatrix34Identity(&id);
    BrMatrix34RotateY(&m, 0);
    ref::ExpectEqual(m, id);
    BrMatrix34RotateZ(&m, (br_angle)(65536 - 16384));
    ref::ExpectNear(m, ref::AxisRotation(2, -ref::kPi / 2), 1e-6);
}

TEST(Matrix34, QuarterTurnsMapAxes)
{
    struct Case {
        void (*build)(br_matrix34 *, br_angle);
        br_vector3 from, to;
    } cases[] = {
        {BrMatrix34RotateX, {{0, 1, 0}}, {{0, 0, 1}}},
        {BrMatrix34RotateY, {{0, 0, 1}}, {{1, 0, 0}}},
        {BrMatrix34RotateZ, {{1, 0, 0}}, {{0, 1, 0}}},
    };
    for (const Case &c : cases) {
        br_matrix34 m;
        br_vector3 d;
        c.build(&m, 16384);
        BrMatrix34ApplyV(&d, &c.from, &m);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(d.v[i], c.to.v[i], 1e-6);
    }
}

TEST(Matrix34, RotateAboutArbitraryAxis)
{
    const ref::V3 axes[] = {{1, 1, 1}, {0.3, -0.4, 0.866}, {-1, 2, 0.5}};
    for (const ref::V3 &ax : axes) {
        double l = std::sqrt(ax[0] * ax[0] + ax[1] * ax[1] + ax[2] * ax[2]);
        br_vector3 n{{(float)(ax[0] / l), (float)(ax[1] / l), (float)(ax[2] / l)}};
        for (br_angle a : kAngles) {
            br_matrix34 m;
            BrMatrix34Rotate(&m, a, &n);
            ref::ExpectNear(m, ref::Rotation(ax, ref::Radians(a)), 3e-6);
        }
    }
}

TEST(Matrix34, MulAgainstReference)
{
    for (const br_matrix34 &a : kGeneral) {
        for (const br_matrix34 &b : kGeneral) {
            br_matrix34 d;
            BrMatrix34Mul(&d, &a, &b);
            ref::ExpectNear(d, ref::Mul(ref::From34(a), ref::From34(b)), 1e-6);
        }
    }
    // Row 3 of the product is A's translation carried through B plus B's translation.
    br_matrix34 a, b, d;
    BrMatrix34Translate(&a, 1, 2, 3);
    BrMatrix34RotateZ(&b, 16384);
    b.m[3][0] = 10;
    BrMatrix34Mul(&d, &a, &b);
    EXPECT_NEAR(d.m[3][0], -2 + 10, 1e-6);
    EXPECT_NEAR(d.m[3][1], 1, 1e-6);
    EXPECT_NEAR(d.m[3][2], 3, 1e-6);
}

struct InverseCase {
    const char *name;
    br_matrix34 m;
    bool invertible;
};

br_matrix34 RotTrans(br_angle a, const br_vector3 &axis, float x, float y, float z)
{
    br_matrix34 m;
    BrMatrix34Rotate(&m, a, &axis);
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

const float kThird = 0.57735027f;

const InverseCase kInverseCases[] = {
    {"rotation+translation", RotTrans(12000, {{kThird, kThird, kThird}}, 5, -6, 7), true},
    {"general 0", kGeneral[0], true},
    {"quarter turn", kGeneral[1], true},
    {"mirror scale", kGeneral[2], true},
    {"shear", ref::Make34({1, 0, 0, 3, 1, -2, 0, 0, 1, 1, 1, 1}), true},
    {"det 2e-7", ref::Make34({2e-7f, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}), true},
    {"zero scale", ref::Make34({1, 0, 0, 0, 0, 0, 0, 0, 1, 4, 5, 6}), false},
    {"all zero", ref::Make34({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
    {"dependent rows", ref::Make34({1, 2, 3, 2, 4, 6, 0, 1, 1, 0, 0, 0}), false},
    {"det 1e-7", ref::Make34({1e-7f, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}), false},
    {"det -1e-7", ref::Make34({1, 0, 0, 0, -1e-7f, 0, 0, 0, 1, 0, 0, 0}), false},
    {"cancelling terms", ref::Make34({1e10f, 1e10f, 0, 1e10f, 1e10f, 1e-8f, 1e-8f, 0, 1e10f, 0, 0, 0}),
     false},
};

TEST(Matrix34, InverseAgainstReference)
{
    for (const InverseCase &c : kInverseCases) {
        SCOPED_TRACE(c.name);
        br_matrix34 d;
        std::memset(&d, 0x5a, sizeof d);
        const br_matrix34 untouched = d;
        br_scalar det = BrMatrix34Inverse(&d, &c.m);
        if (!c.invertible) {
            EXPECT_EQ(det, 0);
            EXPECT_EQ(std::memcmp(&d, &untouched, sizeof d), 0) << "destination was written";
            continue;
        }
        M4 inv;
        double want_det = ref::Inverse(ref::From34(c.m), &inv);
        EXPECT_NEAR(det, want_det, std::fabs(want_det) * 1e-5);
        ref::ExpectNear(d, inv, 2e-5);

        // In place gives the same result.
        br_matrix34 same = c.m;
        EXPECT_EQ(BrMatrix34Inverse(&same, &same), det);
        ref::ExpectEqual(same, d);
    }
}

TEST(Matrix34, RotationInverseHasUnitDeterminantAndUndoes)
{
    br_matrix34 m = RotTrans(40000, {{0, 0.6f, 0.8f}}, -3, 2, 9), inv, prod, id;
    EXPECT_NEAR(BrMatrix34Inverse(&inv, &m), 1.0, 1e-6);
    BrMatrix34Mul(&prod, &m, &inv);
    BrMatrix34Identity(&id);
    ref::ExpectEqual(prod, id, 1e-5);
    // The length-preserving inverse agrees for a rotation with translation.
    br_matrix34 lp;
    BrMatrix34LPInverse(&lp, &m);
    ref::ExpectEqual(lp, inv, 1e-5);
}

TEST(Matrix34, LPNormalise)
{
    // A rotation that has drifted: rows are no longer unit or orthogonal.
    br_matrix34 m = ref::Make34({1.01f, 0.02f, 0, -0.03f, 0.98f, 0.01f, 0.0f, 0.02f, 2.0f, 7, 8, 9});
    br_matrix34 d;
    BrMatrix34LPNormalise(&d, &m);
    M4 dm = ref::From34(d);
    M4 t = dm; // transpose of the linear part
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            t[r][c] = dm[c][r];
    for (int c = 0; c < 3; ++c)
        t[3][c] = 0;
    M4 p = ref::Mul(dm, t);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(p[r][c], r == c ? 1 : 0, 1e-6);
    EXPECT_NEAR(ref::Det(dm), 1, 1e-6);
    // z follows the source's row 2, the translation is kept.
    EXPECT_NEAR(d.m[2][1], 0.02f / std::sqrt(4.0004f), 1e-6);
    EXPECT_EQ(d.m[3][0], 7);
    EXPECT_EQ(d.m[3][2], 9);

    // In place.
    br_matrix34 same = m;
    BrMatrix34LPNormalise(&same, &same);
    ref::ExpectEqual(same, d);

    // Row 2 zero -> z = (1, 0, 0); rows 1 and 2 parallel -> x = (1, 0, 0).
    br_matrix34 z0 = ref::Make34({1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 2, 3});
    BrMatrix34LPNormalise(&d, &z0);
    EXPECT_EQ(d.m[2][0], 1);
    EXPECT_EQ(d.m[2][1], 0);
    EXPECT_EQ(d.m[2][2], 0);
    br_matrix34 par = ref::Make34({1, 0, 0, 0, 0, 2, 0, 0, 3, 0, 0, 0});
    BrMatrix34LPNormalise(&d, &par);
    EXPECT_EQ(d.m[0][0], 1);
    EXPECT_EQ(d.m[0][1], 0);
    EXPECT_EQ(d.m[0][2], 0);
    EXPECT_EQ(d.m[2][2], 1);
    // y = z x x
    EXPECT_EQ(d.m[1][1], 1);
}

TEST(Matrix34, RollingBall)
{
    br_matrix34 m, id;
    BrMatrix34Identity(&id);
    BrMatrix34RollingBall(&m, 0, 0, 100);
    ref::ExpectEqual(m, id);
    BrMatrix34RollingBall(&m, 0, 0, 0);
    ref::ExpectEqual(m, id);

    struct Case {
        int dx, dy, r;
    } cases[] = {{10, 0, 100}, {0, -25, 50}, {30, 40, 200}, {-7, 3, 0}, {100, 100, 1}};
    for (const Case &c : cases) {
        double d = std::hypot(c.dx, c.dy);
        double theta = std::atan2(d, c.r);
        ref::V3 n{-c.dy / d, c.dx / d, 0};
        BrMatrix34RollingBall(&m, c.dx, c.dy, c.r);
        ref::ExpectNear(m, ref::Rotation(n, theta), 2e-6);
    }
    // Radius 0 is a quarter turn about n: dragging along x turns z onto x.
    BrMatrix34RollingBall(&m, 5, 0, 0);
    br_vector3 z{{0, 0, 1}}, d;
    BrMatrix34ApplyV(&d, &z, &m);
    EXPECT_NEAR(d.v[0], 1, 1e-6);
    EXPECT_NEAR(d.v[2], 0, 1e-6);
}

TEST(Matrix34, BoundsToMatrix)
{
    br_bounds3 b{{{-1, 2, 5}}, {{3, 6, 5}}};
    br_matrix34 m;
    BrBoundsToMatrix34(&m, &b);
    ref::ExpectEqual(m, ref::Make34({2, 0, 0, 0, 2, 0, 0, 0, 1, 1, 4, 5}));
    // The unit cube's corners land on the box (flat z keeps scale 1 and sits at z = 5).
    br_vector3 lo{{-1, -1, 0}}, hi{{1, 1, 0}}, d;
    BrMatrix34ApplyP(&d, &lo, &m);
    EXPECT_EQ(d.v[0], -1);
    EXPECT_EQ(d.v[1], 2);
    EXPECT_EQ(d.v[2], 5);
    BrMatrix34ApplyP(&d, &hi, &m);
    EXPECT_EQ(d.v[0], 3);
    EXPECT_EQ(d.v[1], 6);
}

TEST(Matrix34, ApplyFamilyAgainstReference)
{
    const br_matrix34 &m = kGeneral[0];
    const M4 r = ref::From34(m);
    const br_vector4 s{{1.5f, -2, 0.5f, 3}};
    const br_vector3 p{{1.5f, -2, 0.5f}};
    auto row = [&](double w, int c) { return s.v[0] * r[0][c] + s.v[1] * r[1][c] + s.v[2] * r[2][c] + w * r[3][c]; };
    auto col = [&](int rr, double w) {
        return r[rr][0] * s.v[0] + r[rr][1] * s.v[1] + r[rr][2] * s.v[2] + (rr == 3 ? w : 0);
    };
    br_vector3 d3;
    br_vector4 d4;
    BrMatrix34ApplyP(&d3, &p, &m);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(d3.v[c], row(1, c), 1e-5);
    BrMatrix34ApplyV(&d3, &p, &m);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(d3.v[c], row(0, c), 1e-5);
    BrMatrix34Apply(&d3, &s, &m);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(d3.v[c], row(3, c), 1e-5);
    BrMatrix34TApply(&d4, &s, &m);
    for (int rr = 0; rr < 4; ++rr)
        EXPECT_NEAR(d4.v[rr], col(rr, 3), 1e-5);
    // The transposed point forms ignore the translation row.
    using TA = void (*)(br_vector3 *, const br_vector3 *, const br_matrix34 *);
    for (TA f : {TA(BrMatrix34TApplyP), TA(BrMatrix34TApplyV), TA(BrMatrix34TApplyVAlt)}) {
        f(&d3, &p, &m);
        for (int rr = 0; rr < 3; ++rr)
            EXPECT_NEAR(d3.v[rr], col(rr, 0), 1e-5);
    }
    // Destination may be the source.
    br_vector3 q = p;
    BrMatrix34ApplyP(&q, &q, &m);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(q.v[c], row(1, c), 1e-5);
}

TEST(Matrix34, PreAndPostConcatenation)
{
    const br_vector3 axis{{0, 0.6f, 0.8f}};
    struct Op {
        const char *name;
        std::function<void(br_matrix34 *)> pre, post;
        M4 factor;
    };
    const br_matrix34 a = kGeneral[0];
    const Op ops[] = {
        {"matrix", [&](br_matrix34 *m) { BrMatrix34Pre(m, &a); }, [&](br_matrix34 *m) { BrMatrix34Post(m, &a); },
         ref::From34(a)},
        {"rotx", [](br_matrix34 *m) { BrMatrix34PreRotateX(m, 5000); },
         [](br_matrix34 *m) { BrMatrix34PostRotateX(m, 5000); }, ref::AxisRotation(0, ref::Radians(5000))},
        {"roty", [](br_matrix34 *m) { BrMatrix34PreRotateY(m, 60000); },
         [](br_matrix34 *m) { BrMatrix34PostRotateY(m, 60000); }, ref::AxisRotation(1, ref::Radians(60000))},
        {"rotz", [](br_matrix34 *m) { BrMatrix34PreRotateZ(m, 16384); },
         [](br_matrix34 *m) { BrMatrix34PostRotateZ(m, 16384); }, ref::AxisRotation(2, ref::kPi / 2)},
        {"rotate", [&](br_matrix34 *m) { BrMatrix34PreRotate(m, 777, &axis); },
         [&](br_matrix34 *m) { BrMatrix34PostRotate(m, 777, &axis); },
         ref::Rotation({0, 0.6, 0.8}, ref::Radians(777))},
        {"translate", [](br_matrix34 *m) { BrMatrix34PreTranslate(m, 1, -2, 3); },
         [](br_matrix34 *m) { BrMatrix34PostTranslate(m, 1, -2, 3); }, ref::Translation(1, -2, 3)},
        {"scale", [](br_matrix34 *m) { BrMatrix34PreScale(m, 2, 3, -4); },
         [](br_matrix34 *m) { BrMatrix34PostScale(m, 2, 3, -4); }, ref::Scale(2, 3, -4)},
        {"shearx", [](br_matrix34 *m) { BrMatrix34PreShearX(m, 0.5f, -1); },
         [](br_matrix34 *m) { BrMatrix34PostShearX(m, 0.5f, -1); },
         [] { M4 f = ref::Identity(); f[0][1] = 0.5; f[0][2] = -1; return f; }()},
        {"sheary", [](br_matrix34 *m) { BrMatrix34PreShearY(m, 0.5f, -1); },
         [](br_matrix34 *m) { BrMatrix34PostShearY(m, 0.5f, -1); },
         [] { M4 f = ref::Identity(); f[1][0] = 0.5; f[1][2] = -1; return f; }()},
        {"shearz", [](br_matrix34 *m) { BrMatrix34PreShearZ(m, 0.5f, -1); },
         [](br_matrix34 *m) { BrMatrix34PostShearZ(m, 0.5f, -1); },
         [] { M4 f = ref::Identity(); f[2][0] = 0.5; f[2][1] = -1; return f; }()},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.name);
        br_matrix34 m = kGeneral[3];
        op.pre(&m);
        ref::ExpectNear(m, ref::Mul(op.factor, ref::From34(kGeneral[3])), 2e-5, "pre");
        m = kGeneral[3];
        op.post(&m);
        ref::ExpectNear(m, ref::Mul(ref::From34(kGeneral[3]), op.factor), 2e-5, "post");
    }
    // A factor that is the destination itself.
    br_matrix34 m = kGeneral[0];
    BrMatrix34Pre(&m, &m);
    ref::ExpectNear(m, ref::Mul(ref::From34(kGeneral[0]), ref::From34(kGeneral[0])), 1e-5);
}

} // namespace
