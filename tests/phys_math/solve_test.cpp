// Polynomial roots for the time of impact, and line and plane queries.
#include <math.h>

#include "phtest.h"
#include "terrow/phys/phparams.h"
#include "terrow/phys/phsolve.h"

namespace {

TEST(Solve, QuadraticTable)
{
    struct Case {
        double a, b, c, offset, lo, hi;
        int count;
        double root;
    } cases[] = {
        {0, 2, -1, 0, 1, 2, 1, 0.5},            // linear, up to one interval before lo
        {0, 2, -1, 0, 1.6, 2, 0, 0.5},          // linear too early: rejected, root still written
        {0, 0, 1, 0, 0, 1, 0, 1},               // nothing to solve
        {1, -3, 2, 0, 0, 3, 2, 1},              // roots 1 and 2: the smaller
        {1, -3, 2, 0, 1.5, 3, 1, 2},            // only 2 in range
        {1, -3, 2, 10, 0, 3, 0, 3},             // both shifted out: hi
        {1, 0, 1, 0, -5, 5, 0, 5},              // no real root
        {1, -2, 1.000125, 0, 0, 2, 2, 1},       // disc -0.0005 counts as a double root
        {1, -2, 1.0003, 0, 0, 2, 0, 2},         // disc -0.0012 rejects
        {-1, 0, 4, 1, 0, 5, 2, -1 + 0 + 0},     // roots 3 and -1 with offset 1; only 3 in range
        {1e-20, 1, -0.5, 0, 0, 1, 1, 0.5},      // nearly linear: the root must not cancel away to 0
        {-1e-20, -1, 0.5, 0, 0, 1, 1, 0.5},
        {1e-12, 1, -0.5, 0, 0, 1, 1, 0.5},
        {NAN, 1, -1, 0, 0, 1, 0, 1},            // broken coefficients: nothing accepted, hi
        {INFINITY, 1, -1, 0, 0, 1, 0, 1},
        {0, NAN, -1, 0, 0, 1, 0, 1},
        {0, 1, INFINITY, 0, 0, 1, 0, 1},
    };
    cases[9].count = 1;
    cases[9].root = 3;
    for (const Case &c : cases) {
        double out = -99;
        EXPECT_EQ(Solve2(c.a, c.b, c.c, c.offset, c.lo, c.hi, &out), c.count) << c.a << " " << c.b << " " << c.c;
        EXPECT_NEAR(out, c.root, 1e-9) << c.a << " " << c.b << " " << c.c;
    }
}

TEST(Solve, QuarticFindsTheFirstRootInTheStep)
{
    PhyParams = Phy_Defaults();
    struct Case {
        double a, b, c, d, e, offset, lo, hi, want;
        int found;
    } cases[] = {
        {1, 0, 0, 0, -1, 0, 0, 1, 1, 1},              // value at the upper end already 0
        {1, 0, 0, 0, -0.0625, 0, 0, 1, 0.5, 1},       // s^4 = 1/16
        {1, 0, -5, 0, 4, 2, 2, 3.5, 3, 1},            // roots s = 1, 2; in [0, 1.5]: 1
        {1, 0, -5, 0, 4, 0, 0, 3, 1, 1},              // both roots in the interval: the first
        {2, 0, 1, 0, -3, 0, 0, 2, 1, 1},              // 2s^4 + s^2 - 3: root 1
        {0, 0, 1, 0, -0.25, 1, 1, 2, 1.5, 1},         // a = 0: the quadratic
        {1e-20, 0, 0, 1, -0.5, 0, 0, 1, 0.5, 1},      // a tiny leading term: as good as linear
        // An edge contact from a run: the first root lies well inside the step, not at its end.
        {5.0625, -10.32496, 35.54462, -4.49429, 0.05528, 0, 0, 0.025, 0.0138003, 1},
        {1, 0, 0, 0, 1, 0, 0, 1, 1, 0},               // no root: the upper end
        {1, 0, 0, 0, NAN, 0, 0, 1, 1, 0},             // no usable value: the upper end
    };
    for (const Case &c : cases) {
        double out = -99;
        int r = Solve4(c.a, c.b, c.c, c.d, c.e, c.offset, c.lo, c.hi, &out);
        EXPECT_EQ(r, c.found) << c.a << " " << c.c << " " << c.e;
        EXPECT_NEAR(out, c.want, 1e-5) << c.a << " " << c.c << " " << c.e;
    }
}

TEST(Solve, HornerEvaluation)
{
    EXPECT_EQ(Quartic(1, 2, 3, 4, 5, 2), 16 + 16 + 12 + 8 + 5);
    EXPECT_EQ(Quartic1(1, 2, 3, 4, 2), 32 + 24 + 12 + 4);
    EXPECT_EQ(Quartic2(1, 2, 3, 2), 48 + 24 + 6);
}

TEST(LinePlane, Queries)
{
    PhLine l = Line_Through(FV3(1, 1, 0), FV3(1, 1, 5));
    EXPECT_NEAR(l.origin.z, 0, 1e-6);
    FV3 p = Line_Perp(l, FV3(4, 5, 2));
    EXPECT_NEAR(p.x, 3, 1e-5);
    EXPECT_NEAR(p.y, 4, 1e-5);
    EXPECT_NEAR(p.z, 0, 1e-5);
    EXPECT_NEAR(Line_Dist(l, FV3(4, 5, 2)), 5, 1e-5);

    PhPlane pl;
    Plane_Set(pl, FV3(7, 2, -3), FV3(0, 4, 0));
    EXPECT_EQ(pl.d, 2.0f);
    EXPECT_EQ(Plane_Dist(pl, FV3(0, 5, 0)), 3.0);
    FV3 a = Plane_Along(pl, FV3(9, -1, 9));
    EXPECT_EQ(a.y, -3.0f);

    PhLine down{FV3(1, 6, 1), FV3(0, -1, 0)};
    FV3 hit = Plane_Hit(pl, down);
    EXPECT_EQ(hit.y, 2.0f);
    EXPECT_EQ(hit.x, 1.0f);
    PhLine flat{FV3(1, 6, 1), FV3(1, 0, 0)};
    FV3 none = Plane_Hit(pl, flat);
    EXPECT_EQ(none.x, 0.0f);
    EXPECT_EQ(none.y, 0.0f);
    EXPECT_EQ(none.z, 0.0f);
    PhLine on{FV3(3, 2, 3), FV3(1, 0, 0)};
    EXPECT_EQ(Plane_Hit(pl, on).x, 3.0f);
}

}  // namespace
