#include "reference.h"

#include <string>

namespace {

using ref::M4;

struct AxisAngle {
    ref::V3 axis;
    double theta;
};

const AxisAngle kRotations[] = {
    {{1, 0, 0}, 0.0},          {{1, 0, 0}, 0.7},   {{0, 1, 0}, -1.2},       {{0, 0, 1}, 2.5},
    {{1, 1, 1}, 1.0},          {{-1, 2, 0.5}, 3.0}, {{1, 0, 0}, ref::kPi},   {{0, 1, 0}, ref::kPi},
    {{0, 0, 1}, ref::kPi},     {{0.2, 0.1, -1}, 3.1}, {{0.3, -0.9, 0.1}, 2.9}, {{0.6, 0.8, 0}, -3.0},
};

br_quat QuatOf(const AxisAngle &r)
{
    double l = std::sqrt(r.axis[0] * r.axis[0] + r.axis[1] * r.axis[1] + r.axis[2] * r.axis[2]);
    double s = std::sin(r.theta / 2) / l;
    return br_quat{(float)(r.axis[0] * s), (float)(r.axis[1] * s), (float)(r.axis[2] * s),
                   (float)std::cos(r.theta / 2)};
}

TEST(Quat, ToMatrixAndBackAgainstReference)
{
    for (const AxisAngle &r : kRotations) {
        std::string what = "theta " + std::to_string(r.theta);
        const br_quat q = QuatOf(r);
        br_matrix34 m;
        BrQuatToMatrix34(&m, &q);
        ref::ExpectNear(m, ref::Rotation(r.axis, r.theta), 2e-6, what.c_str());
        br_matrix4 m4;
        BrQuatToMatrix4(&m4, &q);
        ref::ExpectNear(m4, ref::Rotation(r.axis, r.theta), 2e-6, what.c_str());

        // Back to a quaternion: the same one up to sign.
        br_quat back, back4;
        BrMatrix34ToQuat(&back, &m);
        BrMatrix4ToQuat(&back4, &m4);
        double dot = back.x * q.x + back.y * q.y + back.z * q.z + back.w * q.w;
        double sign = dot < 0 ? -1 : 1;
        EXPECT_NEAR(back.x, sign * q.x, 1e-5) << what;
        EXPECT_NEAR(back.y, sign * q.y, 1e-5) << what;
        EXPECT_NEAR(back.z, sign * q.z, 1e-5) << what;
        EXPECT_NEAR(back.w, sign * q.w, 1e-5) << what;
        EXPECT_EQ(back4.x, back.x);
        EXPECT_EQ(back4.w, back.w);
    }
}

TEST(Quat, HalfTurnsTakeTheDiagonalBranches)
{
    const struct {
        int axis;
        br_quat want;
    } cases[] = {{0, {1, 0, 0, 0}}, {1, {0, 1, 0, 0}}, {2, {0, 0, 1, 0}}};
    for (const auto &c : cases) {
        br_matrix34 m;
        br_quat q;
        BrMatrix34Identity(&m);
        for (int i = 0; i < 3; ++i)
            m.m[i][i] = i == c.axis ? 1.0f : -1.0f;
        BrMatrix34ToQuat(&q, &m);
        EXPECT_EQ(q.x, c.want.x);
        EXPECT_EQ(q.y, c.want.y);
        EXPECT_EQ(q.z, c.want.z);
        EXPECT_EQ(q.w, c.want.w);
    }
}

TEST(Quat, MulAgainstHamiltonProduct)
{
    const br_quat qs[] = {{0, 0, 0, 1}, {0.5f, -0.5f, 0.5f, 0.5f}, {0.1f, 0.2f, 0.3f, 0.9f},
                          {-0.7f, 0.1f, 0, 0.7f}, {1, 2, 3, 4}};
    for (const br_quat &l : qs) {
        for (const br_quat &r : qs) {
            const double lx = l.x, ly = l.y, lz = l.z, lw = l.w, rx = r.x, ry = r.y, rz = r.z, rw = r.w;
            br_quat q;
            BrQuatMul(&q, &l, &r);
            EXPECT_NEAR(q.w, lw * rw - lx * rx - ly * ry - lz * rz, 1e-5);
            EXPECT_NEAR(q.x, lw * rx + lx * rw + ly * rz - lz * ry, 1e-5);
            EXPECT_NEAR(q.y, lw * ry - lx * rz + ly * rw + lz * rx, 1e-5);
            EXPECT_NEAR(q.z, lw * rz + lx * ry - ly * rx + lz * rw, 1e-5);
        }
    }
    // The identity on the left gives r back (to rounding: the eight-product form adds and
    // subtracts partial terms).
    const br_quat id{0, 0, 0, 1}, r{0.1f, 0.2f, 0.3f, 0.9f};
    br_quat q;
    BrQuatMul(&q, &id, &r);
    EXPECT_NEAR(q.x, r.x, 1e-6);
    EXPECT_NEAR(q.y, r.y, 1e-6);
    EXPECT_NEAR(q.z, r.z, 1e-6);
    EXPECT_NEAR(q.w, r.w, 1e-6);

    // l.r rotates by r first, then by l.
    const br_quat a = QuatOf(kRotations[4]), b = QuatOf(kRotations[5]);
    br_matrix34 ma, mb, mab;
    BrQuatMul(&q, &a, &b);
    BrQuatToMatrix34(&mab, &q);
    BrQuatToMatrix34(&ma, &a);
    BrQuatToMatrix34(&mb, &b);
    ref::ExpectNear(mab, ref::Mul(ref::From34(mb), ref::From34(ma)), 1e-5);
}

TEST(Quat, NormaliseAndInvert)
{
    br_quat q{1, 2, 2, 4}, d;
    BrQuatNormalise(&d, &q);
    EXPECT_FLOAT_EQ(d.x, 0.2f);
    EXPECT_FLOAT_EQ(d.y, 0.4f);
    EXPECT_FLOAT_EQ(d.w, 0.8f);
    // A zero quaternion gives the identity rather than NaNs.
    const br_quat zero{0, 0, 0, 0};
    BrQuatNormalise(&d, &zero);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 0);
    EXPECT_EQ(d.w, 1);

    const br_quat u = QuatOf(kRotations[5]);
    br_quat inv, p;
    BrQuatInvert(&inv, &u);
    EXPECT_EQ(inv.x, -u.x);
    EXPECT_EQ(inv.w, u.w);
    BrQuatMul(&p, &u, &inv);
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 0, 1e-6);
    EXPECT_NEAR(p.z, 0, 1e-6);
    EXPECT_NEAR(p.w, 1, 1e-6);
}

// Double slerp along the shorter arc with no spins.
br_quat RefSlerp(const br_quat &f, br_quat t, double u)
{
    double c = f.x * t.x + f.y * t.y + f.z * t.z + f.w * t.w;
    if (c < 0) {
        c = -c;
        t = {-t.x, -t.y, -t.z, -t.w};
    }
    double w = std::acos(std::fmin(c, 1.0));
    double s0 = std::sin((1 - u) * w) / std::sin(w), s1 = std::sin(u * w) / std::sin(w);
    return {(float)(f.x * s0 + t.x * s1), (float)(f.y * s0 + t.y * s1), (float)(f.z * s0 + t.z * s1),
            (float)(f.w * s0 + t.w * s1)};
}

void ExpectQuatNear(const br_quat &a, const br_quat &b, double tol, const std::string &what)
{
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
    EXPECT_NEAR(a.w, b.w, tol) << what;
}

TEST(Quat, SlerpEndPointsAndMidpoints)
{
    const struct {
        AxisAngle from, to;
    } pairs[] = {
        {{{1, 0, 0}, 0.0}, {{1, 0, 0}, 1.0}},
        {{{0, 1, 0}, 0.3}, {{1, 1, 0}, 2.0}},
        {{{1, 2, 3}, -1.0}, {{-3, 1, 0}, 2.5}},
        // Dot product below zero: interpolation runs along -to.
        {{{0, 0, 1}, 0.2}, {{0, 0, 1}, 6.0}},
        {{{1, 0, 0}, 2.8}, {{0.1, 0, 1}, -2.9}},
    };
    for (const auto &p : pairs) {
        const br_quat f = QuatOf(p.from), t = QuatOf(p.to);
        const double dot = f.x * t.x + f.y * t.y + f.z * t.z + f.w * t.w;
        const double sign = dot < 0 ? -1 : 1;
        br_quat q;
        BrQuatSlerp(&q, &f, &t, 0, 0);
        ExpectQuatNear(q, f, 0, "t=0");
        BrQuatSlerp(&q, &f, &t, 1, 0);
        ExpectQuatNear(q, br_quat{(float)(sign * t.x), (float)(sign * t.y), (float)(sign * t.z),
                                  (float)(sign * t.w)},
                       1e-6, "t=1");
        // Angles are truncated to whole 16-bit units (about 1e-4 rad each) before the sines,
        // and the scales divide by sin(omega): the tolerance follows.
        const double omega = std::acos(std::fmin(std::fabs(dot), 1.0));
        const double tol = 2.5e-4 / std::sin(omega) + 1e-5;
        for (double u : {0.25, 0.5, 0.75}) {
            BrQuatSlerp(&q, &f, &t, (float)u, 0);
            ExpectQuatNear(q, RefSlerp(f, t, u), tol, "t=" + std::to_string(u));
        }
    }
}

TEST(Quat, SlerpOfEqualEndsIsLinear)
{
    const br_quat f{0.6f, 0, 0, 0.8f};
    const br_quat g = f;
    br_quat q;
    BrQuatSlerp(&q, &f, &g, 0.3f, 0);
    EXPECT_FLOAT_EQ(q.x, f.x * 0.7f + g.x * 0.3f);
    EXPECT_FLOAT_EQ(q.w, f.w * 0.7f + g.w * 0.3f);
    // Non-unit inputs with a dot product above 1 stay finite.
    const br_quat big{0, 0, 0, 2};
    BrQuatSlerp(&q, &big, &big, 0.5f, 3);
    EXPECT_FLOAT_EQ(q.w, 2);
}

TEST(Quat, SlerpSpinsAddTurns)
{
    // One extra spin adds 32766 units: at t = 1 the end is reached after almost a half turn more
    // of the quaternion angle, which gives about -to.
    const br_quat f = QuatOf({{0, 0, 1}, 0.0}), t = QuatOf({{0, 0, 1}, 1.0});
    br_quat q;
    BrQuatSlerp(&q, &f, &t, 1, 1);
    ExpectQuatNear(q, br_quat{-t.x, -t.y, -t.z, -t.w}, 1e-3, "one spin");
    // Halfway with one spin: quaternion angle (omega + 32766 units) / 2 from f.
    BrQuatSlerp(&q, &f, &t, 0.5f, 1);
    const double omega = std::acos((double)(f.x * t.x + f.y * t.y + f.z * t.z + f.w * t.w));
    const double phi = 0.5 * (omega + 32766 * (2 * ref::kPi / 65536));
    EXPECT_NEAR(q.w, std::sin(omega - phi) / std::sin(omega) + t.w * std::sin(phi) / std::sin(omega), 2e-3);
    EXPECT_NEAR(q.z, t.z * std::sin(phi) / std::sin(omega), 2e-3);
}

} // namespace
