// Depth along a row: every writer (the plain untextured ones, the blended and generic textured
// ones, the one-pass textured writers on each processor path) gives the same depth at the same pixel,
// over rows as long as a wide buffer and at every row length near the buffer's right side.
#include "sr_raster.h"
#include "sr_texture.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace srtest;

namespace {

struct Tri {
    sr::SVert v[3];
    float flat[3];
};

// How a batch of triangles is painted.
enum class Kind { Flat, Smooth, Persp, Affine, PerspModulated, Index8, Blend, TexturedBlend };
const Kind kinds[] = {Kind::Flat,           Kind::Smooth, Kind::Persp, Kind::Affine,
                      Kind::PerspModulated, Kind::Index8, Kind::Blend, Kind::TexturedBlend};

// A 565 map and an index 8 map of the same size.
struct Maps {
    sr::Texture tex, tex8;
};

struct Out {
    std::vector<uint8_t> colour, depth;
};

Out paint(const std::vector<Tri> &tris, Kind kind, int w, int h, sr::ColourType ct, sr::DepthType dt, bool bottom_up,
          const Maps &maps)
{
    Frame f(w, h, ct, dt, bottom_up);
    f.clear(0x1234);
    sr::Raster r(f.target);
    sr::Paint p;
    p.textured = kind == Kind::Persp || kind == Kind::Affine || kind == Kind::PerspModulated || kind == Kind::Index8 ||
                 kind == Kind::TexturedBlend;
    p.texture = kind == Kind::Index8 ? maps.tex8 : maps.tex;
    p.modulate = kind == Kind::PerspModulated;
    p.blend = kind == Kind::Blend || kind == Kind::TexturedBlend;
    r.set_paint(p);
    for (const Tri &t : tris) {
        sr::SVert v[3] = {t.v[0], t.v[1], t.v[2]};
        if (kind == Kind::Affine)
            for (sr::SVert &x : v) {
                x.uq /= x.q;
                x.vq /= x.q;
                x.q = 1;
            }
        r.triangle(v[0], v[1], v[2], kind == Kind::Smooth || kind == Kind::PerspModulated, t.flat);
    }
    EXPECT_TRUE(f.guards_intact());
    return {f.cmem, f.dmem};
}

// Every path of a batch gives the bytes of the pixel-by-pixel loop, and every opaque kind leaves
// the depth the plain untextured writer leaves (a decal over a face agrees with it).
void compare_all(const std::vector<Tri> &tris, int w, int h, const Maps &tex, const std::string &what,
                 std::initializer_list<sr::ColourType> colours)
{
    BestPathAfter restore;
    const std::vector<sr::SimdPath> paths = paths_to_compare();
    for (sr::ColourType ct : colours)
        for (sr::DepthType dt : {sr::DepthType::None, sr::DepthType::D16, sr::DepthType::D32})
            for (bool up : {false, true}) {
                sr::simd_path = sr::SimdPath::Scalar;
                const Out plain = paint(tris, Kind::Flat, w, h, ct, dt, up, tex);
                for (Kind kind : kinds) {
                    Out ref;
                    for (size_t k = 0; k < paths.size(); ++k) {
                        sr::simd_path = paths[k];
                        Out o = paint(tris, kind, w, h, ct, dt, up, tex);
                        const std::string at = what + " colour " + std::to_string((int)ct) + " depth " +
                                               std::to_string((int)dt) + (up ? " up" : " down") + " kind " +
                                               std::to_string((int)kind) + " path " + std::to_string((int)paths[k]);
                        if (k == 0) {
                            ref = o;
                            if (kind != Kind::Blend && kind != Kind::TexturedBlend) {
                                EXPECT_TRUE(o.depth == plain.depth) << at;
                            }
                            continue;
                        }
                        EXPECT_TRUE(o.colour == ref.colour) << at;
                        EXPECT_TRUE(o.depth == ref.depth) << at;
                    }
                }
            }
}

struct Rand {
    uint32_t seed;
    uint32_t next() { return seed = seed * 1664525u + 1013904223u; }
    float unit() { return (float)(next() >> 8) / 16777216.0f; }
};

sr::SVert vert(Rand &r, float x, float y, float z, int tw, int th)
{
    sr::SVert v;
    v.x = x;
    v.y = y;
    v.z = z;
    for (float &c : v.rgb)
        c = r.unit() * 300 - 20;
    v.w = 0.5f + r.unit() * 20;
    v.q = 1 / v.w;
    v.uq = (r.unit() * 6 - 3) * (float)tw * v.q;
    v.vq = (r.unit() * 6 - 3) * (float)th * v.q;
    return v;
}

struct Map : Maps {
    Map(int w, int h) : words((size_t)w * h), bytes((size_t)w * h)
    {
        Rand r{99};
        for (uint16_t &x : words)
            x = (uint16_t)(r.next() >> 16);
        for (uint8_t &x : bytes)
            x = (uint8_t)(r.next() >> 24);
        for (uint32_t &c : palette)
            c = 0xff000000u | (r.next() >> 8);
        tex.type = sr::TexelType::RGB_565;
        tex.width = w;
        tex.height = h;
        tex.row_bytes = w * 2;
        tex.pixels = (uint8_t *)words.data();
        tex8 = tex;
        tex8.type = sr::TexelType::Index8;
        tex8.row_bytes = w;
        tex8.pixels = bytes.data();
        tex8.palette = palette;
    }
    std::vector<uint16_t> words;
    std::vector<uint8_t> bytes;
    uint32_t palette[256];
};

// Rows up to 2,100 pixels long, depths from the nearest to the farthest across one row, slopes from
// flat to a full depth range in a pixel, overlapping so groups pass in part.
TEST(DepthRows, LongRowsAgreeOnEveryPathAndWriter)
{
    constexpr int FW = 2100, FH = 20;
    Map map(256, 64);
    Rand r{777};
    std::vector<Tri> tris;
    auto z = [&] {
        switch (r.next() % 4) {
        case 0:
            return -32767.0f;
        case 1:
            return 32767.0f;
        default:
            return r.unit() * 65534 - 32767;
        }
    };
    for (int k = 0; k < 40; ++k) {
        Tri t;
        // A wedge across the whole width, one of its ends a point.
        const float y0 = r.unit() * FH, y1 = r.unit() * FH;
        const float xa = -30 + r.unit() * 60, xb = FW - 30 + r.unit() * 60;
        t.v[0] = vert(r, xa, y0, z(), 64, 32);
        t.v[1] = vert(r, xb, y1 - 6 - r.unit() * 20, z(), 64, 32);
        t.v[2] = vert(r, xb - r.unit() * 40, y1 + 6 + r.unit() * 20, z(), 64, 32);
        if (k % 5 == 4) // a steep one: a full range of depth over a few pixels
            t.v[0].x = t.v[2].x - 3 - r.unit() * 5;
        for (float &c : t.flat)
            c = r.unit() * 255;
        tris.push_back(t);
    }
    // Face-on rectangles across the width whose texel rows run along the screen rows at up to a
    // texel a pixel (the sixteen-pixel pass of the affine writer), sloping in depth.
    for (int k = 0; k < 6; ++k) {
        const float x0 = -10 + r.unit() * 20, x1 = FW - 10 + r.unit() * 20, y0 = r.unit() * 8 - 4, y1 = y0 + 6 + r.unit() * 12;
        const float u0 = r.unit() * 512, u1 = u0 + (x1 - x0) * (k == 0 ? 1.0f : r.unit()), v0 = r.unit() * 64, v1 = v0 + r.unit() * 30;
        const float za = z(), zb = k == 1 ? za : z(), zc = k == 1 ? za : z();
        sr::SVert c[4] = {vert(r, x0, y0, za, 64, 32), vert(r, x1, y0, zb, 64, 32), vert(r, x1, y1, zc, 64, 32),
                          vert(r, x0, y1, std::clamp(za + (zc - zb), -32767.0f, 32767.0f), 64, 32)};
        const float uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
        for (int n = 0; n < 4; ++n) {
            c[n].uq = uv[n][0] * c[n].q;
            c[n].vq = uv[n][1] * c[n].q;
        }
        Tri t;
        for (float &f : t.flat)
            f = r.unit() * 255;
        t.v[0] = c[0], t.v[1] = c[1], t.v[2] = c[2];
        tris.push_back(t);
        t.v[0] = c[0], t.v[1] = c[2], t.v[2] = c[3];
        tris.push_back(t);
    }
    compare_all(tris, FW, FH, map, "long rows", {sr::ColourType::RGB_565, sr::ColourType::RGBA_8888});
}

// Depth along one long row against the plane worked out in double: close to it all along (no drift
// towards the row's end), never wrapping past either end of the range, and in order.
TEST(DepthRows, LongRowFollowsThePlane)
{
    constexpr int FW = 4000, FH = 4;
    Map map(64, 32);
    BestPathAfter restore;
    for (sr::SimdPath path : paths_to_compare())
        for (int sense = 0; sense < 2; ++sense) {
            sr::simd_path = path;
            Frame f(FW, FH, sr::ColourType::RGB_565, sr::DepthType::D32);
            f.clear();
            sr::Raster ra(f.target);
            sr::Paint p;
            p.textured = true;
            p.texture = map.tex;
            ra.set_paint(p);
            Rand r{5};
            // Nearest at one end of the row, farthest at the other.
            const float zl = sense ? 32767.0f : -32767.0f, zr = -zl;
            sr::SVert a = vert(r, 0, -1, zl, 64, 32), b = vert(r, FW, -1, zr, 64, 32), c = vert(r, 0, FH + 1, zl, 64, 32);
            const float flat[3] = {255, 255, 255};
            ra.triangle(a, b, c, false, flat);
            for (int j = 0; j < FH; ++j) {
                uint32_t last = 0;
                int drawn = 0;
                for (int i = 0; i < FW; ++i) {
                    if (f.pixel(i, j) == 0)
                        continue;
                    // The plane through a, b and c at the pixel's centre.
                    const double t = ((double)i + 0.5) / FW;
                    const double z = zl + (zr - zl) * t;
                    const double want = z * 65536.0 + 2147483648.0;
                    const uint32_t got = f.depth(i, j);
                    ASSERT_LT(std::fabs((double)got - want), 2048.0) << "pixel " << i << "," << j;
                    if (drawn++) {
                        ASSERT_TRUE(sense ? got <= last : got >= last) << "pixel " << i << "," << j;
                    }
                    last = got;
                }
                EXPECT_GT(drawn, FW / 5);
            }
        }
}

// Rows of 1, 2, 3, 7, 8, 9, 15, 16, 17 and 33 pixels at the buffer's left side, inside it and
// ending at its right side, opaque and translucent, over a depth buffer that passes some pixels and
// fails others (both senses of the test within one group, equal depth passing).
TEST(DepthRows, EveryRowLengthAtEverySide)
{
    constexpr int FW = 83, FH = 12;
    Map map(16, 16);
    Rand r{31};
    std::vector<Tri> tris;
    for (int n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 33})
        for (int at : {0, 21, FW - n}) {
            // A rectangle whose sides lie on pixel edges: n pixels a row, over rows 0..FH-1 and
            // beyond, sloping in depth both ways.
            const float x0 = (float)at, x1 = (float)(at + n), y0 = -1 - r.unit(), y1 = FH + r.unit();
            const float za = r.unit() * 60000 - 30000, zb = r.unit() * 60000 - 30000, zc = r.unit() * 60000 - 30000;
            Tri t;
            t.v[0] = vert(r, x0, y0, za, 16, 16);
            t.v[1] = vert(r, x1, y0, zb, 16, 16);
            t.v[2] = vert(r, x1, y1, zc, 16, 16);
            for (float &c : t.flat)
                c = r.unit() * 255;
            Tri u = t;
            u.v[1] = t.v[2];
            u.v[2] = vert(r, x0, y1, 0, 16, 16);
            // The same plane: z at the fourth corner from the other three (in the range the
            // pipeline gives).
            u.v[2].z = std::clamp(za + (zc - zb), -32767.0f, 32767.0f);
            tris.push_back(t);
            tris.push_back(u);
        }
    compare_all(tris, FW, FH, map, "row lengths",
                {sr::ColourType::RGB_565, sr::ColourType::RGB_555, sr::ColourType::RGB_888, sr::ColourType::RGBA_8888});
}

} // namespace
