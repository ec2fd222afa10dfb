// The driver objects as the database reaches them: found with no configuration through the
// built-in images, a renderer from the facility, its formats, a prepared cube drawn through the
// V1 model format into pixel maps of the library, and texture buffers over pixel maps.
#include "brondel/brcore.h"
#include "brondel/brdevice.h"
#include "brondel/brmatrix.h"
#include "brondel/brpixmap.h"
#include "brondel/brv1db.h"
#include "softrend.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using srtest::fv;
using srtest::pv;
using srtest::u32v;

namespace {

class Driver : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrBegin(), (br_error)BRE_OK);
        SoftrendImagesAdd();
    }
    void TearDown() override
    {
        if (renderer)
            ObjectFree(renderer);
        BrEnd();
    }
    void start()
    {
        ASSERT_EQ(BrRendererFacilityFind(&facility, nullptr, BRT_FLOAT), (br_error)BRE_OK);
        br_token_value none[] = {{0, {}}};
        ASSERT_EQ(facility->dispatch->_rendererNew(facility, &renderer, none), (br_error)BRE_OK);
    }
    br_renderer_facility *facility = nullptr;
    br_renderer *renderer = nullptr;
};

// With no configuration at all the facility, the primitive library and the formats are found
// through the compiled-in images; the device is begun once, and a begin under another name is
// refused.
TEST_F(Driver, DiscoveryWithoutConfiguration)
{
    start();
    EXPECT_STREQ(ObjectIdentifier(facility), "Default-Renderer-Float");
    EXPECT_EQ(ObjectType(facility), (br_token)BRT_RENDERER_FACILITY);
    br_value v;
    ASSERT_EQ(((br_object *)facility)->dispatch->_query((br_object *)facility, &v, BRT_LIGHT_MAX_I32),
              (br_error)BRE_OK);
    EXPECT_EQ(v.i32, 16);
    ASSERT_EQ(((br_object *)facility)->dispatch->_query((br_object *)facility, &v, BRT_CLIP_MAX_I32),
              (br_error)BRE_OK);
    EXPECT_EQ(v.i32, 6);

    EXPECT_EQ(ObjectType(renderer), (br_token)BRT_RENDERER);
    ASSERT_EQ(((br_object *)renderer)->dispatch->_query((br_object *)renderer, &v, BRT_RENDERER_FACILITY_O),
              (br_error)BRE_OK);
    EXPECT_EQ(v.o, (br_object *)facility);

    br_geometry *gf = nullptr;
    ASSERT_EQ(BrGeometryFormatFind(&gf, renderer, facility, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL), (br_error)BRE_OK);
    EXPECT_EQ(ObjectType(gf), (br_token)BRT_GEOMETRY_V1_MODEL);
    ASSERT_EQ(BrGeometryFormatFind(&gf, renderer, facility, BRT_FLOAT, BRT_GEOMETRY_LIGHTING), (br_error)BRE_OK);
    EXPECT_EQ(ObjectType(gf), (br_token)BRT_GEOMETRY_LIGHTING);

    br_primitive_library *pl = nullptr;
    ASSERT_EQ(BrPrimitiveLibraryFind(&pl, nullptr, BRT_FLOAT), (br_error)BRE_OK);
    EXPECT_STREQ(ObjectIdentifier(pl), "Default-Primitives-Float");

    // Asking for the other names adds no second device.
    SoftrendImagesAdd();
    BrDevCheckAdd(nullptr, "softprmf", nullptr);
    BrDevCheckAdd(nullptr, "softform", nullptr);
    br_int_32 n = 0;
    BrDevCount(&n, nullptr);
    EXPECT_EQ(n, 1);

    // The bucket format is the renderer's own: found without another device.
    gf = nullptr;
    ASSERT_EQ(BrGeometryFormatFind(&gf, renderer, facility, BRT_FLOAT, BRT_GEOMETRY_V1_BUCKETS), (br_error)BRE_OK);
    EXPECT_EQ(ObjectType(gf), (br_token)BRT_GEOMETRY_V1_BUCKETS);
    BrDevCount(&n, nullptr);
    EXPECT_EQ(n, 1);
}

br_model *cube_model()
{
    static const float v[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                                  {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
    static const int f[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                 {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};
    br_model *m = BrModelAllocate("cube", 8, 12);
    for (int i = 0; i < 8; ++i)
        std::memcpy(&m->vertices[i].p, v[i], sizeof v[i]);
    for (int i = 0; i < 12; ++i) {
        for (int k = 0; k < 3; ++k)
            m->faces[i].vertices[k] = (br_uint_16)f[i][k];
        m->faces[i].smoothing = (br_uint_16)(1u << (i / 2)); // one group per side
    }
    m->flags = BR_MODF_UPDATEABLE;
    BrModelUpdate(m, BR_MODU_ALL);
    return m;
}

struct Picture {
    br_pixelmap *colour, *depth;
};

// A cube turned towards the eye, lit by a direct light along the view axis, drawn through the V1
// model format with a material state like the database makes.
Picture draw_cube(br_renderer *r, int flags, br_token *on_screen, float *bmin, float *bmax)
{
    Picture p;
    p.colour = BrPixelmapAllocate(BR_PMT_RGB_565, 80, 60, nullptr, flags);
    p.depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, 80, 60, nullptr, flags);
    BrPixelmapFill(p.colour, 0);
    BrPixelmapFill(p.depth, 0xffffffff);
    br_token_value output[] = {{BRT_COLOUR_BUFFER_O, pv(p.colour)}, {BRT_DEPTH_BUFFER_O, pv(p.depth)}, {0, {}}};
    r->dispatch->_partSetMany(r, BRT_OUTPUT, 0, output, nullptr);

    float c = 1.0f / std::tan(0.5f), hither = 1, yon = 50;
    float v2s[16] = {c / (80.0f / 60.0f), 0, 0, 0, 0, c, 0, 0, 0, 0, (yon + hither) / (yon - hither), -1,
                     0, 0, 2 * yon * hither / (yon - hither), 0};
    float a = 0.5f, ca = std::cos(a), sa = std::sin(a);
    // Turned about y, then pushed 6 units in front of the eye.
    float m2v[12] = {ca, 0, -sa, 0, 1, 0, sa, 0, ca, 0, 0, -6};
    br_token_value matrix[] = {{BRT_VIEW_TO_SCREEN_M4_F, pv(v2s)},
                               {BRT_VIEW_TO_SCREEN_HINT_T, u32v(BRT_PERSPECTIVE)},
                               {BRT_MODEL_TO_VIEW_M34_F, pv(m2v)},
                               {BRT_MODEL_TO_VIEW_HINT_T, u32v(BRT_LENGTH_PRESERVING)},
                               {0, {}}};
    r->dispatch->_partSetMany(r, BRT_MATRIX, 0, matrix, nullptr);
    float dir[3] = {0, 0, 1};
    br_token_value light[] = {{BRT_COLOUR_RGB, u32v(0xffffff)}, {BRT_TYPE_T, u32v(BRT_DIRECT)},
                              {BRT_DIRECTION_V3_F, pv(dir)}, {0, {}}};
    r->dispatch->_partSetMany(r, BRT_LIGHT, 0, light, nullptr);
    r->dispatch->_partSet(r, BRT_ENABLE, 0, BRT_BOUNDS_B, u32v(1));

    r->dispatch->_statePush(r, 0x80000041u);
    r->dispatch->_stateDefault(r, 0x80000041u);
    br_token_value surface[] = {{BRT_COLOUR_RGB, u32v(0xffffff)}, {BRT_AMBIENT_F, fv(0.1f)},
                                {BRT_DIFFUSE_F, fv(0.7f)},        {BRT_LIGHTING_B, u32v(1)},
                                {0, {}}};
    r->dispatch->_partSetMany(r, BRT_SURFACE, 0, surface, nullptr);
    br_renderer_state_stored *material = nullptr;
    r->dispatch->_newStoredState(r, &material, 0x80000041u, nullptr);
    r->dispatch->_statePop(r, 0x80000041u);

    br_model *m = cube_model();
    r->dispatch->_boundsTest(r, on_screen, &m->bounds);
    r->dispatch->_stateDefault(r, 0x20);
    br_geometry *gf = nullptr;
    BrGeometryFormatFind(&gf, r, nullptr, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL);
    br_geometry_v1_model *v1 = (br_geometry_v1_model *)gf;
    EXPECT_EQ(v1->dispatch->_render(v1, r, m->prepared, material, BRT_TRIANGLE), (br_error)BRE_OK);

    br_token_value q[] = {{BRT_MIN_V2_F, {}}, {BRT_MAX_V2_F, {}}, {0, {}}};
    alignas(16) char buffer[64];
    r->dispatch->_partQueryBuffer(r, BRT_BOUNDS, 0, q, buffer, sizeof buffer);
    std::memcpy(bmin, q[0].v.vf, 2 * sizeof(float));
    std::memcpy(bmax, q[1].v.vf, 2 * sizeof(float));
    ObjectFree(material);
    BrModelFree(m);
    return p;
}

br_uint_16 at(br_pixelmap *pm, int x, int y)
{
    br_uint_16 v;
    std::memcpy(&v, (char *)pm->pixels + (std::ptrdiff_t)(pm->base_y + y) * pm->row_bytes + (pm->base_x + x) * 2, 2);
    return v;
}

TEST_F(Driver, CubeThroughTheModelFormat)
{
    start();
    br_token on_screen = 0;
    float bmin[2], bmax[2];
    Picture a = draw_cube(renderer, 0, &on_screen, bmin, bmax);
    EXPECT_EQ(on_screen, (br_token)BRT_ACCEPT);
    // Two sides are seen: the front one head-on-ish, the right one at an angle; both lit, not black.
    int drawn = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            drawn += at(a.colour, x, y) != 0;
    EXPECT_GT(drawn, 300);
    EXPECT_NE(at(a.colour, 40, 30), 0);
    EXPECT_LT(at(a.depth, 40, 30), 0xffff);
    // The bounds part holds the rectangle of what was drawn.
    int minx = 80, maxx = -1, miny = 60, maxy = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            if (at(a.colour, x, y)) {
                minx = std::min(minx, x), maxx = std::max(maxx, x);
                miny = std::min(miny, y), maxy = std::max(maxy, y);
            }
    EXPECT_EQ(bmin[0], (float)minx);
    EXPECT_EQ(bmax[0], (float)maxx);
    EXPECT_EQ(bmin[1], (float)miny);
    EXPECT_EQ(bmax[1], (float)maxy);

    // A bottom-up pair of maps holds the same picture.
    Picture b = draw_cube(renderer, PIXELMAP_ALLOCATE_INVERTED, &on_screen, bmin, bmax);
    ASSERT_LT(b.colour->row_bytes, 0);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(at(a.colour, x, y), at(b.colour, x, y)) << x << "," << y;
    for (Picture *p : {&a, &b}) {
        BrPixelmapFree(p->colour);
        BrPixelmapFree(p->depth);
    }
}

} // namespace
