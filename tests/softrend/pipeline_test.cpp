// Culling, clipping and lighting of the pipeline; the cube board picture.
#include "vokplat/png.h"
#include "golden.h"
#include "sr_light.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

using namespace srtest;

namespace {

constexpr int W = 64, H = 64;

void draw(const sr::Setup &s, const Mesh &m, sr::Primitive p = sr::Primitive::Triangle)
{
    sr::Scratch scratch;
    sr::render_group(s, m.group(), p, scratch, nullptr);
}

// A quad facing the eye (+z) or away from it, with vertex normals along its plane normal.
Mesh quad(bool facing, float half = 0.8f)
{
    Mesh m;
    float n = facing ? 1.0f : -1.0f;
    m.add_vertex(-half, -half, 0, 0, 0, n);
    m.add_vertex(half, -half, 0, 0, 0, n);
    m.add_vertex(half, half, 0, 0, 0, n);
    m.add_vertex(-half, half, 0, 0, 0, n);
    if (facing) {
        m.add_face(0, 1, 2);
        m.add_face(0, 2, 3);
    } else {
        m.add_face(0, 2, 1);
        m.add_face(0, 3, 2);
    }
    return m;
}

struct CullCase {
    sr::CullType cull;
    bool facing;
    int expect; // 0 nothing, 1 lit head-on, 2 ambient only
};

class Culling : public ::testing::TestWithParam<std::tuple<CullCase, bool>> {};

// A light straight at the eye side: a front face is lit fully; a back face is culled (one-sided),
// lit as if turned round (two-sided), or lit with its own normal, which faces away (none).
TEST_P(Culling, Modes)
{
    const CullCase &c = std::get<0>(GetParam());
    bool smooth = std::get<1>(GetParam());
    Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::D16);
    f.clear();
    sr::Setup s;
    s.target = f.target;
    s.parallel = true;
    s.cull = c.cull;
    s.smooth = smooth;
    s.colour = 0xc08040;
    s.ka = 0.25f;
    s.kd = 0.5f;
    s.lights[0].type = sr::LightType::Direct;
    s.lights[0].colour = 0xffffff;
    s.lights[0].direction = {0, 0, 1};
    draw(s, quad(c.facing));
    uint32_t p = f.pixel(32, 32);
    if (c.expect == 0) {
        EXPECT_EQ(f.drawn(), 0);
        return;
    }
    float k = c.expect == 1 ? 0.75f : 0.25f;
    EXPECT_NEAR((int)((p >> 16) & 0xff), 192 * k, 1.0);
    EXPECT_NEAR((int)((p >> 8) & 0xff), 128 * k, 1.0);
    EXPECT_NEAR((int)(p & 0xff), 64 * k, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Culling,
    ::testing::Combine(::testing::Values(CullCase{sr::CullType::OneSided, true, 1}, CullCase{sr::CullType::OneSided, false, 0},
                                         CullCase{sr::CullType::TwoSided, true, 1}, CullCase{sr::CullType::TwoSided, false, 1},
                                         CullCase{sr::CullType::None, true, 1}, CullCase{sr::CullType::None, false, 2}),
                       ::testing::Bool()));

struct ClipCase {
    sr::ColourType ct;
    sr::DepthType dt;
    bool bottom_up;
};

class Clipping : public ::testing::TestWithParam<ClipCase> {};

sr::Setup camera_setup(const Frame &f)
{
    sr::Setup s;
    s.target = f.target;
    s.lighting = false;
    s.colour = 0xffffff;
    s.cull = sr::CullType::None;
    s.view_to_screen = perspective(1.2f, 1.0f, 1.0f, 50.0f);
    return s;
}

// A ground triangle running from in front of the eye to behind it and below: clipped at the near
// plane, it covers only the lower part of the picture (a vertex behind the eye projected without
// clipping would throw the triangle over the top). Nothing lands outside the buffers.
TEST_P(Clipping, NearPlaneAndBehindCamera)
{
    const ClipCase &c = GetParam();
    Frame f(W, H, c.ct, c.dt, c.bottom_up);
    f.clear();
    sr::Setup s = camera_setup(f);
    Mesh m;
    m.add_vertex(-30, -2, -20);
    m.add_vertex(30, -2, -20);
    m.add_vertex(0, -2, 15); // behind the eye
    m.add_face(0, 1, 2);
    draw(s, m);
    EXPECT_GT(f.drawn(), 200);
    for (int y = 0; y < H / 2; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(f.pixel(x, y), 0u) << x << "," << y;
    EXPECT_TRUE(f.guards_intact());

    // Entirely behind the eye: nothing. Huge and crossing every side plane: fills, stays inside.
    Frame g(W, H, c.ct, c.dt, c.bottom_up);
    g.clear();
    Mesh behind;
    behind.add_vertex(-1, -1, 5);
    behind.add_vertex(1, -1, 5);
    behind.add_vertex(0, 1, 5);
    behind.add_face(0, 1, 2);
    draw(s, behind);
    EXPECT_EQ(g.drawn(), 0);
    Mesh huge;
    huge.add_vertex(-1e4f, -1e4f, -10);
    huge.add_vertex(1e4f, -1e4f, -10);
    huge.add_vertex(0, 1e4f, 2);
    huge.add_face(0, 1, 2);
    draw(camera_setup(g), huge);
    EXPECT_GT(g.drawn(), W * H / 2);
    EXPECT_TRUE(g.guards_intact());
}

INSTANTIATE_TEST_SUITE_P(Targets, Clipping,
                         ::testing::Values(ClipCase{sr::ColourType::RGB_565, sr::DepthType::D16, false},
                                           ClipCase{sr::ColourType::RGB_565, sr::DepthType::D16, true},
                                           ClipCase{sr::ColourType::RGB_555, sr::DepthType::D32, true},
                                           ClipCase{sr::ColourType::RGB_888, sr::DepthType::D16, true},
                                           ClipCase{sr::ColourType::RGBX_888, sr::DepthType::D32, false},
                                           ClipCase{sr::ColourType::RGBA_8888, sr::DepthType::None, true}));

// A triangle whose far vertex lies beyond the yon plane and whose near vertex lies before the hither
// plane: the depth buffer only receives values of the view volume.
TEST(Clipping, DepthStaysInsideTheVolume)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D32);
    f.clear();
    sr::Setup s = camera_setup(f);
    Mesh m;
    m.add_vertex(-0.3f, -0.3f, -0.2f);
    m.add_vertex(0.3f, -0.3f, -0.2f);
    m.add_vertex(0, 0.3f, -200);
    m.add_face(0, 1, 2);
    draw(s, m);
    EXPECT_GT(f.drawn(), 10);
    // Screen z runs from -32767 (hither) to 32767 (yon).
    const uint32_t nearest = 0x00010000u, farthest = 0xffff0000u;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (!f.pixel(x, y))
                continue;
            ASSERT_GE(f.depth(x, y), nearest);
            ASSERT_LE(f.depth(x, y), farthest);
        }
    EXPECT_TRUE(f.guards_intact());
}

// A slanted plane larger than the view, turned step by step: cut at all four sides, it covers every
// pixel, the top row and the left column too (a cut vertex a rounding step inside its side would
// leave them out, the pixel centres there lying on the sides).
TEST(Clipping, PlaneOverTheViewCoversEveryPixel)
{
    const int sizes[][2] = {{64, 64}, {640, 480}};
    for (const auto &size : sizes) {
        Frame f(size[0], size[1], sr::ColourType::RGB_565, sr::DepthType::D16, true);
        for (int step = 0; step < 60; ++step) {
            const float a = 0.05f + (float)step * 0.1f, k1 = 0.05f * std::sin(a * 3.0f), k2 = 0.04f;
            const float e1[3] = {std::cos(a), std::sin(a), k1}, e2[3] = {-std::sin(a), std::cos(a), k2};
            Mesh m;
            for (const auto &uv : {std::pair{-40.0f, -40.0f}, {40.0f, -40.0f}, {40.0f, 40.0f}, {-40.0f, 40.0f}})
                m.add_vertex(0.3f + uv.first * e1[0] + uv.second * e2[0], -0.2f + uv.first * e1[1] + uv.second * e2[1],
                             -10.0f + uv.first * e1[2] + uv.second * e2[2]);
            m.add_face(0, 1, 2);
            m.add_face(0, 2, 3);
            f.clear();
            sr::Setup s = camera_setup(f);
            s.view_to_screen = perspective(1.2f, (float)size[0] / (float)size[1], 1.0f, 50.0f);
            draw(s, m);
            ASSERT_EQ(f.drawn(), f.w * f.h) << size[0] << "x" << size[1] << " step " << step;
        }
        EXPECT_TRUE(f.guards_intact());
    }
}

// An enabled user plane (kept side: dot >= 0) removes the part of the picture behind it.
TEST(Clipping, UserPlane)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
    f.clear();
    sr::Setup s;
    s.target = f.target;
    s.lighting = false;
    s.cull = sr::CullType::None;
    s.clip[2].enabled = true;
    s.clip[2].plane[0] = 1.0f; // keep x >= 0
    draw(s, quad(true, 2.0f));
    for (int y = 0; y < H; ++y) {
        ASSERT_EQ(f.pixel(31, y), 0u);
        ASSERT_NE(f.pixel(32, y), 0u);
    }
    EXPECT_TRUE(f.guards_intact());
}

struct LightCase {
    const char *name;
    sr::Light light;
    float ks, power;
    // expected channel values, 0..255, before truncation
    float r, g, b;
};

// Colour 0xC08040, ambient 0.2, diffuse 0.6; a flat quad facing the eye (normal +z) at z = 0, its
// first triangle's centroid at (x, y) = (h/3, -h/3) with h = 0.8. Values worked out by hand.
TEST(Lighting, HandComputedColours)
{
    const float h = 0.8f, ka = 0.2f, kd = 0.6f;
    const float base[3] = {192, 128, 64};
    // Point light at (0, 0, 2): from the centroid (0.2667, -0.2667, 0) the distance is
    // sqrt(0.0711 + 0.0711 + 4) = 2.0353, N.L = 2 / 2.0353 = 0.98265; attenuation 1 / (1 + 0.5 d).
    float d = std::sqrt(2 * (h / 3) * (h / 3) + 4.0f);
    float point = kd * (2.0f / d) / (1.0f + 0.5f * d);
    // Spot at (0, 0, 2) shining down -z: cos of the angle to the centroid is 0.98265.
    sr::Light direct{}, sideways{}, pt{}, grey{}, spot_in{}, spot_out{}, spot_mid{};
    direct.type = sr::LightType::Direct, direct.colour = 0xffffff, direct.direction = {0, 0, 1};
    sideways = direct, sideways.direction = {1, 0, 0};
    grey = direct, grey.colour = 0x808080;
    pt.type = sr::LightType::Point, pt.colour = 0xffffff, pt.position = {0, 0, 2}, pt.att_c = 1, pt.att_l = 0.5f;
    spot_in = pt, spot_in.type = sr::LightType::Spot, spot_in.direction = {0, 0, 1}, spot_in.att_l = 0;
    spot_in.spot_outer = 0.9f, spot_in.spot_inner = 0.95f;
    spot_out = spot_in, spot_out.spot_outer = 0.99f, spot_out.spot_inner = 0.995f;
    spot_mid = spot_in, spot_mid.spot_outer = 0.97f, spot_mid.spot_inner = 0.99f;
    // A direct light 36.87 degrees off the normal: N.L = R.V = 0.8 with the eye along +z; a whole
    // specular power is raised by squaring, any other by pow.
    sr::Light slanted = direct;
    slanted.direction = {0.6f, 0, 0.8f};
    auto slant = [&](float base_c, float power) { return base_c * (ka + kd * 0.8f) + 0.5f * std::pow(0.8f, power) * 255; };
    float cosang = 2.0f / d;
    float mid = (cosang - 0.97f) / (0.99f - 0.97f);
    const float g50 = 128.0f / 255.0f;

    const LightCase cases[] = {
        {"direct head-on", direct, 0, 20, base[0] * (ka + kd), base[1] * (ka + kd), base[2] * (ka + kd)},
        {"direct at 90 degrees", sideways, 0, 20, base[0] * ka, base[1] * ka, base[2] * ka},
        {"grey light", grey, 0, 20, base[0] * (ka + kd * g50), base[1] * (ka + kd * g50), base[2] * (ka + kd * g50)},
        {"point, attenuated", pt, 0, 20, base[0] * (ka + point), base[1] * (ka + point), base[2] * (ka + point)},
        {"specular head-on", direct, 0.25f, 8, std::min(255.0f, base[0] * (ka + kd) + 0.25f * 255),
         base[1] * (ka + kd) + 0.25f * 255, base[2] * (ka + kd) + 0.25f * 255},
        {"specular at an angle, whole power", slanted, 0.5f, 16, slant(base[0], 16), slant(base[1], 16), slant(base[2], 16)},
        {"specular at an angle, fractional power", slanted, 0.5f, 16.5f, slant(base[0], 16.5f), slant(base[1], 16.5f),
         slant(base[2], 16.5f)},
        {"spot, inside the inner cone", spot_in, 0, 20, base[0] * (ka + kd * cosang), base[1] * (ka + kd * cosang),
         base[2] * (ka + kd * cosang)},
        {"spot, outside the outer cone", spot_out, 0, 20, base[0] * ka, base[1] * ka, base[2] * ka},
        {"spot, between the cones", spot_mid, 0, 20, base[0] * (ka + kd * cosang * mid),
         base[1] * (ka + kd * cosang * mid), base[2] * (ka + kd * cosang * mid)},
    };
    for (const LightCase &c : cases) {
        Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::D16);
        f.clear();
        sr::Setup s;
        s.target = f.target;
        s.parallel = true;
        s.colour = 0xc08040;
        s.ka = ka;
        s.kd = kd;
        s.ks = c.ks;
        s.power = c.power;
        s.lights[3] = c.light;
        draw(s, quad(true, h));
        // A pixel of the first triangle (below the diagonal, right side).
        uint32_t p = f.pixel(40, 40);
        EXPECT_NEAR((float)((p >> 16) & 0xff), c.r, 1.01f) << c.name;
        EXPECT_NEAR((float)((p >> 8) & 0xff), c.g, 1.01f) << c.name;
        EXPECT_NEAR((float)(p & 0xff), c.b, 1.01f) << c.name;
    }
}

// Four points lit at once give, bit for bit, what lighting each alone gives, whatever the lights
// (point, direct, spot with and without a soft edge), eye model and specular term.
TEST(Lighting, FourAtOnceMatchOneByOne)
{
    uint32_t seed = 12345;
    auto rnd = [&](float lo, float hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * (float)(seed >> 8) / 16777216.0f;
    };
    auto vec = [&](float r) { return sr::Vec3{rnd(-r, r), rnd(-r, r), rnd(-r, r)}; };
    for (int round = 0; round < 200; ++round) {
        sr::Setup s;
        s.colour = (uint32_t)(rnd(0, 1) * 16777215.0f);
        s.ka = rnd(0, 0.5f);
        s.kd = rnd(0, 1);
        s.ks = round % 3 == 0 ? 0.0f : rnd(0, 1);
        s.power = rnd(1, 40);
        if (round % 2)
            s.power = std::floor(s.power); // raised by squaring
        s.parallel = round % 4 == 1;
        for (int k = 0; k < 1 + round % 4; ++k) {
            sr::Light &l = s.lights[k];
            l.type = (k + round) % 3 == 0 ? sr::LightType::Direct : (k + round) % 3 == 1 ? sr::LightType::Point : sr::LightType::Spot;
            l.colour = (uint32_t)(rnd(0, 1) * 16777215.0f);
            l.att_c = rnd(0, 1.5f);
            l.att_l = rnd(0, 0.3f);
            l.att_q = round % 2 ? rnd(0, 0.05f) : 0.0f;
            l.position = vec(4);
            l.direction = vec(1);
            l.spot_outer = rnd(-0.5f, 0.9f);
            l.spot_inner = round % 5 == 0 ? l.spot_outer - 0.1f : rnd(l.spot_outer, 1.0f);
        }
        sr::Lighting light(s);
        sr::Vec3 p[4], n[4];
        float got[4][3], want[4][3];
        float *out[4] = {got[0], got[1], got[2], got[3]};
        for (int i = 0; i < 4; ++i) {
            p[i] = i == 3 && round % 7 == 0 ? s.lights[0].position : vec(5); // also a point on a light
            sr::Vec3 d = vec(1);
            float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
            n[i] = {d.x / len, d.y / len, d.z / len};
            light.shade(p[i], n[i], want[i]);
        }
        light.shade4(p, n, out);
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(std::memcmp(&got[i][k], &want[i][k], sizeof(float)), 0)
                    << "round " << round << " point " << i << " channel " << k << ": " << got[i][k] << " vs " << want[i][k];
    }
}

// Smooth shading interpolates vertex colours; flat shading gives the face one colour.
TEST(Lighting, SmoothInterpolatesFlatDoesNot)
{
    Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::D16);
    sr::Setup s;
    s.target = f.target;
    s.parallel = true;
    s.colour = 0xffffff;
    s.ka = 0;
    s.kd = 1;
    s.lights[0].type = sr::LightType::Point;
    s.lights[0].colour = 0xffffff;
    s.lights[0].position = {-0.8f, 0, 0.3f};
    for (bool smooth : {false, true}) {
        f.clear();
        s.smooth = smooth;
        draw(s, quad(true));
        // Both in the first triangle, near its left and right corners.
        uint32_t left = f.pixel(12, 56) & 0xff, right = f.pixel(56, 56) & 0xff;
        if (smooth) {
            EXPECT_GT(left, right + 30);
        } else {
            EXPECT_EQ(left, right);
        }
    }
}

// Colours from the geometry: vertex colours (smooth) or face colours (flat), no lighting.
TEST(Lighting, GeometryColours)
{
    Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::D16);
    sr::Setup s;
    s.target = f.target;
    s.colour_from_geometry = true;
    Mesh m = quad(true);
    m.vcol = {0x00ff0000, 0x00ff0000, 0x00ff0000, 0x00ff0000};
    m.fcol = {0x0a00ff00, 0x0a0000ff};
    f.clear();
    s.smooth = true;
    draw(s, m);
    EXPECT_EQ(f.pixel(40, 40), 0xff0000u);
    f.clear();
    s.smooth = false;
    draw(s, m);
    EXPECT_EQ(f.pixel(40, 40), 0x00ff00u);
    EXPECT_EQ(f.pixel(20, 20), 0x0000ffu);
}

// The lit cube board at 640 x 480 (the bench scene), written as a picture for a reviewer.
TEST(Picture, CubeBoard)
{
    Frame f(640, 480, sr::ColourType::RGB_565, sr::DepthType::D16, true);
    f.clear(0x1082);
    sr::Scratch scratch;
    Board board(f.target);
    board.render(scratch);
    EXPECT_TRUE(f.guards_intact());
    int drawn = f.drawn(0x1082);
    EXPECT_GT(drawn, 640 * 480 / 5);
    EXPECT_LT(drawn, 640 * 480 * 9 / 10);
    std::string path = std::string(VOK_TEST_BIN_DIR) + "/softrend_cube_board.png";
    EXPECT_TRUE(PlatWritePngRgb(path.c_str(), 640, 480, frame_rgb(f).data()));

    // Smaller and top-down, against its golden picture.
    Frame g(160, 120, sr::ColourType::RGB_565, sr::DepthType::D16, false);
    g.clear(0x1082);
    Board small(g.target);
    small.render(scratch);
    EXPECT_TRUE(g.guards_intact());
    EXPECT_TRUE(golden("cube_board", frame_hash(g), 160, 120, frame_rgb(g)));
}

// The bench's textured board (a 64 x 64 map on every side, modulated by the smooth lighting,
// perspective-correct) at 320 x 240, against its golden picture: the one-pass writers at work.
TEST(Picture, TexturedCubeBoard)
{
    Frame g(320, 240, sr::ColourType::RGB_565, sr::DepthType::D16, false);
    g.clear(0x1082);
    sr::Scratch scratch;
    srtest::Texture565 tex(64);
    Board board(g.target, &tex.texture);
    board.render(scratch);
    EXPECT_TRUE(g.guards_intact());
    EXPECT_GT(g.drawn(0x1082), 320 * 240 / 5);
    EXPECT_TRUE(golden("textured_cube_board", frame_hash(g), 320, 240, frame_rgb(g)));
}

} // namespace
