// Coverage, depth, formats, points, lines and bounds of the pipeline, on raw buffers.
#include "sr_raster.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace srtest;

namespace {

constexpr int W = 64, H = 64;

void draw(const sr::Setup &s, const Mesh &m, sr::Primitive p = sr::Primitive::Triangle, sr::ScreenBounds *b = nullptr)
{
    sr::Scratch scratch;
    sr::render_group(s, m.group(), p, scratch, b);
}

Mesh triangle(float x0, float y0, float x1, float y1, float x2, float y2, float z0 = 0, float z1 = 0, float z2 = 0)
{
    Mesh m;
    m.add_vertex(cx(x0), cy(y0), z0);
    m.add_vertex(cx(x1), cy(y1), z1);
    m.add_vertex(cx(x2), cy(y2), z2);
    m.add_face(0, 1, 2, 1, 2, 3);
    return m;
}

// Which side of the line a->b the point lies on, scaled by the edge length.
float side(float ax, float ay, float bx, float by, float px, float py)
{
    return ((bx - ax) * (py - ay) - (by - ay) * (px - ax)) / std::hypot(bx - ax, by - ay);
}

struct Quad {
    float x[4], y[4];
};

class Coverage : public ::testing::TestWithParam<Quad> {};

// Two triangles sharing the diagonal of a quad draw every pixel inside it exactly once and nothing
// outside; pixel centres on the diagonal go to exactly one of them.
TEST_P(Coverage, SharedEdgeDrawsEachPixelOnce)
{
    const Quad &q = GetParam();
    Frame a(W, H, sr::ColourType::RGB_565, sr::DepthType::None), b(W, H, sr::ColourType::RGB_565, sr::DepthType::None);
    a.clear();
    b.clear();
    // The diagonal 0-2 runs in opposite directions in the two faces, as in a real mesh.
    Mesh t1 = triangle(q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2]);
    Mesh t2 = triangle(q.x[2], q.y[2], q.x[3], q.y[3], q.x[0], q.y[0]);
    draw(flat_setup(a, 0xffffff), t1);
    draw(flat_setup(b, 0xffffff), t2);
    // Orientation of the quad so that "inside" is positive.
    float sgn = side(q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2]) > 0 ? 1.0f : -1.0f;
    int inside = 0;
    for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
            int n = (a.pixel(i, j) != 0) + (b.pixel(i, j) != 0);
            ASSERT_LE(n, 1) << "pixel " << i << "," << j << " drawn twice";
            float px = i + 0.5f, py = j + 0.5f, m = 1e9f;
            for (int k = 0; k < 4; ++k)
                m = std::min(m, sgn * side(q.x[k], q.y[k], q.x[(k + 1) % 4], q.y[(k + 1) % 4], px, py));
            if (m > 1e-3f) {
                ASSERT_EQ(n, 1) << "hole at " << i << "," << j;
                ++inside;
            } else if (m < -1e-3f) {
                ASSERT_EQ(n, 0) << "outside pixel " << i << "," << j << " drawn";
            }
        }
    EXPECT_GT(inside, 50);
    EXPECT_TRUE(a.guards_intact() && b.guards_intact());
}

INSTANTIATE_TEST_SUITE_P(Quads, Coverage,
                         ::testing::Values(
                             // Diagonal through every pixel centre it crosses.
                             Quad{{10.5f, 40.5f, 40.5f, 10.5f}, {10.5f, 10.5f, 40.5f, 40.5f}},
                             Quad{{7.25f, 55.75f, 50.125f, 3.5f}, {4.3f, 9.9f, 58.2f, 44.6f}},
                             Quad{{0.0f, 64.0f, 64.0f, 0.0f}, {0.0f, 0.0f, 64.0f, 64.0f}},
                             Quad{{31.5f, 60.5f, 32.5f, 2.5f}, {2.5f, 31.5f, 61.5f, 30.5f}},
                             Quad{{12.0f, 50.0f, 52.0f, 14.0f}, {20.0f, 21.0f, 23.0f, 22.0f}}));

// Under a perspective camera, a vertex surrounded by a fan of triangles: the pixel its projection
// truncates to is drawn, by exactly one of them, and no pixel is drawn twice.
TEST(Coverage, VertexPixelUnderPerspective)
{
    const sr::Mat4 p = perspective(1.0f, 1.0f, 1.0f, 50.0f);
    const float centre[3] = {0.137f, -0.291f, -5.0f};
    Mesh fan;
    fan.add_vertex(centre[0], centre[1], centre[2]);
    const int n = 7;
    for (int k = 0; k < n; ++k) {
        float a = 0.3f + 6.2831853f * (float)k / (float)n;
        fan.add_vertex(centre[0] + 1.4f * std::cos(a), centre[1] + 1.4f * std::sin(a), -5.0f + 0.4f * std::sin(3.0f * a));
    }
    std::vector<int> count(W * H, 0);
    for (int k = 0; k < n; ++k) {
        Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::None);
        f.clear();
        Mesh t;
        t.v = {fan.v[0], fan.v[1 + k], fan.v[1 + (k + 1) % n]};
        t.add_face(0, 1, 2);
        sr::Setup s = flat_setup(f, 0xffffff);
        s.parallel = false;
        s.view_to_screen = p;
        draw(s, t);
        for (int j = 0; j < H; ++j)
            for (int i = 0; i < W; ++i)
                count[j * W + i] += f.pixel(i, j) != 0;
        EXPECT_TRUE(f.guards_intact());
    }
    for (int c : count)
        ASSERT_LE(c, 1);
    // The library's projection of the centre: (x/w)(W/2) + W/2 + 0.5, (y/w)(-(H/2)) + H/2 + 0.5.
    float c4[4];
    for (int j = 0; j < 4; ++j)
        c4[j] = centre[0] * p.m[0][j] + centre[1] * p.m[1][j] + centre[2] * p.m[2][j] + p.m[3][j];
    int px = (int)(c4[0] / c4[3] * 32.0f + 32.5f), py = (int)(c4[1] / c4[3] * -32.0f + 32.5f);
    EXPECT_EQ(count[py * W + px], 1) << px << "," << py;
}

TEST(Depth, NearWinsInBothDrawOrders)
{
    for (sr::DepthType dt : {sr::DepthType::D16, sr::DepthType::D32}) {
        for (int order = 0; order < 2; ++order) {
            Frame f(W, H, sr::ColourType::RGB_565, dt, order == 1);
            f.clear();
            // z/w nearer the +1 end is nearer the eye.
            Mesh near_t = triangle(5, 5, 60, 8, 20, 60, 0.5f, 0.5f, 0.5f);
            Mesh far_t = triangle(4, 30, 62, 20, 50, 62, -0.25f, -0.25f, -0.25f);
            if (order == 0) {
                draw(flat_setup(f, 0xff0000), near_t);
                draw(flat_setup(f, 0x0000ff), far_t);
            } else {
                draw(flat_setup(f, 0x0000ff), far_t);
                draw(flat_setup(f, 0xff0000), near_t);
            }
            EXPECT_EQ(f.pixel(30, 30), 0xf800u) << "order " << order;
            EXPECT_EQ(f.pixel(50, 50), 0x001fu);
            EXPECT_TRUE(f.guards_intact());
        }
    }
}

TEST(Depth, RedrawOverEqualDepthPasses)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
    f.clear();
    Mesh t = triangle(5, 5, 60, 9, 12, 58, 0.1f, -0.3f, 0.7f);
    draw(flat_setup(f, 0xff0000), t);
    draw(flat_setup(f, 0x00ff00), t);
    EXPECT_EQ(f.pixel(20, 20), 0x07e0u);
}

// The depth written at the pixel of a vertex is the library's depth value of the vertex's screen z:
// (z x 65536 truncated) with its top bit flipped; DEPTH_16 holds the upper half.
TEST(Depth, ValueAtVertexPixel)
{
    const float zs[] = {0.3f, -0.71f, 0.999f, -0.999f, 0.0f};
    for (float z : zs) {
        float sz = z * 1.0f * -32767.0f;
        uint32_t expect = (uint32_t)(int32_t)(sz * 65536.0f) + 0x80000000u;
        for (sr::DepthType dt : {sr::DepthType::D16, sr::DepthType::D32}) {
            Frame f(W, H, sr::ColourType::RGB_565, dt);
            f.clear();
            Mesh t = triangle(10.5f, 10.5f, 40.5f, 10.5f, 10.5f, 40.5f, z, z * 0.5f - 0.2f, -z);
            draw(flat_setup(f, 0xffffff), t);
            uint32_t want = dt == sr::DepthType::D16 ? expect >> 16 : expect;
            EXPECT_EQ(f.depth(10, 10), want) << "z " << z;
        }
    }
}

TEST(Depth, ForceFrontWritesZero)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
    f.clear();
    sr::Setup s = flat_setup(f, 0xffffff);
    s.force_front = true;
    draw(s, triangle(5, 5, 60, 9, 12, 58, 0.1f, -0.3f, 0.7f));
    EXPECT_EQ(f.depth(20, 20), 0u);
}

struct FormatCase {
    sr::ColourType type;
    uint32_t word;
};

// One writer serves every destination type; 0xC08040 lands as each layout stores it.
TEST(Formats, EveryDestinationTypeAndRowOrder)
{
    const FormatCase cases[] = {{sr::ColourType::RGB_565, 0xc408},
                                {sr::ColourType::RGB_555, 0x6208},
                                {sr::ColourType::RGB_888, 0xc08040},
                                {sr::ColourType::RGBX_888, 0x00c08040},
                                {sr::ColourType::RGBA_8888, 0xffc08040}};
    for (const FormatCase &c : cases)
        for (bool up : {false, true})
            for (bool smooth : {false, true}) {
                Frame f(W, H, c.type, sr::DepthType::D32, up);
                f.clear();
                sr::Setup s = flat_setup(f, 0xc08040);
                s.smooth = smooth;
                draw(s, triangle(2, 2, 62, 3, 3, 62));
                EXPECT_EQ(f.pixel(10, 10), c.word) << (int)c.type << " up " << up << " smooth " << smooth;
                EXPECT_EQ(f.pixel(60, 60), 0u);
                EXPECT_TRUE(f.guards_intact());
            }
}

// A bottom-up buffer holds the same picture as a top-down one.
TEST(Formats, BottomUpBufferHoldsTheSamePicture)
{
    Frame top(160, 120, sr::ColourType::RGB_565, sr::DepthType::D16, false);
    Frame bottom(160, 120, sr::ColourType::RGB_565, sr::DepthType::D16, true);
    top.clear();
    bottom.clear();
    sr::Scratch scratch;
    Board a(top.target), b(bottom.target);
    a.render(scratch);
    b.render(scratch);
    EXPECT_GT(top.drawn(), 2000);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(top.pixel(x, y), bottom.pixel(x, y)) << x << "," << y;
    EXPECT_TRUE(bottom.guards_intact());
}

TEST(Points, VertexLandsOnItsTruncatedPixel)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
    f.clear();
    Mesh m;
    m.add_vertex(cx(20.7f), cy(11.2f), 0);
    m.add_vertex(cx(63.9f), cy(0.6f), 0);
    m.add_vertex(cx(30.0f), cy(0.4f), 0); // above the view volume, which starts at 0.5
    m.add_vertex(cx(70.0f), cy(5.0f), 0); // off the buffer
    draw(flat_setup(f, 0xffffff), m, sr::Primitive::Point);
    EXPECT_EQ(f.pixel(20, 11), 0xffffu);
    EXPECT_EQ(f.pixel(63, 0), 0xffffu);
    EXPECT_EQ(f.drawn(), 2);
    EXPECT_TRUE(f.guards_intact());
}

TEST(Lines, VisibleEdgesOnlyEndsIncluded)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
    f.clear();
    Mesh m;
    m.add_vertex(cx(10.5f), cy(10.5f), 0);
    m.add_vertex(cx(50.5f), cy(10.5f), 0);
    m.add_vertex(cx(50.5f), cy(50.5f), 0);
    m.add_vertex(cx(10.5f), cy(50.5f), 0);
    m.add_face(0, 1, 2, 1, 2, 0); // diagonal 2-0 hidden
    m.add_face(0, 2, 3, 0, 3, 4);
    draw(flat_setup(f, 0xffffff), m, sr::Primitive::Line);
    EXPECT_EQ(f.pixel(10, 10), 0xffffu);
    EXPECT_EQ(f.pixel(50, 50), 0xffffu);
    EXPECT_EQ(f.pixel(30, 10), 0xffffu);
    EXPECT_EQ(f.pixel(10, 30), 0xffffu);
    EXPECT_EQ(f.pixel(30, 30), 0u); // on the hidden diagonal
    EXPECT_EQ(f.drawn(), 4 * 40);
}

TEST(Bounds, RectangleOfDrawnPixels)
{
    Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16);
    f.clear();
    sr::Setup s = flat_setup(f, 0xffffff);
    s.bounds_enabled = true;
    sr::ScreenBounds b;
    b.reset();
    draw(s, triangle(12.2f, 7.9f, 40.6f, 20.1f, 18.3f, 33.7f), sr::Primitive::Triangle, &b);
    int minx = W, miny = H, maxx = -1, maxy = -1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (f.pixel(x, y)) {
                minx = std::min(minx, x), maxx = std::max(maxx, x);
                miny = std::min(miny, y), maxy = std::max(maxy, y);
            }
    ASSERT_FALSE(b.empty());
    EXPECT_EQ(b.min[0], (float)minx);
    EXPECT_EQ(b.min[1], (float)miny);
    EXPECT_EQ(b.max[0], (float)maxx);
    EXPECT_EQ(b.max[1], (float)maxy);
    // Nothing drawn leaves the rectangle empty.
    sr::ScreenBounds e;
    e.reset();
    draw(s, triangle(100, 100, 120, 100, 110, 120), sr::Primitive::Triangle, &e);
    EXPECT_TRUE(e.empty());
}

} // namespace
