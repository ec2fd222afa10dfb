#include "reference.h"

#include <cstring>
#include <functional>

namespace {

using M3 = std::array<std::array<double, 3>, 3>;

br_matrix23 Make23(float a, float b, float c, float d, float e, float f)
{
    br_matrix23 m;
    m.m[0][0] = a; m.m[0][1] = b;
    m.m[1][0] = c; m.m[1][1] = d;
    m.m[2][0] = e; m.m[2][1] = f;
    return m;
}

// The 2x3 matrix as a 3x3 one acting on (x, y, 1) row vectors.
M3 From23(const br_matrix23 &s)
{
    M3 m{};
    for (int r = 0; r < 3; ++r) {
        m[r][0] = s.m[r][0];
        m[r][1] = s.m[r][1];
    }
    m[2][2] = 1;
    return m;
}

M3 Mul(const M3 &a, const M3 &b)
{
    M3 d{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                d[r][c] += a[r][k] * b[k][c];
    return d;
}

void ExpectNear(const br_matrix23 &got, const M3 &want, double tol, const char *what = "")
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_NEAR(got.m[r][c], want[r][c], ref::Tol(want[r][c], tol)) << what << " m[" << r << "][" << c << "]";
}

struct Inverse23Case {
    const char *name;
    br_matrix23 m;
    bool invertible;
};

TEST(Matrix23, InverseAgainstReference)
{
    const Inverse23Case cases[] = {
        {"mirror", Make23(-1, 0, 0, 1, 5, 0), true},
        {"rotation+translation", Make23(0.6f, 0.8f, -0.8f, 0.6f, 3, -4), true},
        {"scale+shear", Make23(2, 0.5f, -1, 3, 0.25f, 7), true},
        {"det 3e-7", Make23(3e-7f, 0, 0, 1, 1, 1), true},
        {"det 2e-7", Make23(2e-7f, 0, 0, 1, 1, 1), false},
        {"det 1e-7", Make23(1, 0, 0, 1e-7f, 0, 0), false},
        {"singular", Make23(1, 2, 2, 4, 1, 1), false},
        {"zero", Make23(0, 0, 0, 0, 3, 3), false},
    };
    for (const Inverse23Case &c : cases) {
        SCOPED_TRACE(c.name);
        br_matrix23 d;
        std::memset(&d, 0x5a, sizeof d);
        const br_matrix23 untouched = d;
        br_scalar det = BrMatrix23Inverse(&d, &c.m);
        if (!c.invertible) {
            EXPECT_EQ(det, 0);
            EXPECT_EQ(std::memcmp(&d, &untouched, sizeof d), 0);
            continue;
        }
        const M3 s = From23(c.m);
        const double want_det = s[0][0] * s[1][1] - s[0][1] * s[1][0];
        EXPECT_NEAR(det, want_det, 1e-6 * std::fabs(want_det));
        // The inverse undoes the matrix: src . inv = I.
        br_matrix23 p;
        BrMatrix23Mul(&p, &c.m, &d);
        ExpectNear(p, M3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, 1e-5);
    }
    // The mirror is its own inverse.
    br_matrix23 mirror = Make23(-1, 0, 0, 1, 5, 0), d;
    EXPECT_EQ(BrMatrix23Inverse(&d, &mirror), -1);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(d.m[r][c], mirror.m[r][c]);
}

TEST(Matrix23, LengthPreservingInverseAndNormalise)
{
    br_matrix23 m, inv, lp;
    BrMatrix23Rotate(&m, 7000);
    BrMatrix23PostTranslate(&m, 3, -2);
    ASSERT_NE(BrMatrix23Inverse(&inv, &m), 0);
    BrMatrix23LPInverse(&lp, &m);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_NEAR(lp.m[r][c], inv.m[r][c], 1e-5);

    // Row 1 zero -> rows (0, -1), (1, 0).
    br_matrix23 z = Make23(5, 5, 0, 0, 1, 2), d;
    BrMatrix23LPNormalise(&d, &z);
    EXPECT_EQ(d.m[0][0], 0);
    EXPECT_EQ(d.m[0][1], -1);
    EXPECT_EQ(d.m[1][0], 1);
    EXPECT_EQ(d.m[1][1], 0);
    EXPECT_EQ(d.m[2][0], 1);
    EXPECT_EQ(d.m[2][1], 2);
    // A scaled rotation comes back as the rotation.
    br_matrix23 s = Make23(0, 0, -3, 4, 0, 0);
    BrMatrix23LPNormalise(&d, &s);
    EXPECT_FLOAT_EQ(d.m[1][0], -0.6f);
    EXPECT_FLOAT_EQ(d.m[1][1], 0.8f);
    EXPECT_FLOAT_EQ(d.m[0][0], 0.8f);
    EXPECT_FLOAT_EQ(d.m[0][1], 0.6f);
}

TEST(Matrix23, ConstructionAndConcatenation)
{
    const br_matrix23 base = Make23(1, 0.5f, -0.25f, 2, 3, -4);
    auto rot = [](double th) {
        return M3{{{std::cos(th), std::sin(th), 0}, {-std::sin(th), std::cos(th), 0}, {0, 0, 1}}};
    };
    struct Op {
        const char *name;
        std::function<void(br_matrix23 *)> build, pre, post;
        M3 factor;
    };
    const br_matrix23 a = Make23(0.5f, 1, 2, -1, 0.5f, 0.25f);
    const Op ops[] = {
        {"matrix", [&](br_matrix23 *m) { BrMatrix23Copy(m, &a); }, [&](br_matrix23 *m) { BrMatrix23Pre(m, &a); },
         [&](br_matrix23 *m) { BrMatrix23Post(m, &a); }, From23(a)},
        {"rotate", [](br_matrix23 *m) { BrMatrix23Rotate(m, 12000); },
         [](br_matrix23 *m) { BrMatrix23PreRotate(m, 12000); }, [](br_matrix23 *m) { BrMatrix23PostRotate(m, 12000); },
         rot(ref::Radians(12000))},
        {"translate", [](br_matrix23 *m) { BrMatrix23Translate(m, 2, 3); },
         [](br_matrix23 *m) { BrMatrix23PreTranslate(m, 2, 3); },
         [](br_matrix23 *m) { BrMatrix23PostTranslate(m, 2, 3); }, M3{{{1, 0, 0}, {0, 1, 0}, {2, 3, 1}}}},
        {"scale", [](br_matrix23 *m) { BrMatrix23Scale(m, 2, -3); },
         [](br_matrix23 *m) { BrMatrix23PreScale(m, 2, -3); }, [](br_matrix23 *m) { BrMatrix23PostScale(m, 2, -3); },
         M3{{{2, 0, 0}, {0, -3, 0}, {0, 0, 1}}}},
        {"shearx", [](br_matrix23 *m) { BrMatrix23ShearX(m, 0.5f); },
         [](br_matrix23 *m) { BrMatrix23PreShearX(m, 0.5f); }, [](br_matrix23 *m) { BrMatrix23PostShearX(m, 0.5f); },
         M3{{{1, 0.5, 0}, {0, 1, 0}, {0, 0, 1}}}},
        {"sheary", [](br_matrix23 *m) { BrMatrix23ShearY(m, 0.5f); },
         [](br_matrix23 *m) { BrMatrix23PreShearY(m, 0.5f); }, [](br_matrix23 *m) { BrMatrix23PostShearY(m, 0.5f); },
         M3{{{1, 0, 0}, {0.5, 1, 0}, {0, 0, 1}}}},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.name);
        br_matrix23 m;
        op.build(&m);
        ExpectNear(m, op.factor, 1e-6, "build");
        m = base;
        op.pre(&m);
        ExpectNear(m, Mul(op.factor, From23(base)), 1e-5, "pre");
        m = base;
        op.post(&m);
        ExpectNear(m, Mul(From23(base), op.factor), 1e-5, "post");
    }

    // Translation after (post) versus before (pre) a quarter turn.
    br_matrix23 m;
    BrMatrix23Identity(&m);
    BrMatrix23PostTranslate(&m, 2, 3);
    EXPECT_EQ(m.m[2][0], 2);
    EXPECT_EQ(m.m[2][1], 3);
    BrMatrix23Rotate(&m, 16384);
    BrMatrix23PreTranslate(&m, 2, 3);
    EXPECT_NEAR(m.m[2][0], -3, 1e-6);
    EXPECT_NEAR(m.m[2][1], 2, 1e-6);
}

TEST(Matrix23, Apply)
{
    const br_matrix23 m = Make23(1, 0.5f, -0.25f, 2, 3, -4);
    const br_vector2 p{{2, -1}};
    br_vector2 d;
    BrMatrix23ApplyP(&d, &p, &m);
    EXPECT_FLOAT_EQ(d.v[0], 2 * 1 + -1 * -0.25f + 3);
    EXPECT_FLOAT_EQ(d.v[1], 2 * 0.5f + -1 * 2 - 4);
    BrMatrix23ApplyV(&d, &p, &m);
    EXPECT_FLOAT_EQ(d.v[0], 2.25f);
    EXPECT_FLOAT_EQ(d.v[1], -1);
    BrMatrix23TApplyP(&d, &p, &m);
    EXPECT_FLOAT_EQ(d.v[0], 2 * 1 + -1 * 0.5f);
    EXPECT_FLOAT_EQ(d.v[1], 2 * -0.25f + -1 * 2);
    BrMatrix23TApplyV(&d, &p, &m);
    EXPECT_FLOAT_EQ(d.v[1], -2.5f);
}

struct PlaneCase {
    const char *name;
    br_vector3 p0, p1, p2;
    int degenerate;
};

TEST(Plane, EquationAgainstReference)
{
    const PlaneCase cases[] = {
        {"axes", {{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}, 0},
        {"axes clockwise", {{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}, 0},
        {"offset", {{1, 1, 5}}, {{3, 1, 5}}, {{1, 4, 5}}, 0},
        {"tilted", {{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}, 0},
        {"general", {{-2.5f, 1, 3}}, {{4, -1, 0.5f}}, {{0.25f, 6, -2}}, 0},
        {"equal points", {{2, 3, 4}}, {{2, 3, 4}}, {{2, 3, 4}}, 1},
        {"collinear", {{0, 0, 0}}, {{1, 1, 1}}, {{2, 2, 2}}, 1},
    };
    for (const PlaneCase &c : cases) {
        SCOPED_TRACE(c.name);
        br_vector4 pl;
        EXPECT_EQ(BrPlaneEquation(&pl, &c.p0, &c.p1, &c.p2), c.degenerate);
        if (c.degenerate) {
            EXPECT_EQ(pl.v[0], 0);
            EXPECT_EQ(pl.v[1], 0);
            EXPECT_EQ(pl.v[2], 1);
            EXPECT_EQ(pl.v[3], c.p0.v[2]);
            continue;
        }
        double e1[3], e2[3];
        for (int i = 0; i < 3; ++i) {
            e1[i] = (double)c.p1.v[i] - c.p0.v[i];
            e2[i] = (double)c.p2.v[i] - c.p0.v[i];
        }
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        double d = 0;
        for (int i = 0; i < 3; ++i) {
            n[i] /= l;
            d += c.p0.v[i] * n[i];
            EXPECT_NEAR(pl.v[i], n[i], 1e-6);
        }
        EXPECT_NEAR(pl.v[3], d, 1e-5);
        // All three points lie on the plane.
        for (const br_vector3 *p : {&c.p0, &c.p1, &c.p2}) {
            br_vector3 nn{{pl.v[0], pl.v[1], pl.v[2]}};
            EXPECT_NEAR(BrVector3Dot(p, &nn), pl.v[3], 1e-5);
        }
    }
    // Counter-clockwise points seen from +z give the +z normal.
    br_vector3 a{{0, 0, 0}}, b{{1, 0, 0}}, c{{0, 1, 0}};
    br_vector4 pl;
    BrPlaneEquation(&pl, &a, &b, &c);
    EXPECT_EQ(pl.v[0], 0);
    EXPECT_EQ(pl.v[1], 0);
    EXPECT_EQ(pl.v[2], 1);
    EXPECT_EQ(pl.v[3], 0);
}

} // namespace
