// Model preparation: groups, prepared vertices, smoothing, planes, edges, refresh and refusals.
#include <math.h>
#include <string.h>

#include <map>
#include <set>

#include "db_support.h"

using namespace dbtest;

namespace {

class Prepare : public Db {};

// How often each visible edge number occurs in a group, and how many edges are hidden.
std::map<int, int> edge_uses(const br_prepared_group &g, int *hidden)
{
    std::map<int, int> uses;
    *hidden = 0;
    for (int f = 0; f < g.nfaces; f++)
        for (int e = 0; e < 3; e++) {
            if (g.faces[f].edges[e] == 0)
                ++*hidden;
            else
                uses[g.faces[f].edges[e]]++;
        }
    return uses;
}

float sign(float x) { return x > 0 ? 1.0f : x < 0 ? -1.0f : 0.0f; }

// Each prepared face plane holds its three prepared vertices.
void expect_planes_hold(const br_prepared_group &g)
{
    for (int f = 0; f < g.nfaces; f++) {
        const br_prepared_face &pf = g.faces[f];
        EXPECT_NEAR(BrVector3Length(&pf.n), 1.0f, 1e-5f);
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(BrVector3Dot(&pf.n, &g.vertices[pf.vertices[c]].p), pf.d, 1e-5f) << "face " << f;
    }
}

TEST_F(Prepare, CubeWithOneSmoothingGroupSharesItsCorners)
{
    br_model *m = make_cube("cube");
    BrModelUpdate(m, BR_MODU_ALL);
    ASSERT_NE(m->prepared, nullptr);
    ASSERT_EQ(m->prepared->ngroups, 1);
    const br_prepared_group &g = m->prepared->groups[0];
    EXPECT_EQ(g.nfaces, 12);
    EXPECT_EQ(g.nvertices, 8);
    EXPECT_EQ(g.stored, nullptr);
    EXPECT_TRUE(m->flags & BR_MODF_FACE_WITHOUT_MATERIAL);

    for (int v = 0; v < 8; v++) {
        const br_prepared_vertex &pv = g.vertices[v];
        const br_vertex &sv = m->vertices[g.vertex_user[v]];
        EXPECT_EQ(memcmp(&pv.p, &sv.p, sizeof(pv.p)), 0);
        EXPECT_NEAR(BrVector3Length(&pv.n), 1.0f, 1e-5f);
        for (int a = 0; a < 3; a++)
            EXPECT_EQ(sign(pv.n.v[a]), sign(pv.p.v[a])) << "normal points out of its corner";
        br_uint_32 i = g.vertex_user[v];
        EXPECT_EQ(g.vertex_colours[v], i << 24 | (10 + i) << 16 | (20 + i) << 8 | (30 + i));
    }
    // Every prepared face names the source vertices of its source face.
    for (int f = 0; f < 12; f++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(g.vertex_user[g.faces[f].vertices[c]], m->faces[g.face_user[f]].vertices[c]);
    expect_planes_hold(g);

    // The 12 cube edges, each shared by two faces; the 6 diagonals hidden on both sides.
    int hidden;
    std::map<int, int> uses = edge_uses(g, &hidden);
    EXPECT_EQ(hidden, 12);
    EXPECT_EQ(uses.size(), 12u);
    for (auto &[edge, n] : uses)
        EXPECT_EQ(n, 2) << "edge " << edge;
    EXPECT_EQ(g.nedges, 13);
    EXPECT_TRUE(failures.empty());
}

TEST_F(Prepare, CubeWithAGroupPerSideSplitsEveryCorner)
{
    const br_uint_16 sides[6] = {1, 2, 4, 8, 16, 32};
    br_model *m = make_cube("cube", BR_MODF_UPDATEABLE, sides);
    BrModelUpdate(m, BR_MODU_ALL);
    ASSERT_NE(m->prepared, nullptr);
    ASSERT_EQ(m->prepared->ngroups, 1);
    const br_prepared_group &g = m->prepared->groups[0];
    EXPECT_EQ(g.nvertices, 24);
    // A split vertex carries the normal of its side.
    for (int f = 0; f < 12; f++)
        for (int c = 0; c < 3; c++) {
            const br_vector3 &n = g.vertices[g.faces[f].vertices[c]].n;
            EXPECT_NEAR(BrVector3Dot(&n, &g.faces[f].n), 1.0f, 1e-5f);
        }
    expect_planes_hold(g);
    // Sides no longer share vertices, so no edge is shared: 4 per side.
    int hidden;
    std::map<int, int> uses = edge_uses(g, &hidden);
    EXPECT_EQ(uses.size(), 24u);
    for (auto &[edge, n] : uses)
        EXPECT_EQ(n, 1);
    EXPECT_EQ(g.nedges, 25);
    EXPECT_TRUE(failures.empty());
}

TEST_F(Prepare, CreaseAngleStopsSmoothingAtTheCubeEdges)
{
    br_model *m = make_cube("cube", BR_MODF_UPDATEABLE | BR_MODF_USE_CREASE);
    m->crease_angle = 8192; // 45 degrees: the coplanar triangles of a side still smooth together
    BrModelUpdate(m, BR_MODU_ALL);
    ASSERT_NE(m->prepared, nullptr);
    EXPECT_EQ(m->prepared->groups[0].nvertices, 24);
}

TEST_F(Prepare, FaceWithoutSmoothingGroupKeepsItsOwnNormal)
{
    const br_uint_16 none[6] = {0, 0, 0, 0, 0, 0};
    br_model *m = make_cube("cube", BR_MODF_UPDATEABLE, none);
    BrModelUpdate(m, BR_MODU_ALL);
    const br_prepared_group &g = m->prepared->groups[0];
    for (int f = 0; f < 12; f++)
        for (int c = 0; c < 3; c++) {
            const br_vector3 &n = g.vertices[g.faces[f].vertices[c]].n;
            EXPECT_NEAR(BrVector3Dot(&n, &g.faces[f].n), 1.0f, 1e-5f);
        }
}

TEST_F(Prepare, BoundsRadiusAndPivot)
{
    br_model *m = make_cube("cube");
    m->vertices[2].p.v[0] = 3.0f;
    BrVector3Set(&m->pivot, 1.0f, 0.0f, 0.0f);
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_FLOAT_EQ(m->bounds.min.v[0], -1.0f);
    EXPECT_FLOAT_EQ(m->bounds.max.v[0], 3.0f);
    EXPECT_FLOAT_EQ(m->bounds.max.v[2], 1.0f);
    EXPECT_FLOAT_EQ(m->radius, sqrtf(11.0f));
    const br_prepared_group &g = m->prepared->groups[0];
    for (int v = 0; v < g.nvertices; v++)
        EXPECT_FLOAT_EQ(g.vertices[v].p.v[0], m->vertices[g.vertex_user[v]].p.v[0] - 1.0f);
}

TEST_F(Prepare, TwoMaterialsMakeTwoGroupsInPointerOrder)
{
    br_material *a = BrMaterialAllocate("a");
    br_material *b = BrMaterialAllocate("b");
    br_model *m = make_cube("cube");
    for (int f = 0; f < 12; f++)
        m->faces[f].material = f < 6 ? a : b;
    BrModelUpdate(m, BR_MODU_ALL);
    ASSERT_EQ(m->prepared->ngroups, 2);
    EXPECT_FALSE(m->flags & BR_MODF_FACE_WITHOUT_MATERIAL);
    const br_prepared_group *g = m->prepared->groups;
    br_material *first = m->faces[g[0].face_user[0]].material;
    br_material *second = m->faces[g[1].face_user[0]].material;
    EXPECT_LT((uintptr_t)first, (uintptr_t)second);
    EXPECT_EQ(first, a < b ? a : b);
    std::set<int> seen[2];
    for (int gi = 0; gi < 2; gi++) {
        EXPECT_EQ(g[gi].nfaces, 6);
        for (int f = 0; f < g[gi].nfaces; f++) {
            EXPECT_EQ(m->faces[g[gi].face_user[f]].material, gi ? second : first);
            for (int c = 0; c < 3; c++) {
                ASSERT_LT(g[gi].faces[f].vertices[c], g[gi].nvertices);
                seen[gi].insert(g[gi].vertex_user[g[gi].faces[f].vertices[c]]);
            }
        }
        expect_planes_hold(g[gi]);
    }
    // Group 1 follows group 0 in the shared arrays.
    EXPECT_EQ(g[1].faces, g[0].faces + g[0].nfaces);
    EXPECT_EQ(g[1].vertices, g[0].vertices + g[0].nvertices);
    // Vertex 1 is only on the first three sides and vertex 7 only on the last three; the rest
    // border both materials and are duplicated.
    std::set<int> both;
    for (int v : seen[0])
        if (seen[1].count(v))
            both.insert(v);
    EXPECT_EQ(both, (std::set<int>{0, 2, 3, 4, 5, 6}));
    EXPECT_EQ(g[0].nvertices + g[1].nvertices, 14);
}

TEST_F(Prepare, NormalComponentsAtPlusOrMinusOne)
{
    br_model *m = BrModelAllocate("flat", 4, 2);
    m->flags = BR_MODF_UPDATEABLE;
    BrVector3Set(&m->vertices[0].p, 0, 0, 0);
    BrVector3Set(&m->vertices[1].p, 1, 0, 0);
    BrVector3Set(&m->vertices[2].p, 0, 1, 0);
    BrVector3Set(&m->vertices[3].p, 1, 1, 0);
    const br_uint_16 fv[2][3] = {{0, 1, 2}, {0, 2, 1}}; // +z and -z
    for (int f = 0; f < 2; f++)
        memcpy(m->faces[f].vertices, fv[f], sizeof(fv[f]));
    BrModelUpdate(m, BR_MODU_ALL);
    br_uint_32 bits;
    memcpy(&bits, &m->faces[1].normal.v[2], 4);
    EXPECT_EQ(bits, 0xbf7ffffeu);
    EXPECT_EQ(m->faces[0].normal.v[2], 1.0f);
}

TEST_F(Prepare, SharedEdgeNumbers)
{
    struct {
        const char *name;
        br_uint_16 second[3];
        int edge_numbers;
    } cases[] = {
        {"opposite directions share", {2, 1, 3}, 5},
        {"same direction do not", {1, 2, 3}, 6},
    };
    for (auto &c : cases) {
        br_model *m = BrModelAllocate(c.name, 4, 2);
        m->flags = BR_MODF_UPDATEABLE | BR_MODF_NO_POSITION_MERGE;
        BrVector3Set(&m->vertices[0].p, 0, 0, 0);
        BrVector3Set(&m->vertices[1].p, 1, 0, 0);
        BrVector3Set(&m->vertices[2].p, 0, 1, 0);
        BrVector3Set(&m->vertices[3].p, 1, 1, 0);
        const br_uint_16 first[3] = {0, 1, 2};
        memcpy(m->faces[0].vertices, first, sizeof(first));
        memcpy(m->faces[1].vertices, c.second, sizeof(c.second));
        m->faces[0].smoothing = m->faces[1].smoothing = 1;
        BrModelUpdate(m, BR_MODU_ALL);
        ASSERT_NE(m->prepared, nullptr) << c.name;
        int hidden;
        std::map<int, int> uses = edge_uses(m->prepared->groups[0], &hidden);
        EXPECT_EQ((int)uses.size(), c.edge_numbers) << c.name;
        EXPECT_EQ(m->prepared->groups[0].nedges, c.edge_numbers + 1) << c.name;
    }
}

TEST_F(Prepare, RefreshMovesPositionsWithoutRebuilding)
{
    br_model *m = make_cube("cube");
    BrModelUpdate(m, BR_MODU_ALL);
    br_prepared_model *before = m->prepared;
    br_prepared_group *groups = before->groups;
    for (int v = 0; v < 8; v++)
        BrVector3Scale(&m->vertices[v].p, &m->vertices[v].p, 2.0f);
    m->vertices[0].colour.red = 0xEE;
    BrModelUpdate(m, BR_MODU_POSITIONS | BR_MODU_VERTEX_COLOURS);
    ASSERT_EQ(m->prepared, before);
    EXPECT_EQ(m->prepared->groups, groups);
    const br_prepared_group &g = groups[0];
    for (int v = 0; v < g.nvertices; v++) {
        EXPECT_EQ(g.vertices[v].p.v[0], m->vertices[g.vertex_user[v]].p.v[0]);
        EXPECT_NEAR(BrVector3Length(&g.vertices[v].n), 1.0f, 1e-5f);
        if (g.vertex_user[v] == 0) {
            EXPECT_EQ((g.vertex_colours[v] >> 16) & 0xff, 0xEEu);
        }
    }
    for (int f = 0; f < g.nfaces; f++)
        EXPECT_FLOAT_EQ(g.faces[f].d, 2.0f);
    expect_planes_hold(g);
    EXPECT_FLOAT_EQ(m->bounds.max.v[1], 2.0f);
}

TEST_F(Prepare, GivenNormalsAreCopiedAndKept)
{
    br_model *m = make_cube("cube", BR_MODF_UPDATEABLE | BR_MODF_GIVEN_NORMALS);
    BrModelUpdate(m, BR_MODU_ALL);
    for (int v = 0; v < 8; v++)
        BrVector3Set(&m->vertices[v].normal, 0.0f, 1.0f, 0.0f);
    BrModelUpdate(m, BR_MODU_NORMALS);
    const br_prepared_group &g = m->prepared->groups[0];
    for (int v = 0; v < g.nvertices; v++)
        EXPECT_EQ(g.vertices[v].n.v[1], 1.0f);
    // A position refresh recomputes the planes but leaves given normals alone.
    m->vertices[0].p.v[2] = 3.0f;
    BrModelUpdate(m, BR_MODU_POSITIONS);
    for (int v = 0; v < g.nvertices; v++)
        EXPECT_EQ(g.vertices[v].n.v[1], 1.0f);
    expect_planes_hold(g);
}

TEST_F(Prepare, FullUpdateOfTheSameSizeReusesTheBlock)
{
    br_model *m = make_cube("cube");
    BrModelUpdate(m, BR_MODU_ALL);
    br_prepared_model *before = m->prepared;
    br_uint_32 size = before->size;
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_EQ(m->prepared, before);
    EXPECT_EQ(m->prepared->size, size);
    EXPECT_EQ((uintptr_t)m->prepared % 32, 0u);
}

TEST_F(Prepare, SourceArraysGoUnlessUpdateable)
{
    br_model *m = make_cube("dropped", 0);
    ASSERT_EQ(BrModelAdd(m), m);
    EXPECT_NE(m->prepared, nullptr);
    EXPECT_EQ(m->vertices, nullptr);
    EXPECT_EQ(m->faces, nullptr);
    EXPECT_EQ(m->nvertices, 0);
    EXPECT_EQ(m->nfaces, 0);

    br_model *kept = make_cube("kept", BR_MODF_KEEP_SOURCE);
    BrModelAdd(kept);
    EXPECT_TRUE(kept->flags & BR_MODF_UPDATEABLE);
    EXPECT_NE(kept->vertices, nullptr);
}

TEST_F(Prepare, NeverPreparedModelIsRegisteredAsItIs)
{
    br_model *m = make_cube("raw", BR_MODF_NEVER_PREPARE);
    EXPECT_EQ(BrModelAdd(m), m);
    EXPECT_EQ(BrModelFind("raw"), m);
    EXPECT_EQ(m->prepared, nullptr);
    EXPECT_NE(m->vertices, nullptr);
    EXPECT_EQ(m->radius, 0.0f);
}

TEST_F(Prepare, ModelWithoutGeometryIsReported)
{
    br_model *m = BrModelAllocate(nullptr, 0, 0);
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_TRUE(has_failure("BrModelUpdate: model has no faces or vertices (<NULL>)"));
    EXPECT_EQ(m->prepared, nullptr);
}

TEST_F(Prepare, InvalidVertexNumbersLeaveTheirFacesOut)
{
    br_model *m = make_cube("bad");
    m->faces[3].vertices[1] = 8;
    m->faces[7].vertices[2] = 0xffff;
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_TRUE(has_failure("face references invalid vertex f=3 v=1"));
    EXPECT_TRUE(has_failure("face references invalid vertex f=7 v=2"));
    ASSERT_NE(m->prepared, nullptr);
    const br_prepared_group &g = m->prepared->groups[0];
    EXPECT_EQ(g.nfaces, 10);
    for (int f = 0; f < g.nfaces; f++) {
        EXPECT_NE(g.face_user[f], 3);
        EXPECT_NE(g.face_user[f], 7);
        for (int c = 0; c < 3; c++)
            EXPECT_LT(g.faces[f].vertices[c], g.nvertices);
    }
}

// A twisted grid without smoothing: every corner has a normal of its own, so one material group
// would need more prepared vertices than 16 bits can number.
TEST_F(Prepare, TooManyPreparedVerticesAreRefused)
{
    const int n = 110;
    br_model *m = BrModelAllocate("big", n * n, 2 * (n - 1) * (n - 1));
    m->flags = BR_MODF_UPDATEABLE;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++)
            BrVector3Set(&m->vertices[y * n + x].p, (float)x, (float)y, (float)(x * y) * 0.01f + (float)(x * x) * 0.001f);
    int f = 0;
    for (int y = 0; y + 1 < n; y++)
        for (int x = 0; x + 1 < n; x++) {
            br_uint_16 a = (br_uint_16)(y * n + x), b = (br_uint_16)(a + 1), c = (br_uint_16)(a + n),
                       d = (br_uint_16)(a + n + 1);
            const br_uint_16 t[2][3] = {{a, b, d}, {a, d, c}};
            memcpy(m->faces[f++].vertices, t[0], sizeof(t[0]));
            memcpy(m->faces[f++].vertices, t[1], sizeof(t[1]));
        }
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_TRUE(has_failure("too many vertices"));
    ASSERT_EQ(m->prepared, nullptr) << m->prepared->groups[0].nvertices;
    EXPECT_NE(m->vertices, nullptr) << "a refused model keeps its source";
}

// 21845 separate triangles: 65535 prepared vertices still fit, but 65535 edges need 65536 numbers.
TEST_F(Prepare, TooManyEdgesAreRefused)
{
    const int nf = 21845;
    br_model *m = BrModelAllocate("edges", nf * 3, nf);
    m->flags = BR_MODF_UPDATEABLE;
    for (int f = 0; f < nf; f++) {
        for (int c = 0; c < 3; c++) {
            BrVector3Set(&m->vertices[f * 3 + c].p, (float)(f % 256) * 4 + (c == 1), (float)(f / 256) * 4 + (c == 2),
                         0.0f);
            m->faces[f].vertices[c] = (br_uint_16)(f * 3 + c);
        }
        m->faces[f].smoothing = 1;
    }
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_TRUE(has_failure("too many edges"));
    EXPECT_EQ(m->prepared, nullptr);

    // One triangle fewer fits.
    failures.clear();
    m->nfaces = nf - 1;
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_TRUE(failures.empty());
    ASSERT_NE(m->prepared, nullptr);
    EXPECT_EQ(m->prepared->groups[0].nedges, 65533);
}

TEST_F(Prepare, ScratchHeldByTheCallerIsNotTaken)
{
    void *held = BrScratchAllocate(64);
    ASSERT_NE(held, nullptr);
    memset(held, 0x5a, 64);
    br_model *m = make_cube("cube");
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_NE(m->prepared, nullptr) << "the update gets a block of its own";
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(((unsigned char *)held)[i], 0x5a);
    BrScratchFree(held);
    failures.clear();
    BrModelUpdate(m, BR_MODU_ALL);
    EXPECT_NE(m->prepared, nullptr);
    EXPECT_TRUE(failures.empty());
}

} // namespace
