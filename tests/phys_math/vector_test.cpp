// Vector and matrix arithmetic, validity, the exported conversions and the rounding routines.
#include <math.h>

#include "phtest.h"
#include "terrow/phys/phmath.h"

namespace {

using Vectors = phtest::Recording;
using phtest::boxes;

void expect_near(const FV3 &v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

TEST_F(Vectors, RotationsTurnRowVectorsCounterClockwise)
{
    const float q = static_cast<float>(M_PI / 2);
    struct Case {
        FV3 axis, p, want;
    } cases[] = {
        {FV3(0, 0, q), FV3(1, 0, 0), FV3(0, 1, 0)},
        {FV3(0, 0, q), FV3(0, 1, 0), FV3(-1, 0, 0)},
        {FV3(q, 0, 0), FV3(0, 1, 0), FV3(0, 0, 1)},
        {FV3(0, q, 0), FV3(0, 0, 1), FV3(1, 0, 0)},
        {FV3(0, 0, 0), FV3(1, 2, 3), FV3(1, 2, 3)},       // no turn
        {FV3(0, 0, 2e20f), FV3(1, 2, 3), FV3(1, 2, 3)},   // beyond range: identity
        {FV3(NAN, 0, 1), FV3(1, 2, 3), FV3(1, 2, 3)},     // a broken turn: identity, not NaN
    };
    for (const Case &c : cases) {
        FV3 r = c.p * M33(c.axis);
        expect_near(r, c.want.x, c.want.y, c.want.z);
    }
    M33 id(FV3(0, 0, 0));
    EXPECT_EQ(id.Det(), 1.0f);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Vectors, SmallTurnsMatchTheExactRotation)
{
    // A step's turn comes from a series below half a radian: against the rotation built with sin and
    // cos in double, each entry within about a float's rounding (as the sin and cos form itself), on
    // both sides of the border, and for a turn repeated over a long roll.
    auto exact = [](double x, double y, double z, double out[9]) {
        const double t = sqrt(x * x + y * y + z * z);
        if (t == 0) {
            for (int i = 0; i < 9; i++)
                out[i] = i % 4 == 0 ? 1 : 0;
            return;
        }
        const double a = x / t, b = y / t, c = z / t, s = sin(t), k = cos(t), u = 1 - k;
        const double m[9] = {a * a * u + k,     a * b * u + c * s, a * c * u - b * s,
                             a * b * u - c * s, b * b * u + k,     b * c * u + a * s,
                             a * c * u + b * s, b * c * u - a * s, c * c * u + k};
        for (int i = 0; i < 9; i++)
            out[i] = m[i];
    };
    double worst = 0;
    for (int k = 0; k <= 400; k++) {
        const double t = 0.6 * k / 400;  // past the series' border too
        const FV3 v(static_cast<float>(t * 0.48), static_cast<float>(-t * 0.6), static_cast<float>(t * 0.64));
        M33 m(FV3(0, 0, 0));
        m.TurnBy(v);
        double want[9];
        exact(v.x, v.y, v.z, want);
        for (int i = 0; i < 9; i++)
            worst = fmax(worst, fabs(m.m[i] - want[i]));
    }
    EXPECT_LT(worst, 1.5e-7);
    // 2,400 turns of a ball rolling at 5 units a second: as far from the exact product as the
    // float products alone would drift, and still a rotation.
    M33 roll(FV3(0, 0, 0));
    const FV3 step(0.2f, 0, -0.31f);
    for (int k = 0; k < 2400; k++)
        roll.TurnBy(step);
    double want[9];
    const double n = 2400.0;
    exact(step.x * n, step.y * n, step.z * n, want);
    for (int i = 0; i < 9; i++)
        EXPECT_NEAR(roll.m[i], want[i], 2e-3) << i;
    EXPECT_NEAR(roll.Det(), 1.0f, 1e-3f);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Vectors, ProductAppliesLeftFactorFirst)
{
    const float q = static_cast<float>(M_PI / 2);
    M33 a(FV3(0, 0, q)), b(FV3(q, 0, 0));
    FV3 p(1, 0, 0);
    FV3 both = p * (a * b);
    FV3 steps = (p * a) * b;
    expect_near(both, steps.x, steps.y, steps.z);
    expect_near(both, 0, 0, 1);
    M33 o(FV3(0, 0, 0));
    o *= a;
    expect_near(FV3(1, 0, 0) * o, 0, 1, 0);
    float e[9] = {2, 0, 0, 0, 3, 0, 0, 0, 4};
    M33 d(e);
    EXPECT_EQ(d.Det(), 24.0f);
    M33 zero;
    EXPECT_EQ(zero.Det(), 0.0f);
    EXPECT_EQ(zero.singular, 1);
}

TEST_F(Vectors, ZeroVectorStaysZeroAndValid)
{
    FV3 z(0, 0, 0);
    z.Normalise();
    EXPECT_TRUE(z.Valid());
    expect_near(z, 0, 0, 0);
    z.SetLength(5);
    expect_near(z, 0, 0, 0);
    FV3 v(3, 0, 4);
    v.SetLength(10);
    expect_near(v, 6, 0, 8);
    expect_near(FV3(0, 2, 0).Normalised(), 0, 1, 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Vectors, FillingComponentsAndUninitialisedReads)
{
    FV3 v;
    v << 1.0f;
    EXPECT_FALSE(v.Valid());
    v << 2.0f;
    EXPECT_FALSE(v.Valid());
    (void)v.Length();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, PHMSG_UNINITIALISED);
    v << 3.0f;
    EXPECT_TRUE(v.Valid());
    expect_near(v, 1, 2, 3);

    // With the check off only lengths warn.
    bool old = Phys_SetValidityCheck(false);
    FV3 u;
    FV3 w = u + v;
    EXPECT_EQ(boxes().size(), 1u);
    (void)u.Length2();
    EXPECT_EQ(boxes().size(), 2u);
    Phys_SetValidityCheck(old);
    (void)w;
}

TEST_F(Vectors, ArithmeticAndScopes)
{
    FV3 a(1, 2, 3), b(4, 5, 6);
    expect_near(a ^ b, -3, 6, -3);
    EXPECT_EQ(a.Dot(b), 32.0);
    expect_near((a + b) * 2 - b / 2.0f, 8, 11.5f, 15);
    FV3 d;
    FV3_Diff(d, b, a);
    expect_near(d, 3, 3, 3);
    int level = QueueLevel;
    {
        PhScope s;
        EXPECT_EQ(QueueLevel, level + 1);
    }
    EXPECT_EQ(QueueLevel, level);
}

TEST_F(Vectors, ConversionsKeepTheFourthRow)
{
    br_matrix34 m;
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            m.m[r][c] = 9;
    float e[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    M33 s(e);
    EXPECT_EQ(DD_Mtx33toBrM34(&s, &m), &m);
    EXPECT_EQ(m.m[1][2], 6.0f);
    EXPECT_EQ(m.m[2][0], 7.0f);
    EXPECT_EQ(m.m[3][0], 9.0f);
    EXPECT_EQ(m.m[3][2], 9.0f);

    br_vector3 v;
    FV3 f(1.5f, -2, 3);
    EXPECT_EQ(DD_FV3toBrV3(&f, &v), &v);
    EXPECT_EQ(v.v[1], -2.0f);

    Mtx34 t;
    t.state = PH_VALID;
    for (int i = 0; i < 12; i++)
        t.m[i] = static_cast<float>(i);
    DD_Mtx34toBrM34(&t, &m);
    EXPECT_EQ(m.m[3][1], 10.0f);
    EXPECT_TRUE(boxes().empty());
}

TEST(Rounding, Table)
{
    struct {
        float v;
        int floor;
        float frac;
    } cases[] = {{-1.0f, -2, 1.0f}, {-0.5f, -1, 0.5f}, {0.0f, 0, 0.0f}, {2.75f, 2, 0.75f}, {3.0f, 3, 0.0f}};
    for (auto &c : cases) {
        EXPECT_EQ(FloorI(c.v), c.floor) << c.v;
        EXPECT_EQ(Frac(c.v), c.frac) << c.v;
    }
    EXPECT_EQ(CellOf(0.55f, 1.2f), 2);
    EXPECT_EQ(CellOf(0.55f, -0.1f), -1);
    EXPECT_NEAR(ModCell(0.55f, 1.2f), 0.1f, 1e-6f);
    EXPECT_EQ(CellOfBiased(0.55f, 0.01f, 0.545f), 1);
    EXPECT_EQ(CellOfBiased(0.55f, 0.01f, -0.2f), -1);

    // Cell boundaries and values no cell holds: defined, saturated results.
    struct {
        float v;
        int floor, cell, biased;
    } edges[] = {
        {-0.0f, 0, 0, 0},
        {-1e-45f, -1, -1, -1},
        {3 * 0.55f, 1, 3, 3},
        {-0.55f, -1, -2, -2},
        {-2147483648.0f, INT32_MIN, INT32_MIN, INT32_MIN},
        {-1e10f, INT32_MIN, INT32_MIN, INT32_MIN},
        {1e10f, INT32_MAX, INT32_MAX, INT32_MAX},
        {NAN, INT32_MIN, INT32_MIN, INT32_MIN},
    };
    for (auto &c : edges) {
        EXPECT_EQ(FloorI(c.v), c.floor) << c.v;
        EXPECT_EQ(CellOf(0.55f, c.v), c.cell) << c.v;
        EXPECT_EQ(CellOfBiased(0.55f, 0.001f, c.v), c.biased) << c.v;
    }
}

}  // namespace
