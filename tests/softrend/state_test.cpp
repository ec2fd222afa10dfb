// Renderer state: every part through token-value templates, the stack, stored copies, defaults,
// the model matrix operations, the bounds test, and drawing from state set by tokens.
#include "rstate.h"
#include "support.h"

#include "brondel/brcore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

using namespace srtest;

namespace {

class RendererState : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
        sm = new sr::StateMachine(nullptr);
    }
    void TearDown() override
    {
        delete sm;
        BrFwEnd();
    }
    br_value query(br_token part, int index, br_token t, br_error expect = BRE_OK)
    {
        br_value v;
        v.raw = 0;
        EXPECT_EQ(sm->partQuery(part, index, &v, buffer, sizeof buffer, t), expect) << BrTokenIdentifier(t);
        return v;
    }
    sr::StateMachine *sm = nullptr;
    alignas(16) char buffer[256];
};

struct ScalarCase {
    br_token part;
    int index;
    br_token t;
    br_uint_32 bits; // the 32-bit value (floats by their bits)
};

br_uint_32 fbits(float f)
{
    br_uint_32 b;
    std::memcpy(&b, &f, 4);
    return b;
}

// Scalars, tokens, booleans and colours of every part come back as they were set.
TEST_F(RendererState, ScalarsOfEveryPartRoundTrip)
{
    const ScalarCase cases[] = {
        {BRT_MATRIX, 0, BRT_MODEL_TO_VIEW_HINT_T, BRT_LENGTH_PRESERVING},
        {BRT_MATRIX, 0, BRT_VIEW_TO_SCREEN_HINT_T, BRT_PERSPECTIVE},
        {BRT_MATRIX, 0, BRT_VIEW_TO_ENVIRONMENT_HINT_T, BRT_NONE},
        {BRT_HIDDEN_SURFACE, 0, BRT_TYPE_T, BRT_BUCKET_SORT},
        {BRT_ENABLE, 0, BRT_BOUNDS_B, 1},
        {BRT_LIGHT, 15, BRT_TYPE_T, BRT_SPOT},
        {BRT_LIGHT, 3, BRT_SPACE_T, BRT_MODEL},
        {BRT_LIGHT, 0, BRT_COLOUR_RGB, 0x323232},
        {BRT_LIGHT, 7, BRT_ATTENUATION_C_F, fbits(1.7f)},
        {BRT_LIGHT, 7, BRT_ATTENUATION_L_F, fbits(2.0f)},
        {BRT_LIGHT, 7, BRT_ATTENUATION_Q_F, fbits(0.5f)},
        {BRT_LIGHT, 2, BRT_SPOT_OUTER_F, fbits(0.8f)},
        {BRT_LIGHT, 2, BRT_SPOT_INNER_F, fbits(0.9f)},
        {BRT_CLIP, 5, BRT_TYPE_T, BRT_PLANE},
        {BRT_SURFACE, 0, BRT_COLOUR_RGB, 0xc08040},
        {BRT_SURFACE, 0, BRT_OPACITY_F, fbits(0.5f)},
        {BRT_SURFACE, 0, BRT_AMBIENT_F, fbits(0.1f)},
        {BRT_SURFACE, 0, BRT_DIFFUSE_F, fbits(0.7f)},
        {BRT_SURFACE, 0, BRT_SPECULAR_F, fbits(0.3f)},
        {BRT_SURFACE, 0, BRT_SPECULAR_POWER_F, fbits(20.0f)},
        {BRT_SURFACE, 0, BRT_LIGHTING_B, 1},
        {BRT_SURFACE, 0, BRT_FORCE_FRONT_B, 1},
        {BRT_SURFACE, 0, BRT_COLOUR_SOURCE_T, BRT_GEOMETRY},
        {BRT_SURFACE, 0, BRT_MAPPING_SOURCE_T, BRT_ENVIRONMENT_LOCAL},
        {BRT_PRIMITIVE, 0, BRT_COLOUR_RGB, 0x102030},
        {BRT_PRIMITIVE, 0, BRT_OPACITY_F, fbits(0.25f)},
        {BRT_PRIMITIVE, 0, BRT_MODULATE_B, 1},
        {BRT_PRIMITIVE, 0, BRT_BLEND_B, 1},
        {BRT_PRIMITIVE, 0, BRT_SMOOTH_B, 1},
        {BRT_PRIMITIVE, 0, BRT_PERSPECTIVE_B, 1},
        {BRT_PRIMITIVE, 0, BRT_PERSPECTIVE_T, BRT_SUBDIVIDE},
        {BRT_PRIMITIVE, 0, BRT_SUBDIVIDE_TOLERANCE_I32, (br_uint_32)-3},
        {BRT_PRIMITIVE, 0, BRT_DECAL_B, 1},
        {BRT_PRIMITIVE, 0, BRT_DITHER_MAP_B, 1},
        {BRT_PRIMITIVE, 0, BRT_DITHER_COLOUR_B, 1},
        {BRT_PRIMITIVE, 0, BRT_INDEX_BASE_I32, 10},
        {BRT_PRIMITIVE, 0, BRT_INDEX_RANGE_I32, 31},
        {BRT_PRIMITIVE, 0, BRT_MAP_ANTIALIASING_T, BRT_LINEAR},
        {BRT_PRIMITIVE, 0, BRT_MAP_INTERPOLATION_T, BRT_LINEAR},
        {BRT_PRIMITIVE, 0, BRT_MIP_INTERPOLATION_T, BRT_LINEAR},
        {BRT_PRIMITIVE, 0, BRT_FOG_T, BRT_LINEAR},
        {BRT_PRIMITIVE, 0, BRT_FOG_MIN_F, fbits(2.0f)},
        {BRT_PRIMITIVE, 0, BRT_FOG_MAX_F, fbits(9.0f)},
        {BRT_PRIMITIVE, 0, BRT_FOG_RGB, 0x808080},
        {BRT_CULL, 0, BRT_TYPE_T, BRT_TWO_SIDED},
    };
    for (const ScalarCase &c : cases) {
        EXPECT_EQ(sm->partSet(c.part, c.index, c.t, u32v(c.bits)), (br_error)BRE_OK) << BrTokenIdentifier(c.t);
        EXPECT_EQ(query(c.part, c.index, c.t).u32, c.bits) << BrTokenIdentifier(c.t);
    }
    // Index 15 of the lights and 5 of the clip planes are the last ones.
    EXPECT_EQ(sm->cur.light[15].type, (br_token)BRT_SPOT);
    EXPECT_EQ(sm->cur.clip[5].type, (br_token)BRT_PLANE);
    EXPECT_FLOAT_EQ(sm->cur.light[7].att_c, 1.7f);
}

// Pointers and objects keep their full width.
TEST_F(RendererState, PointersAndObjects)
{
    int a, b, c;
    const struct {
        br_token part, t;
        const void *p;
    } cases[] = {
        {BRT_OUTPUT, BRT_COLOUR_BUFFER_O, &a},      {BRT_OUTPUT, BRT_DEPTH_BUFFER_O, &b},
        {BRT_HIDDEN_SURFACE, BRT_V1ORDER_TABLE_P, &c}, {BRT_HIDDEN_SURFACE, BRT_V1PRIMITIVE_HEAP_P, &a},
        {BRT_HIDDEN_SURFACE, BRT_V1INSERT_FUNCTION_P, &b}, {BRT_HIDDEN_SURFACE, BRT_V1INSERT_ARG1_P, &c},
        {BRT_HIDDEN_SURFACE, BRT_V1INSERT_ARG2_P, &a}, {BRT_HIDDEN_SURFACE, BRT_V1INSERT_ARG3_P, &b},
        {BRT_PRIMITIVE, BRT_COLOUR_MAP_O, &a},       {BRT_PRIMITIVE, BRT_INDEX_SHADE_O, &b},
        {BRT_PRIMITIVE, BRT_INDEX_BLEND_O, &c},      {BRT_PRIMITIVE, BRT_INDEX_FOG_O, &a},
        {BRT_PRIMITIVE, BRT_SCREEN_DOOR_O, &b},
    };
    for (const auto &k : cases) {
        EXPECT_EQ(sm->partSet(k.part, 0, k.t, pv(k.p)), (br_error)BRE_OK);
        EXPECT_EQ(query(k.part, 0, k.t).p, k.p) << BrTokenIdentifier(k.t);
    }
}

// Vectors and matrices are set from a pointer and queried as a pointer to a copy.
TEST_F(RendererState, VectorsAndMatrices)
{
    float m34[12], m4[16], m23[6], v3[3] = {1, -2, 3}, v4[4] = {0.5f, 0, -1, 2};
    for (int i = 0; i < 12; ++i)
        m34[i] = (float)i * 0.5f - 1;
    for (int i = 0; i < 16; ++i)
        m4[i] = (float)(i * i) * 0.25f;
    for (int i = 0; i < 6; ++i)
        m23[i] = (float)i + 0.125f;
    const struct {
        br_token part;
        int index;
        br_token t;
        const float *data;
        int n;
    } cases[] = {
        {BRT_MATRIX, 0, BRT_MODEL_TO_VIEW_M34_F, m34, 12}, {BRT_MATRIX, 0, BRT_VIEW_TO_SCREEN_M4_F, m4, 16},
        {BRT_MATRIX, 0, BRT_VIEW_TO_ENVIRONMENT_M34_F, m34, 12}, {BRT_LIGHT, 9, BRT_POSITION_V3_F, v3, 3},
        {BRT_LIGHT, 9, BRT_DIRECTION_V3_F, v3, 3},       {BRT_CLIP, 1, BRT_PLANE_V4_F, v4, 4},
        {BRT_SURFACE, 0, BRT_MAP_MATRIX_M23_F, m23, 6},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(sm->partSet(c.part, c.index, c.t, pv(c.data)), (br_error)BRE_OK) << BrTokenIdentifier(c.t);
        br_value v = query(c.part, c.index, c.t);
        ASSERT_NE(v.vf, nullptr);
        EXPECT_EQ(std::memcmp(v.vf, c.data, sizeof(float) * c.n), 0) << BrTokenIdentifier(c.t);
    }
}

// Unknown tokens answer 0x1001 and change nothing; a list sets what it knows. Parts and indices
// that do not exist fail.
TEST_F(RendererState, UnknownTokensPartsAndIndices)
{
    sr::State before = sm->cur;
    EXPECT_EQ(sm->partSet(BRT_CULL, 0, BRT_COLOUR_RGB, u32v(1)), (br_error)BRE_UNKNOWN_TOKEN);
    EXPECT_EQ(std::memcmp(&before, &sm->cur, sizeof before), 0);
    br_token_value tv[] = {{BRT_AMBIENT_F, fv(0.5f)}, {BRT_WIDTH_I32, u32v(3)}, {BRT_DIFFUSE_F, fv(0.25f)}, {0, {}}};
    br_int_32 count = -1;
    sm->partSetMany(BRT_SURFACE, 0, tv, &count);
    EXPECT_EQ(count, 2);
    EXPECT_FLOAT_EQ(sm->cur.surface.ambient, 0.5f);
    EXPECT_FLOAT_EQ(sm->cur.surface.diffuse, 0.25f);
    EXPECT_EQ(sm->partSet(BRT_LIGHT, 16, BRT_TYPE_T, u32v(BRT_POINT)), (br_error)BRE_FAIL);
    EXPECT_EQ(sm->partSet(BRT_LIGHT, -1, BRT_TYPE_T, u32v(BRT_POINT)), (br_error)BRE_FAIL);
    EXPECT_EQ(sm->partSet(BRT_CLIP, 6, BRT_TYPE_T, u32v(BRT_PLANE)), (br_error)BRE_FAIL);
    EXPECT_EQ(sm->partSet(BRT_SURFACE, 1, BRT_AMBIENT_F, fv(1)), (br_error)BRE_FAIL);
    EXPECT_EQ(sm->partSet(BRT_WIDTH_I32, 0, BRT_TYPE_T, u32v(1)), (br_error)BRE_FAIL);
}

// Push and pop bring back only the masked parts; the stack grows as deep as the actor tree; pop of
// an empty stack fails.
TEST_F(RendererState, PushPopAndTheEmptyStack)
{
    EXPECT_EQ(sm->pop(2), (br_error)BRE_FAIL);
    const int depth = 100;
    for (int i = 0; i < depth; ++i) {
        sm->cur.matrix.model_to_view[3][0] = (float)i;
        sm->cur.surface.ambient = (float)i;
        ASSERT_EQ(sm->push(sr::MASK_MODEL_TO_VIEW), (br_error)BRE_OK);
    }
    sm->cur.matrix.model_to_view[3][0] = -1;
    sm->cur.surface.ambient = -1;
    for (int i = depth - 1; i >= 0; --i) {
        ASSERT_EQ(sm->pop(sr::MASK_MODEL_TO_VIEW), (br_error)BRE_OK);
        ASSERT_EQ(sm->cur.matrix.model_to_view[3][0], (float)i);
    }
    EXPECT_EQ(sm->cur.surface.ambient, -1.0f); // not in the mask
    EXPECT_EQ(sm->pop(2), (br_error)BRE_FAIL);
}

// Stored copies move the material parts (cull, surface, primitive) and nothing else; the default
// state of mask 32 empties the bounds.
TEST_F(RendererState, StoredStatesAndDefaults)
{
    sm->cur.cull.type = BRT_NONE;
    sm->cur.surface.colour = 0x123456;
    sm->cur.prim.smooth = 1;
    sm->cur.light[0].type = BRT_POINT;
    sr::StateMachine::Stored st{};
    sm->save(st, sr::MASK_CULL | sr::MASK_SURFACE | sr::MASK_PRIMITIVE);
    EXPECT_EQ(st.mask, 0x80000041u);
    sm->reset(sr::MASK_ALL);
    EXPECT_EQ(sm->cur.cull.type, (br_token)BRT_ONE_SIDED);
    EXPECT_EQ(sm->cur.surface.colour, 0xffffffu);
    sm->restore(st, sr::MASK_ALL);
    EXPECT_EQ(sm->cur.cull.type, (br_token)BRT_NONE);
    EXPECT_EQ(sm->cur.surface.colour, 0x123456u);
    EXPECT_EQ(sm->cur.prim.smooth, 1);
    EXPECT_EQ(sm->cur.light[0].type, (br_token)BRT_NONE); // lights were not stored

    sm->cur.bounds.min[0] = 3;
    sm->cur.bounds.max[1] = 7;
    sm->cur.surface.ambient = 0.75f;
    sm->reset(sr::MASK_BOUNDS);
    EXPECT_TRUE(std::isinf(sm->cur.bounds.min[0]) && sm->cur.bounds.min[0] > 0);
    EXPECT_TRUE(std::isinf(sm->cur.bounds.max[1]) && sm->cur.bounds.max[1] < 0);
    EXPECT_EQ(sm->cur.surface.ambient, 0.75f);
}

void rot_z(float m[4][3], float c, float s, float tx)
{
    std::memset(m, 0, sizeof(float) * 12);
    m[0][0] = c, m[0][1] = s, m[1][0] = -s, m[1][1] = c, m[2][2] = 1, m[3][0] = tx;
}

// multiplyModel puts the new matrix on the model side: M2V = m x M2V. Inverting gives back the
// identity when multiplied, by either inverse; a singular matrix fails and stays.
TEST_F(RendererState, MultiplyAndInvertModel)
{
    float a[4][3], b[4][3];
    rot_z(a, 0.6f, 0.8f, 0);
    rot_z(b, 1, 0, 5); // translation by x = 5
    std::memcpy(sm->cur.matrix.model_to_view, b, sizeof b);
    sm->modelMul(a);
    // The point (1, 0, 0) rotates first, then moves: (0.6 + 5, 0.8).
    const float(*m)[3] = sm->cur.matrix.model_to_view;
    EXPECT_FLOAT_EQ(m[0][0] + m[3][0], 5.6f);
    EXPECT_FLOAT_EQ(m[0][1] + m[3][1], 0.8f);

    for (br_token hint : {BRT_LENGTH_PRESERVING, BRT_NONE}) {
        float orig[4][3];
        std::memcpy(orig, sm->cur.matrix.model_to_view, sizeof orig);
        sm->cur.matrix.model_to_view_hint = hint;
        ASSERT_EQ(sm->modelInvert(), (br_error)BRE_OK);
        br_value v = query(BRT_MATRIX, 0, BRT_MODEL_TO_VIEW_M34_F);
        float inv[4][3];
        std::memcpy(inv, v.vf, sizeof inv);
        sm->modelMul(orig); // orig x inverse
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(sm->cur.matrix.model_to_view[i][j], i == j ? 1.0f : 0.0f, 1e-5f);
        std::memcpy(sm->cur.matrix.model_to_view, orig, sizeof orig);
    }
    float zero[4][3] = {};
    std::memcpy(sm->cur.matrix.model_to_view, zero, sizeof zero);
    sm->cur.matrix.model_to_view_hint = BRT_NONE;
    EXPECT_EQ(sm->modelInvert(), (br_error)BRE_FAIL);
}

// Boxes wholly inside, wholly outside one plane, and across, under a camera at the origin; an
// enabled user plane can reject too.
TEST_F(RendererState, BoundsTest)
{
    sr::Mat4 p = perspective(1.0f, 1.0f, 1.0f, 100.0f);
    std::memcpy(sm->cur.matrix.view_to_screen, p.m, sizeof p.m);
    const struct {
        float min[3], max[3];
        br_token expect;
    } cases[] = {
        {{-1, -1, -12}, {1, 1, -10}, BRT_ACCEPT},
        {{-1, -1, 5}, {1, 1, 7}, BRT_REJECT},      // behind the eye
        {{-1, -1, -300}, {1, 1, -200}, BRT_REJECT}, // beyond yon
        {{40, -1, -12}, {50, 1, -10}, BRT_REJECT},  // off to the right
        {{-1, -1, -12}, {1, 1, 3}, BRT_PARTIAL},    // through the near plane
        {{-100, -1, -12}, {1, 1, -10}, BRT_PARTIAL},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sm->boundsTest(c.min, c.max), c.expect) << c.min[0] << " " << c.min[2];
    // Keep x >= 0 only: a box left of the axis goes.
    sm->cur.clip[0].type = BRT_PLANE;
    sm->cur.clip[0].plane[0] = 1;
    const float lmin[3] = {-3, -1, -12}, lmax[3] = {-2, 1, -10};
    EXPECT_EQ(sm->boundsTest(lmin, lmax), (br_token)BRT_REJECT);
}

// State set through token lists as the database sets it draws what the pipeline draws; a group's
// stored state rules only while the group is drawn; the bounds part grows with what is drawn.
TEST_F(RendererState, DrawsFromTokenState)
{
    Frame f(64, 64, sr::ColourType::RGBX_888, sr::DepthType::D16);
    f.clear();
    float v2s[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    br_token_value matrix[] = {{BRT_VIEW_TO_SCREEN_M4_F, pv(v2s)}, {BRT_VIEW_TO_SCREEN_HINT_T, u32v(BRT_PARALLEL)},
                               {0, {}}};
    sm->partSetMany(BRT_MATRIX, 0, matrix, nullptr);
    float dir[3] = {0, 0, 1};
    br_token_value light[] = {{BRT_COLOUR_RGB, u32v(0xffffff)}, {BRT_TYPE_T, u32v(BRT_DIRECT)},
                              {BRT_DIRECTION_V3_F, pv(dir)}, {0, {}}};
    sm->partSetMany(BRT_LIGHT, 4, light, nullptr);
    sm->partSet(BRT_ENABLE, 0, BRT_BOUNDS_B, u32v(1));

    // The material: lit, ambient 0.2, diffuse 0.6, colour 0xC08040, one-sided.
    sm->push(0x80000041u);
    sm->reset(0x80000041u);
    br_token_value surface[] = {{BRT_COLOUR_RGB, u32v(0xc08040)}, {BRT_AMBIENT_F, fv(0.2f)},
                                {BRT_DIFFUSE_F, fv(0.6f)},        {BRT_LIGHTING_B, u32v(1)},
                                {0, {}}};
    sm->partSetMany(BRT_SURFACE, 0, surface, nullptr);
    sr::StateMachine::Stored material{};
    sm->save(material, 0x80000041u);
    sm->pop(0x80000041u);

    Mesh m;
    m.add_vertex(-0.5f, -0.5f, 0, 0, 0, 1);
    m.add_vertex(0.5f, -0.5f, 0, 0, 0, 1);
    m.add_vertex(0, 0.5f, 0, 0, 0, 1);
    m.add_face(0, 1, 2);
    sr::Scratch scratch;
    sm->reset(sr::MASK_BOUNDS);
    sm->draw(f.target, m.group(), &material, sr::Primitive::Triangle, scratch);
    uint32_t p = f.pixel(32, 32);
    EXPECT_NEAR((int)((p >> 16) & 0xff), 192 * 0.8, 1.0);
    EXPECT_NEAR((int)((p >> 8) & 0xff), 128 * 0.8, 1.0);
    EXPECT_NEAR((int)(p & 0xff), 64 * 0.8, 1.0);
    EXPECT_EQ(sm->cur.surface.colour, 0xffffffu); // the group's state is gone again

    float bmin[2], bmax[2];
    br_token_value q[] = {{BRT_MIN_V2_F, {}}, {BRT_MAX_V2_F, {}}, {0, {}}};
    ASSERT_EQ(sm->partQueryBuffer(BRT_BOUNDS, 0, q, buffer, sizeof buffer), (br_error)BRE_OK);
    std::memcpy(bmin, q[0].v.vf, sizeof bmin);
    std::memcpy(bmax, q[1].v.vf, sizeof bmax);
    // Apex at (32.5, 16.5), base from 16.5 to 48.5 at y 48.5: the apex row has no pixel centre
    // inside, and the last row (centre 47.5) runs from x 17.0 to 48.0, pixels 17 to 47.
    EXPECT_EQ(bmin[0], 17.0f);
    EXPECT_EQ(bmax[0], 47.0f);
    EXPECT_EQ(bmin[1], 17.0f);
    EXPECT_EQ(bmax[1], 47.0f);
}

// A renderer keeps the lighting it made between draws while the lights in use stay the same: every
// change of a light in use (place, direction, colour, attenuation, kind, cones, a light switched
// off or on in any slot) and of the surface is drawn as a renderer made afresh draws it.
TEST_F(RendererState, KeptLightingFollowsEveryLightChange)
{
    Frame kept(48, 48, sr::ColourType::RGBX_888, sr::DepthType::None),
        fresh_frame(48, 48, sr::ColourType::RGBX_888, sr::DepthType::None);
    float v2s[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    br_token_value matrix[] = {{BRT_VIEW_TO_SCREEN_M4_F, pv(v2s)}, {BRT_VIEW_TO_SCREEN_HINT_T, u32v(BRT_PARALLEL)},
                               {0, {}}};
    sm->partSetMany(BRT_MATRIX, 0, matrix, nullptr);
    br_token_value surface[] = {{BRT_COLOUR_RGB, u32v(0xc08040)}, {BRT_AMBIENT_F, fv(0.1f)}, {BRT_DIFFUSE_F, fv(0.6f)},
                                {BRT_SPECULAR_F, fv(0.4f)},       {BRT_SPECULAR_POWER_F, fv(8.0f)},
                                {BRT_LIGHTING_B, u32v(1)},        {0, {}}};
    sm->partSetMany(BRT_SURFACE, 0, surface, nullptr);
    sm->partSet(BRT_PRIMITIVE, 0, BRT_SMOOTH_B, u32v(1));
    float pos[3] = {0.5f, 0.5f, 1.0f}, dir[3] = {0, 0, 1};
    auto vec = [&](int light, br_token t, float x, float y, float z) {
        pos[0] = x, pos[1] = y, pos[2] = z; // the state keeps its own copy
        br_token_value tv[] = {{t, pv(pos)}, {0, {}}};
        sm->partSetMany(BRT_LIGHT, light, tv, nullptr);
    };
    br_token_value direct[] = {{BRT_COLOUR_RGB, u32v(0xffffff)}, {BRT_TYPE_T, u32v(BRT_DIRECT)},
                               {BRT_DIRECTION_V3_F, pv(dir)}, {0, {}}};
    sm->partSetMany(BRT_LIGHT, 0, direct, nullptr);
    br_token_value point[] = {{BRT_COLOUR_RGB, u32v(0x8080ff)}, {BRT_TYPE_T, u32v(BRT_POINT)},
                              {BRT_POSITION_V3_F, pv(pos)}, {BRT_ATTENUATION_C_F, fv(1.0f)}, {0, {}}};
    sm->partSetMany(BRT_LIGHT, 1, point, nullptr);

    // A grid of vertices whose normals lean every way, so that every light term shows.
    Mesh m;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) {
            const float nx = 0.3f * (float)(i - 2), ny = 0.3f * (float)(j - 2), l = std::sqrt(nx * nx + ny * ny + 1);
            m.add_vertex(-0.8f + 0.4f * (float)i, -0.8f + 0.4f * (float)j, 0, nx / l, ny / l, 1 / l);
        }
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const int a = j * 5 + i;
            m.add_face(a, a + 1, a + 6);
            m.add_face(a, a + 6, a + 5);
        }
    struct Step {
        const char *what;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"first draw", [] {}},
        {"point moved", [&] { vec(1, BRT_POSITION_V3_F, -0.5f, 0.2f, 0.6f); }},
        {"point colour", [&] { sm->partSet(BRT_LIGHT, 1, BRT_COLOUR_RGB, u32v(0xff4040)); }},
        {"point attenuation", [&] { sm->partSet(BRT_LIGHT, 1, BRT_ATTENUATION_L_F, fv(0.8f)); }},
        {"direct turned", [&] { vec(0, BRT_DIRECTION_V3_F, 0.6f, 0, 0.8f); }},
        {"point made a spot", [&] {
             vec(1, BRT_DIRECTION_V3_F, 0, 0, 1);
             sm->partSet(BRT_LIGHT, 1, BRT_SPOT_OUTER_F, fv(0.9f));
             sm->partSet(BRT_LIGHT, 1, BRT_SPOT_INNER_F, fv(0.95f));
             sm->partSet(BRT_LIGHT, 1, BRT_TYPE_T, u32v(BRT_SPOT));
         }},
        {"spot cone widened", [&] { sm->partSet(BRT_LIGHT, 1, BRT_SPOT_OUTER_F, fv(0.6f)); }},
        {"direct switched off", [&] { sm->partSet(BRT_LIGHT, 0, BRT_TYPE_T, u32v(BRT_NONE)); }},
        {"a light in a later slot", [&] {
             sm->partSetMany(BRT_LIGHT, 5, direct, nullptr);
             sm->partSet(BRT_LIGHT, 5, BRT_COLOUR_RGB, u32v(0x40ff40));
         }},
        {"first slot on again", [&] { sm->partSet(BRT_LIGHT, 0, BRT_TYPE_T, u32v(BRT_DIRECT)); }},
        {"specular power", [&] { sm->partSet(BRT_SURFACE, 0, BRT_SPECULAR_POWER_F, fv(2.5f)); }},
        {"surface colour", [&] { sm->partSet(BRT_SURFACE, 0, BRT_COLOUR_RGB, u32v(0x40c0c0)); }},
    };
    sr::Scratch scratch, fresh_scratch;
    std::vector<uint8_t> before;
    for (const Step &st : steps) {
        st.change();
        kept.clear();
        sm->draw(kept.target, m.group(), nullptr, sr::Primitive::Triangle, scratch);
        sr::StateMachine fresh(nullptr);
        fresh.cur = sm->cur;
        fresh_frame.clear();
        fresh.draw(fresh_frame.target, m.group(), nullptr, sr::Primitive::Triangle, fresh_scratch);
        EXPECT_EQ(kept.cmem, fresh_frame.cmem) << st.what;
        EXPECT_NE(kept.cmem, before) << st.what << ": the change shows";
        before = kept.cmem;
    }
    EXPECT_EQ(kept.drawn(), 39 * 39); // the grid
}

} // namespace
