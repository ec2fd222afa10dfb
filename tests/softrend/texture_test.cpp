// Textures, blending and alpha in the pipeline, on raw buffers: where texels land (quadrants, map
// matrix, wrap, perspective), every texel layout, how texels combine with the shaded colour, and
// what translucent pixels do to the colour and depth buffers.
#include "sr_raster.h"
#include "sr_texture.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace srtest;

namespace {

constexpr int W = 64, H = 64;
constexpr uint32_t BG = 0x00203040; // background of the RGBX frames

// The square from screen (8, 8) to (56, 56) with map coordinates (0, 0) top left to (1, 1) bottom
// right, at clip depth z.
Mesh square(float z = 0)
{
    Mesh m;
    const float corner[4][4] = {{8, 8, 0, 0}, {56, 8, 1, 0}, {56, 56, 1, 1}, {8, 56, 0, 1}};
    for (const auto &c : corner) {
        m.add_vertex(cx(c[0]), cy(c[1]), z);
        m.v.back().map[0] = c[2];
        m.v.back().map[1] = c[3];
    }
    m.add_face(0, 1, 2, 1, 2, 0);
    m.add_face(0, 2, 3, 0, 3, 4);
    return m;
}

// Map position of the centre of pixel (x, y) on the square.
float square_u(int x) { return ((float)x + 0.5f - 8.0f) / 48.0f; }

sr::Setup unlit(const Frame &f, uint32_t colour = 0xffffff)
{
    return flat_setup(f, colour);
}

void draw(const sr::Setup &s, const Mesh &m)
{
    sr::Scratch scratch;
    sr::render_group(s, m.group(), sr::Primitive::Triangle, scratch, nullptr);
}

// A texture the test owns, rows packed.
struct Tex {
    Tex(int w, int h, sr::TexelType t) : mem((size_t)w * h * sr::texel_bytes(t))
    {
        tex.type = t;
        tex.width = w;
        tex.height = h;
        tex.row_bytes = w * sr::texel_bytes(t);
        tex.pixels = mem.data();
    }
    void set(int x, int y, uint32_t word)
    {
        int b = sr::texel_bytes(tex.type);
        std::memcpy(&mem[(size_t)y * tex.row_bytes + (size_t)x * b], &word, b);
    }
    std::vector<uint8_t> mem;
    sr::Texture tex;
};

sr::Paint textured(const Tex &t)
{
    sr::Paint p;
    p.textured = true;
    p.texture = t.tex;
    return p;
}

// The square drawn with the texture alone over the background: a pixel in each quarter, top left,
// top right, bottom left, bottom right.
std::vector<uint32_t> quarters(const Tex &t)
{
    Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::None);
    f.clear(BG);
    sr::Setup s = unlit(f);
    s.paint = textured(t);
    draw(s, square());
    return {f.pixel(20, 20), f.pixel(44, 20), f.pixel(20, 44), f.pixel(44, 44)};
}

// 565 words of the four checker colours: red, green, blue, white.
const uint16_t CHECK565[4] = {0xf800, 0x07e0, 0x001f, 0xffff};
const uint32_t CHECK_RGB[4] = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff};

Tex checker(int n)
{
    Tex t(n, n, sr::TexelType::RGB_565);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            t.set(x, y, CHECK565[(x & 1) + 2 * (y & 1)]);
    return t;
}

struct MapCase {
    const char *name;
    float map[3][2];
};

// A 2 x 2 checker on the square: every pixel shows the texel its map position falls in after the
// map matrix, wrapped round above 1 and below 0. Pixels within a hair of a texel edge are skipped.
TEST(Texture, CheckerQuadrantsUnderTheMapMatrix)
{
    const MapCase cases[] = {
        {"identity", {{1, 0}, {0, 1}, {0, 0}}},
        {"shift u by half", {{1, 0}, {0, 1}, {0.5f, 0}}},
        {"shift v by half", {{1, 0}, {0, 1}, {0, 0.5f}}},
        {"shift by a whole turn", {{1, 0}, {0, 1}, {1.0f, -3.0f}}},
        {"wrap above 1", {{2.5f, 0}, {0, 3}, {0, 0}}},
        {"swap u and v", {{0, 1}, {1, 0}, {0, 0}}},
    };
    Tex t = checker(2);
    for (sr::ColourType ct : {sr::ColourType::RGBX_888, sr::ColourType::RGB_565}) {
        for (const MapCase &c : cases) {
            Frame f(W, H, ct, sr::DepthType::D16);
            f.clear(BG);
            sr::Setup s = unlit(f);
            s.paint = textured(t);
            std::memcpy(s.map, c.map, sizeof s.map);
            draw(s, square());
            int checked = 0;
            for (int y = 8; y < 56; ++y)
                for (int x = 8; x < 56; ++x) {
                    float u = square_u(x), v = square_u(y);
                    float mu = (u * c.map[0][0] + v * c.map[1][0] + c.map[2][0]) * 2;
                    float mv = (u * c.map[0][1] + v * c.map[1][1] + c.map[2][1]) * 2;
                    if (std::fabs(mu - std::round(mu)) < 0.05f || std::fabs(mv - std::round(mv)) < 0.05f)
                        continue;
                    int iu = (int)std::floor(mu) & 1, iv = (int)std::floor(mv) & 1;
                    uint32_t want = ct == sr::ColourType::RGB_565 ? CHECK565[iu + 2 * iv] : CHECK_RGB[iu + 2 * iv];
                    ASSERT_EQ(f.pixel(x, y), want) << c.name << " at " << x << "," << y << " type " << (int)ct;
                    ++checked;
                }
            EXPECT_GT(checked, 1500) << c.name;
            EXPECT_EQ(f.pixel(4, 4), ct == sr::ColourType::RGB_565 ? (BG & 0xffff) : BG);
            EXPECT_TRUE(f.guards_intact());
        }
    }
    // The plain identity case seen as quadrants.
    EXPECT_EQ(quarters(t), (std::vector<uint32_t>{0xff0000, 0x00ff00, 0x0000ff, 0xffffff}));
}

// A wall going away from a perspective camera on its left: depth changes along every row, and the
// texel under each pixel is the one where the pixel's ray meets the wall, not an even spread.
TEST(Texture, PerspectiveCorrectOnAReceedingWall)
{
    const sr::Mat4 p = perspective(1.2f, 1.0f, 1.0f, 100.0f);
    Mesh m;
    // The wall x = -1 from z = -2 to z = -20, y from -4 to 4; u runs 0 near to 1 far, v 0 at the top.
    const float corner[4][4] = {{-2, 4, 0, 0}, {-20, 4, 1, 0}, {-20, -4, 1, 1}, {-2, -4, 0, 1}};
    for (const auto &c : corner) {
        m.add_vertex(-1.0f, c[1], c[0], 1, 0, 0);
        m.v.back().map[0] = c[2];
        m.v.back().map[1] = c[3];
    }
    m.add_face(0, 1, 2);
    m.add_face(0, 2, 3);
    Tex t = checker(8);
    // Into RGBX (the run writer) and into RGB_565 (the one-pass writer).
    for (sr::ColourType ct : {sr::ColourType::RGBX_888, sr::ColourType::RGB_565}) {
        Frame f(W, H, ct, sr::DepthType::D32);
        f.clear(BG);
        sr::Setup s = unlit(f);
        s.parallel = false;
        s.view_to_screen = p;
        s.paint = textured(t);
        draw(s, m);
        const double c = 1.0 / std::tan(0.6);
        int checked = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                // The ray through the pixel centre: screen -> clip x/w, y/w -> view direction (dx, dy, -1).
                double dx = (((x + 0.5) - 32.5) / 32.0) / c, dy = (-((y + 0.5) - 32.5) / 32.0) / c;
                if (dx >= -0.01)
                    continue;
                double dist = -1.0 / dx; // where x = -1
                double wy = dy * dist, wz = -dist;
                if (wy < -4 || wy > 4 || wz > -2 || wz < -20)
                    continue;
                double mu = (-2 - wz) / 18 * 8, mv = (4 - wy) / 8 * 8;
                if (std::fabs(mu - std::round(mu)) < 0.02 || std::fabs(mv - std::round(mv)) < 0.02)
                    continue;
                int iu = (int)std::floor(mu) & 1, iv = (int)std::floor(mv) & 1;
                uint32_t want = ct == sr::ColourType::RGB_565 ? CHECK565[iu + 2 * iv] : CHECK_RGB[iu + 2 * iv];
                ASSERT_EQ(f.pixel(x, y), want) << x << "," << y << " type " << (int)ct;
                ++checked;
            }
        EXPECT_GT(checked, 400);
    }
}

struct LayoutCase {
    sr::TexelType type;
    uint32_t texel[4]; // red, green, transparent blue, white at alpha 136
};

// Every texel layout decodes to the same four colours. Layouts with alpha leave the background
// (and its depth) where alpha is 0 and mix white over it by 136/255 where it is partly covered.
TEST(Texture, EveryTexelLayout)
{
    const LayoutCase cases[] = {
        {sr::TexelType::RGB_565, {0xf800, 0x07e0, 0x001f, 0xffff}},
        {sr::TexelType::RGB_555, {0x7c00, 0x03e0, 0x001f, 0x7fff}},
        {sr::TexelType::RGB_888, {0xff0000, 0x00ff00, 0x0000ff, 0xffffff}},
        {sr::TexelType::RGBX_888, {0x12ff0000, 0x3400ff00, 0x560000ff, 0x78ffffff}},
        {sr::TexelType::RGBA_8888, {0xffff0000, 0xff00ff00, 0x000000ff, 0x88ffffff}},
        {sr::TexelType::RGB565_A8, {0xf800ff, 0x07e0ff, 0x001f00, 0xffff88}},
        {sr::TexelType::ARGB_4444, {0xff00, 0xf0f0, 0x000f, 0x8fff}},
        {sr::TexelType::Index8, {0, 1, 2, 3}},
    };
    const uint32_t palette_rgb[4] = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff};
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0xff000000u | (i < 4 ? palette_rgb[i] : 0);
    for (const LayoutCase &c : cases) {
        Tex t(2, 2, c.type);
        for (int k = 0; k < 4; ++k)
            t.set(k & 1, k >> 1, c.texel[k]);
        t.tex.palette = palette;
        Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::D16);
        f.clear(BG);
        sr::Setup s = unlit(f);
        s.paint = textured(t);
        draw(s, square(0.5f));
        std::string what = "layout " + std::to_string((int)c.type);
        EXPECT_EQ(f.pixel(20, 20), 0xff0000u) << what;
        EXPECT_EQ(f.pixel(44, 20), 0x00ff00u) << what;
        EXPECT_LT(f.depth(20, 20), 0xffffu) << what;
        if (sr::texel_alpha(c.type)) {
            EXPECT_EQ(f.pixel(20, 44), BG) << what;
            EXPECT_EQ(f.depth(20, 44), 0xffffu) << what;
            uint32_t p = f.pixel(44, 44);
            const int bg[3] = {0x20, 0x30, 0x40};
            for (int k = 0; k < 3; ++k) {
                float want = (float)bg[k] + (255.0f - (float)bg[k]) * 136.0f / 255.0f;
                EXPECT_NEAR((float)((p >> (16 - 8 * k)) & 0xff), want, 1.5f) << what << " channel " << k;
            }
            EXPECT_EQ(f.depth(44, 44), 0xffffu) << what;
        } else {
            EXPECT_EQ(f.pixel(20, 44), 0x0000ffu) << what;
            EXPECT_EQ(f.pixel(44, 44), 0xffffffu) << what;
        }
    }
}

// An index 8 texture without a palette reads as a grey ramp.
TEST(Texture, Index8WithoutPaletteIsGrey)
{
    Tex t(2, 2, sr::TexelType::Index8);
    t.set(0, 0, 0);
    t.set(1, 0, 0x40);
    t.set(0, 1, 0x80);
    t.set(1, 1, 0xff);
    EXPECT_EQ(quarters(t), (std::vector<uint32_t>{0x000000, 0x404040, 0x808080, 0xffffff}));
}

struct CombineCase {
    const char *name;
    bool modulate, decal;
    uint32_t opaque; // what the opaque 0xc08040 texel gives
};

// How a texel meets the surface's shaded colour (0x804020 here): as is, modulated, or laid over it
// as a decal by the texel's alpha (the result then opaque).
TEST(Texture, ModulateDecalAndAsIs)
{
    const CombineCase cases[] = {
        {"as is", false, false, 0xc08040},
        {"modulate", true, false, 0x602008},
        {"decal", false, true, 0xc08040},
    };
    Tex t(2, 1, sr::TexelType::RGBA_8888);
    t.set(0, 0, 0xffc08040);
    t.set(1, 0, 0x88ffffff);
    for (const CombineCase &c : cases) {
        Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::D16);
        f.clear(BG);
        sr::Setup s = unlit(f, 0x804020);
        s.paint = textured(t);
        s.paint.modulate = c.modulate;
        s.paint.decal = c.decal;
        draw(s, square());
        EXPECT_EQ(f.pixel(20, 30), c.opaque) << c.name;
        EXPECT_LT(f.depth(20, 30), 0xffffu) << c.name;
        uint32_t p = f.pixel(44, 30);
        if (c.decal) {
            // White over the surface colour by 136/255, written as an opaque pixel.
            const int under[3] = {0x80, 0x40, 0x20};
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR((float)((p >> (16 - 8 * k)) & 0xff),
                            (float)under[k] + (255.0f - (float)under[k]) * 136.0f / 255.0f, 1.5f)
                    << c.name;
            EXPECT_LT(f.depth(44, 30), 0xffffu);
        } else {
            // Translucent: over the background, depth left alone.
            EXPECT_NE(p, BG) << c.name;
            EXPECT_EQ(f.depth(44, 30), 0xffffu) << c.name;
        }
    }
}

// Bilinear sampling between a black and a white texel: black at the first texel's centre, white at
// the second's, a steady ramp between; nearest sampling jumps at the middle.
TEST(Texture, BilinearRampsNearestSteps)
{
    Tex t(2, 1, sr::TexelType::RGBX_888);
    t.set(0, 0, 0x000000);
    t.set(1, 0, 0xffffff);
    for (bool linear : {false, true}) {
        Frame f(W, H, sr::ColourType::RGBX_888, sr::DepthType::None);
        f.clear(BG);
        sr::Setup s = unlit(f);
        s.paint = textured(t);
        s.paint.bilinear = linear;
        draw(s, square());
        int prev = -1;
        for (int x = 20; x < 44; ++x) {
            int level = (int)(f.pixel(x, 30) & 0xff);
            if (linear) {
                float u = square_u(x) * 2 - 0.5f; // between the texel centres: 0 .. 1
                EXPECT_NEAR((float)level, u * 255.0f, 2.0f) << x;
                EXPECT_GE(level, prev);
            } else {
                EXPECT_EQ(level, x < 32 ? 0 : 255) << x;
            }
            prev = level;
        }
    }
}

struct BlendCase {
    sr::ColourType type;
    float step; // one step of the layout's coarsest channel
};

// A translucent surface mixes 50/50 with what is behind it in every destination layout, is still
// hidden behind nearer pixels, and leaves the depth buffer as it was. Points and lines blend alike.
TEST(Blend, HalfAndHalfDepthUnchanged)
{
    const BlendCase cases[] = {{sr::ColourType::RGB_565, 8},   {sr::ColourType::RGB_555, 8},
                               {sr::ColourType::RGB_888, 1},   {sr::ColourType::RGBX_888, 1},
                               {sr::ColourType::RGBA_8888, 1}};
    for (const BlendCase &c : cases) {
        for (bool textured_surface : {false, true}) {
            Frame f(W, H, c.type, sr::DepthType::D16);
            f.clear(0);
            // Grey background, then a nearer opaque block over the bottom half.
            sr::Setup back = unlit(f, 0x808080);
            draw(back, square(-0.5f));
            Mesh block;
            for (const auto &p : {std::pair{0.0f, 40.0f}, std::pair{64.0f, 40.0f}, std::pair{64.0f, 64.0f},
                                  std::pair{0.0f, 64.0f}})
                block.add_vertex(cx(p.first), cy(p.second), 0.9f);
            block.add_face(0, 1, 2);
            block.add_face(0, 2, 3);
            draw(unlit(f, 0x0000ff), block);
            std::vector<uint8_t> depth_before = f.dmem;

            sr::Setup s = unlit(f, textured_surface ? 0xffffff : 0xff0000);
            Tex t(1, 1, sr::TexelType::RGB_565);
            t.set(0, 0, 0xf800);
            if (textured_surface)
                s.paint = textured(t);
            s.paint.blend = true;
            draw(s, square(0.5f));
            std::string what = "type " + std::to_string((int)c.type) + (textured_surface ? " textured" : "");
            std::vector<uint8_t> rgb = frame_rgb(f);
            auto at = [&](int x, int y, int k) { return (float)rgb[((size_t)y * W + x) * 3 + k]; };
            // Red over grey: (255 + 128) / 2, (0 + 128) / 2, (0 + 128) / 2.
            EXPECT_NEAR(at(20, 20, 0), 191.5f, c.step) << what;
            EXPECT_NEAR(at(20, 20, 1), 64.0f, c.step) << what;
            EXPECT_NEAR(at(20, 20, 2), 64.0f, c.step) << what;
            // Behind the nearer block: untouched.
            EXPECT_EQ(at(20, 50, 0), 0.0f) << what;
            EXPECT_GT(at(20, 50, 2), 250.0f) << what;
            EXPECT_EQ(f.dmem, depth_before) << what;
            EXPECT_TRUE(f.guards_intact()) << what;

            // Points and lines of a translucent material blend too.
            Mesh pts;
            pts.add_vertex(cx(4.5f), cy(4.5f), 0.5f);
            sr::Scratch scratch;
            sr::Setup ps = unlit(f, 0xff0000);
            ps.paint.blend = true;
            sr::render_group(ps, pts.group(), sr::Primitive::Point, scratch, nullptr);
            rgb = frame_rgb(f);
            EXPECT_NEAR(at(4, 4, 0), 127.5f, c.step) << what;
            EXPECT_EQ(f.dmem, depth_before) << what;
        }
    }
}

// The bounds part grows by every span drawn while enabled, textured and translucent ones included,
// and a dry (measuring) raster gives the same rectangle without writing a pixel.
TEST(Bounds, TexturedAndTranslucentSpans)
{
    Tex t = checker(2);
    for (bool dry : {false, true}) {
        Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
        f.clear();
        sr::Raster r(f.target);
        r.track = true;
        r.dry = dry;
        sr::Paint p = textured(t);
        p.blend = true;
        r.set_paint(p);
        sr::SVert a{10.2f, 5.7f, 0, {255, 255, 255}}, b{40.9f, 12.1f, 0, {255, 255, 255}},
            c{20.4f, 33.3f, 0, {255, 255, 255}};
        r.triangle(a, b, c, true, nullptr);
        sr::ScreenBounds sb;
        sb.reset();
        r.grow(sb);
        ASSERT_FALSE(sb.empty());
        if (dry) {
            EXPECT_EQ(f.drawn(), 0);
        } else {
            int minx = W, miny = H, maxx = -1, maxy = -1;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    if (f.pixel(x, y)) {
                        minx = std::min(minx, x), maxx = std::max(maxx, x);
                        miny = std::min(miny, y), maxy = std::max(maxy, y);
                    }
            EXPECT_EQ(sb.min[0], (float)minx);
            EXPECT_EQ(sb.min[1], (float)miny);
            EXPECT_EQ(sb.max[0], (float)maxx);
            EXPECT_EQ(sb.max[1], (float)maxy);
        }
        EXPECT_EQ(sb.min[1], 6.0f);
        EXPECT_EQ(sb.max[1], 32.0f);
    }
}

// A seeded random sequence the path comparisons share.
struct Lcg {
    uint32_t seed;
    uint32_t next() { return seed = seed * 1664525u + 1013904223u; }
    float unit() { return (float)(next() >> 8) / 16777216.0f; }
};

// A TW x TH map of random 16-bit texels.
std::vector<uint8_t> random_texels(Lcg &rng, int TW, int TH)
{
    std::vector<uint8_t> texels((size_t)TW * TH * 2);
    for (uint8_t &b : texels)
        b = (uint8_t)(rng.next() >> 24);
    return texels;
}

// A vertex at (x, y) with random depth, w and map position over a TW x TH map; its colours given,
// or random a little past 0..255 when rgb is null.
sr::SVert random_vert(Lcg &rng, float x, float y, const float *rgb, int TW, int TH)
{
    sr::SVert v;
    v.x = x;
    v.y = y;
    v.z = rng.unit() * 60000 - 30000;
    for (int c = 0; c < 3; ++c)
        v.rgb[c] = rgb ? rgb[c] : rng.unit() * 300 - 20;
    v.w = 0.5f + rng.unit() * 20;
    v.q = 1 / v.w;
    v.uq = (rng.unit() * 6 - 3) * TW * v.q;
    v.vq = (rng.unit() * 6 - 3) * TH * v.q;
    return v;
}

struct RandomTri {
    sr::SVert v[3];
    float flat[3];
};

struct DrawnBytes {
    std::vector<uint8_t> colour, depth;
};

// The triangles through Raster into a 565 colour buffer and a separate DEPTH_16 buffer, textured
// by a 16-bit map; mode 0 as is, 1 modulated flat, 2 modulated smooth.
DrawnBytes draw_random_tris(int w, int h, bool colour_up, bool depth_up, int guard, sr::TexelType tt, int TW, int TH,
                            const std::vector<uint8_t> &texels, int mode, const std::vector<RandomTri> &tris, int at_least)
{
    Frame fc(w, h, sr::ColourType::RGB_565, sr::DepthType::None, colour_up, guard),
        fd(w, h, sr::ColourType::RGB_565, sr::DepthType::D16, depth_up, guard);
    fc.clear(0x1234);
    fd.clear(0x1234);
    sr::Target target = fc.target;
    target.depth = fd.target.depth;
    target.dtype = sr::DepthType::D16;
    sr::Raster r(target);
    sr::Paint paint;
    paint.textured = true;
    paint.texture.type = tt;
    paint.texture.width = TW;
    paint.texture.height = TH;
    paint.texture.row_bytes = TW * 2;
    paint.texture.pixels = texels.data();
    paint.modulate = mode != 0;
    r.set_paint(paint);
    for (const RandomTri &t : tris)
        r.triangle(t.v[0], t.v[1], t.v[2], mode == 2, t.flat);
    EXPECT_TRUE(fc.guards_intact() && fd.guards_intact());
    EXPECT_GT(fc.drawn(0x1234), at_least);
    return {fc.cmem, fd.dmem};
}

// The one-pass writers work eight pixels at a time (AVX2 or SSE2, each forced in turn); the
// pixel-by-pixel loop is the reference. Random
// overlapping triangles (depth passing and failing within a group, rows of every length, depths
// crossing zero, map positions wrapping both ways) under parallel and perspective views, for each
// texel layout those writers take, including padded, bottom-up and large (> 65,536 texels) maps.
TEST(Texture, EveryPathMatchesOneByOne)
{
    struct Layout {
        sr::TexelType type;
        int w, h, pad;
        bool bottom_up;
    };
    const Layout layouts[] = {{sr::TexelType::RGB_565, 64, 64, 0, false},
                              {sr::TexelType::RGB_555, 32, 16, 6, false},
                              {sr::TexelType::Index8, 16, 32, 0, true},
                              {sr::TexelType::RGB_565, 256, 256, 0, false},
                              {sr::TexelType::RGB_565, 512, 256, 0, false},
                              // Maps smaller than a fetch or a row of eight: every read stays inside.
                              {sr::TexelType::RGB_565, 1, 1, 0, false},
                              {sr::TexelType::RGB_555, 2, 4, 0, true},
                              {sr::TexelType::Index8, 1, 2, 0, false},
                              {sr::TexelType::Index8, 4, 1, 0, true},
                              {sr::TexelType::RGB_565, 8, 2, 2, true}};
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    auto unit = [&] { return (float)(next() >> 8) / 16777216.0f; };
    uint32_t palette[256];
    for (uint32_t &c : palette)
        c = 0xff000000u | (next() >> 8);
    BestPathAfter restore;
    const std::vector<sr::SimdPath> paths = paths_to_compare();
    int compared = 0;
    for (const Layout &l : layouts) {
        const int tb = sr::texel_bytes(l.type), row = l.w * tb + l.pad;
        std::vector<uint8_t> mem((size_t)row * l.h);
        for (uint8_t &b : mem)
            b = (uint8_t)(next() >> 24);
        sr::Texture tex;
        tex.type = l.type;
        tex.width = l.w;
        tex.height = l.h;
        tex.row_bytes = l.bottom_up ? -row : row;
        tex.pixels = mem.data() + (l.bottom_up ? (size_t)row * (l.h - 1) : 0);
        tex.palette = palette;
        // 0: parallel view, 1: perspective, 2: face-on rectangles whose texel rows run along the
        // screen rows at up to one texel a pixel (one texel row per span, wrapping at the map's side).
        for (int persp = 0; persp < 3; ++persp) {
            Mesh m;
            if (persp == 2) {
                for (int k = 0; k < 12; ++k) {
                    const float x0 = unit() * 2.2f - 1.3f, y0 = unit() * 2.2f - 1.3f, z = unit() * 1.8f - 0.9f;
                    const float w = 0.2f + unit() * 1.4f, h = 0.2f + unit() * 1.4f;
                    // Pixels across (100 wide) times texels a pixel (the last ones exactly one).
                    const float per_px = k >= 10 ? 1.0f : 0.1f + unit() * 0.9f;
                    const float du = w * 50.0f * per_px / (float)l.w, u0 = unit() * 4 - 2, v0 = unit() * 4 - 2;
                    const float dv = h * 35.0f * (0.2f + unit()) / (float)l.h;
                    const int base = (int)m.v.size();
                    const float corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                    for (const auto &c : corner) {
                        m.add_vertex(x0 + c[0] * w, y0 + c[1] * h, z);
                        m.v.back().map[0] = u0 + c[0] * du;
                        m.v.back().map[1] = v0 + c[1] * dv;
                        m.vcol.push_back(next() >> 8);
                    }
                    m.add_face(base, base + 1, base + 2);
                    m.add_face(base, base + 2, base + 3);
                    m.fcol.push_back(next() >> 8);
                    m.fcol.push_back(next() >> 8);
                }
            } else {
                for (int k = 0; k < 36; ++k) {
                    if (persp)
                        m.add_vertex(unit() * 14 - 7, unit() * 14 - 7, -2.5f - unit() * 25);
                    else
                        m.add_vertex(unit() * 2.6f - 1.3f, unit() * 2.6f - 1.3f, unit() * 1.8f - 0.9f);
                    m.v.back().map[0] = unit() * 8 - 3;
                    m.v.back().map[1] = unit() * 8 - 3;
                    m.vcol.push_back(next() >> 8);
                }
                for (int k = 0; k < 36; k += 3) {
                    m.add_face(k, k + 1, k + 2);
                    m.fcol.push_back(next() >> 8);
                }
            }
            for (sr::ColourType ct : {sr::ColourType::RGB_565, sr::ColourType::RGB_555})
                for (sr::DepthType dt : {sr::DepthType::None, sr::DepthType::D16, sr::DepthType::D32})
                    for (int mode = 0; mode < 3; ++mode) { // as is, modulated flat, modulated smooth
                        std::vector<std::vector<uint8_t>> colour(paths.size()), depth(paths.size());
                        for (size_t wide = 0; wide < paths.size(); ++wide) {
                            sr::simd_path = paths[wide];
                            Frame f(100, 70, ct, dt);
                            f.clear(0x1234);
                            sr::Setup s = unlit(f);
                            s.colour_from_geometry = true;
                            if (persp == 1) {
                                s.parallel = false;
                                s.view_to_screen = perspective(1.2f, 100.0f / 70.0f, 1.0f, 100.0f);
                            }
                            s.smooth = mode == 2;
                            s.paint.textured = true;
                            s.paint.texture = tex;
                            s.paint.modulate = mode != 0;
                            draw(s, m);
                            ASSERT_TRUE(f.guards_intact());
                            colour[wide] = f.cmem;
                            depth[wide] = f.dmem;
                            if (wide) {
                                EXPECT_GT(f.drawn(0x1234), 1000);
                            }
                        }
                        std::string what = "layout " + std::to_string((int)l.type) + " " + std::to_string(l.w) +
                                           (persp == 1 ? " perspective" : persp == 2 ? " rows" : " parallel") + " colour " +
                                           std::to_string((int)ct) + " depth " + std::to_string((int)dt) +
                                           " mode " + std::to_string(mode);
                        for (size_t k = 1; k < paths.size(); ++k) {
                            EXPECT_TRUE(colour[0] == colour[k]) << what << " path " << (int)paths[k];
                            EXPECT_TRUE(depth[0] == depth[k]) << what << " path " << (int)paths[k];
                        }
                        ++compared;
                    }
        }
    }
    EXPECT_EQ(compared, 10 * 3 * 2 * 3 * 3);
}

// Thin slivers, tiny triangles and clipped ones straight through Raster: most of their rows are one
// or two pixels, which the AVX2 writer puts off and draws eight at a time. Colour and depth rows
// run in opposite directions (each way round), so a pixel written through the other buffer's row
// address shows; the pixel-by-pixel loop is the reference.
TEST(Texture, SliversMatchOneByOneWithMixedRowOrders)
{
    BestPathAfter restore;
    const std::vector<sr::SimdPath> paths = paths_to_compare();
    constexpr int TW = 128, TH = 32, FW = 61, FH = 37;
    Lcg rng{4242};
    auto next = [&] { return rng.next(); };
    auto unit = [&] { return rng.unit(); };
    std::vector<uint8_t> texels = random_texels(rng, TW, TH);
    auto vert = [&](float x, float y) { return random_vert(rng, x, y, nullptr, TW, TH); };
    using Tri = RandomTri;
    std::vector<Tri> tris;
    for (int k = 0; k < 240; ++k) {
        Tri t;
        const float x = unit() * (FW + 40) - 20, y = unit() * (FH + 40) - 20;
        switch (k % 4) {
        case 0: // a sliver along a column
            t.v[0] = vert(x, y);
            t.v[1] = vert(x + unit() * 3, y + unit() * 10);
            t.v[2] = vert(x + unit() * 2 - 1, y + 5 + unit() * FH);
            break;
        case 1: // a few pixels
            for (sr::SVert &v : t.v)
                v = vert(x + unit() * 4, y + unit() * 4);
            break;
        case 2: { // near-vertical sides, rows of 8n + 1 or 2 pixels
            const float wd = (float)(next() % 4 * 8) + 1 + unit() * 2;
            t.v[0] = vert(x, y);
            t.v[1] = vert(x + wd, y + unit());
            t.v[2] = vert(x + unit(), y + 5 + unit() * 40);
            break;
        }
        default: // across the buffer's sides
            for (sr::SVert &v : t.v)
                v = vert(unit() * (FW + 200) - 100, unit() * (FH + 200) - 100);
        }
        for (float &c : t.flat)
            c = unit() * 255;
        tris.push_back(t);
    }
    // Wider triangles whose colours sit on the range's ends or just past them: the writers leave out
    // the clamp for a row whose first and last colours are inside, so a rounding step out must show.
    const float ends[] = {0.0f, 255.0f, 0.002f, 254.998f, 255.9f, 256.0f, -0.002f, -0.6f, 127.5f};
    for (int k = 0; k < 120; ++k) {
        Tri t;
        const float x = unit() * (FW + 20) - 10, y = unit() * (FH + 10) - 5;
        t.v[0] = vert(x, y);
        t.v[1] = vert(x + 8 + unit() * 50, y + unit() * 6);
        t.v[2] = vert(x + unit() * 30 - 15, y + 3 + unit() * 30);
        for (sr::SVert &v : t.v)
            for (float &c : v.rgb)
                c = ends[next() % 9];
        for (float &c : t.flat)
            c = unit() * 255;
        tris.push_back(t);
    }
    for (sr::TexelType tt : {sr::TexelType::RGB_565, sr::TexelType::RGB_555})
        for (bool colour_up : {false, true})
            for (int mode = 0; mode < 3; ++mode) { // as is, modulated flat, modulated smooth
                std::vector<std::vector<uint8_t>> colour(paths.size()), depth(paths.size());
                for (size_t wide = 0; wide < paths.size(); ++wide) {
                    sr::simd_path = paths[wide];
                    SCOPED_TRACE(testing::Message() << "path " << (int)paths[wide]);
                    DrawnBytes d = draw_random_tris(FW, FH, colour_up, !colour_up, 4, tt, TW, TH, texels, mode, tris, 500);
                    colour[wide] = std::move(d.colour);
                    depth[wide] = std::move(d.depth);
                }
                for (size_t k = 1; k < paths.size(); ++k) {
                    const std::string what = "texels " + std::to_string((int)tt) + (colour_up ? " colour up" : " depth up") +
                                             " mode " + std::to_string(mode) + " path " + std::to_string((int)paths[k]);
                    EXPECT_TRUE(colour[0] == colour[k]) << what;
                    EXPECT_TRUE(depth[0] == depth[k]) << what;
                }
            }
}

// Rows as wide as the widest buffers (up to 4,096 pixels and widths that are no multiple of 8),
// with colour gradients steep enough that a row's last value wraps in 32 bits, rows ending on each
// of the last nine pixels, and colours that leave 0..255 only between a row's ends.
TEST(Texture, WideRowsMatchOneByOne)
{
    BestPathAfter restore;
    const std::vector<sr::SimdPath> paths = paths_to_compare();
    constexpr int TW = 64, TH = 32, FH = 48;
    Lcg rng{777};
    auto next = [&] { return rng.next(); };
    auto unit = [&] { return rng.unit(); };
    std::vector<uint8_t> texels = random_texels(rng, TW, TH);
    for (int fw : {1600, 2047, 2048, 4096, 4099}) {
        auto vert = [&](float x, float y, float r, float g, float b) {
            const float rgb[3] = {r, g, b};
            return random_vert(rng, x, y, rgb, TW, TH);
        };
        using Tri = RandomTri;
        std::vector<Tri> tris;
        const float ends[] = {0.0f, 255.0f, 0.002f, 254.998f, 255.9f, 256.0f, -0.002f, -0.6f, 127.5f};
        for (int k = 0; k < 60; ++k) {
            Tri t;
            const float y = unit() * FH - 8, h = 8 + unit() * 50;
            const float x0 = unit() * 40 - 20;
            if (k % 3 == 0) {
                // Red climbs by 2 to 40 a pixel from inside the range: across a row of thousands of
                // pixels it wraps, and its last value may land back inside 0..255.
                // Nearer than the rest, so no later triangle hides it.
                const float slope = 2 + unit() * 38, r0 = unit() * 250, xl = unit() * 20;
                t.v[0] = vert(xl, -1, r0, 100, 100);
                t.v[1] = vert((float)fw + 10, unit() * 4 - 1, r0 + slope * ((float)fw + 10 - xl), 100, 100);
                t.v[2] = vert(xl + unit() * 20, FH + 1, r0 + unit() * 4, 100, 100);
                for (sr::SVert &v : t.v)
                    v.z = -32000 + unit() * 500;
            } else if (k % 3 == 1) {
                // A right side on one of the last nine pixels: rows end at width - 8 .. width.
                const float xr = (float)(fw - (int)(next() % 9)) - 0.5f + 0.25f;
                t.v[0] = vert(xr - 20 - unit() * 300, y, ends[next() % 9], ends[next() % 9], ends[next() % 9]);
                t.v[1] = vert(xr, y - 0.25f, ends[next() % 9], ends[next() % 9], ends[next() % 9]);
                t.v[2] = vert(xr, y + h, ends[next() % 9], ends[next() % 9], ends[next() % 9]);
            } else {
                // Colours inside 0..255 at the ends of the widest rows, outside at the middle vertex.
                t.v[0] = vert(x0, y, unit() * 255, unit() * 255, unit() * 255);
                t.v[1] = vert((float)fw - unit() * 30, y + unit() * 3, unit() * 255, unit() * 255, unit() * 255);
                t.v[2] = vert((float)fw * unit(), y + h, unit() * 900 - 300, unit() * 900 - 300, unit() * 900 - 300);
            }
            for (float &c : t.flat)
                c = unit() * 255;
            tris.push_back(t);
        }
        for (int mode = 0; mode < 3; ++mode) { // as is, modulated flat, modulated smooth
            std::vector<std::vector<uint8_t>> colour(paths.size()), depth(paths.size());
            for (size_t wide = 0; wide < paths.size(); ++wide) {
                sr::simd_path = paths[wide];
                // Half the frames without guard pixels: a read past a row's last pixel leaves the buffer.
                const int guard = (fw + mode) % 2 ? 4 : 0;
                SCOPED_TRACE(testing::Message() << "width " << fw << " path " << (int)paths[wide]);
                DrawnBytes d = draw_random_tris(fw, FH, mode == 1, false, guard, sr::TexelType::RGB_565, TW, TH, texels, mode,
                                                tris, fw * 10);
                colour[wide] = std::move(d.colour);
                depth[wide] = std::move(d.depth);
            }
            for (size_t k = 1; k < paths.size(); ++k) {
                EXPECT_TRUE(colour[0] == colour[k]) << "width " << fw << " mode " << mode << " path " << (int)paths[k];
                EXPECT_TRUE(depth[0] == depth[k]) << "width " << fw << " mode " << mode << " path " << (int)paths[k];
            }
        }
    }
}

} // namespace
