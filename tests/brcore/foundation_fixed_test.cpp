#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>

#include "brondel/brfixed.h"

namespace {

const br_fixed_ls ONE = BR_FIXED_ONE;

double to_double(br_fixed_ls f)
{
    return f / 65536.0;
}

// Angle units (65536 to the turn) of an angle in radians.
double angle_units(double rad)
{
    double a = rad * 65536.0 / (2.0 * M_PI);
    return a < 0 ? a + 65536.0 : a;
}

// Distance between two angles around the circle.
double angle_diff(double a, double b)
{
    double d = fabs(a - b);
    return d > 32768 ? 65536 - d : d;
}

// Deterministic pseudo-random values covering many magnitudes.
struct Values {
    uint32_t s = 12345;
    int32_t next(int max_bits)
    {
        s = s * 1664525u + 1013904223u;
        int bits = 1 + (int)(s >> 27) % max_bits;
        uint32_t r = s * 2654435761u;
        int32_t v = (int32_t)(r >> (32 - bits));
        return (s & 0x100) ? -v : v;
    }
};

TEST(FixedPoint, EdgeCases)
{
    EXPECT_EQ(BrFixedMul(ONE, 12345), 12345);
    EXPECT_EQ(BrFixedMul(ONE, -777777), -777777);
    EXPECT_EQ(BrFixedMul(0x8000, 0x8000), 0x4000);
    EXPECT_EQ(BrFixedMul(-ONE, ONE), -ONE);
    EXPECT_EQ(BrFixedDiv(ONE, 3 * ONE), 0x5555);
    EXPECT_EQ(BrFixedDiv(-ONE, 3 * ONE), -0x5555);
    EXPECT_EQ(BrFixedSqr(-2 * ONE), 4 * ONE);
    EXPECT_EQ(BrFixedAbs(-5), 5);
    EXPECT_EQ(BrFixedAbs(INT32_MIN), INT32_MIN);
    EXPECT_EQ(BrSqrt(0xFFFFFFFFu), 0xFFFF);
    EXPECT_EQ(BrSqrt(0), 0);
    EXPECT_EQ(BrSqrt64(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(BrFixedLength2(3 * ONE, 4 * ONE), 5 * ONE);
    EXPECT_EQ(BrFixedLength3(2 * ONE, 3 * ONE, 6 * ONE), 7 * ONE);
    EXPECT_EQ(BrFixedLength4(ONE, -ONE, ONE, -ONE), 2 * ONE);
    EXPECT_NEAR(BrFixedRLength2(3 * ONE, 4 * ONE), ONE / 5, ONE / 5 / 100);
    EXPECT_NEAR(BrFixedRLength3(2 * ONE, 3 * ONE, 6 * ONE), ONE / 7, ONE / 7 / 100);
    EXPECT_NEAR(BrFixedRLength4(ONE, ONE, ONE, ONE), ONE / 2, ONE / 2 / 100);
    EXPECT_EQ(BrFixedSqr2(3 * ONE, 4 * ONE), 25 * ONE);
    EXPECT_EQ(BrFixedSqr3(ONE, ONE, ONE), 3 * ONE);
    EXPECT_EQ(BrFixedSqr4(ONE, ONE, ONE, -ONE), 4 * ONE);
    EXPECT_EQ(BrFixedMac2(2 * ONE, 3 * ONE, -ONE, ONE), 5 * ONE);
    EXPECT_EQ(BrFixedMac3(ONE, ONE, ONE, ONE, ONE, 0x8000), 0x28000);
    EXPECT_EQ(BrFixedMac4(ONE, ONE, ONE, ONE, ONE, ONE, ONE, -4 * ONE), -ONE);
    EXPECT_EQ(BrFixedMulDiv(3 * ONE, 4 * ONE, 6 * ONE), 2 * ONE);
    EXPECT_EQ(BrFixedMac2Div(ONE, ONE, ONE, ONE, 2 * ONE), ONE);
    EXPECT_EQ(BrFixedMac3Div(ONE, ONE, ONE, ONE, ONE, ONE, 3 * ONE), ONE);
    EXPECT_EQ(BrFixedMac4Div(1, 1, 1, 1, 1, 1, 1, 1, 2), 2);
    // 1.15 fractions by 16.16 values: 0.5 * 2.0 + (-0.5) * 1.0.
    EXPECT_EQ(BrFixedFMac2(0x4000, 2 * ONE, 0xC000, ONE), 0x8000);
    EXPECT_EQ(BrFixedFMac3(0x4000, ONE, 0x4000, ONE, 0x4000, ONE), 0x18000);
    EXPECT_EQ(BrFixedFMac4(0x4000, ONE, 0x4000, ONE, 0x4000, ONE, 0x4000, ONE), 2 * ONE);
    EXPECT_EQ(BrFixedRcp(2 * ONE), ONE / 2);
    EXPECT_EQ(BrFixedRcp(-4 * ONE), -ONE / 4);
    // 1.31 fractions and angle ratios.
    EXPECT_EQ((uint32_t)BrFixedDivF(ONE, 2 * ONE), 0x40000000u);
    EXPECT_EQ((uint32_t)BrFixedDivAngle(ONE, ONE), 0u);
    EXPECT_EQ((uint32_t)BrFixedDivAngle(0, ONE), 0x80000000u);
    // For a negative dividend the low 16 bits below it are all ones before the division.
    EXPECT_EQ(BrFixedDivFloor(-ONE, 2 * ONE), -0x7FFF);
    EXPECT_EQ(BrFixedDivFloor(ONE, 2 * ONE), 0x8000);
}

TEST(FixedPoint, DivisionByZeroSaturates)
{
    EXPECT_EQ(BrFixedDiv(5, 0), INT32_MAX);
    EXPECT_EQ(BrFixedDiv(-5, 0), INT32_MIN);
    EXPECT_EQ(BrFixedDivFloor(-5, 0), INT32_MIN);
    EXPECT_EQ(BrFixedRcp(0), INT32_MAX);
    EXPECT_EQ(BrFixedMulDiv(ONE, ONE, 0), INT32_MAX);
    EXPECT_EQ(BrFixedMac2Div(-ONE, ONE, 0, 0, 0), INT32_MIN);
    EXPECT_EQ((uint32_t)BrFixedDivF(ONE, 0), 0xFFFFFFFFu);
    EXPECT_EQ(BrFixedDiv(INT32_MIN, -1), 0); // low 32 bits of 2^47
}

TEST(FixedPoint, ArithmeticAgreesWithDoublePrecision)
{
    Values v;
    for (int i = 0; i < 20000; i++) {
        br_fixed_ls a = v.next(24), b = v.next(24);
        double p = to_double(a) * to_double(b);
        if (fabs(p) < 32000) {
            EXPECT_NEAR(to_double(BrFixedMul(a, b)), p, 1.0 / 65536) << a << " * " << b;
        }
        if (b != 0) {
            double q = to_double(a) / to_double(b);
            if (fabs(q) < 32000) {
                EXPECT_NEAR(to_double(BrFixedDiv(a, b)), q, 1.0 / 65536) << a << " / " << b;
            }
            double r = 1.0 / to_double(b);
            if (fabs(r) < 32000) {
                EXPECT_NEAR(to_double(BrFixedRcp(b)), r, 1.0 / 65536) << "1 / " << b;
            }
            br_fixed_ls c = v.next(20);
            double md = (double)a * (double)c / (double)b;
            if (fabs(md) < 2e9) {
                EXPECT_NEAR(BrFixedMulDiv(a, c, b), md, 1.0) << a << " * " << c << " / " << b;
            }
        }
    }
}

TEST(FixedPoint, SquareRootsAgreeWithDoublePrecision)
{
    Values v;
    for (int i = 0; i < 20000; i++) {
        uint32_t n = (uint32_t)v.next(31) * 2u + (i & 1);
        double e = sqrt((double)n);
        EXPECT_EQ(BrSqrt(n), (uint32_t)floor(e)) << n;
        if (n != 0) {
            // Table roots: about 1% from an 8-bit table index, and whole numbers only.
            EXPECT_NEAR(BrFastSqrt(n), e, e / 128 + 1) << n;
            double r = 4294967296.0 / e;
            EXPECT_NEAR(BrFastRSqrt(n), r, r / 200) << n;
        }
        uint64_t big = ((uint64_t)n << 32) | (uint32_t)v.next(31);
        uint64_t root = BrSqrt64((uint32_t)(big >> 32), (uint32_t)big);
        EXPECT_LE((unsigned __int128)root * root, big);
        EXPECT_GT((unsigned __int128)(root + 1) * (root + 1), big);
        if (big >> 32) {
            double r64 = 4294967296.0 / sqrt((double)big);
            EXPECT_NEAR(BrFastRSqrt64((uint32_t)(big >> 32), (uint32_t)big), r64, r64 / 200 + 1) << big;
        }
    }
    EXPECT_EQ(BrFastSqrt(0), 0u);
    EXPECT_EQ(BrFastSqrt(1), 1u);
    EXPECT_EQ(BrFastSqrt(65536), 256u);
}

TEST(FixedPoint, SineAndCosineOverTheWholeTurn)
{
    EXPECT_EQ(BrFixedSin(0), 0);
    // A quarter turn stays just below +1.0 instead of wrapping to -1.0.
    EXPECT_EQ(BrFixedSin(0x4000), 0xFFFE);
    EXPECT_EQ(BrFixedCos(0), 0xFFFE);
    EXPECT_EQ(BrFixedSin(0xC000), -ONE);
    EXPECT_EQ(BrFixedCos(0x8000), -ONE);
    for (int a = 0; a < 65536; a++) {
        double rad = 2.0 * M_PI * a / 65536.0;
        ASSERT_NEAR(BrFixedSin((br_angle)a), sin(rad) * 65536.0, 9) << a;
        ASSERT_NEAR(BrFixedCos((br_angle)a), cos(rad) * 65536.0, 9) << a;
        ASSERT_EQ(BrFixedCos((br_angle)a), BrFixedSin((br_angle)(a + 0x4000))) << a;
        ASSERT_GT(BrFixedSin((br_angle)a), -ONE - 1);
        ASSERT_LT(BrFixedSin((br_angle)a), ONE);
    }
}

TEST(FixedPoint, ArcSineAndArcCosine)
{
    EXPECT_EQ(BrFixedASin(0), 0);
    EXPECT_EQ(BrFixedASin(ONE), 0x4000);
    EXPECT_EQ(BrFixedASin(-ONE), 0xC000);
    EXPECT_EQ(BrFixedACos(ONE), 0);
    EXPECT_EQ(BrFixedACos(-ONE), 0x8000);
    EXPECT_EQ(BrFixedACos(0), 0x4000);
    // Past the ends the answer stays at the ends.
    EXPECT_EQ(BrFixedASin(3 * ONE), 0x4000);
    EXPECT_EQ(BrFixedACos(-3 * ONE), 0x8000);
    for (int x = -64880; x <= 64880; x += 7) { // |x| <= 0.99
        double xd = x / 65536.0;
        ASSERT_LE(angle_diff(BrFixedASin(x), angle_units(asin(xd))), 26) << x;
        ASSERT_LE(angle_diff(BrFixedACos(x), angle_units(acos(xd))), 26) << x;
    }
}

TEST(FixedPoint, ArcTangentByOctant)
{
    struct {
        br_fixed_ls y, x;
        br_angle a;
    } cases[] = {
        {0, -ONE, 0x8000},    {0, ONE, 0},           {0, 0, 0},           {ONE, ONE, 0x2000},
        {ONE, -ONE, 0x6000},  {-ONE, -ONE, 0xA000},  {-ONE, ONE, 0xE000}, {ONE, 0, 0x4000},
        {-ONE, 0, 0xC000},    {5, 0, 0x4000},        {INT32_MIN, 0, 0xC000},
    };
    for (auto &c : cases) {
        EXPECT_EQ(BrFixedATan2(c.y, c.x), c.a) << c.y << ", " << c.x;
        EXPECT_EQ(BrFixedATan2Fast(c.y, c.x), c.a) << c.y << ", " << c.x;
    }
    for (int a = 0; a < 65536; a += 3) {
        double rad = 2.0 * M_PI * a / 65536.0;
        for (double radius : {0.01, 1.0, 300.0}) {
            br_fixed_ls y = (br_fixed_ls)lround(sin(rad) * radius * 65536.0);
            br_fixed_ls x = (br_fixed_ls)lround(cos(rad) * radius * 65536.0);
            double e = angle_units(atan2((double)y, (double)x));
            ASSERT_LE(angle_diff(BrFixedATan2(y, x), e), 2) << y << ", " << x;
            // The fast form is linear within each octant.
            ASSERT_LE(angle_diff(BrFixedATan2Fast(y, x), e), 750) << y << ", " << x;
        }
    }
}

} // namespace
