#include "reference.h"

#include <cstring>

namespace {

using ref::M4;

const br_matrix4 kGeneral4[] = {
    ref::Make4({1, 0.5f, -0.25f, 0.1f, 0.2f, 2, 0.3f, 0, -0.4f, 0.1f, 1.5f, -1, 10, -20, 5, 1}),
    ref::Make4({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1.1f, -1, 0, 0, -2.2f, 0}),
    ref::Make4({0, 1, 2, 3, 4, 0, 6, 7, 8, 9, 0, 1, 2, 3, 4, 0}),
};

TEST(Matrix4, ProductsAgainstReference)
{
    for (const br_matrix4 &a : kGeneral4) {
        for (const br_matrix4 &b : kGeneral4) {
            br_matrix4 d;
            BrMatrix4Mul(&d, &a, &b);
            ref::ExpectNear(d, ref::Mul(ref::From4(a), ref::From4(b)), 1e-6);
        }
    }
    br_matrix34 a34 = ref::Make34({0.8f, -0.6f, 0, 0.6f, 0.8f, 0, 0, 0, 1, 1, 2, 3});
    for (const br_matrix4 &b : kGeneral4) {
        br_matrix4 d;
        BrMatrix4Mul34(&d, &a34, &b);
        const M4 want = ref::Mul(ref::From34(a34), ref::From4(b));
        ref::ExpectNear(d, want, 1e-6, "mul34");
        d = b;
        BrMatrix4Pre34(&d, &a34);
        ref::ExpectNear(d, want, 1e-6, "pre34");
    }
    // Copies between the two sizes.
    br_matrix4 m4;
    BrMatrix4Copy34(&m4, &a34);
    ref::ExpectNear(m4, ref::From34(a34), 0);
    br_matrix34 back;
    BrMatrix34Copy4(&back, &kGeneral4[0]);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(back.m[r][c], kGeneral4[0].m[r][c]);
}

TEST(Matrix4, ApplyFamilyAgainstReference)
{
    const br_matrix4 &m = kGeneral4[0];
    const M4 r = ref::From4(m);
    const br_vector4 s{{1.5f, -2, 0.5f, 3}};
    const br_vector3 p{{1.5f, -2, 0.5f}};
    auto row = [&](double w, int c) {
        return s.v[0] * r[0][c] + s.v[1] * r[1][c] + s.v[2] * r[2][c] + w * r[3][c];
    };
    auto col = [&](int rr, double w) {
        return r[rr][0] * s.v[0] + r[rr][1] * s.v[1] + r[rr][2] * s.v[2] + r[rr][3] * w;
    };
    br_vector4 d;
    BrMatrix4Apply(&d, &s, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(d.v[c], row(3, c), 1e-5);
    BrMatrix4ApplyP(&d, &p, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(d.v[c], row(1, c), 1e-5);
    BrMatrix4ApplyV(&d, &p, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(d.v[c], row(0, c), 1e-5);
    BrMatrix4TApply(&d, &s, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(d.v[c], col(c, 3), 1e-5);
    BrMatrix4TApplyP(&d, &p, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(d.v[c], col(c, 1), 1e-5);
    BrMatrix4TApplyV(&d, &p, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(d.v[c], col(c, 0), 1e-5);
}

// Adjugate in double: transposed cofactors, so that m . adj = det . I.
M4 Adjugate(const M4 &m)
{
    M4 adj;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            M4 minor = ref::Identity();
            for (int i = 0, mi = 0; i < 4; ++i) {
                if (i == r)
                    continue;
                for (int j = 0, mj = 0; j < 4; ++j) {
                    if (j == c)
                        continue;
                    minor[mi][mj++] = m[i][j];
                }
                ++mi;
            }
            minor[3][3] = 1;
            double cof = ref::Det(minor);
            adj[c][r] = ((r + c) & 1) ? -cof : cof;
        }
    }
    return adj;
}

struct Inverse4Case {
    const char *name;
    br_matrix4 m;
    bool invertible;
};

br_matrix4 Diagonal(float a, float b, float c, float d)
{
    return ref::Make4({a, 0, 0, 0, 0, b, 0, 0, 0, 0, c, 0, 0, 0, 0, d});
}

TEST(Matrix4, InverseAgainstReference)
{
    const Inverse4Case cases[] = {
        {"general", kGeneral4[0], true},
        {"projection-like", kGeneral4[1], true},
        {"dense", kGeneral4[2], true},
        {"det 3e-7", Diagonal(3e-7f, 1, 1, 1), true},
        {"det 2e-7", Diagonal(2e-7f, 1, 1, 1), false},
        {"det 1e-7", Diagonal(1, 1e-7f, 1, 1), false},
        {"zero row", ref::Make4({1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 1, 0, 0, 1}), false},
        {"dependent rows", ref::Make4({1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 3, 0, 1, 0}), false},
    };
    for (const Inverse4Case &c : cases) {
        SCOPED_TRACE(c.name);
        const M4 src = ref::From4(c.m);
        const double want_det = ref::Det(src);
        EXPECT_NEAR(BrMatrix4Determinant(&c.m), want_det, 1e-5 * std::fmax(1, std::fabs(want_det)));

        br_matrix4 adj;
        BrMatrix4Adjoint(&adj, &c.m);
        ref::ExpectNear(adj, Adjugate(src), 1e-5, "adjoint");

        br_matrix4 d;
        br_scalar det = BrMatrix4Inverse(&d, &c.m);
        if (!c.invertible) {
            // Failure leaves the unscaled adjugate.
            EXPECT_EQ(det, 0);
            ref::ExpectNear(d, Adjugate(src), 1e-5, "adjugate left");
            continue;
        }
        M4 inv;
        ref::Inverse(src, &inv);
        EXPECT_NEAR(det, want_det, 1e-5 * std::fabs(want_det));
        ref::ExpectNear(d, inv, 2e-5);
    }
}

TEST(Matrix4, InverseThresholdsDifferFrom3x4)
{
    // 2e-7 lies between the two thresholds: the 3x4 inverse accepts it, the 4x4 one does not.
    br_matrix34 m34;
    BrMatrix34Scale(&m34, 2e-7f, 1, 1);
    br_matrix34 inv34;
    EXPECT_NE(BrMatrix34Inverse(&inv34, &m34), 0);
    br_matrix4 m4, inv4;
    BrMatrix4Copy34(&m4, &m34);
    EXPECT_EQ(BrMatrix4Inverse(&inv4, &m4), 0);
    EXPECT_EQ(inv4.m[0][0], 1.0f); // adjugate of diag(2e-7, 1, 1, 1)
    EXPECT_FLOAT_EQ(inv4.m[1][1], 2e-7f);
}

TEST(Matrix4, InverseInPlace)
{
    br_matrix4 d, same = kGeneral4[0];
    br_scalar det = BrMatrix4Inverse(&d, &kGeneral4[0]);
    EXPECT_EQ(BrMatrix4Inverse(&same, &same), det);
    ref::ExpectNear(same, ref::From4(d), 1e-6);
}

TEST(Matrix4, PerspectiveMapsNearAndFar)
{
    struct Case {
        br_angle fov;
        float aspect, hither, yon;
    } cases[] = {{10923, 1.333f, 0.1f, 100}, {16384, 1, 1, 10}, {8192, 0.75f, 2, 3000}};
    for (const Case &c : cases) {
        br_matrix4 m;
        // The camera passes negated distances: it looks along -z.
        BrMatrix4Perspective(&m, c.fov, c.aspect, -c.hither, -c.yon);
        double half = ref::Radians((br_angle)(c.fov >> 1));
        double cot = 1 / std::tan(half);
        EXPECT_NEAR(m.m[0][0], cot / c.aspect, 1e-5 * cot);
        EXPECT_NEAR(m.m[1][1], cot, 1e-5 * cot);
        EXPECT_EQ(m.m[2][3], -1);
        EXPECT_EQ(m.m[3][3], 0);
        br_vector3 near{{0, 0, -c.hither}}, far{{0, 0, -c.yon}}, side{{1, 2, -c.hither * 2}};
        br_vector4 d;
        BrMatrix4ApplyP(&d, &near, &m);
        EXPECT_NEAR(d.v[3], c.hither, 1e-6 * c.yon);
        EXPECT_NEAR(d.v[2] / d.v[3], 1, 1e-4);
        BrMatrix4ApplyP(&d, &far, &m);
        EXPECT_NEAR(d.v[3], c.yon, 1e-6 * c.yon);
        EXPECT_NEAR(d.v[2] / d.v[3], -1, 1e-4);
        BrMatrix4ApplyP(&d, &side, &m);
        EXPECT_NEAR(d.v[0] / d.v[3], cot / c.aspect / (c.hither * 2), 1e-4 * cot);
    }
}

TEST(Matrix4, ScaleAndShear)
{
    br_matrix4 m;
    BrMatrix4Scale(&m, 2, 3, 4);
    ref::ExpectNear(m, ref::Scale(2, 3, 4), 0);
    BrMatrix4ShearZ(&m, 0.5f, -1);
    M4 want = ref::Identity();
    want[2][0] = 0.5;
    want[2][1] = -1;
    ref::ExpectNear(m, want, 0);
    br_matrix4 c;
    BrMatrix4Copy(&c, &m);
    EXPECT_EQ(std::memcmp(&c, &m, sizeof m), 0);
}

} // namespace
