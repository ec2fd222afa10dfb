// Scanline rasteriser. Edge positions are worked out per row from the edge's own end points taken
// top first, so two triangles sharing an edge agree on it to the bit and cover each pixel once.
#include "sr_raster.h"
#include "sr_texture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace sr {

namespace {

template <ColourType C>
inline uint32_t pack(int r, int g, int b)
{
    if constexpr (C == ColourType::RGB_565)
        return (uint32_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    else if constexpr (C == ColourType::RGB_555)
        return (uint32_t)(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    else if constexpr (C == ColourType::RGBA_8888)
        return 0xff000000u | (uint32_t)(r << 16) | (uint32_t)(g << 8) | (uint32_t)b;
    else
        return (uint32_t)(r << 16) | (uint32_t)(g << 8) | (uint32_t)b;
}

template <ColourType C>
inline void put(uint8_t *p, uint32_t v)
{
    if constexpr (C == ColourType::RGB_565 || C == ColourType::RGB_555) {
        uint16_t w = (uint16_t)v;
        std::memcpy(p, &w, 2);
    } else if constexpr (C == ColourType::RGB_888) {
        p[0] = (uint8_t)v;
        p[1] = (uint8_t)(v >> 8);
        p[2] = (uint8_t)(v >> 16);
    } else {
        std::memcpy(p, &v, 4);
    }
}

template <ColourType C>
constexpr int bpp()
{
    return C == ColourType::RGB_888 ? 3 : (C == ColourType::RGB_565 || C == ColourType::RGB_555) ? 2 : 4;
}

inline int clamp255(int32_t v)
{
    v >>= 16;
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// 32-bit depth of a screen z that lies within (-32768, 32768).
inline uint32_t depth32(float z)
{
    return (uint32_t)(int32_t)(z * 65536.0f) + 0x80000000u;
}

// Writes pixels i0..i1-1 of one row. The depth test is "new <= stored", so re-drawing the same
// geometry over a restored depth buffer passes.
template <ColourType C, DepthType D, bool Smooth>
void span(uint8_t *crow, uint8_t *drow, int i0, int i1, float z, float dz, const int32_t *rgb, const int32_t *drgb,
          uint32_t flat)
{
    uint8_t *cp = crow + (std::ptrdiff_t)i0 * bpp<C>();
    int32_t r = 0, g = 0, b = 0;
    if constexpr (Smooth) {
        r = rgb[0];
        g = rgb[1];
        b = rgb[2];
    }
    for (int i = i0; i < i1; ++i, cp += bpp<C>(), z += dz) {
        bool pass = true;
        if constexpr (D == DepthType::D16) {
            uint8_t *dp = drow + (std::ptrdiff_t)i * 2;
            uint16_t old, nd = (uint16_t)(depth32(z) >> 16);
            std::memcpy(&old, dp, 2);
            pass = nd <= old;
            if (pass)
                std::memcpy(dp, &nd, 2);
        } else if constexpr (D == DepthType::D32) {
            uint8_t *dp = drow + (std::ptrdiff_t)i * 4;
            uint32_t old, nd = depth32(z);
            std::memcpy(&old, dp, 4);
            pass = nd <= old;
            if (pass)
                std::memcpy(dp, &nd, 4);
        }
        if (pass) {
            if constexpr (Smooth)
                put<C>(cp, pack<C>(clamp255(r), clamp255(g), clamp255(b)));
            else
                put<C>(cp, flat);
        }
        if constexpr (Smooth) {
            r += drgb[0];
            g += drgb[1];
            b += drgb[2];
        }
    }
}

// The textured and blended writers work a row in runs: the depth test picks the pixels that pass,
// then only those are sampled, shaded and written.
constexpr int RUN = 64;

struct Run {
    int n = 0;            // pixels that passed
    uint8_t at[RUN];      // their places in the run
    uint32_t depth[RUN];  // their new depth values
    uint32_t colour[RUN]; // 0x00RRGGBB
    uint16_t cover[RUN];  // 0..256: 256 replaces what is there (and writes depth), 0 leaves it
};

template <DepthType D>
inline void depth_test(const SpanIn &s, int k0, int n, float &z, Run &r)
{
    r.n = 0;
    for (int k = 0; k < n; ++k, z += s.dz) {
        if constexpr (D == DepthType::D16) {
            uint16_t old, nd = (uint16_t)(depth32(z) >> 16);
            std::memcpy(&old, s.drow + (std::ptrdiff_t)(k0 + k) * 2, 2);
            if (nd <= old) {
                r.at[r.n] = (uint8_t)k;
                r.depth[r.n++] = nd;
            }
        } else if constexpr (D == DepthType::D32) {
            uint32_t old, nd = depth32(z);
            std::memcpy(&old, s.drow + (std::ptrdiff_t)(k0 + k) * 4, 4);
            if (nd <= old) {
                r.at[r.n] = (uint8_t)k;
                r.depth[r.n++] = nd;
            }
        } else {
            r.at[r.n++] = (uint8_t)k;
        }
    }
}

template <DepthType D>
inline void depth_write(uint8_t *drow, int i, uint32_t d)
{
    if constexpr (D == DepthType::D16) {
        uint16_t v = (uint16_t)d;
        std::memcpy(drow + (std::ptrdiff_t)i * 2, &v, 2);
    } else if constexpr (D == DepthType::D32) {
        std::memcpy(drow + (std::ptrdiff_t)i * 4, &d, 4);
    }
}

// 8-bit channels of a stored pixel.
template <ColourType C>
inline uint32_t unpack(const uint8_t *p)
{
    if constexpr (C == ColourType::RGB_565 || C == ColourType::RGB_555) {
        uint16_t w;
        std::memcpy(&w, p, 2);
        return C == ColourType::RGB_565 ? expand565(w) : expand555(w);
    } else if constexpr (C == ColourType::RGB_888) {
        return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
    } else {
        uint32_t w;
        std::memcpy(&w, p, 4);
        return w & 0xffffffu;
    }
}

// Texel positions of the passing pixels: (u/w, v/w) over 1/w, exact at every pixel.
inline void texel_positions(const SpanIn &s, int off, const Run &r, float *u, float *v)
{
    for (int j = 0; j < r.n; ++j) {
        float k = (float)(off + r.at[j]);
        float w = 1.0f / (s.q + k * s.dq);
        u[j] = (s.uq + k * s.duq) * w;
        v[j] = (s.vq + k * s.dvq) * w;
    }
}

// The shaded colour of the passing pixels, 0x00RRGGBB.
inline void shaded(const SpanIn &s, int off, const Run &r, uint32_t *out)
{
    if (!s.smooth) {
        for (int j = 0; j < r.n; ++j)
            out[j] = s.flat;
        return;
    }
    for (int j = 0; j < r.n; ++j) {
        uint32_t k = (uint32_t)(off + r.at[j]);
        // The same values the plain writer reaches by adding the steps (wrapping alike).
        int c[3];
        for (int q = 0; q < 3; ++q)
            c[q] = clamp255((int32_t)((uint32_t)s.rgb[q] + k * (uint32_t)s.drgb[q]));
        out[j] = (uint32_t)c[0] << 16 | (uint32_t)c[1] << 8 | (uint32_t)c[2];
    }
}

inline uint32_t modulate(uint32_t t, uint32_t c)
{
    uint32_t r = (((t >> 16) & 0xff) * (((c >> 16) & 0xff) + 1)) >> 8;
    uint32_t g = (((t >> 8) & 0xff) * (((c >> 8) & 0xff) + 1)) >> 8;
    uint32_t b = ((t & 0xff) * ((c & 0xff) + 1)) >> 8;
    return r << 16 | g << 8 | b;
}

// a towards b by f / 256 (f 0..256), three channels.
inline uint32_t mix(uint32_t a, uint32_t b, uint32_t f)
{
    uint32_t g = 256 - f;
    uint32_t rb = (((a & 0xff00ffu) * g + (b & 0xff00ffu) * f) >> 8) & 0xff00ffu;
    uint32_t gg = (((a & 0xff00u) * g + (b & 0xff00u) * f) >> 8) & 0xff00u;
    return rb | gg;
}

// 8-bit alpha to cover 0..256, halved for a blended surface.
inline uint16_t cover_of(uint32_t alpha, bool blend)
{
    uint32_t c = alpha + (alpha >> 7);
    return (uint16_t)(blend ? c >> 1 : c);
}

// Colour and cover of the passing pixels of one run.
void paint_run(const SpanIn &s, const Paint &p, int off, Run &r)
{
    uint32_t shade[RUN];
    shaded(s, off, r, shade);
    if (!p.textured) {
        uint16_t c = cover_of(255, p.blend);
        for (int j = 0; j < r.n; ++j) {
            r.colour[j] = shade[j];
            r.cover[j] = c;
        }
        return;
    }
    float u[RUN], v[RUN];
    uint32_t texel[RUN];
    texel_positions(s, off, r, u, v);
    sample(p.texture, p.bilinear, u, v, r.n, texel);
    for (int j = 0; j < r.n; ++j) {
        uint32_t t = texel[j], a = t >> 24;
        if (p.decal) {
            r.colour[j] = mix(shade[j], t & 0xffffffu, a + (a >> 7));
            a = 255;
        } else if (p.modulate) {
            r.colour[j] = modulate(t, shade[j]);
        } else {
            r.colour[j] = t & 0xffffffu;
        }
        r.cover[j] = cover_of(a, p.blend);
    }
}

template <ColourType C, DepthType D>
void paint_span(const SpanIn &s, const Paint &p)
{
    Run r;
    float z = s.z;
    for (int k0 = s.i0; k0 < s.i1; k0 += RUN) {
        int n = std::min(RUN, s.i1 - k0);
        depth_test<D>(s, k0, n, z, r);
        if (!r.n)
            continue;
        paint_run(s, p, k0 - s.i0, r);
        for (int j = 0; j < r.n; ++j) {
            int i = k0 + r.at[j];
            uint8_t *cp = s.crow + (std::ptrdiff_t)i * bpp<C>();
            uint32_t c = r.colour[j];
            if (r.cover[j] >= 256) {
                put<C>(cp, pack<C>((int)(c >> 16), (int)((c >> 8) & 0xff), (int)(c & 0xff)));
                depth_write<D>(s.drow, i, r.depth[j]);
            } else if (r.cover[j]) {
                c = mix(unpack<C>(cp), c, r.cover[j]);
                put<C>(cp, pack<C>((int)(c >> 16), (int)((c >> 8) & 0xff), (int)(c & 0xff)));
            }
        }
    }
}

// A texel position in 16.16 fixed point, wrapped into a side of `size` texels (a power of two).
inline uint32_t fixed_texel(float u, int32_t size)
{
    float f = u - (float)texel_floor(u / (float)size) * (float)size;
    if (!(f >= 0.0f && f < (float)size))
        return 0;
    return (uint32_t)(f * 65536.0f);
}

inline uint32_t fixed_step(float d)
{
    return (uint32_t)(int32_t)(std::clamp(d, -16384.0f, 16384.0f) * 65536.0f);
}

// The common game surfaces in one pass: an opaque 565, 555 or index 8 texture whose sides are
// powers of two, nearest texel, as it is or modulated, into a 16-bit buffer; the same values as the
// run writer. With Affine (1/w the same all over the primitive: seen face on, or a parallel view)
// the texel position steps in fixed point instead of being divided out at every pixel.
template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
void paint_fast(const SpanIn &s, const Paint &p)
{
    const Texture &t = p.texture;
    const uint32_t mu = (uint32_t)t.width - 1, mv = (uint32_t)t.height - 1;
    constexpr bool copy = !Modulate && ((T == TexelType::RGB_565 && C == ColourType::RGB_565) ||
                                        (T == TexelType::RGB_555 && C == ColourType::RGB_555));
    uint32_t fu = 0, fv = 0, dfu = 0, dfv = 0;
    if constexpr (Affine) {
        fu = fixed_texel(s.uq / s.q, t.width);
        fv = fixed_texel(s.vq / s.q, t.height);
        dfu = fixed_step(s.duq / s.q);
        dfv = fixed_step(s.dvq / s.q);
    }
    float z = s.z;
    int32_t r = s.rgb[0], g = s.rgb[1], b = s.rgb[2];
    uint8_t *cp = s.crow + (std::ptrdiff_t)s.i0 * bpp<C>();
    for (int i = s.i0; i < s.i1; ++i, cp += bpp<C>(), z += s.dz) {
        bool pass = true;
        uint32_t nd = 0;
        if constexpr (D == DepthType::D16) {
            uint16_t old;
            nd = depth32(z) >> 16;
            std::memcpy(&old, s.drow + (std::ptrdiff_t)i * 2, 2);
            pass = nd <= old;
        } else if constexpr (D == DepthType::D32) {
            uint32_t old;
            nd = depth32(z);
            std::memcpy(&old, s.drow + (std::ptrdiff_t)i * 4, 4);
            pass = nd <= old;
        }
        if (pass) {
            uint32_t iu, iv;
            if constexpr (Affine) {
                iu = (fu >> 16) & mu;
                iv = (fv >> 16) & mv;
            } else {
                float k = (float)(i - s.i0);
                float w = 1.0f / (s.q + k * s.dq);
                iu = (uint32_t)texel_floor((s.uq + k * s.duq) * w) & mu;
                iv = (uint32_t)texel_floor((s.vq + k * s.dvq) * w) & mv;
            }
            const uint8_t *tp = t.pixels + (std::ptrdiff_t)iv * t.row_bytes + (std::ptrdiff_t)iu * bytes_of(T);
            if constexpr (copy) {
                std::memcpy(cp, tp, 2);
            } else {
                uint32_t c = decode<T>(tp, t.palette);
                if constexpr (Modulate) {
                    uint32_t shade = s.smooth ? (uint32_t)clamp255(r) << 16 | (uint32_t)clamp255(g) << 8 |
                                                    (uint32_t)clamp255(b)
                                              : s.flat;
                    c = modulate(c, shade);
                }
                put<C>(cp, pack<C>((int)((c >> 16) & 0xff), (int)((c >> 8) & 0xff), (int)(c & 0xff)));
            }
            depth_write<D>(s.drow, i, nd);
        }
        if constexpr (Affine) {
            fu += dfu;
            fv += dfv;
        }
        r += s.drgb[0];
        g += s.drgb[1];
        b += s.drgb[2];
    }
}

template <ColourType C, DepthType D, TexelType T>
void fill_fast(Raster::PaintFn (&f)[2][2])
{
    f[0][0] = &paint_fast<C, D, T, false, false>;
    f[0][1] = &paint_fast<C, D, T, false, true>;
    f[1][0] = &paint_fast<C, D, T, true, false>;
    f[1][1] = &paint_fast<C, D, T, true, true>;
}

struct Writers {
    Raster::SpanFn smooth = nullptr, flat = nullptr;
    Raster::PaintFn any = nullptr;
    const Raster::FastWriters *fast = nullptr;
};

template <ColourType C, DepthType D>
void pick(Writers &w)
{
    w.smooth = &span<C, D, true>;
    w.flat = &span<C, D, false>;
    w.any = &paint_span<C, D>;
    if constexpr (C == ColourType::RGB_565 || C == ColourType::RGB_555) {
        static const Raster::FastWriters table = [] {
            Raster::FastWriters t{};
            fill_fast<C, D, TexelType::RGB_565>(t.f[0]);
            fill_fast<C, D, TexelType::RGB_555>(t.f[1]);
            fill_fast<C, D, TexelType::Index8>(t.f[2]);
            return t;
        }();
        w.fast = &table;
    }
}

template <ColourType C>
void pick_depth(DepthType d, Writers &w)
{
    switch (d) {
    case DepthType::None:
        pick<C, DepthType::None>(w);
        break;
    case DepthType::D16:
        pick<C, DepthType::D16>(w);
        break;
    case DepthType::D32:
        pick<C, DepthType::D32>(w);
        break;
    }
}

struct Edge {
    float x0, y0, slope;
};

inline Edge make_edge(const SVert &top, const SVert &bottom)
{
    return Edge{top.x, top.y, (bottom.x - top.x) / (bottom.y - top.y)};
}

inline float edge_x(const Edge &e, float yc)
{
    return e.x0 + (yc - e.y0) * e.slope;
}

// First pixel index whose centre is at or after v, clamped to [0, limit].
inline int first_at_or_after(float v, int limit)
{
    float f = std::ceil(v - 0.5f);
    if (!(f > 0.0f))
        return 0;
    if (f > (float)limit)
        return limit;
    return (int)f;
}

inline bool before(const SVert &a, const SVert &b)
{
    return a.y < b.y || (a.y == b.y && a.x < b.x);
}

} // namespace

uint32_t pack_colour(ColourType t, int r, int g, int b)
{
    switch (t) {
    case ColourType::RGB_555:
        return pack<ColourType::RGB_555>(r, g, b);
    case ColourType::RGB_565:
        return pack<ColourType::RGB_565>(r, g, b);
    case ColourType::RGBA_8888:
        return pack<ColourType::RGBA_8888>(r, g, b);
    default:
        return pack<ColourType::RGBX_888>(r, g, b);
    }
}

Raster::Raster(const Target &t) : t_(t)
{
    minx = miny = INT_MAX;
    maxx = maxy = INT_MIN;
    w_ = std::max(0, t.colour.width);
    h_ = std::max(0, t.colour.height);
    cbpp_ = colour_bytes(t.ctype);
    dbpp_ = depth_bytes(t.dtype);
    if (t.dtype != DepthType::None) {
        if (!t.depth.pixels)
            return;
        w_ = std::min(w_, t.depth.width);
        h_ = std::min(h_, t.depth.height);
    }
    if (!t.colour.pixels || w_ <= 0 || h_ <= 0)
        return;
    Writers w;
    switch (t.ctype) {
    case ColourType::RGB_555:
        pick_depth<ColourType::RGB_555>(t.dtype, w);
        break;
    case ColourType::RGB_565:
        pick_depth<ColourType::RGB_565>(t.dtype, w);
        break;
    case ColourType::RGB_888:
        pick_depth<ColourType::RGB_888>(t.dtype, w);
        break;
    case ColourType::RGBX_888:
        pick_depth<ColourType::RGBX_888>(t.dtype, w);
        break;
    case ColourType::RGBA_8888:
        pick_depth<ColourType::RGBA_8888>(t.dtype, w);
        break;
    }
    span_smooth_ = w.smooth;
    span_flat_ = w.flat;
    paint_any_ = w.any;
    fast_ = w.fast;
}

void Raster::set_paint(const Paint &p)
{
    paint_ = p;
    const Texture &tx = p.texture;
    if (paint_.textured && !(tx.pixels && tx.width > 0 && tx.height > 0))
        paint_.textured = false;
    fast_persp_ = fast_affine_ = nullptr;
    if (!paint_.textured && !paint_.blend) {
        painter_ = nullptr;
        return;
    }
    painter_ = paint_any_;
    if (paint_.textured && tx.type == TexelType::Index8 && !tx.palette)
        paint_.texture.palette = grey_ramp();
    auto pow2 = [](int32_t n) { return (n & (n - 1)) == 0; };
    int layout = tx.type == TexelType::RGB_565 ? 0 : tx.type == TexelType::RGB_555 ? 1 : tx.type == TexelType::Index8 ? 2 : -1;
    if (fast_ && paint_.textured && layout >= 0 && !paint_.decal && !paint_.bilinear && !paint_.blend &&
        pow2(tx.width) && pow2(tx.height)) {
        fast_persp_ = fast_->f[layout][paint_.modulate][0];
        fast_affine_ = fast_->f[layout][paint_.modulate][1];
    }
}

void Raster::note(int i0, int i1, int j)
{
    minx = std::min(minx, i0);
    maxx = std::max(maxx, i1 - 1);
    miny = std::min(miny, j);
    maxy = std::max(maxy, j);
}

void Raster::grow(ScreenBounds &b) const
{
    if (minx > maxx)
        return;
    b.min[0] = std::min(b.min[0], (float)minx);
    b.min[1] = std::min(b.min[1], (float)miny);
    b.max[0] = std::max(b.max[0], (float)maxx);
    b.max[1] = std::max(b.max[1], (float)maxy);
}

void Raster::triangle(const SVert &a, const SVert &b, const SVert &c, bool smooth, const float *flat)
{
    if (!usable())
        return;
    const SVert *v0 = &a, *v1 = &b, *v2 = &c;
    if (before(*v1, *v0))
        std::swap(v0, v1);
    if (before(*v2, *v1))
        std::swap(v1, v2);
    if (before(*v1, *v0))
        std::swap(v0, v1);

    float dx1 = v1->x - v0->x, dy1 = v1->y - v0->y;
    float dx2 = v2->x - v0->x, dy2 = v2->y - v0->y;
    float area = dx1 * dy2 - dx2 * dy1;
    if (!(area != 0.0f) || !std::isfinite(area))
        return;

    int j0 = first_at_or_after(v0->y, h_);
    int j1 = first_at_or_after(v2->y, h_);
    if (j0 >= j1)
        return;

    float inv = 1.0f / area;
    // Steps of a value along x and y from its values at the three vertices.
    auto ddx = [&](float a0, float a1, float a2) { return ((a1 - a0) * dy2 - (a2 - a0) * dy1) * inv; };
    auto ddy = [&](float a0, float a1, float a2) { return ((a2 - a0) * dx1 - (a1 - a0) * dx2) * inv; };
    float dzdx = ddx(v0->z, v1->z, v2->z), dzdy = ddy(v0->z, v1->z, v2->z);
    float drdx[3] = {0, 0, 0}, drdy[3] = {0, 0, 0};
    int32_t drgb[3] = {0, 0, 0};
    uint32_t flat_pixel = 0, flat_rgb = 0;
    SpanFn fn;
    if (smooth) {
        for (int k = 0; k < 3; ++k) {
            drdx[k] = ddx(v0->rgb[k], v1->rgb[k], v2->rgb[k]);
            drdy[k] = ddy(v0->rgb[k], v1->rgb[k], v2->rgb[k]);
            drgb[k] = (int32_t)(drdx[k] * 65536.0f);
        }
        fn = span_smooth_;
    } else {
        auto to8 = [](float v) { return v <= 0.0f ? 0 : v >= 255.0f ? 255 : (int)v; };
        flat_pixel = pack_colour(t_.ctype, to8(flat[0]), to8(flat[1]), to8(flat[2]));
        flat_rgb = (uint32_t)to8(flat[0]) << 16 | (uint32_t)to8(flat[1]) << 8 | (uint32_t)to8(flat[2]);
        fn = span_flat_;
    }
    // 1/w and the texel position over w, for textures.
    const bool textured = painter_ && paint_.textured;
    float tv0[3] = {0, 0, 0}, tdx[3] = {0, 0, 0}, tdy[3] = {0, 0, 0};
    if (textured) {
        const float a0[3] = {v0->q, v0->uq, v0->vq}, a1[3] = {v1->q, v1->uq, v1->vq},
                    a2[3] = {v2->q, v2->uq, v2->vq};
        for (int k = 0; k < 3; ++k) {
            tv0[k] = a0[k];
            tdx[k] = ddx(a0[k], a1[k], a2[k]);
            tdy[k] = ddy(a0[k], a1[k], a2[k]);
        }
    }

    PaintFn painter = painter_;
    if (textured && fast_persp_)
        painter = tdx[0] == 0.0f && tdy[0] == 0.0f ? fast_affine_ : fast_persp_;

    Edge lng = make_edge(*v0, *v2);
    Edge upper{}, lower{};
    bool has_upper = v1->y > v0->y, has_lower = v2->y > v1->y;
    if (has_upper)
        upper = make_edge(*v0, *v1);
    if (has_lower)
        lower = make_edge(*v1, *v2);
    bool long_left = area > 0.0f;

    for (int j = j0; j < j1; ++j) {
        float yc = (float)j + 0.5f;
        float xs = edge_x(lng, yc);
        float xo = (yc < v1->y && has_upper) ? edge_x(upper, yc) : has_lower ? edge_x(lower, yc) : edge_x(upper, yc);
        float xl = long_left ? xs : xo, xr = long_left ? xo : xs;
        int i0 = first_at_or_after(xl, w_);
        int i1 = first_at_or_after(xr, w_);
        if (i0 >= i1)
            continue;
        if (track)
            note(i0, i1, j);
        if (dry)
            continue;
        float fx = (float)i0 + 0.5f - v0->x, fy = yc - v0->y;
        float z = v0->z + dzdx * fx + dzdy * fy;
        int32_t rgb[3] = {0, 0, 0};
        if (smooth)
            for (int k = 0; k < 3; ++k)
                rgb[k] = (int32_t)((v0->rgb[k] + drdx[k] * fx + drdy[k] * fy) * 65536.0f);
        uint8_t *crow = t_.colour.pixels + (std::ptrdiff_t)j * t_.colour.row_bytes;
        uint8_t *drow = dbpp_ ? t_.depth.pixels + (std::ptrdiff_t)j * t_.depth.row_bytes : nullptr;
        tested += (uint64_t)(i1 - i0);
        if (!painter_) {
            fn(crow, drow, i0, i1, z, dzdx, rgb, drgb, flat_pixel);
            continue;
        }
        SpanIn in{crow, drow, i0, i1, z, dzdx, {rgb[0], rgb[1], rgb[2]}, {drgb[0], drgb[1], drgb[2]}, smooth, flat_rgb,
                  0, 0, 0, 0, 0, 0};
        if (textured) {
            in.q = tv0[0] + tdx[0] * fx + tdy[0] * fy;
            in.uq = tv0[1] + tdx[1] * fx + tdy[1] * fy;
            in.vq = tv0[2] + tdx[2] * fx + tdy[2] * fy;
            in.dq = tdx[0];
            in.duq = tdx[1];
            in.dvq = tdx[2];
        }
        painter(in, paint_);
    }
}

void Raster::plot(int i, int j, float z, const float *rgb)
{
    if (i < 0 || j < 0 || i >= w_ || j >= h_)
        return;
    if (track)
        note(i, i + 1, j);
    if (dry)
        return;
    int32_t c[3];
    for (int k = 0; k < 3; ++k)
        c[k] = (int32_t)(std::clamp(rgb[k], 0.0f, 255.0f) * 65536.0f);
    uint8_t *crow = t_.colour.pixels + (std::ptrdiff_t)j * t_.colour.row_bytes;
    uint8_t *drow = dbpp_ ? t_.depth.pixels + (std::ptrdiff_t)j * t_.depth.row_bytes : nullptr;
    if (paint_.blend) {
        // Points and lines are never textured, but a translucent surface's blend holds for them too.
        Paint p;
        p.blend = true;
        SpanIn in{crow, drow, i, i + 1, z, 0.0f, {c[0], c[1], c[2]}, {0, 0, 0}, true, 0, 1, 0, 0, 0, 0, 0};
        paint_any_(in, p);
        return;
    }
    int32_t none[3] = {0, 0, 0};
    span_smooth_(crow, drow, i, i + 1, z, 0.0f, c, none, 0);
}

void Raster::point(const SVert &a)
{
    if (!usable() || !(a.x >= 0.0f) || !(a.y >= 0.0f) || !(a.x < (float)w_) || !(a.y < (float)h_))
        return;
    plot((int)a.x, (int)a.y, a.z, a.rgb);
}

void Raster::line(const SVert &a, const SVert &b, bool smooth)
{
    if (!usable())
        return;
    // Both ends are at their vertex pixels (what a truncated projection gives); the steps between
    // follow the longer axis.
    float ax = std::floor(a.x), ay = std::floor(a.y), bx = std::floor(b.x), by = std::floor(b.y);
    if (!std::isfinite(ax + ay + bx + by))
        return;
    float dx = bx - ax, dy = by - ay;
    int n = (int)std::max(std::fabs(dx), std::fabs(dy));
    if (n > 4 * (w_ + h_) + 16)
        return; // cannot happen for clipped input; keeps the loop bounded
    float inv = n ? 1.0f / (float)n : 0.0f;
    float rgb[3];
    for (int k = 0; k <= n; ++k) {
        float t = (float)k * inv;
        int i = (int)std::floor(ax + dx * t + 0.5f);
        int j = (int)std::floor(ay + dy * t + 0.5f);
        float z = a.z + (b.z - a.z) * t;
        for (int q = 0; q < 3; ++q)
            rgb[q] = smooth ? a.rgb[q] + (b.rgb[q] - a.rgb[q]) * t : a.rgb[q];
        plot(i, j, z, rgb);
    }
}

} // namespace sr
