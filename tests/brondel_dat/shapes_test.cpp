// The model writer's shapes: faces that face outwards, texture corners inside the wrap-free range,
// the counts and orders the data relies on, and a clean preparation and file round trip.
#include <math.h>

#include <modtool/shapes.h>

#include "dat_support.h"

namespace {

using namespace dattest;

struct ShapeCase {
    const char *shape;
    int vertices, faces;
    bool closed; // a solid: every face points away from its inside
};

class Shapes : public Dat, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(Shapes, FacesPointOutwardsAndMapsStayInRange)
{
    const ShapeCase &c = GetParam();
    modtool::ShapeOptions o;
    o.size = {{2.0f, 1.0f, 3.0f}};
    o.segments = 6;
    o.rings = 4;
    br_model *m = modtool::ShapeMake(c.shape, o);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->identifier, c.shape);
    EXPECT_EQ(m->nvertices, c.vertices);
    EXPECT_EQ(m->nfaces, c.faces);

    br_vector3 inside = {};
    for (int i = 0; i < m->nvertices; i++) {
        BrVector3Accumulate(&inside, &m->vertices[i].p);
        for (int k = 0; k < 2; k++) {
            EXPECT_GE(m->vertices[i].map.v[k], 0.0f);
            EXPECT_LE(m->vertices[i].map.v[k], 0.99f);
        }
    }
    BrVector3Scale(&inside, &inside, 1.0f / (float)m->nvertices);
    for (int f = 0; f < m->nfaces; f++) {
        const br_vector3 &a = m->vertices[m->faces[f].vertices[0]].p, &b = m->vertices[m->faces[f].vertices[1]].p,
                         &d = m->vertices[m->faces[f].vertices[2]].p;
        br_vector3 e1, e2, n, out;
        BrVector3Sub(&e1, &b, &a);
        BrVector3Sub(&e2, &d, &a);
        BrVector3Cross(&n, &e1, &e2);
        EXPECT_GT(BrVector3Length(&n), 1e-6f) << c.shape << " face " << f << " has no area";
        BrVector3Sub(&out, &a, &inside);
        if (c.closed)
            EXPECT_GT(BrVector3Dot(&n, &out), 0.0f) << c.shape << " face " << f;
        else
            EXPECT_GT(n.v[1], 0.0f) << c.shape << " face " << f;
    }

    // Prepared without a word, and through a file unchanged.
    BrModelAdd(m);
    EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures[0];
    EXPECT_GT(m->radius, 0.0f);
    ASSERT_EQ(BrModelSave(path("shape.mod").c_str(), m), 1u);
    br_model *l = BrModelLoad(path("shape.mod").c_str());
    ASSERT_NE(l, nullptr);
    ASSERT_EQ(l->nfaces, m->nfaces);
    for (int f = 0; f < m->nfaces; f++) {
        EXPECT_EQ(l->faces[f].smoothing, m->faces[f].smoothing);
        EXPECT_EQ(l->faces[f].vertices[1], m->faces[f].vertices[1]);
    }
}

INSTANTIATE_TEST_SUITE_P(All, Shapes,
                         ::testing::Values(ShapeCase{"cube", 24, 12, true}, ShapeCase{"plate", 144, 72, false},
                                           ShapeCase{"slope", 18, 8, true}, ShapeCase{"corner", 16, 6, true},
                                           ShapeCase{"sphere", 35, 36, true}),
                         [](const ::testing::TestParamInfo<ShapeCase> &info) { return info.param.shape; });

TEST_F(Dat, ShapeSidesKeepTheirOrderAndGroups)
{
    modtool::ShapeOptions o;
    br_model *cube = modtool::ShapeMake("cube", o);
    // Sides +z, -z, +x, -x, +y, -y, two faces each, each side its own group.
    const float normal_axis[6][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    BrModelAdd(cube);
    for (int f = 0; f < 12; f++) {
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(cube->faces[f].normal.v[k], normal_axis[f / 2][k], 1e-6f) << "face " << f;
        EXPECT_EQ(cube->faces[f].smoothing, 1u << (f / 2));
    }
    o.smooth = true;
    o.name = "round";
    br_model *smooth = modtool::ShapeMake("cube", o);
    EXPECT_STREQ(smooth->identifier, "round");
    for (int f = 0; f < 12; f++)
        EXPECT_EQ(smooth->faces[f].smoothing, 1);
    EXPECT_EQ(modtool::ShapeMake("pyramid", o), nullptr);
}

} // namespace
