#include "reference.h"

#include <string>

namespace {

using ref::M4;

struct OrderCase {
    br_uint_8 code;
    const char *name; // axes in the order of a, b, c; _S static, _R rotating
};

const OrderCase kOrders[] = {
    {BR_EULER_XYZ_S, "XYZ_S"}, {BR_EULER_YZX_S, "YZX_S"}, {BR_EULER_ZXY_S, "ZXY_S"},
    {BR_EULER_XZY_S, "XZY_S"}, {BR_EULER_YXZ_S, "YXZ_S"}, {BR_EULER_ZYX_S, "ZYX_S"},
    {BR_EULER_XYX_S, "XYX_S"}, {BR_EULER_YZY_S, "YZY_S"}, {BR_EULER_ZXZ_S, "ZXZ_S"},
    {BR_EULER_XZX_S, "XZX_S"}, {BR_EULER_YXY_S, "YXY_S"}, {BR_EULER_ZYZ_S, "ZYZ_S"},
    {BR_EULER_ZYX_R, "ZYX_R"}, {BR_EULER_XZY_R, "XZY_R"}, {BR_EULER_YXZ_R, "YXZ_R"},
    {BR_EULER_YZX_R, "YZX_R"}, {BR_EULER_ZXY_R, "ZXY_R"}, {BR_EULER_XYZ_R, "XYZ_R"},
    {BR_EULER_XYX_R, "XYX_R"}, {BR_EULER_YZY_R, "YZY_R"}, {BR_EULER_ZXZ_R, "ZXZ_R"},
    {BR_EULER_XZX_R, "XZX_R"}, {BR_EULER_YXY_R, "YXY_R"}, {BR_EULER_ZYZ_R, "ZYZ_R"},
};

struct Angles {
    br_angle a, b, c;
};

const Angles kAngleSets[] = {
    {0, 0, 0},         {16384, 0, 0},        {0, 16384, 0},      {0, 0, 16384},
    {1000, 2000, 3000}, {60000, 12345, 40000}, {32768, 5000, 65000}, {9000, 50000, 30000},
    {123, 45678, 9012},
};

// Independent of the order bits: static axes apply a about the first named axis, then b, then
// c, all about the fixed axes; rotating axes turn about the body's axes, which is the same as
// the fixed axes taken in reverse order.
M4 Reference(const OrderCase &o, const Angles &e)
{
    int ax[3];
    for (int i = 0; i < 3; ++i)
        ax[i] = o.name[i] - 'X';
    M4 ra = ref::AxisRotation(ax[0], ref::Radians(e.a));
    M4 rb = ref::AxisRotation(ax[1], ref::Radians(e.b));
    M4 rc = ref::AxisRotation(ax[2], ref::Radians(e.c));
    bool rotating = o.name[4] == 'R';
    return rotating ? ref::Mul(ref::Mul(rc, rb), ra) : ref::Mul(ref::Mul(ra, rb), rc);
}

std::string Label(const OrderCase &o, const Angles &e)
{
    return std::string(o.name) + " (" + std::to_string(e.a) + ", " + std::to_string(e.b) + ", " +
           std::to_string(e.c) + ")";
}

TEST(Euler, ToMatrixAllOrdersAgainstReference)
{
    for (const OrderCase &o : kOrders) {
        for (const Angles &a : kAngleSets) {
            br_euler e{a.a, a.b, a.c, o.code};
            br_matrix34 m;
            BrEulerToMatrix34(&m, &e);
            std::string what = Label(o, a);
            ref::ExpectNear(m, Reference(o, a), 3e-6, what.c_str());
            br_matrix4 m4;
            BrEulerToMatrix4(&m4, &e);
            ref::ExpectNear(m4, Reference(o, a), 3e-6, what.c_str());
        }
    }
}

TEST(Euler, StaticXYZQuarterTurnIsRotateX)
{
    br_euler e{16384, 0, 0, BR_EULER_XYZ_S};
    br_matrix34 m, x;
    BrEulerToMatrix34(&m, &e);
    BrMatrix34RotateX(&x, 16384);
    ref::ExpectEqual(m, x, 1e-7);
}

TEST(Euler, MatrixRoundTripAllOrders)
{
    // Angles come back truncated to whole units, so the rebuilt matrix agrees within a few units.
    const Angles extra[] = {{0, 16384, 777}, {500, 49152, 20000}, {4000, 0, 7000}, {100, 32768, 200}};
    for (const OrderCase &o : kOrders) {
        auto check = [&](const Angles &a) {
            br_euler e{a.a, a.b, a.c, o.code};
            br_matrix34 m, back;
            BrEulerToMatrix34(&m, &e);
            br_euler out{0, 0, 0, o.code};
            BrMatrix34ToEuler(&out, &m);
            EXPECT_EQ(out.order, o.code);
            BrEulerToMatrix34(&back, &out);
            std::string what = Label(o, a);
            ref::ExpectNear(back, ref::From34(m), 6e-4, what.c_str());
            br_matrix4 m4;
            BrMatrix4Copy34(&m4, &m);
            br_euler out4{1, 1, 1, o.code};
            BrMatrix4ToEuler(&out4, &m4);
            EXPECT_EQ(out4.a, out.a);
            EXPECT_EQ(out4.b, out.b);
            EXPECT_EQ(out4.c, out.c);
        };
        for (const Angles &a : kAngleSets)
            check(a);
        for (const Angles &a : extra)
            check(a);
    }
}

TEST(Euler, AnglesInCanonicalRangeComeBack)
{
    // Away from the singular middle angle, each angle returns within one unit (truncation).
    for (const OrderCase &o : kOrders) {
        // A repeated order returns its middle angle in [0, half turn] of the internal (possibly
        // negated) angle, so an odd repeated order needs a middle angle below zero.
        bool odd_repeat = (o.code & BR_EULER_REPEAT) && (o.code & BR_EULER_PARITY);
        Angles a{3000, (br_angle)(odd_repeat ? 65536 - 9000 : 9000), 61000};
        br_euler e{a.a, a.b, a.c, o.code}, out{0, 0, 0, o.code};
        br_matrix34 m;
        BrEulerToMatrix34(&m, &e);
        BrMatrix34ToEuler(&out, &m);
        auto close = [](br_angle got, br_angle want) {
            int d = (int)(br_int_16)(br_angle)(got - want);
            return d >= -2 && d <= 2;
        };
        EXPECT_TRUE(close(out.a, a.a) && close(out.b, a.b) && close(out.c, a.c))
            << o.name << " -> " << out.a << ", " << out.b << ", " << out.c;
    }
}

TEST(Euler, GimbalLockGivesZeroThirdAngle)
{
    br_euler e{5000, 16384, 7000, BR_EULER_XYZ_S}, out{1, 1, 1, BR_EULER_XYZ_S};
    br_matrix34 m, back;
    BrEulerToMatrix34(&m, &e);
    BrMatrix34ToEuler(&out, &m);
    EXPECT_EQ(out.c, 0);
    BrEulerToMatrix34(&back, &out);
    ref::ExpectNear(back, ref::From34(m), 6e-4);

    // With repetition the lock is at a middle angle of 0.
    br_euler r{5000, 0, 7000, BR_EULER_ZXZ_S}, rout{1, 1, 1, BR_EULER_ZXZ_S};
    BrEulerToMatrix34(&m, &r);
    BrMatrix34ToEuler(&rout, &m);
    EXPECT_EQ(rout.c, 0);
    EXPECT_EQ(rout.b, 0);
}

TEST(Euler, ToQuatAllOrdersAgainstReference)
{
    for (const OrderCase &o : kOrders) {
        for (const Angles &a : kAngleSets) {
            br_euler e{a.a, a.b, a.c, o.code};
            br_quat q;
            BrEulerToQuat(&q, &e);
            std::string what = Label(o, a);
            EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1, 1e-5) << what;
            br_matrix34 m;
            BrQuatToMatrix34(&m, &q);
            ref::ExpectNear(m, Reference(o, a), 3e-4, what.c_str());

            // Back through the quaternion to angles and the same rotation.
            br_euler out{0, 0, 0, o.code};
            BrQuatToEuler(&out, &q);
            br_matrix34 back;
            BrEulerToMatrix34(&back, &out);
            ref::ExpectNear(back, Reference(o, a), 8e-4, what.c_str());
        }
    }
}

TEST(Euler, UnknownOrderCodesAreHarmless)
{
    // Order codes come from datafiles; the meaningless ones must not reach outside the matrix.
    const br_uint_8 bad[] = {3, 7, 11, 15, 19, 23, 27, 31, 32, 0x80, 0xff};
    for (br_uint_8 code : bad) {
        br_euler e{1000, 2000, 3000, code};
        br_matrix34 m, id;
        BrEulerToMatrix34(&m, &e);
        BrMatrix34Identity(&id);
        ref::ExpectEqual(m, id);
        br_quat q;
        BrEulerToQuat(&q, &e);
        EXPECT_EQ(q.w, 1);
        EXPECT_EQ(q.x, 0);
        br_matrix34 r;
        BrMatrix34RotateX(&r, 5000);
        BrMatrix34ToEuler(&e, &r);
        EXPECT_EQ(e.a, 1000);
        EXPECT_EQ(e.b, 2000);
        EXPECT_EQ(e.c, 3000);
        EXPECT_EQ(e.order, code);
    }
}

} // namespace
