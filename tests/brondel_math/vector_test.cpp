#include <brondel/brvector.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct NormCase {
    const char *name;
    br_vector3 src;
    br_vector3 want;      // BrVector3Normalise
    br_vector3 want_alt;  // BrVector3NormaliseAlt
};

TEST(Vector3, NormaliseGuardsShortVectors)
{
    const NormCase cases[] = {
        {"zero", {{0, 0, 0}}, {{1, 0, 0}}, {{1, 0, 0}}},
        {"below 2^-22", {{1e-8f, 0, 0}}, {{1, 0, 0}}, {{1, 0, 0}}},
        {"tiny along y", {{0, 2e-7f, 0}}, {{1, 0, 0}}, {{0, 1, 0}}},
        {"3-4-0", {{3, 4, 0}}, {{0.6f, 0.8f, 0}}, {{0.6f, 0.8f, 0}}},
        {"1-2-2 negative", {{-1, 2, -2}}, {{-1 / 3.f, 2 / 3.f, -2 / 3.f}}, {{-1 / 3.f, 2 / 3.f, -2 / 3.f}}},
    };
    for (const NormCase &c : cases) {
        br_vector3 d{{9, 9, 9}}, a{{9, 9, 9}};
        BrVector3Normalise(&d, &c.src);
        BrVector3NormaliseAlt(&a, &c.src);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(d.v[i], c.want.v[i]) << c.name << " [" << i << "]";
            EXPECT_FLOAT_EQ(a.v[i], c.want_alt.v[i]) << c.name << " alt [" << i << "]";
        }
    }
    // In place.
    br_vector3 v{{0, 0, 5}};
    BrVector3Normalise(&v, &v);
    EXPECT_FLOAT_EQ(v.v[2], 1.0f);
}

TEST(Vector3, NormaliseQuickLeavesZeroVectorAlone)
{
    const br_vector3 zero{{0, 0, 0}};
    br_vector3 d{{7, 8, 9}};
    BrVector3NormaliseQuick(&d, &zero);
    EXPECT_EQ(d.v[0], 7);
    EXPECT_EQ(d.v[1], 8);
    EXPECT_EQ(d.v[2], 9);
    BrVector3NormaliseQuickAlt(&d, &zero);
    EXPECT_EQ(d.v[0], 7);
    EXPECT_EQ(d.v[2], 9);

    const br_vector3 s{{0, -3, 4}};
    BrVector3NormaliseQuick(&d, &s);
    EXPECT_FLOAT_EQ(d.v[0], 0);
    EXPECT_FLOAT_EQ(d.v[1], -0.6f);
    EXPECT_FLOAT_EQ(d.v[2], 0.8f);
    BrVector3NormaliseQuickAlt(&d, &s);
    EXPECT_FLOAT_EQ(d.v[1], -0.6f);
    // The quick forms do no short-length test: a tiny vector still gets a direction.
    const br_vector3 tiny{{0, 1e-8f, 0}};
    BrVector3NormaliseQuick(&d, &tiny);
    EXPECT_FLOAT_EQ(d.v[1], 1.0f);
}

TEST(Vector2, NormaliseAndLength)
{
    br_vector2 d, s;
    BrVector2Set(&s, 3, 4);
    EXPECT_FLOAT_EQ(BrVector2Length(&s), 5);
    EXPECT_FLOAT_EQ(BrVector2LengthSquared(&s), 25);
    BrVector2Normalise(&d, &s);
    EXPECT_FLOAT_EQ(d.v[0], 0.6f);
    EXPECT_FLOAT_EQ(d.v[1], 0.8f);
    BrVector2Set(&s, 0, 1e-8f);
    BrVector2Normalise(&d, &s);
    EXPECT_EQ(d.v[0], 1);
    EXPECT_EQ(d.v[1], 0);
    BrVector2SetInt(&s, -2, 7);
    EXPECT_EQ(s.v[0], -2.0f);
    EXPECT_EQ(s.v[1], 7.0f);
    br_vector2 t{{0.5f, 2}};
    EXPECT_FLOAT_EQ(BrVector2Dot(&s, &t), 13);
    EXPECT_FLOAT_EQ(BrVector2DotAlt(&s, &t), 13);
    BrVector2Accumulate(&s, &s);
    EXPECT_EQ(s.v[0], -4);
    EXPECT_EQ(s.v[1], 14);
    BrVector2InvScale(&s, &s, 4);
    EXPECT_EQ(s.v[0], -1);
    EXPECT_EQ(s.v[1], 3.5f);
}

TEST(Vector3, Arithmetic)
{
    br_vector3 a, b, d;
    BrVector3SetInt(&a, -2, 0, 7);
    EXPECT_EQ(a.v[0], -2.0f);
    EXPECT_EQ(a.v[1], 0.0f);
    EXPECT_EQ(a.v[2], 7.0f);
    BrVector3Set(&b, 1, 2, 3);
    BrVector3Add(&d, &a, &b);
    EXPECT_EQ(d.v[0], -1);
    EXPECT_EQ(d.v[2], 10);
    BrVector3Sub(&d, &a, &b);
    EXPECT_EQ(d.v[1], -2);
    BrVector3Negate(&d, &d);
    EXPECT_EQ(d.v[1], 2);
    BrVector3Scale(&d, &b, 2);
    BrVector3ScaleAlt(&d, &d, 2);
    EXPECT_EQ(d.v[2], 12);
    BrVector3InvScale(&d, &d, 4);
    EXPECT_EQ(d.v[2], 3);
    EXPECT_FLOAT_EQ(BrVector3Dot(&a, &b), 19);
    EXPECT_FLOAT_EQ(BrVector3DotAlt(&a, &b), 19);
    EXPECT_FLOAT_EQ(BrVector3LengthSquared(&b), 14);
    EXPECT_FLOAT_EQ(BrVector3Length(&b), std::sqrt(14.0f));
    // Accumulating a vector into itself doubles it.
    BrVector3Accumulate(&b, &b);
    EXPECT_EQ(b.v[0], 2);
    EXPECT_EQ(b.v[1], 4);
    EXPECT_EQ(b.v[2], 6);
    BrVector3CopyAlt(&d, &b);
    EXPECT_EQ(d.v[1], 4);
    br_vector4 p{{1, 2, 3, 4}}, q;
    BrVector4Copy(&q, &p);
    EXPECT_FLOAT_EQ(BrVector4Dot(&p, &q), 30);
}

TEST(Vector3, CrossAgainstDoubleReference)
{
    struct Case {
        br_vector3 a, b;
    } cases[] = {
        {{{1, 0, 0}}, {{0, 1, 0}}},
        {{{0, 1, 0}}, {{0, 0, 1}}},
        {{{0, 0, 1}}, {{1, 0, 0}}},
        {{{1.5f, -2, 0.25f}}, {{-3, 0.5f, 4}}},
        {{{2, 4, 6}}, {{1, 2, 3}}},
    };
    for (const Case &c : cases) {
        const double ax = c.a.v[0], ay = c.a.v[1], az = c.a.v[2];
        const double bx = c.b.v[0], by = c.b.v[1], bz = c.b.v[2];
        const double want[3] = {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
        br_vector3 d;
        BrVector3Cross(&d, &c.a, &c.b);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(d.v[i], want[i], 1e-6);
    }
    br_vector3 x{{1, 0, 0}}, y{{0, 1, 0}}, z;
    BrVector3Cross(&z, &x, &y);
    EXPECT_EQ(z.v[0], 0);
    EXPECT_EQ(z.v[1], 0);
    EXPECT_EQ(z.v[2], 1);
}

} // namespace
