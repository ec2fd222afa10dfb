// Slope and corner solids: regions around them in every orientation, contacts, and the box zones.
#include <math.h>

#include "phtest.h"
#include "terrow/phys/phgeom.h"
#include "terrow/phys/phparams.h"

namespace {

using Geometry = phtest::Recording;
using phtest::boxes;

// Probe offsets from a feature: the outward directions of the faces that meet there.
struct Probe {
    int code;
    std::vector<int> corners;  // the feature: mean of these corner points
    std::vector<int> away;     // bounding planes (0..4) whose normals point away from the probe
};

const Probe k_probes[] = {
    {1, {1, 2, 4, 5}, {4}},  {2, {0, 2, 3, 5}, {3}},  {3, {0, 1, 3, 4}, {2}},
    {4, {0, 1, 2}, {0}},     {5, {3, 4, 5}, {1}},
    {6, {0, 1}, {0, 2}},     {7, {1, 2}, {0, 4}},     {8, {0, 2}, {0, 3}},
    {9, {3, 4}, {1, 2}},     {10, {4, 5}, {1, 4}},    {11, {3, 5}, {1, 3}},
    {12, {0, 3}, {2, 3}},    {13, {1, 4}, {2, 4}},    {14, {2, 5}, {3, 4}},
    {15, {0}, {0, 2, 3}},    {16, {1}, {0, 2, 4}},    {17, {2}, {0, 3, 4}},
    {18, {3}, {1, 2, 3}},    {19, {4}, {1, 2, 4}},    {20, {5}, {1, 3, 4}},
};

// How far a point lies outside the solid (0 on its surface).
double outside(const PhRampGeom &g, const FV3 &p)
{
    double worst = 0;
    for (int k = 0; k < 5; k++)
        worst = fmin(worst, Plane_Dist(*g.plane[k], p));
    return -worst;
}

double on_surface(const PhRampGeom &g, const FV3 &p)
{
    double nearest = 1e9;
    for (int k = 0; k < 5; k++)
        nearest = fmin(nearest, fabs(Plane_Dist(*g.plane[k], p)));
    return nearest;
}

TEST_F(Geometry, RegionsAroundEveryOrientation)
{
    PhyParams = Phy_Defaults();
    for (int o = 0; o < 8; o++) {
        PhRampGeom *g = Ramp_New(3, 2, 5, o & 3, o >= 4);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->orientation, o);
        SCOPED_TRACE(o);
        // The centroid lies inside: every plane sees it on its positive side.
        FV3 v;
        for (int k = 0; k < 9; k++)
            EXPECT_GT(Plane_Dist(*g->plane[k], g->corner[6]), 0) << "plane " << k;
        EXPECT_EQ(Ramp_Region(*g, g->corner[6] + FV3(0.01f, 0.01f, 0.01f), &v), 0);
        for (const Probe &p : k_probes) {
            FV3 at(0, 0, 0);
            for (int c : p.corners)
                at += g->corner[c];
            at /= static_cast<int>(p.corners.size());
            FV3 probe = at;
            for (int k : p.away)
                probe -= g->plane[k]->normal * 0.1f;
            FV3 out;
            EXPECT_EQ(Ramp_Region(*g, probe, &out), p.code) << "probe " << p.code;
            // The vector leads from the point to the solid's surface.
            FV3 foot = probe + out;
            EXPECT_LT(outside(*g, foot), 1e-5) << "probe " << p.code;
            EXPECT_LT(on_surface(*g, foot), 1e-5) << "probe " << p.code;
            EXPECT_GT(out.Length(), 0.04) << "probe " << p.code;  // edges between slanted faces lie nearer
        }
        Ramp_Free(g);
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Geometry, PointsOnEdgesAndCornersHaveARegion)
{
    // Such points lie on several planes at once; rounding must not leave them in no region.
    PhyParams = Phy_Defaults();
    static const int ends[9][2] = {{1, 2}, {0, 1}, {0, 2}, {4, 5}, {3, 4}, {3, 5}, {0, 3}, {1, 4}, {2, 5}};
    for (int o = 0; o < 8; o++) {
        for (int cell : {3, 41}) {
            PhRampGeom *g = Ramp_New(cell, 3, cell + 2, o & 3, o >= 4);
            SCOPED_TRACE(o * 100 + cell);
            std::vector<FV3> points(g->corner, g->corner + 6);
            for (auto &e : ends)
                points.push_back((g->corner[e[0]] + g->corner[e[1]]) / 2.0f);
            for (const FV3 &p : points) {
                FV3 out;
                int code = Ramp_Region(*g, p, &out);
                EXPECT_GE(code, 0) << p.x << " " << p.y << " " << p.z;
                if (code > 0) {
                    EXPECT_LT(out.Length(), 1e-4);
                }
            }
            Ramp_Free(g);
        }
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Geometry, SolidsMatchTheirCells)
{
    PhRampGeom *s = Ramp_New(3, 2, 5, 0, false);  // falls towards -x
    EXPECT_EQ(s->corner[1].y, 0.55f + 0.55f);
    EXPECT_EQ(s->corner[1].x, 4.0f);
    EXPECT_EQ(s->corner[2].x, 3.0f);
    EXPECT_EQ(s->boxLow.y, 0.55f);
    EXPECT_NEAR(s->edgeLength[1], 1.0f, 1e-6);
    EXPECT_GT(s->plane[4]->normal.x, 0);  // the ramp's inward normal leans to the high side
    PhRampGeom *c = Ramp_New(3, 1, 5, 2, true);
    EXPECT_NEAR(PH_CORNER_LEG, 0.50503f, 1e-5);
    EXPECT_NEAR(c->boxLow.x, 4 - PH_CORNER_LEG, 1e-6);
    EXPECT_EQ(c->boxHigh.z, 6.0f);
    EXPECT_EQ(c->boxHigh.y, 0.55f);
    Ramp_Free(s);
    Ramp_Free(c);
}

TEST_F(Geometry, RampContacts)
{
    PhyParams = Phy_Defaults();
    PhRampGeom *g = Ramp_New(0, 1, 0, 0, false);
    const float r = 0.35f;
    FV3 mid = (g->corner[1] + g->corner[2] + g->corner[4] + g->corner[5]) / 4;
    FV3 above = mid - g->plane[4]->normal * 0.3f;
    FV3 d;
    int code = -9;
    EXPECT_EQ(Ramp_Contact(*g, above, FV3(0, -1, 0), r, &d, &code, 0.001f), 2);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(Ramp_Contact(*g, above, FV3(0, 1, 0), r, &d, &code, 0.001f), 0);  // leaving
    FV3 far = mid - g->plane[4]->normal * 0.5f;
    EXPECT_EQ(Ramp_Contact(*g, far, FV3(0, -1, 0), r, &d, &code, 0.001f), 0);
    FV3 side = g->corner[6] - g->plane[1]->normal * 0.55f;  // beyond triangle B
    EXPECT_EQ(Ramp_Contact(*g, side, g->plane[1]->normal, r, &d, &code, 0.001f), 1);
    EXPECT_EQ(code, 5);
    EXPECT_TRUE(boxes().empty());

    // A point in no region: warnings, no contact.
    FV3 bad(NAN, 0, 0);
    EXPECT_EQ(Ramp_Region(*g, bad, &d), -1);
    EXPECT_FALSE(d.Valid());
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, PHMSG_REGION_LEVEL);
    EXPECT_EQ(boxes()[1].text, PHMSG_REGION_NONE);
    EXPECT_EQ(Ramp_Contact(*g, bad, FV3(0, -1, 0), r, &d, &code, 0.001f), 0);
    EXPECT_EQ(code, -1);
    Ramp_Free(g);
}

TEST(Classify, ZonesAlongEachAxis)
{
    PhyParams = Phy_Defaults();  // reach 0.75, near band 1.05 r
    const float r = 0.35f;
    const FV3 low(2, 0, 2), high(3, 0.55f, 3);
    struct Case {
        float p;
        int zone, detail;
        float closest;
    } x_cases[] = {
        {0.89f, 0, 0, 2}, {1.6f, 1, 1, 2},  {1.64f, 2, 2, 2},  {1.8f, 3, 3, 2},
        {2.1f, 5, 4, 2.1f}, {2.5f, 5, 5, 2.5f}, {2.9f, 5, 6, 2.9f},
        {3.2f, 7, 7, 3}, {3.36f, 8, 8, 3}, {3.4f, 9, 9, 3}, {4.2f, 10, 10, 3},
    };
    for (const Case &c : x_cases) {
        FV3 closest;
        PhZoneCode z = PhElem_Classify(low, high, FV3(c.p, 0.3f, 2.5f), r, &closest);
        EXPECT_EQ(z.Zone(0), c.zone) << c.p;
        EXPECT_EQ(z.Detail(0), c.detail) << c.p;
        EXPECT_EQ(closest.x, c.closest) << c.p;
        EXPECT_EQ(z.Zone(1), 5);
        EXPECT_EQ(z.Detail(1), 4);  // reaches below the floor (checked before the top)
        EXPECT_EQ(z.Zone(2), 5);
        EXPECT_EQ(z.Detail(2), 5);
        EXPECT_EQ(z.bits >> 30, 0u);
    }
    // The vertical reach is 0.55 of the horizontal one.
    FV3 closest;
    PhZoneCode below = PhElem_Classify(low, high, FV3(2.5f, -0.9f, 2.5f), r, &closest);
    EXPECT_EQ(below.Zone(1), 0);
    PhZoneCode near = PhElem_Classify(low, high, FV3(2.5f, -0.7f, 2.5f), r, &closest);
    EXPECT_EQ(near.Zone(1), 1);
    EXPECT_EQ(closest.y, 0.0f);
}

}  // namespace
