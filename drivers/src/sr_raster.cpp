// Scanline rasteriser. Edge positions are worked out per row from the edge's own end points taken
// top first, so two triangles sharing an edge agree on it to the bit and cover each pixel once.
#include "sr_raster.h"
#include "sr_texture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace sr {

SimdPath simd_best()
{
#if defined(__x86_64__) && defined(__GNUC__)
    // Asked from a static initialiser, possibly before the compiler runtime's own has run.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return SimdPath::AVX2;
#endif
#if defined(__SSE2__)
    return SimdPath::SSE2;
#else
    return SimdPath::Scalar;
#endif
}

// Constant-initialised, so a test may force a path before any other initialiser runs; a path the
// processor lacks is skipped at the draw.
SimdPath simd_path = SimdPath::AVX2;

namespace {
const bool cpu_avx2 = simd_best() == SimdPath::AVX2;
}

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

// Screen z at k pixels along a row from its first pixel's z0: one product from the row's start
// rather than a chain of additions, so every writer reaches it lane by lane in any order.
inline float depth_at(float z0, float dz, int k)
{
    return z0 + (float)k * dz;
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

} // namespace

// What a triangle's rows are worked out from: its edges, and the values at its first vertex with
// their steps along x and y.
struct TriRows {
    Edge lng, upper, lower;
    bool has_upper, has_lower, long_left, smooth, textured;
    float x0, y0, z0, y1;
    float dzdx, dzdy;
    float rgb0[3], drdx[3], drdy[3];
    int32_t drgb[3];
    uint32_t flat_rgb;
    float tv0[3], tdx[3], tdy[3];
    int j0, j1, w;
    uint8_t *cpix, *dpix; // dpix null without depth
    std::ptrdiff_t cstride, dstride;
};

namespace {

#define SR_INLINE __attribute__((always_inline)) inline

// Pixels i0..i1-1 of row j; false when the row has none.
SR_INLINE bool row_extent(const TriRows &t, int j, SpanIn &in)
{
    const float yc = (float)j + 0.5f;
    const float xs = edge_x(t.lng, yc);
    const float xo = (yc < t.y1 && t.has_upper) ? edge_x(t.upper, yc)
                     : t.has_lower              ? edge_x(t.lower, yc)
                                                : edge_x(t.upper, yc);
    const float xl = t.long_left ? xs : xo, xr = t.long_left ? xo : xs;
    in.i0 = first_at_or_after(xl, t.w);
    in.i1 = first_at_or_after(xr, t.w);
    return in.i0 < in.i1;
}

// The values at the first pixel of row j (its extent already set).
SR_INLINE void row_values(const TriRows &t, int j, SpanIn &in)
{
    const float yc = (float)j + 0.5f;
    const float fx = (float)in.i0 + 0.5f - t.x0, fy = yc - t.y0;
    in.z = t.z0 + t.dzdx * fx + t.dzdy * fy;
    if (t.smooth)
        for (int k = 0; k < 3; ++k)
            in.rgb[k] = (int32_t)((t.rgb0[k] + t.drdx[k] * fx + t.drdy[k] * fy) * 65536.0f);
    in.crow = t.cpix + (std::ptrdiff_t)j * t.cstride;
    in.drow = t.dpix ? t.dpix + (std::ptrdiff_t)j * t.dstride : nullptr;
    if (t.textured) {
        in.q = t.tv0[0] + t.tdx[0] * fx + t.tdy[0] * fy;
        in.uq = t.tv0[1] + t.tdx[1] * fx + t.tdy[1] * fy;
        in.vq = t.tv0[2] + t.tdx[2] * fx + t.tdy[2] * fy;
    }
}

// The parts of a row that stay the same along the triangle.
SR_INLINE void row_constants(const TriRows &t, SpanIn &in)
{
    in.z = 0;
    in.dz = t.dzdx;
    for (int k = 0; k < 3; ++k) {
        in.rgb[k] = 0;
        in.drgb[k] = t.drgb[k];
    }
    in.smooth = t.smooth;
    in.flat = t.flat_rgb;
    in.q = in.uq = in.vq = 0;
    in.dq = in.duq = in.dvq = 0;
    if (t.textured) {
        in.dq = t.tdx[0];
        in.duq = t.tdx[1];
        in.dvq = t.tdx[2];
    }
    in.room = t.w;
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
    for (int i = i0; i < i1; ++i, cp += bpp<C>()) {
        bool pass = true;
        const float zi = depth_at(z, dz, i - i0);
        if constexpr (D == DepthType::D16) {
            uint8_t *dp = drow + (std::ptrdiff_t)i * 2;
            uint16_t old, nd = (uint16_t)(depth32(zi) >> 16);
            std::memcpy(&old, dp, 2);
            pass = nd <= old;
            if (pass)
                std::memcpy(dp, &nd, 2);
        } else if constexpr (D == DepthType::D32) {
            uint8_t *dp = drow + (std::ptrdiff_t)i * 4;
            uint32_t old, nd = depth32(zi);
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
inline void depth_test(const SpanIn &s, int k0, int n, Run &r)
{
    r.n = 0;
    for (int k = 0; k < n; ++k) {
        const float z = depth_at(s.z, s.dz, k0 + k - s.i0);
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
    for (int k0 = s.i0; k0 < s.i1; k0 += RUN) {
        int n = std::min(RUN, s.i1 - k0);
        depth_test<D>(s, k0, n, r);
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

#if defined(__SSE2__)
// Eight pixels of the one-pass writer at a time. Every value is the one the pixel-by-pixel loop
// below reaches, to the bit: depths (depth_at()), texel positions, colours and the modulation are
// the same operations lane by lane.
struct Eight {
    __m128i lo, hi; // 32-bit lanes 0..3 and 4..7
};

inline __m128i lanes16(const Eight &e)
{
    return _mm_packs_epi32(e.lo, e.hi); // values known to fit
}

// texel_floor() lane by lane, then wrapped by the mask.
inline __m128i floor_wrap(__m128 t, __m128i mask)
{
    const __m128 abs = _mm_andnot_ps(_mm_set1_ps(-0.0f), t);
    const __m128i ok = _mm_castps_si128(_mm_cmplt_ps(abs, _mm_set1_ps(1.0e9f)));
    __m128i i = _mm_cvttps_epi32(t);
    i = _mm_add_epi32(i, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(i), t)));
    return _mm_and_si128(_mm_and_si128(i, ok), mask);
}

// clamp255() of eight 16.16 values, as 16-bit lanes.
inline __m128i clamp16(__m128i lo, __m128i hi)
{
    __m128i v = _mm_packs_epi32(_mm_srai_epi32(lo, 16), _mm_srai_epi32(hi, 16));
    return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(255));
}

// Lane K of `tw` takes the 16-bit texel numbered by lane K of `n`.
template <int K>
inline __m128i gather16(__m128i tw, __m128i n, const uint8_t *tpix)
{
    uint16_t v;
    std::memcpy(&v, tpix + (std::ptrdiff_t)_mm_extract_epi16(n, K) * 2, 2);
    return _mm_insert_epi16(tw, v, K);
}

template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
int paint_fast8(const SpanIn &s, const Paint &p, int32_t *rgbr, uint32_t &fur, uint32_t &fvr, uint32_t dfu,
                uint32_t dfv)
{
    const Texture &t = p.texture;
    const uint8_t *tpix = t.pixels;
    const std::ptrdiff_t trow = t.row_bytes;
    const uint32_t *palette = t.palette;
    const __m128i mu = _mm_set1_epi32(t.width - 1), mv = _mm_set1_epi32(t.height - 1);
    constexpr bool copy = !Modulate && ((T == TexelType::RGB_565 && C == ColourType::RGB_565) ||
                                        (T == TexelType::RGB_555 && C == ColourType::RGB_555));
    uint8_t *const crow = s.crow, *const drow = s.drow;
    const int i0 = s.i0, i1 = s.i1, room = s.room;
    const __m128 k0 = _mm_setr_ps(0, 1, 2, 3), k4 = _mm_setr_ps(4, 5, 6, 7), vz0 = _mm_set1_ps(s.z),
                 vdz = _mm_set1_ps(s.dz), scale = _mm_set1_ps(65536.0f);
    auto ramp_of = [](uint32_t d) { return _mm_setr_epi32(0, (int)d, (int)(2 * d), (int)(3 * d)); };
    // Smooth colour, 16.16, wrapping like the loop's additions.
    const bool smooth = s.smooth;
    __m128i sr4 = ramp_of((uint32_t)s.drgb[0]), sg4 = ramp_of((uint32_t)s.drgb[1]), sb4 = ramp_of((uint32_t)s.drgb[2]);
    const __m128i dr4 = _mm_set1_epi32((int)(4u * (uint32_t)s.drgb[0])),
                  dg4 = _mm_set1_epi32((int)(4u * (uint32_t)s.drgb[1])),
                  db4 = _mm_set1_epi32((int)(4u * (uint32_t)s.drgb[2]));
    uint32_t r = (uint32_t)rgbr[0], g = (uint32_t)rgbr[1], b = (uint32_t)rgbr[2];
    __m128i fr = _mm_set1_epi16((short)(((s.flat >> 16) & 0xff) + 1)),
            fg = _mm_set1_epi16((short)(((s.flat >> 8) & 0xff) + 1)), fb = _mm_set1_epi16((short)((s.flat & 0xff) + 1));
    uint32_t fu = fur, fv = fvr;
    const __m128i du4 = ramp_of(dfu), dv4 = ramp_of(dfv), du4s = _mm_set1_epi32((int)(4u * dfu)),
                  dv4s = _mm_set1_epi32((int)(4u * dfv));
    const __m128 q = _mm_set1_ps(s.q), dq = _mm_set1_ps(s.dq), uq = _mm_set1_ps(s.uq), duq = _mm_set1_ps(s.duq),
                 vq = _mm_set1_ps(s.vq), dvq = _mm_set1_ps(s.dvq);
    const __m128i one16 = _mm_set1_epi16(1);
    int ws = 0;
    while ((1 << ws) < t.width)
        ++ws;
    const bool packed = trow == (std::ptrdiff_t)t.width * bytes_of(T) && (int64_t)t.width * t.height <= 65536;
    const __m128i wshift = _mm_cvtsi32_si128(ws);
    // 8-bit channels (16-bit lanes) modulated as asked and packed for the buffer.
    auto shade_pack = [&](__m128i cr, __m128i cg, __m128i cb, __m128i sr_lo, __m128i sg_lo, __m128i sb_lo) {
        if constexpr (Modulate) {
            __m128i mr = fr, mg = fg, mb = fb;
            if (smooth) {
                mr = _mm_add_epi16(clamp16(sr_lo, _mm_add_epi32(sr_lo, dr4)), one16);
                mg = _mm_add_epi16(clamp16(sg_lo, _mm_add_epi32(sg_lo, dg4)), one16);
                mb = _mm_add_epi16(clamp16(sb_lo, _mm_add_epi32(sb_lo, db4)), one16);
            }
            cr = _mm_srli_epi16(_mm_mullo_epi16(cr, mr), 8);
            cg = _mm_srli_epi16(_mm_mullo_epi16(cg, mg), 8);
            cb = _mm_srli_epi16(_mm_mullo_epi16(cb, mb), 8);
        }
        if constexpr (C == ColourType::RGB_565)
            return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(cr, 3), 11),
                                             _mm_slli_epi16(_mm_srli_epi16(cg, 2), 5)),
                                _mm_srli_epi16(cb, 3));
        else
            return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(cr, 3), 10),
                                             _mm_slli_epi16(_mm_srli_epi16(cg, 3), 5)),
                                _mm_srli_epi16(cb, 3));
    };
    int i = i0;
    // The last pixels of a row go through the same code on a copy, so nothing past the row is touched.
    alignas(16) uint8_t ctail[16] = {}, dtail[32] = {};
    constexpr int dbytes = D == DepthType::D32 ? 4 : 2;
    const __m128i lane16 = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), lane_lo = _mm_setr_epi32(0, 1, 2, 3),
                  lane_hi = _mm_setr_epi32(4, 5, 6, 7);
    for (; i < i1; i += 8) {
        const int n = std::min(8, i1 - i);
        uint8_t *cp8 = crow + (std::ptrdiff_t)i * 2, *dp8 = drow;
        if constexpr (D != DepthType::None)
            dp8 = drow + (std::ptrdiff_t)i * dbytes;
        // The last pixels of a row work on a copy unless the row goes on past them: then the
        // pixels after the span are read and written back as they are.
        const bool copied = n < 8 && i + 8 > room;
        if (copied) {
            std::memcpy(ctail, cp8, (size_t)n * 2);
            cp8 = ctail;
            if constexpr (D != DepthType::None) {
                std::memcpy(dtail, dp8, (size_t)n * dbytes);
                dp8 = dtail;
            }
        }
        // Depths: depth_at() lane by lane.
        const __m128 kb = _mm_set1_ps((float)(i - i0));
        const __m128 za = _mm_add_ps(vz0, _mm_mul_ps(_mm_add_ps(kb, k0), vdz)),
                     zb = _mm_add_ps(vz0, _mm_mul_ps(_mm_add_ps(kb, k4), vdz));
        __m128i pass16 = _mm_cmpgt_epi16(_mm_set1_epi16((short)n), lane16);
        __m128i pass_lo = _mm_cmpgt_epi32(_mm_set1_epi32(n), lane_lo), pass_hi = _mm_cmpgt_epi32(_mm_set1_epi32(n), lane_hi);
        __m128i nd16 = pass16;
        __m128i nd_lo = pass16, nd_hi = pass16;
        if constexpr (D != DepthType::None) {
            const __m128i zi_lo = _mm_cvttps_epi32(_mm_mul_ps(za, scale)), zi_hi = _mm_cvttps_epi32(_mm_mul_ps(zb, scale));
            if constexpr (D == DepthType::D16) {
                // Upper halves, signed (top bit not yet flipped), against the stored ones flipped.
                const __m128i hs = _mm_packs_epi32(_mm_srai_epi32(zi_lo, 16), _mm_srai_epi32(zi_hi, 16));
                const __m128i old = _mm_loadu_si128((const __m128i *)dp8);
                const __m128i flip = _mm_set1_epi16((short)0x8000);
                pass16 = _mm_andnot_si128(_mm_cmpgt_epi16(hs, _mm_xor_si128(old, flip)), pass16);
                nd16 = _mm_xor_si128(hs, flip);
            } else {
                const __m128i flip = _mm_set1_epi32((int)0x80000000u);
                const __m128i ol = _mm_loadu_si128((const __m128i *)dp8),
                              oh = _mm_loadu_si128((const __m128i *)(dp8 + 16));
                pass_lo = _mm_andnot_si128(_mm_cmpgt_epi32(zi_lo, _mm_xor_si128(ol, flip)), pass_lo);
                pass_hi = _mm_andnot_si128(_mm_cmpgt_epi32(zi_hi, _mm_xor_si128(oh, flip)), pass_hi);
                pass16 = _mm_packs_epi32(pass_lo, pass_hi);
                nd_lo = _mm_xor_si128(zi_lo, flip);
                nd_hi = _mm_xor_si128(zi_hi, flip);
            }
        }
        // Texel positions (computed for all eight; only passing pixels are written).
        __m128i iu_lo, iu_hi, iv_lo, iv_hi;
        if constexpr (Affine) {
            const __m128i u0 = _mm_add_epi32(_mm_set1_epi32((int)fu), du4), v0 = _mm_add_epi32(_mm_set1_epi32((int)fv), dv4);
            iu_lo = _mm_and_si128(_mm_srli_epi32(u0, 16), mu);
            iv_lo = _mm_and_si128(_mm_srli_epi32(v0, 16), mv);
            iu_hi = _mm_and_si128(_mm_srli_epi32(_mm_add_epi32(u0, du4s), 16), mu);
            iv_hi = _mm_and_si128(_mm_srli_epi32(_mm_add_epi32(v0, dv4s), 16), mv);
            fu += 8u * dfu;
            fv += 8u * dfv;
        } else {
            const __m128 base = _mm_set1_ps((float)(i - i0));
            const __m128 ka = _mm_add_ps(base, k0), kb = _mm_add_ps(base, k4);
            const __m128 wa = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(q, _mm_mul_ps(ka, dq)));
            const __m128 wb = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(q, _mm_mul_ps(kb, dq)));
            iu_lo = floor_wrap(_mm_mul_ps(_mm_add_ps(uq, _mm_mul_ps(ka, duq)), wa), mu);
            iu_hi = floor_wrap(_mm_mul_ps(_mm_add_ps(uq, _mm_mul_ps(kb, duq)), wb), mu);
            iv_lo = floor_wrap(_mm_mul_ps(_mm_add_ps(vq, _mm_mul_ps(ka, dvq)), wa), mv);
            iv_hi = floor_wrap(_mm_mul_ps(_mm_add_ps(vq, _mm_mul_ps(kb, dvq)), wb), mv);
        }
        __m128i sr_lo = _mm_add_epi32(_mm_set1_epi32((int)r), sr4), sg_lo = _mm_add_epi32(_mm_set1_epi32((int)g), sg4),
                sb_lo = _mm_add_epi32(_mm_set1_epi32((int)b), sb4);
        r += 8u * (uint32_t)s.drgb[0];
        g += 8u * (uint32_t)s.drgb[1];
        b += 8u * (uint32_t)s.drgb[2];
        const int pm = _mm_movemask_epi8(pass16);
        if (pm == 0)
            continue;
        // Texel addresses: in a packed texture of at most 65,536 texels the texel number fits a
        // 16-bit lane; otherwise byte offsets are worked out lane by lane.
        __m128i colour, tw = _mm_setzero_si128();
        alignas(16) uint32_t c[8];
        if (packed) {
            // The signed pack takes -32,768..32,767: numbers are moved down into it and back.
            const __m128i h = _mm_set1_epi32(32768);
            const __m128i n = _mm_xor_si128(
                _mm_packs_epi32(_mm_sub_epi32(_mm_or_si128(_mm_sll_epi32(iv_lo, wshift), iu_lo), h),
                                _mm_sub_epi32(_mm_or_si128(_mm_sll_epi32(iv_hi, wshift), iu_hi), h)),
                _mm_set1_epi16((short)0x8000));
            if constexpr (T == TexelType::Index8) {
                c[0] = palette[tpix[_mm_extract_epi16(n, 0)]];
                c[1] = palette[tpix[_mm_extract_epi16(n, 1)]];
                c[2] = palette[tpix[_mm_extract_epi16(n, 2)]];
                c[3] = palette[tpix[_mm_extract_epi16(n, 3)]];
                c[4] = palette[tpix[_mm_extract_epi16(n, 4)]];
                c[5] = palette[tpix[_mm_extract_epi16(n, 5)]];
                c[6] = palette[tpix[_mm_extract_epi16(n, 6)]];
                c[7] = palette[tpix[_mm_extract_epi16(n, 7)]];
            } else {
                tw = gather16<0>(tw, n, tpix);
                tw = gather16<1>(tw, n, tpix);
                tw = gather16<2>(tw, n, tpix);
                tw = gather16<3>(tw, n, tpix);
                tw = gather16<4>(tw, n, tpix);
                tw = gather16<5>(tw, n, tpix);
                tw = gather16<6>(tw, n, tpix);
                tw = gather16<7>(tw, n, tpix);
            }
        } else {
            alignas(16) int32_t iu[8], iv[8];
            _mm_store_si128((__m128i *)iu, iu_lo);
            _mm_store_si128((__m128i *)(iu + 4), iu_hi);
            _mm_store_si128((__m128i *)iv, iv_lo);
            _mm_store_si128((__m128i *)(iv + 4), iv_hi);
            alignas(16) uint16_t w[8];
            for (int k = 0; k < 8; ++k) {
                const uint8_t *tp = tpix + (std::ptrdiff_t)iv[k] * trow + (std::ptrdiff_t)iu[k] * bytes_of(T);
                if constexpr (T == TexelType::Index8)
                    c[k] = palette[*tp];
                else
                    std::memcpy(&w[k], tp, 2);
            }
            if constexpr (T != TexelType::Index8)
                tw = _mm_load_si128((const __m128i *)w);
        }
        if constexpr (T == TexelType::Index8) {
            const __m128i lo = _mm_load_si128((const __m128i *)c), hi = _mm_load_si128((const __m128i *)(c + 4));
            const __m128i ff = _mm_set1_epi32(0xff);
            Eight er{_mm_and_si128(_mm_srli_epi32(lo, 16), ff), _mm_and_si128(_mm_srli_epi32(hi, 16), ff)};
            Eight eg{_mm_and_si128(_mm_srli_epi32(lo, 8), ff), _mm_and_si128(_mm_srli_epi32(hi, 8), ff)};
            Eight eb{_mm_and_si128(lo, ff), _mm_and_si128(hi, ff)};
            colour = shade_pack(lanes16(er), lanes16(eg), lanes16(eb), sr_lo, sg_lo, sb_lo);
        } else {
            if constexpr (copy) {
                colour = tw;
            } else {
                const __m128i m5 = _mm_set1_epi16(31);
                __m128i r5, g8, b5 = _mm_and_si128(tw, m5);
                if constexpr (T == TexelType::RGB_565) {
                    r5 = _mm_srli_epi16(tw, 11);
                    const __m128i g6 = _mm_and_si128(_mm_srli_epi16(tw, 5), _mm_set1_epi16(63));
                    g8 = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
                } else {
                    r5 = _mm_and_si128(_mm_srli_epi16(tw, 10), m5);
                    const __m128i g5 = _mm_and_si128(_mm_srli_epi16(tw, 5), m5);
                    g8 = _mm_or_si128(_mm_slli_epi16(g5, 3), _mm_srli_epi16(g5, 2));
                }
                colour = shade_pack(_mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2)), g8,
                                    _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2)), sr_lo, sg_lo, sb_lo);
            }
        }
        // Only the passing pixels change.
        auto merge = [](__m128i now, __m128i old, __m128i keep) {
            return _mm_or_si128(_mm_and_si128(keep, now), _mm_andnot_si128(keep, old));
        };
        __m128i *cp = (__m128i *)cp8;
        if (pm == 0xffff) {
            // A group that passes whole is stored as it is.
            _mm_storeu_si128(cp, colour);
            if constexpr (D == DepthType::D16) {
                _mm_storeu_si128((__m128i *)dp8, nd16);
            } else if constexpr (D == DepthType::D32) {
                _mm_storeu_si128((__m128i *)dp8, nd_lo);
                _mm_storeu_si128((__m128i *)dp8 + 1, nd_hi);
            }
        } else {
        _mm_storeu_si128(cp, merge(colour, _mm_loadu_si128(cp), pass16));
        if constexpr (D == DepthType::D16) {
            __m128i *dp = (__m128i *)dp8;
            _mm_storeu_si128(dp, merge(nd16, _mm_loadu_si128(dp), pass16));
        } else if constexpr (D == DepthType::D32) {
            __m128i *dp = (__m128i *)dp8;
            _mm_storeu_si128(dp, merge(nd_lo, _mm_loadu_si128(dp), pass_lo));
            _mm_storeu_si128(dp + 1, merge(nd_hi, _mm_loadu_si128(dp + 1), pass_hi));
        }
        }
        if (copied) {
            std::memcpy(crow + (std::ptrdiff_t)i * 2, ctail, (size_t)n * 2);
            if constexpr (D != DepthType::None)
                std::memcpy(drow + (std::ptrdiff_t)i * dbytes, dtail, (size_t)n * dbytes);
        }
    }
    rgbr[0] = (int32_t)r;
    rgbr[1] = (int32_t)g;
    rgbr[2] = (int32_t)b;
    fur = fu;
    fvr = fv;
    return i1;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define SR_HAVE_AVX2 1
#define SR_AVX2 __attribute__((target("avx2")))
// Makes a value opaque to the compiler, so a constant is kept (or spilled and read back) rather
// than built again inside a loop.
#define SR_KEEP(v) __asm__("" : "+x"(v))
// The same eight pixels with the 32-bit work in one 256-bit register instead of two, and the texels
// fetched by gathers. Every operation is the SSE2 writer's, lane by lane, so the values are the
// same to the bit (no fused multiply-add: only AVX2 is asked for).
SR_AVX2 inline __m256i floor_wrap8(__m256 t, __m256i mask)
{
    const __m256 abs = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), t);
    const __m256i ok = _mm256_castps_si256(_mm256_cmp_ps(abs, _mm256_set1_ps(1.0e9f), _CMP_LT_OS));
    const __m256i i = _mm256_cvttps_epi32(_mm256_round_ps(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
    return _mm256_and_si256(_mm256_and_si256(i, ok), mask);
}

// Eight signed 32-bit lanes known to fit 16 bits, as 16-bit lanes.
SR_AVX2 inline __m128i narrow16(__m256i v)
{
    return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

SR_AVX2 inline __m256i ramp8(uint32_t d)
{
    return _mm256_mullo_epi32(_mm256_set1_epi32((int)d), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// 8-bit channels of 16-bit texels: a 5-bit channel c becomes (c << 3) | (c >> 2) = 33c / 4 and a
// 6-bit one (c << 2) | (c >> 4) = 65c / 16, each one high-half multiply of the channel in place.
// depth_at() of eight pixels: kf holds each lane's pixel count from the row's first pixel.
SR_AVX2 SR_INLINE __m256 depths8(__m256 z0, __m256 kf, __m256 vdz)
{
    return _mm256_add_ps(z0, _mm256_mul_ps(kf, vdz));
}

template <TexelType T>
SR_AVX2 SR_INLINE void expand8(__m128i tw, __m128i &cr, __m128i &cg, __m128i &cb)
{
    if constexpr (T == TexelType::RGB_565) {
        cr = _mm_mulhi_epu16(_mm_and_si128(tw, _mm_set1_epi16((short)0xf800)), _mm_set1_epi16(264));
        cg = _mm_mulhi_epu16(_mm_and_si128(tw, _mm_set1_epi16(0x07e0)), _mm_set1_epi16(8320));
    } else {
        cr = _mm_mulhi_epu16(_mm_and_si128(tw, _mm_set1_epi16(0x7c00)), _mm_set1_epi16(528));
        cg = _mm_mulhi_epu16(_mm_and_si128(tw, _mm_set1_epi16(0x03e0)), _mm_set1_epi16(16896));
    }
    cb = _mm_mulhi_epu16(_mm_slli_epi16(tw, 11), _mm_set1_epi16(264));
}

template <TexelType T>
SR_AVX2 SR_INLINE void expand16w(__m256i tw, __m256i &cr, __m256i &cg, __m256i &cb)
{
    if constexpr (T == TexelType::RGB_565) {
        cr = _mm256_mulhi_epu16(_mm256_and_si256(tw, _mm256_set1_epi16((short)0xf800)), _mm256_set1_epi16(264));
        cg = _mm256_mulhi_epu16(_mm256_and_si256(tw, _mm256_set1_epi16(0x07e0)), _mm256_set1_epi16(8320));
    } else {
        cr = _mm256_mulhi_epu16(_mm256_and_si256(tw, _mm256_set1_epi16(0x7c00)), _mm256_set1_epi16(528));
        cg = _mm256_mulhi_epu16(_mm256_and_si256(tw, _mm256_set1_epi16(0x03e0)), _mm256_set1_epi16(16896));
    }
    cb = _mm256_mulhi_epu16(_mm256_slli_epi16(tw, 11), _mm256_set1_epi16(264));
}

// 8-bit channels (16-bit lanes) modulated by `m` (already plus one) when asked, packed for the buffer.
template <ColourType C, bool Modulate>
SR_AVX2 inline __m128i shade_pack8(__m128i cr, __m128i cg, __m128i cb, __m128i mr, __m128i mg, __m128i mb)
{
    if constexpr (Modulate) {
        // A product of 8 bits by at most 256 fits 16 bits, so the shift by 8 and the packing
        // shifts fold into one shift and a mask per channel.
        const __m128i pr = _mm_mullo_epi16(cr, mr), pg = _mm_mullo_epi16(cg, mg), pb = _mm_mullo_epi16(cb, mb);
        if constexpr (C == ColourType::RGB_565)
            return _mm_or_si128(_mm_or_si128(_mm_and_si128(pr, _mm_set1_epi16((short)0xf800)),
                                             _mm_and_si128(_mm_srli_epi16(pg, 5), _mm_set1_epi16(0x07e0))),
                                _mm_srli_epi16(pb, 11));
        else
            return _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi16(pr, 1), _mm_set1_epi16(0x7c00)),
                                             _mm_and_si128(_mm_srli_epi16(pg, 6), _mm_set1_epi16(0x03e0))),
                                _mm_srli_epi16(pb, 11));
    }
    if constexpr (C == ColourType::RGB_565)
        return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(cr, 3), 11), _mm_slli_epi16(_mm_srli_epi16(cg, 2), 5)),
                            _mm_srli_epi16(cb, 3));
    else
        return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(cr, 3), 10), _mm_slli_epi16(_mm_srli_epi16(cg, 3), 5)),
                            _mm_srli_epi16(cb, 3));
}

// What the AVX2 writer works out from the map and from a primitive's steps along a row: the same
// for every span of a triangle, so its rows share one copy.
struct A2Consts {
    __m256i last4, row8, first, mu, mv, sr8, sg8, sb8, step_r, step_g, step_b;
    __m256 vdz, dq, duq, dvq;
    __m128i fr, fg, fb;
    const uint8_t *lowest;
    int64_t extent;
};

template <TexelType T>
SR_AVX2 SR_INLINE void a2_consts(const SpanIn &s, const Texture &t, A2Consts &k)
{
    constexpr int tb = bytes_of(T);
    // The texels are fetched 32 bits at a time from within the map's own bytes: the lowest row's
    // start is the base, and a fetch that would run past the last byte is moved back and shifted.
    const std::ptrdiff_t trow = t.row_bytes;
    k.lowest = trow < 0 ? t.pixels + (std::ptrdiff_t)(t.height - 1) * trow : t.pixels;
    k.extent = (int64_t)(t.height - 1) * (trow < 0 ? -trow : trow) + (int64_t)t.width * tb;
    k.last4 = _mm256_set1_epi32((int)(k.extent - 4));
    k.row8 = _mm256_set1_epi32((int)trow);
    k.first = _mm256_set1_epi32((int)(t.pixels - k.lowest));
    k.mu = _mm256_set1_epi32(t.width - 1);
    k.mv = _mm256_set1_epi32(t.height - 1);
    k.vdz = _mm256_set1_ps(s.dz);
    k.sr8 = ramp8((uint32_t)s.drgb[0]);
    k.sg8 = ramp8((uint32_t)s.drgb[1]);
    k.sb8 = ramp8((uint32_t)s.drgb[2]);
    k.step_r = _mm256_set1_epi32((int)(8u * (uint32_t)s.drgb[0]));
    k.step_g = _mm256_set1_epi32((int)(8u * (uint32_t)s.drgb[1]));
    k.step_b = _mm256_set1_epi32((int)(8u * (uint32_t)s.drgb[2]));
    k.fr = _mm_set1_epi16((short)(((s.flat >> 16) & 0xff) + 1));
    k.fg = _mm_set1_epi16((short)(((s.flat >> 8) & 0xff) + 1));
    k.fb = _mm_set1_epi16((short)((s.flat & 0xff) + 1));
    k.dq = _mm256_set1_ps(s.dq);
    k.duq = _mm256_set1_ps(s.duq);
    k.dvq = _mm256_set1_ps(s.dvq);
}

template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
SR_AVX2 SR_INLINE int paint_fast8_avx2(const SpanIn &s, const Paint &p, const A2Consts &kc, int32_t *rgbr,
                                       uint32_t &fur, uint32_t &fvr, uint32_t dfu, uint32_t dfv)
{
    const Texture &t = p.texture;
    constexpr int tb = bytes_of(T);
    const std::ptrdiff_t trow = t.row_bytes;
    const uint8_t *const lowest = kc.lowest;
    const int64_t extent = kc.extent;
    if (extent < 4 || extent > INT32_MAX)
        return -1; // the SSE2 or the plain loop takes it
    const __m256i last4 = kc.last4, row8 = kc.row8, first = kc.first;
    const __m256i mu = kc.mu, mv = kc.mv;
    const uint32_t *palette = t.palette;
    constexpr bool copy = !Modulate && ((T == TexelType::RGB_565 && C == ColourType::RGB_565) ||
                                        (T == TexelType::RGB_555 && C == ColourType::RGB_555));
    uint8_t *const crow = s.crow, *const drow = s.drow;
    const int i0 = s.i0, i1 = s.i1, room = s.room;
    const float dz = s.dz;
    const __m256 k0 = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7), k8 = _mm256_setr_ps(8, 9, 10, 11, 12, 13, 14, 15),
                 vdz = kc.vdz, vz0 = _mm256_set1_ps(s.z), scale = _mm256_set1_ps(65536.0f);
    const bool smooth = s.smooth;
    uint32_t r = (uint32_t)rgbr[0], g = (uint32_t)rgbr[1], b = (uint32_t)rgbr[2];
    // The smooth colour at the group's eight pixels, stepped a group at a time (wrapping like the
    // loop's additions); only the modulation reads it.
    __m256i cr8 = _mm256_setzero_si256(), cg8 = cr8, cb8 = cr8, step_r = cr8, step_g = cr8, step_b = cr8;
    if constexpr (Modulate) {
        cr8 = _mm256_add_epi32(_mm256_set1_epi32((int)r), kc.sr8);
        cg8 = _mm256_add_epi32(_mm256_set1_epi32((int)g), kc.sg8);
        cb8 = _mm256_add_epi32(_mm256_set1_epi32((int)b), kc.sb8);
        step_r = kc.step_r;
        step_g = kc.step_g;
        step_b = kc.step_b;
    }
    const __m128i fr = kc.fr, fg = kc.fg, fb = kc.fb;
    uint32_t fu = fur, fv = fvr;
    const __m256i du8 = ramp8(dfu), dv8 = ramp8(dfv);
    const __m256 q = _mm256_set1_ps(s.q), dq = kc.dq, uq = _mm256_set1_ps(s.uq), duq = kc.duq,
                 vq = _mm256_set1_ps(s.vq), dvq = kc.dvq, one = _mm256_set1_ps(1.0f);
    const __m128i lane16 = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i lane32 = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    int i = i0;
    // A span along one texel row (v does not step) at most a texel a pixel: its row's offset.
    bool row_case = false;
    int row_off = 0;
    if constexpr (Affine && tb == 2) {
        row_case = dfv == 0 && dfu <= 65536u;
        row_off = (int)(((fv >> 16) & (uint32_t)(t.height - 1)) * trow + (t.pixels - lowest));
    }
    alignas(16) uint8_t ctail[16], dtail[32];
    constexpr int dbytes = D == DepthType::D32 ? 4 : 2;
    for (; i < i1; i += 8) {
        // A last pixel costs less alone than as a group (the loop after gives the same values).
        if (i1 - i < 2)
            break;
        // Sixteen pixels along one texel row in one pass where the colour needs no per-pixel
        // shade: the same operations as the eight-pixel pass below, two groups side by side.
        if constexpr (Affine && tb == 2 && D == DepthType::D16) {
            bool any = false;
            const __m256i zf16 = _mm256_srai_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(vz0, scale)), 16);
            const __m256i hs_flat = _mm256_packs_epi32(zf16, zf16);
            while (row_case && (!Modulate || !smooth) && i + 16 <= i1) {
                const uint32_t u0 = fu, b0 = u0 >> 16, bu = b0 & (uint32_t)(t.width - 1);
                const int off0 = row_off + (int)bu * 2;
                if (!(((u0 + 15u * dfu) >> 16) - b0 <= 15u && (int)bu + 16 <= t.width && off0 + 32 <= extent))
                    break;
                {
                    uint8_t *const cp = crow + (std::ptrdiff_t)i * 2, *const dp = drow + (std::ptrdiff_t)i * 2;
                    __m256i hs;
                    if (dz == 0.0f) {
                        // Depth the same all along (a face seen square on): z0 plus a zero product.
                        hs = hs_flat;
                    } else {
                    const __m256 kb = _mm256_set1_ps((float)(i - i0));
                    const __m256 za = depths8(vz0, _mm256_add_ps(kb, k0), vdz),
                                 zb = depths8(vz0, _mm256_add_ps(kb, k8), vdz);
                    const __m256i za16 = _mm256_srai_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(za, scale)), 16),
                                  zb16 = _mm256_srai_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(zb, scale)), 16);
                    hs = _mm256_permute4x64_epi64(_mm256_packs_epi32(za16, zb16), _MM_SHUFFLE(3, 1, 2, 0));
                    }
                    const __m256i flip = _mm256_set1_epi16((short)0x8000);
                    const __m256i pass = _mm256_xor_si256(
                        _mm256_cmpgt_epi16(hs, _mm256_xor_si256(_mm256_loadu_si256((const __m256i *)dp), flip)),
                        _mm256_set1_epi32(-1));
                    const __m256i nd = _mm256_xor_si256(hs, flip);
                    const uint32_t pm16 = (uint32_t)_mm256_movemask_epi8(pass);
                    if (pm16) {
                        // Each half takes its eight texels from one load at its own first texel.
                        const uint32_t bh = (u0 + 8u * dfu) >> 16;
                        const __m256i ua = _mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32((int)u0), du8), 16),
                                      ub = _mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32((int)(u0 + 8u * dfu)), du8), 16);
                        const __m256i d = _mm256_permute4x64_epi64(
                            _mm256_packs_epi32(_mm256_sub_epi32(ua, _mm256_set1_epi32((int)b0)),
                                               _mm256_sub_epi32(ub, _mm256_set1_epi32((int)bh))),
                            _MM_SHUFFLE(3, 1, 2, 0));
                        const __m256i idx =
                            _mm256_add_epi16(_mm256_mullo_epi16(d, _mm256_set1_epi16(0x0202)), _mm256_set1_epi16(0x0100));
                        const __m256i src = _mm256_inserti128_si256(
                            _mm256_castsi128_si256(_mm_loadu_si128((const __m128i *)(lowest + off0))),
                            _mm_loadu_si128((const __m128i *)(lowest + off0 + 2 * (int)(bh - b0))), 1);
                        const __m256i tw = _mm256_shuffle_epi8(src, idx);
                        __m256i colour;
                        if constexpr (copy) {
                            colour = tw;
                        } else {
                            __m256i cr, cg, cb;
                            expand16w<T>(tw, cr, cg, cb);
                            if constexpr (Modulate) {
                                const __m256i pr = _mm256_mullo_epi16(cr, _mm256_broadcastsi128_si256(fr)),
                                              pg = _mm256_mullo_epi16(cg, _mm256_broadcastsi128_si256(fg)),
                                              pb = _mm256_mullo_epi16(cb, _mm256_broadcastsi128_si256(fb));
                                if constexpr (C == ColourType::RGB_565)
                                    colour = _mm256_or_si256(
                                        _mm256_or_si256(_mm256_and_si256(pr, _mm256_set1_epi16((short)0xf800)),
                                                        _mm256_and_si256(_mm256_srli_epi16(pg, 5), _mm256_set1_epi16(0x07e0))),
                                        _mm256_srli_epi16(pb, 11));
                                else
                                    colour = _mm256_or_si256(
                                        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(pr, 1), _mm256_set1_epi16(0x7c00)),
                                                        _mm256_and_si256(_mm256_srli_epi16(pg, 6), _mm256_set1_epi16(0x03e0))),
                                        _mm256_srli_epi16(pb, 11));
                            } else if constexpr (C == ColourType::RGB_565)
                                colour = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(_mm256_srli_epi16(cr, 3), 11),
                                                                         _mm256_slli_epi16(_mm256_srli_epi16(cg, 2), 5)),
                                                         _mm256_srli_epi16(cb, 3));
                            else
                                colour = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(_mm256_srli_epi16(cr, 3), 10),
                                                                         _mm256_slli_epi16(_mm256_srli_epi16(cg, 3), 5)),
                                                         _mm256_srli_epi16(cb, 3));
                        }
                        if (pm16 == 0xffffffffu) {
                            _mm256_storeu_si256((__m256i *)cp, colour);
                            _mm256_storeu_si256((__m256i *)dp, nd);
                        } else {
                            _mm256_storeu_si256((__m256i *)cp,
                                                _mm256_blendv_epi8(_mm256_loadu_si256((const __m256i *)cp), colour, pass));
                            _mm256_storeu_si256((__m256i *)dp,
                                                _mm256_blendv_epi8(_mm256_loadu_si256((const __m256i *)dp), nd, pass));
                        }
                    }
                    fu += 16u * dfu;
                    if constexpr (Modulate) {
                        cr8 = _mm256_add_epi32(cr8, _mm256_add_epi32(step_r, step_r));
                        cg8 = _mm256_add_epi32(cg8, _mm256_add_epi32(step_g, step_g));
                        cb8 = _mm256_add_epi32(cb8, _mm256_add_epi32(step_b, step_b));
                    }
                    i += 16;
                    any = true;
                }
            }
            if (any) {
                i -= 8; // the loop's step brings it back
                continue;
            }
        }
        const int n = std::min(8, i1 - i);
        uint8_t *cp8 = crow + (std::ptrdiff_t)i * 2, *dp8 = drow;
        if constexpr (D != DepthType::None)
            dp8 = drow + (std::ptrdiff_t)i * dbytes;
        // The last pixels of a row work on a copy unless the row goes on past them: then the
        // pixels after the span are read and written back as they are.
        const bool copied = n < 8 && i + 8 > room;
        if (copied) {
            std::memset(ctail, 0, sizeof ctail);
            std::memset(dtail, 0, sizeof dtail);
            std::memcpy(ctail, cp8, (size_t)n * 2);
            cp8 = ctail;
            if constexpr (D != DepthType::None) {
                std::memcpy(dtail, dp8, (size_t)n * dbytes);
                dp8 = dtail;
            }
        }
        __m128i pass16 = _mm_cmpgt_epi16(_mm_set1_epi16((short)n), lane16);
        __m256i pass32 = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), lane32);
        __m128i nd16 = pass16;
        __m256i nd32 = pass32;
        if constexpr (D != DepthType::None) {
            // Depths as the SSE2 writer makes them.
            const __m256 zv = depths8(vz0, _mm256_add_ps(_mm256_set1_ps((float)(i - i0)), k0), vdz);
            const __m256i zi = _mm256_cvttps_epi32(_mm256_mul_ps(zv, scale));
            if constexpr (D == DepthType::D16) {
                const __m128i hs = narrow16(_mm256_srai_epi32(zi, 16));
                const __m128i old = _mm_loadu_si128((const __m128i *)dp8);
                const __m128i flip = _mm_set1_epi16((short)0x8000);
                pass16 = _mm_andnot_si128(_mm_cmpgt_epi16(hs, _mm_xor_si128(old, flip)), pass16);
                nd16 = _mm_xor_si128(hs, flip);
            } else {
                const __m256i flip = _mm256_set1_epi32((int)0x80000000u);
                const __m256i old = _mm256_loadu_si256((const __m256i *)dp8);
                pass32 = _mm256_andnot_si256(_mm256_cmpgt_epi32(zi, _mm256_xor_si256(old, flip)), pass32);
                pass16 = narrow16(pass32);
                nd32 = _mm256_xor_si256(zi, flip);
            }
        }
        // One texel row (the common affine case): the eight texels are at most eight apart and do
        // not wrap, so one load from the first and a byte shuffle put each in its lane. Otherwise
        // the positions are worked out lane by lane and the texels gathered.
        __m128i row_texels = _mm_setzero_si128();
        bool in_row = false;
        if constexpr (Affine && tb == 2) {
            if (row_case) {
                const uint32_t u0 = fu, b0 = u0 >> 16, bu = b0 & (uint32_t)(t.width - 1);
                const int off0 = row_off + (int)bu * 2;
                if (((u0 + 7u * dfu) >> 16) - b0 <= 7u && (int)bu + 8 <= t.width && off0 + 16 <= extent) {
                    const __m128i d = narrow16(_mm256_sub_epi32(
                        _mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32((int)u0), du8), 16), _mm256_set1_epi32((int)b0)));
                    const __m128i idx = _mm_add_epi16(_mm_mullo_epi16(d, _mm_set1_epi16(0x0202)), _mm_set1_epi16(0x0100));
                    row_texels = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)(lowest + off0)), idx);
                    in_row = true;
                }
            }
        }
        __m256i iu = _mm256_setzero_si256(), iv = _mm256_setzero_si256();
        if (!in_row) {
            if constexpr (Affine) {
                iu = _mm256_and_si256(_mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32((int)fu), du8), 16), mu);
                iv = _mm256_and_si256(_mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32((int)fv), dv8), 16), mv);
            } else {
                const __m256 k = _mm256_add_ps(_mm256_set1_ps((float)(i - i0)), k0);
                const __m256 w = _mm256_div_ps(one, _mm256_add_ps(q, _mm256_mul_ps(k, dq)));
                iu = floor_wrap8(_mm256_mul_ps(_mm256_add_ps(uq, _mm256_mul_ps(k, duq)), w), mu);
                iv = floor_wrap8(_mm256_mul_ps(_mm256_add_ps(vq, _mm256_mul_ps(k, dvq)), w), mv);
            }
        }
        if constexpr (Affine) {
            fu += 8u * dfu;
            fv += 8u * dfv;
        }
        const __m256i srv = cr8, sgv = cg8, sbv = cb8;
        if constexpr (Modulate) {
            cr8 = _mm256_add_epi32(cr8, step_r);
            cg8 = _mm256_add_epi32(cg8, step_g);
            cb8 = _mm256_add_epi32(cb8, step_b);
        }
        const int pm = _mm_movemask_epi8(pass16);
        if (pm == 0)
            continue;
        __m256i raw = _mm256_setzero_si256();
        __m128i fetched = _mm_setzero_si128();
        if (!in_row) {
            // Byte offsets from the lowest row, each fetch kept inside the map.
            const __m256i off = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(iv, row8), first),
                                                 tb == 2 ? _mm256_slli_epi32(iu, 1) : iu);
            if constexpr (tb == 2) {
                // Eight 16-bit loads cost less than a gather on processors that microcode it.
                alignas(32) int32_t o[8];
                _mm256_store_si256((__m256i *)o, off);
                uint16_t t0;
                std::memcpy(&t0, lowest + o[0], 2);
                __m128i v = _mm_cvtsi32_si128(t0);
                auto ld = [&](int k) { uint16_t x; std::memcpy(&x, lowest + o[k], 2); return (int)x; };
                v = _mm_insert_epi16(v, ld(1), 1);
                v = _mm_insert_epi16(v, ld(2), 2);
                v = _mm_insert_epi16(v, ld(3), 3);
                v = _mm_insert_epi16(v, ld(4), 4);
                v = _mm_insert_epi16(v, ld(5), 5);
                v = _mm_insert_epi16(v, ld(6), 6);
                v = _mm_insert_epi16(v, ld(7), 7);
                fetched = v;
            } else {
                const __m256i at = _mm256_min_epi32(off, last4);
                raw = _mm256_srlv_epi32(_mm256_i32gather_epi32((const int *)lowest, at, 1),
                                        _mm256_slli_epi32(_mm256_sub_epi32(off, at), 3));
            }
        }
        __m128i colour;
        __m128i mr = fr, mg = fg, mb = fb;
        if constexpr (Modulate) {
            if (smooth) {
                // clamp255() plus one of the three channels, two of them in one register.
                const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(255), one = _mm256_set1_epi16(1);
                const __m256i rg = _mm256_packs_epi32(_mm256_srai_epi32(srv, 16), _mm256_srai_epi32(sgv, 16)),
                              b16 = _mm256_srai_epi32(sbv, 16), bb = _mm256_packs_epi32(b16, b16);
                const __m256i crg = _mm256_permute4x64_epi64(
                                  _mm256_add_epi16(_mm256_min_epi16(_mm256_max_epi16(rg, zero), top), one), _MM_SHUFFLE(3, 1, 2, 0)),
                              cbb = _mm256_permute4x64_epi64(
                                  _mm256_add_epi16(_mm256_min_epi16(_mm256_max_epi16(bb, zero), top), one), _MM_SHUFFLE(3, 1, 2, 0));
                mr = _mm256_castsi256_si128(crg);
                mg = _mm256_extracti128_si256(crg, 1);
                mb = _mm256_castsi256_si128(cbb);
            }
        }
        if constexpr (T == TexelType::Index8) {
            const __m256i c = _mm256_i32gather_epi32((const int *)palette, _mm256_and_si256(raw, _mm256_set1_epi32(0xff)), 4);
            const __m256i ff = _mm256_set1_epi32(0xff);
            colour = shade_pack8<C, Modulate>(narrow16(_mm256_and_si256(_mm256_srli_epi32(c, 16), ff)),
                                              narrow16(_mm256_and_si256(_mm256_srli_epi32(c, 8), ff)),
                                              narrow16(_mm256_and_si256(c, ff)), mr, mg, mb);
        } else {
            // The low 16 bits of each lane, in order.
            const __m256i lo16 = _mm256_permute4x64_epi64(
                _mm256_shuffle_epi8(raw, _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4,
                                                          5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1)),
                _MM_SHUFFLE(3, 1, 2, 0));
            const __m128i tw = in_row ? row_texels : tb == 2 ? fetched : _mm256_castsi256_si128(lo16);
            if constexpr (copy) {
                colour = tw;
            } else {
                __m128i cr, cg, cb;
                expand8<T>(tw, cr, cg, cb);
                colour = shade_pack8<C, Modulate>(cr, cg, cb, mr, mg, mb);
            }
        }
        // Only the passing pixels change; a group that passes whole is stored as it is.
        __m128i *cp = (__m128i *)cp8;
        if (pm == 0xffff) {
            _mm_storeu_si128(cp, colour);
            if constexpr (D == DepthType::D16)
                _mm_storeu_si128((__m128i *)dp8, nd16);
            else if constexpr (D == DepthType::D32)
                _mm256_storeu_si256((__m256i *)dp8, nd32);
        } else {
            _mm_storeu_si128(cp, _mm_blendv_epi8(_mm_loadu_si128(cp), colour, pass16));
            if constexpr (D == DepthType::D16) {
                __m128i *dp = (__m128i *)dp8;
                _mm_storeu_si128(dp, _mm_blendv_epi8(_mm_loadu_si128(dp), nd16, pass16));
            } else if constexpr (D == DepthType::D32) {
                __m256i *dp = (__m256i *)dp8;
                _mm256_storeu_si256(dp, _mm256_blendv_epi8(_mm256_loadu_si256(dp), nd32, pass32));
            }
        }
        if (copied) {
            std::memcpy(crow + (std::ptrdiff_t)i * 2, ctail, (size_t)n * 2);
            if constexpr (D != DepthType::None)
                std::memcpy(drow + (std::ptrdiff_t)i * dbytes, dtail, (size_t)n * dbytes);
        }
    }
    if constexpr (Modulate) {
        r = (uint32_t)_mm256_cvtsi256_si32(cr8);
        g = (uint32_t)_mm256_cvtsi256_si32(cg8);
        b = (uint32_t)_mm256_cvtsi256_si32(cb8);
    }
    rgbr[0] = (int32_t)r;
    rgbr[1] = (int32_t)g;
    rgbr[2] = (int32_t)b;
    fur = fu;
    fvr = fv;
    return std::min(i, i1);
}
#endif

// The pixels of a span from i on, one by one.
template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
SR_INLINE void paint_tail(const SpanIn &s, const Paint &p, int i, const int32_t *rgb, uint32_t fu, uint32_t fv,
                          uint32_t dfu, uint32_t dfv)
{
    const Texture &t = p.texture;
    const uint32_t mu = (uint32_t)t.width - 1, mv = (uint32_t)t.height - 1;
    constexpr bool copy = !Modulate && ((T == TexelType::RGB_565 && C == ColourType::RGB_565) ||
                                        (T == TexelType::RGB_555 && C == ColourType::RGB_555));
    uint32_t r = (uint32_t)rgb[0], g = (uint32_t)rgb[1], b = (uint32_t)rgb[2];
    uint8_t *cp = s.crow + (std::ptrdiff_t)i * bpp<C>();
    for (; i < s.i1; ++i, cp += bpp<C>()) {
        bool pass = true;
        uint32_t nd = 0;
        const float z = depth_at(s.z, s.dz, i - s.i0);
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
                    uint32_t shade = s.smooth ? (uint32_t)clamp255((int32_t)r) << 16 |
                                                    (uint32_t)clamp255((int32_t)g) << 8 | (uint32_t)clamp255((int32_t)b)
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
        r += (uint32_t)s.drgb[0];
        g += (uint32_t)s.drgb[1];
        b += (uint32_t)s.drgb[2];
    }
}

// The texel position and its step in 16.16 at the first pixel of an affine span.
template <bool Affine>
SR_INLINE void fixed_start(const SpanIn &s, const Texture &t, uint32_t &fu, uint32_t &fv, uint32_t &dfu, uint32_t &dfv)
{
    fu = fv = dfu = dfv = 0;
    if constexpr (Affine) {
        fu = fixed_texel(s.uq / s.q, t.width);
        fv = fixed_texel(s.vq / s.q, t.height);
        dfu = fixed_step(s.duq / s.q);
        dfv = fixed_step(s.dvq / s.q);
    }
}

#if defined(SR_HAVE_AVX2)
template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
SR_AVX2 __attribute__((noinline)) int paint_fast8_avx2_call(const SpanIn &s, const Paint &p, int32_t *rgb,
                                                            uint32_t &fu, uint32_t &fv, uint32_t dfu, uint32_t dfv)
{
    A2Consts kc;
    a2_consts<T>(s, p.texture, kc);
    return paint_fast8_avx2<C, D, T, Modulate, Affine>(s, p, kc, rgb, fu, fv, dfu, dfv);
}
#endif

// The common game surfaces in one pass: an opaque 565, 555 or index 8 texture whose sides are
// powers of two, nearest texel, as it is or modulated, into a 16-bit buffer; the same values as the
// run writer. With Affine (1/w the same all over the primitive: seen face on, or a parallel view)
// the texel position steps in fixed point instead of being divided out at every pixel. Eight pixels
// at a time where the processor allows, the rest one by one.
template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
void paint_fast(const SpanIn &s, const Paint &p)
{
    uint32_t fu, fv, dfu, dfv;
    fixed_start<Affine>(s, p.texture, fu, fv, dfu, dfv);
    int32_t rgb[3] = {s.rgb[0], s.rgb[1], s.rgb[2]};
    int i = s.i0;
#if defined(SR_HAVE_AVX2)
    bool done8 = false;
    if (simd_path == SimdPath::AVX2 && cpu_avx2) {
        const int got = paint_fast8_avx2_call<C, D, T, Modulate, Affine>(s, p, rgb, fu, fv, dfu, dfv);
        done8 = got >= 0;
        if (done8)
            i = got;
    }
#else
    const bool done8 = false;
#endif
#if defined(__SSE2__)
    // Also what a map too small for the gathers falls back to.
    if (!done8 && simd_path != SimdPath::Scalar)
        i = paint_fast8<C, D, T, Modulate, Affine>(s, p, rgb, fu, fv, dfu, dfv);
#endif
    paint_tail<C, D, T, Modulate, Affine>(s, p, i, rgb, fu, fv, dfu, dfv);
}

#if defined(SR_HAVE_AVX2)
// A whole triangle with the AVX2 writer: the rows' values are the ones Raster::triangle works out
// for each span, and the writer's constants are prepared once (the copies below are the loop's own,
// so the compiler keeps them out of it).
// v0 + dx * fx + dy * fy lane by lane, in row_values()' order.
SR_AVX2 SR_INLINE __m256 plane8(__m256 fx, __m256 fy, float v0, float dx, float dy)
{
    return _mm256_add_ps(_mm256_add_ps(_mm256_set1_ps(v0), _mm256_mul_ps(_mm256_set1_ps(dx), fx)),
                         _mm256_mul_ps(_mm256_set1_ps(dy), fy));
}

// Rows jb..jb+7 of a triangle, one lane a row: their ends (row_extent() with both ends rounded and
// clamped side by side; a NaN end clamps to 0 there too, the maximum taking its second operand) and
// their first values (the same operations as row_values(), lane by lane).
struct Rows8 {
    alignas(32) int32_t e0[8], e1[8], cr[8], cg[8], cb[8];
    alignas(32) float vz[8], vq[8], vu[8], vv[8];
};

SR_AVX2 SR_INLINE void rows8(const TriRows &r, int jb, Rows8 &o)
{
    const bool smooth = r.smooth, textured = r.textured;
    const __m256 half = _mm256_set1_ps(0.5f), zero = _mm256_setzero_ps(), limit = _mm256_set1_ps((float)r.w);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256 lx0 = _mm256_set1_ps(r.lng.x0), ly0 = _mm256_set1_ps(r.lng.y0), lsl = _mm256_set1_ps(r.lng.slope),
                 ux0 = _mm256_set1_ps(r.upper.x0), uy0 = _mm256_set1_ps(r.upper.y0), usl = _mm256_set1_ps(r.upper.slope),
                 wx0 = _mm256_set1_ps(r.lower.x0), wy0 = _mm256_set1_ps(r.lower.y0), wsl = _mm256_set1_ps(r.lower.slope),
                 vy1 = _mm256_set1_ps(r.y1), vx0 = _mm256_set1_ps(r.x0), vy0 = _mm256_set1_ps(r.y0);
    int32_t *const e0 = o.e0, *const e1 = o.e1, *const cr = o.cr, *const cg = o.cg, *const cb = o.cb;
    float *const vz = o.vz, *const vq = o.vq, *const vu = o.vu, *const vv = o.vv;
    const __m256 yc = _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(jb), lanes)), half);
    const __m256 xs = _mm256_add_ps(lx0, _mm256_mul_ps(_mm256_sub_ps(yc, ly0), lsl));
    const __m256 xu = _mm256_add_ps(ux0, _mm256_mul_ps(_mm256_sub_ps(yc, uy0), usl)),
                 xw = _mm256_add_ps(wx0, _mm256_mul_ps(_mm256_sub_ps(yc, wy0), wsl));
    // The upper edge above the middle vertex (or where there is no lower one), else the lower.
    __m256 upper_rows = r.has_upper ? _mm256_cmp_ps(yc, vy1, _CMP_LT_OQ) : zero;
    if (!r.has_lower)
        upper_rows = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    const __m256 xo = _mm256_blendv_ps(xw, xu, upper_rows);
    const __m256 xl = r.long_left ? xs : xo, xr = r.long_left ? xo : xs;
    const __m256i i0v = _mm256_cvttps_epi32(_mm256_min_ps(
                      _mm256_max_ps(_mm256_round_ps(_mm256_sub_ps(xl, half), _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC), zero),
                      limit)),
                  i1v = _mm256_cvttps_epi32(_mm256_min_ps(
                      _mm256_max_ps(_mm256_round_ps(_mm256_sub_ps(xr, half), _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC), zero),
                      limit));
    _mm256_store_si256((__m256i *)e0, i0v);
    _mm256_store_si256((__m256i *)e1, i1v);
    const __m256 fx = _mm256_sub_ps(_mm256_add_ps(_mm256_cvtepi32_ps(i0v), half), vx0), fy = _mm256_sub_ps(yc, vy0);
    _mm256_store_ps(vz, plane8(fx, fy, r.z0, r.dzdx, r.dzdy));
    if (textured) {
        _mm256_store_ps(vq, plane8(fx, fy, r.tv0[0], r.tdx[0], r.tdy[0]));
        _mm256_store_ps(vu, plane8(fx, fy, r.tv0[1], r.tdx[1], r.tdy[1]));
        _mm256_store_ps(vv, plane8(fx, fy, r.tv0[2], r.tdx[2], r.tdy[2]));
    }
    if (smooth) {
        const __m256 scale = _mm256_set1_ps(65536.0f);
        _mm256_store_si256((__m256i *)cr, _mm256_cvttps_epi32(_mm256_mul_ps(plane8(fx, fy, r.rgb0[0], r.drdx[0], r.drdy[0]), scale)));
        _mm256_store_si256((__m256i *)cg, _mm256_cvttps_epi32(_mm256_mul_ps(plane8(fx, fy, r.rgb0[1], r.drdx[1], r.drdy[1]), scale)));
        _mm256_store_si256((__m256i *)cb, _mm256_cvttps_epi32(_mm256_mul_ps(plane8(fx, fy, r.rgb0[2], r.drdx[2], r.drdy[2]), scale)));
    }
}

// The board's common case in one lean pass: a perspective-correct 16-bit texture into a 16-bit
// buffer with 16-bit depth. The same operations as paint_fast8_avx2(), lane by lane, with what stays
// the same along the triangle worked out once and a row costing only its own values: the rows'
// short spans made the per-row set-up most of the work.
template <ColourType C, TexelType T, bool Modulate>
SR_AVX2 uint64_t paint_tri_persp16(const TriRows &rows, const Paint &paint, const uint8_t *lowest)
{
    const TriRows r = rows;
    const Paint p = paint;
    const Texture &t = p.texture;
    constexpr bool copy = !Modulate && ((T == TexelType::RGB_565 && C == ColourType::RGB_565) ||
                                        (T == TexelType::RGB_555 && C == ColourType::RGB_555));
    const __m256i row8 = _mm256_set1_epi32((int)t.row_bytes), first = _mm256_set1_epi32((int)(t.pixels - lowest));
    const __m256i mu = _mm256_set1_epi32(t.width - 1), mv = _mm256_set1_epi32(t.height - 1);
    // Past 64 texels a side a float position of 1e9 or more (texel_floor()'s 0) may have low bits;
    // up to 64 every such float is a multiple of 64, so the mask alone makes it texel 0.
    const bool big = t.width > 64 || t.height > 64;
    const float dz = r.dzdx;
    const __m256 vdz = _mm256_set1_ps(dz), dq = _mm256_set1_ps(r.tdx[0]), duq = _mm256_set1_ps(r.tdx[1]),
                 dvq = _mm256_set1_ps(r.tdx[2]), scale = _mm256_set1_ps(65536.0f), one = _mm256_set1_ps(1.0f),
                 eight = _mm256_set1_ps(8.0f), k0 = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
    const bool smooth = r.smooth;
    const __m256i sr8 = ramp8((uint32_t)r.drgb[0]), sg8 = ramp8((uint32_t)r.drgb[1]), sb8 = ramp8((uint32_t)r.drgb[2]);
    const __m256i step_r = _mm256_set1_epi32((int)(8u * (uint32_t)r.drgb[0])),
                  step_g = _mm256_set1_epi32((int)(8u * (uint32_t)r.drgb[1])),
                  step_b = _mm256_set1_epi32((int)(8u * (uint32_t)r.drgb[2]));
    const __m128i fr = _mm_set1_epi16((short)(((r.flat_rgb >> 16) & 0xff) + 1)),
                  fg = _mm_set1_epi16((short)(((r.flat_rgb >> 8) & 0xff) + 1)),
                  fb = _mm_set1_epi16((short)((r.flat_rgb & 0xff) + 1));
    __m128i flip = _mm_set1_epi16((short)0x8000);
    // The channel masks and multipliers of the texel and buffer layouts (expand8() and shade_pack8()).
    constexpr bool t565 = T == TexelType::RGB_565, c565 = C == ColourType::RGB_565;
    __m128i ermask = _mm_set1_epi16((short)(t565 ? 0xf800 : 0x7c00)), egmask = _mm_set1_epi16(t565 ? 0x07e0 : 0x03e0),
            ermul = _mm_set1_epi16(t565 ? 264 : 528), egmul = _mm_set1_epi16(t565 ? 8320 : 16896), ebmul = _mm_set1_epi16(264),
            prmask = _mm_set1_epi16((short)(c565 ? 0xf800 : 0x7c00)), pgmask = _mm_set1_epi16(c565 ? 0x07e0 : 0x03e0);
    __m256i top255 = _mm256_set1_epi16(255), one16 = _mm256_set1_epi16(1);
    // Kept as values, so the compiler loads them rather than building them again in the loops.
    SR_KEEP(flip);
    SR_KEEP(ermask);
    SR_KEEP(egmask);
    SR_KEEP(ermul);
    SR_KEEP(egmul);
    SR_KEEP(ebmul);
    SR_KEEP(prmask);
    SR_KEEP(pgmask);
    SR_KEEP(top255);
    SR_KEEP(one16);
    // The colours of eight pixels: texel positions (exact 1/w), texels, shading and packing.
    // Clamp false: the lanes' colours are known to lie in 0..255 and to carry clamp255()'s one already.
    auto colour8 = [&](auto clamp, __m256 qv, __m256 uqv, __m256 vqv, __m256 kf, __m256i srv, __m256i sgv, __m256i sbv) SR_AVX2 __attribute__((always_inline)) {
        constexpr bool Clamp = decltype(clamp)::value;
        // Texel positions and their offsets from the lowest row.
        const __m256 w = _mm256_div_ps(one, _mm256_add_ps(qv, _mm256_mul_ps(kf, dq)));
        const __m256 tu = _mm256_mul_ps(_mm256_add_ps(uqv, _mm256_mul_ps(kf, duq)), w),
                     tv = _mm256_mul_ps(_mm256_add_ps(vqv, _mm256_mul_ps(kf, dvq)), w);
        __m256i iu, iv;
        if (big) {
            iu = floor_wrap8(tu, mu);
            iv = floor_wrap8(tv, mv);
        } else {
            iu = _mm256_and_si256(_mm256_cvttps_epi32(_mm256_round_ps(tu, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC)), mu);
            iv = _mm256_and_si256(_mm256_cvttps_epi32(_mm256_round_ps(tv, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC)), mv);
        }
        const __m256i off = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(iv, row8), first), _mm256_slli_epi32(iu, 1));
        // Eight 16-bit loads cost less than a gather on processors that microcode it.
        // (Unsigned offsets need no widening; two halves put together side by side.)
        alignas(32) uint32_t at[8];
        _mm256_store_si256((__m256i *)at, off);
        auto ld = [&](int m) {
            uint16_t x;
            std::memcpy(&x, lowest + at[m], 2);
            return (int)x;
            };
            __m128i tl = _mm_cvtsi32_si128(ld(0)), th = _mm_cvtsi32_si128(ld(4));
            tl = _mm_insert_epi16(tl, ld(1), 1);
            th = _mm_insert_epi16(th, ld(5), 1);
            tl = _mm_insert_epi16(tl, ld(2), 2);
            th = _mm_insert_epi16(th, ld(6), 2);
            tl = _mm_insert_epi16(tl, ld(3), 3);
            th = _mm_insert_epi16(th, ld(7), 3);
            const __m128i tw = _mm_unpacklo_epi64(tl, th);
            __m128i colour;
            if constexpr (copy) {
                colour = tw;
            } else {
                __m128i mr = fr, mg = fg, mb = fb;
                if (Modulate && smooth && !Clamp) {
                    const __m256i rg = _mm256_packs_epi32(_mm256_srli_epi32(srv, 16), _mm256_srli_epi32(sgv, 16)),
                                  b16 = _mm256_srli_epi32(sbv, 16), bb = _mm256_packs_epi32(b16, b16);
                    const __m256i crg = _mm256_permute4x64_epi64(rg, _MM_SHUFFLE(3, 1, 2, 0)),
                                  cbb = _mm256_permute4x64_epi64(bb, _MM_SHUFFLE(3, 1, 2, 0));
                    mr = _mm256_castsi256_si128(crg);
                    mg = _mm256_extracti128_si256(crg, 1);
                    mb = _mm256_castsi256_si128(cbb);
                } else if (Modulate && smooth) {
                    // clamp255() plus one of the three channels, two of them in one register.
                    const __m256i zero = _mm256_setzero_si256(), top = top255;
                    const __m256i rg = _mm256_packs_epi32(_mm256_srai_epi32(srv, 16), _mm256_srai_epi32(sgv, 16)),
                                  b16 = _mm256_srai_epi32(sbv, 16), bb = _mm256_packs_epi32(b16, b16);
                    const __m256i crg = _mm256_permute4x64_epi64(
                                      _mm256_add_epi16(_mm256_min_epi16(_mm256_max_epi16(rg, zero), top), one16),
                                      _MM_SHUFFLE(3, 1, 2, 0)),
                                  cbb = _mm256_permute4x64_epi64(
                                      _mm256_add_epi16(_mm256_min_epi16(_mm256_max_epi16(bb, zero), top), one16),
                                      _MM_SHUFFLE(3, 1, 2, 0));
                    mr = _mm256_castsi256_si128(crg);
                    mg = _mm256_extracti128_si256(crg, 1);
                    mb = _mm256_castsi256_si128(cbb);
                }
                const __m128i cr = _mm_mulhi_epu16(_mm_and_si128(tw, ermask), ermul),
                              cg = _mm_mulhi_epu16(_mm_and_si128(tw, egmask), egmul),
                              cb = _mm_mulhi_epu16(_mm_slli_epi16(tw, 11), ebmul);
                if constexpr (Modulate) {
                    const __m128i pr = _mm_mullo_epi16(cr, mr), pg = _mm_mullo_epi16(cg, mg), pb = _mm_mullo_epi16(cb, mb);
                    colour = _mm_or_si128(_mm_or_si128(_mm_and_si128(c565 ? pr : _mm_srli_epi16(pr, 1), prmask),
                                                       _mm_and_si128(_mm_srli_epi16(pg, c565 ? 5 : 6), pgmask)),
                                          _mm_srli_epi16(pb, 11));
                } else {
                    colour = shade_pack8<C, false>(cr, cg, cb, mr, mg, mb);
                }
            }
            return colour;
    };
    const int room = r.w;
    uint64_t tested = 0;
    Rows8 o;
    // Single pixels (one-pixel rows and rows' last pixels), one lane each; a triangle's pixels are
    // its own, so putting them off to the end of the triangle changes nothing.
    struct Lone {
        alignas(32) float z[8], q[8], u[8], v[8], k[8];
        alignas(32) int32_t cr[8], cg[8], cb[8];
        uint8_t *cp[8], *dp[8];
    } lone{}; // lanes never filled read texel 0: positions are wrapped by the masks
    int nl = 0;
    auto flush_lone = [&]() SR_AVX2 {
        const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i used = _mm256_cmpgt_epi32(_mm256_set1_epi32(nl), lanes);
        // Depths as depth32() >> 16, against the stored ones.
        const __m256i nd = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(_mm256_load_ps(lone.z), scale)),
                             _mm256_set1_epi32(INT32_MIN)),
            16);
        alignas(32) int32_t old[8];
        for (int m = 0; m < 8; ++m) {
            uint16_t x = 0xffff;
            if (m < nl)
                std::memcpy(&x, lone.dp[m], 2);
            old[m] = x;
        }
        const int pm = _mm256_movemask_ps(
            _mm256_castsi256_ps(_mm256_andnot_si256(_mm256_cmpgt_epi32(nd, _mm256_load_si256((const __m256i *)old)), used)));
        if (pm == 0)
            return;
        __m256i srv = _mm256_setzero_si256(), sgv = srv, sbv = srv;
        if (Modulate && smooth) {
            srv = _mm256_load_si256((const __m256i *)lone.cr);
            sgv = _mm256_load_si256((const __m256i *)lone.cg);
            sbv = _mm256_load_si256((const __m256i *)lone.cb);
        }
        alignas(16) uint16_t cs[8];
        alignas(32) uint32_t ds[8];
        _mm_store_si128((__m128i *)cs, colour8(std::true_type{}, _mm256_load_ps(lone.q), _mm256_load_ps(lone.u), _mm256_load_ps(lone.v),
                                               _mm256_load_ps(lone.k), srv, sgv, sbv));
        _mm256_store_si256((__m256i *)ds, nd);
        for (unsigned bits = (unsigned)pm; bits != 0; bits &= bits - 1) {
            const int m = __builtin_ctz(bits);
            std::memcpy(lone.cp[m], &cs[m], 2);
            const uint16_t d = (uint16_t)ds[m];
            std::memcpy(lone.dp[m], &d, 2);
        }
    };
    // A lone pixel (a one-pixel row, or a row's last) waits for seven more of other rows.
    auto add_lone = [&](int k, int i, int i0, uint8_t *crow, uint8_t *drow) SR_AVX2 __attribute__((always_inline)) {
        const int m = nl++;
        lone.z[m] = depth_at(o.vz[k], dz, i - i0);
        lone.q[m] = o.vq[k];
        lone.u[m] = o.vu[k];
        lone.v[m] = o.vv[k];
        lone.k[m] = (float)(i - i0);
        if (Modulate && smooth) {
            const uint32_t steps = (uint32_t)(i - i0);
            lone.cr[m] = (int32_t)((uint32_t)o.cr[k] + steps * (uint32_t)r.drgb[0]);
            lone.cg[m] = (int32_t)((uint32_t)o.cg[k] + steps * (uint32_t)r.drgb[1]);
            lone.cb[m] = (int32_t)((uint32_t)o.cb[k] + steps * (uint32_t)r.drgb[2]);
        }
        lone.cp[m] = crow + (std::ptrdiff_t)i * 2;
        lone.dp[m] = drow + (std::ptrdiff_t)i * 2;
        if (nl == 8) {
            flush_lone();
            nl = 0;
        }
    };
    alignas(16) uint8_t ctail[16], dtail[16];
    // The first n lanes of eight, from first_n + 8 - n.
    static const uint16_t first_n[16] = {0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff};
    // Row addresses step along the rows rather than being multiplied out each row.
    const std::ptrdiff_t cstride = r.cstride, dstride = r.dstride;
    uint8_t *crow = r.cpix + (std::ptrdiff_t)r.j0 * cstride, *drow = r.dpix + (std::ptrdiff_t)r.j0 * dstride;
    // A row whose colours stay inside 0..255 needs no clamp: its values step by whole numbers, so
    // every one lies between its first and its last, and both are checked. The last is worked out
    // in 32 bits, exact while a step times the buffer width stays well inside them (else every row
    // is clamped).
    auto steep = [&](int32_t d) { return (int64_t)(d < 0 ? -(int64_t)d : d) * (r.w + 1) >= (1ll << 30); };
    const bool range_rows = Modulate && smooth && !steep(r.drgb[0]) && !steep(r.drgb[1]) && !steep(r.drgb[2]);
    const __m256i vdr = _mm256_set1_epi32(r.drgb[0]), vdg = _mm256_set1_epi32(r.drgb[1]), vdb = _mm256_set1_epi32(r.drgb[2]);
    // clamp255()'s one carried in the values of the rows that need no clamp.
    const __m256i onec = _mm256_set1_epi32(65536);
    const __m256i lanes8 = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i sr8p = _mm256_add_epi32(sr8, onec), sg8p = _mm256_add_epi32(sg8, onec), sb8p = _mm256_add_epi32(sb8, onec);
    for (int jb = r.j0; jb < r.j1; jb += 8) {
        rows8(r, jb, o);
        const int nrows = std::min(8, r.j1 - jb);
        const __m256i e0v = _mm256_load_si256((const __m256i *)o.e0), e1v = _mm256_load_si256((const __m256i *)o.e1);
        // The pixels tested: the rows' widths summed (an empty row's is 0).
        {
            const __m256i width = _mm256_and_si256(_mm256_max_epi32(_mm256_sub_epi32(e1v, e0v), _mm256_setzero_si256()),
                                                   _mm256_cmpgt_epi32(_mm256_set1_epi32(nrows), lanes8));
            __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(width), _mm256_extracti128_si256(width, 1));
            sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
            sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
            tested += (uint64_t)(uint32_t)_mm_cvtsi128_si32(sum);
        }
        unsigned in_range = 0;
        if (range_rows) {
            const __m256i len1 = _mm256_sub_epi32(_mm256_sub_epi32(e1v, e0v), _mm256_set1_epi32(1));
            const __m256i r0 = _mm256_load_si256((const __m256i *)o.cr), g0 = _mm256_load_si256((const __m256i *)o.cg),
                          b0 = _mm256_load_si256((const __m256i *)o.cb);
            const __m256i all = _mm256_or_si256(
                _mm256_or_si256(_mm256_or_si256(r0, _mm256_add_epi32(r0, _mm256_mullo_epi32(len1, vdr))),
                                _mm256_or_si256(g0, _mm256_add_epi32(g0, _mm256_mullo_epi32(len1, vdg)))),
                _mm256_or_si256(b0, _mm256_add_epi32(b0, _mm256_mullo_epi32(len1, vdb))));
            // Only rows whose last group stays inside the buffer (see below) take the lean pass.
            const __m256i inside = _mm256_cmpgt_epi32(_mm256_set1_epi32(room - 7 + 1), e1v);
            in_range = (unsigned)_mm256_movemask_ps(_mm256_castsi256_ps(
                _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_srli_epi32(all, 24), _mm256_setzero_si256()), inside)));
        }
        for (int k = 0; k < nrows; ++k, crow += cstride, drow += dstride) {
            const int i0 = o.e0[k], i1 = o.e1[k];
            if (i0 >= i1)
                continue;
            // Rows of one or two pixels cost less as lone pixels than as a group of their own.
            if (i1 - i0 == 1) {
                add_lone(k, i0, i0, crow, drow);
                continue;
            }
            if (i1 - i0 == 2) {
                add_lone(k, i0, i0, crow, drow);
                add_lone(k, i0 + 1, i0, crow, drow);
                continue;
            }
            const __m256 z0 = _mm256_set1_ps(o.vz[k]);
            const __m256 q = _mm256_set1_ps(o.vq[k]), uq = _mm256_set1_ps(o.vu[k]), vq = _mm256_set1_ps(o.vv[k]);
            // Clamp: the colours may leave 0..255; Edge: the row's last group may reach past the
            // buffer's right side (only then are its last pixels worked on a copy).
            auto row = [&](auto clamp, auto edge) SR_AVX2 __attribute__((always_inline)) {
                constexpr bool Clamp = decltype(clamp)::value, Edge = decltype(edge)::value;
                __m256i cr8 = _mm256_setzero_si256(), cg8 = cr8, cb8 = cr8;
                if (Modulate && smooth) {
                    cr8 = _mm256_add_epi32(_mm256_set1_epi32(o.cr[k]), Clamp ? sr8 : sr8p);
                    cg8 = _mm256_add_epi32(_mm256_set1_epi32(o.cg[k]), Clamp ? sg8 : sg8p);
                    cb8 = _mm256_add_epi32(_mm256_set1_epi32(o.cb[k]), Clamp ? sb8 : sb8p);
                }
                // One group of up to eight pixels from i on: kf holds the lanes' pixel counts from i0.
                // n: the group's pixels, 1..8.
                auto group = [&](int i, int n, __m256 kf, __m256i srv, __m256i sgv, __m256i sbv) SR_AVX2 __attribute__((always_inline)) {
                    uint8_t *cp8 = crow + (std::ptrdiff_t)i * 2, *dp8 = drow + (std::ptrdiff_t)i * 2;
                    // The last pixels of a row work on a copy unless the row goes on past them.
                    const bool copied = Edge && i + 8 > room && n < 8;
                    if (copied) {
                        std::memset(ctail, 0, sizeof ctail);
                        std::memset(dtail, 0, sizeof dtail);
                        std::memcpy(ctail, cp8, (size_t)n * 2);
                        std::memcpy(dtail, dp8, (size_t)n * 2);
                        cp8 = ctail;
                        dp8 = dtail;
                    }
                    const __m256 zv = depths8(z0, kf, vdz);
                    const __m128i hs = narrow16(_mm256_srai_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(zv, scale)), 16));
                    const __m128i pass16 = _mm_andnot_si128(
                        _mm_cmpgt_epi16(hs, _mm_xor_si128(_mm_loadu_si128((const __m128i *)dp8), flip)),
                        _mm_loadu_si128((const __m128i *)(first_n + 8 - n)));
                    const int pm = _mm_movemask_epi8(pass16);
                    if (pm == 0)
                        return;
                    const __m128i nd16 = _mm_xor_si128(hs, flip);
                    const __m128i colour = colour8(clamp, q, uq, vq, kf, srv, sgv, sbv);
                    // Only the passing pixels change; a group that passes whole is stored as it is.
                    if (pm == 0xffff) {
                        _mm_storeu_si128((__m128i *)cp8, colour);
                        _mm_storeu_si128((__m128i *)dp8, nd16);
                    } else {
                        _mm_storeu_si128((__m128i *)cp8, _mm_blendv_epi8(_mm_loadu_si128((const __m128i *)cp8), colour, pass16));
                        _mm_storeu_si128((__m128i *)dp8, _mm_blendv_epi8(_mm_loadu_si128((const __m128i *)dp8), nd16, pass16));
                    }
                    if (copied) {
                        std::memcpy(crow + (std::ptrdiff_t)i * 2, ctail, (size_t)n * 2);
                        std::memcpy(drow + (std::ptrdiff_t)i * 2, dtail, (size_t)n * 2);
                    }
                };
                // Most rows fit one group: no loop and no lone pixel after it.
                if (i1 - i0 <= 8) {
                    group(i0, i1 - i0, k0, cr8, cg8, cb8);
                    return;
                }
                __m256 kf = k0;
                int i = i0;
                // A last pixel costs less alone than as a group.
                for (; i1 - i >= 2; i += 8, kf = _mm256_add_ps(kf, eight)) {
                    // min(8, i1 - i) without a branch: the row widths vary too much to predict it.
                    const int left = i1 - i;
                    group(i, 8 + ((left - 8) & ((left - 8) >> 31)), kf, cr8, cg8, cb8);
                    if (Modulate && smooth) {
                        cr8 = _mm256_add_epi32(cr8, step_r);
                        cg8 = _mm256_add_epi32(cg8, step_g);
                        cb8 = _mm256_add_epi32(cb8, step_b);
                    }
                }
                if (i < i1)
                    add_lone(k, i, i0, crow, drow);
            };
            // The last group starts at i1 - 1 at most, so with i1 + 7 <= room its reads stay in the row.
            if ((in_range >> k) & 1)
                row(std::false_type{}, std::false_type{});
            else
                row(std::true_type{}, std::true_type{});
        }
    }
    if (nl > 0)
        flush_lone();
    return tested;
}

template <ColourType C, DepthType D, TexelType T, bool Modulate, bool Affine>
SR_AVX2 uint64_t paint_tri_avx2(const TriRows &rows, const Paint &paint)
{
    if constexpr (!Affine && D == DepthType::D16 && T != TexelType::Index8) {
        // Texel offsets are worked out in 32 bits.
        const Texture &t = paint.texture;
        const std::ptrdiff_t trow = t.row_bytes;
        const int64_t extent = (int64_t)(t.height - 1) * (trow < 0 ? -trow : trow) + (int64_t)t.width * 2;
        if (extent <= INT32_MAX && rows.dpix)
            return paint_tri_persp16<C, T, Modulate>(rows, paint,
                                                     trow < 0 ? t.pixels + (std::ptrdiff_t)(t.height - 1) * trow : t.pixels);
    }
    const TriRows r = rows;
    const Paint p = paint;
    SpanIn in;
    row_constants(r, in);
    A2Consts kc;
    a2_consts<T>(in, p.texture, kc);
    const bool smooth = r.smooth, textured = r.textured;
    uint64_t tested = 0;
    Rows8 o;
    const int32_t *const e0 = o.e0, *const e1 = o.e1, *const cr = o.cr, *const cg = o.cg, *const cb = o.cb;
    const float *const vz = o.vz, *const vq = o.vq, *const vu = o.vu, *const vv = o.vv;
    for (int jb = r.j0; jb < r.j1; jb += 8) {
        rows8(r, jb, o);
        const int rows = std::min(8, r.j1 - jb);
        for (int k = 0; k < rows; ++k) {
            const int j = jb + k;
            in.i0 = e0[k];
            in.i1 = e1[k];
            if (in.i0 >= in.i1)
                continue;
            in.z = vz[k];
            if (textured) {
                in.q = vq[k];
                in.uq = vu[k];
                in.vq = vv[k];
            }
            if (smooth) {
                in.rgb[0] = cr[k];
                in.rgb[1] = cg[k];
                in.rgb[2] = cb[k];
            }
            in.crow = r.cpix + (std::ptrdiff_t)j * r.cstride;
            in.drow = r.dpix ? r.dpix + (std::ptrdiff_t)j * r.dstride : nullptr;
            tested += (uint64_t)(in.i1 - in.i0);
            uint32_t fu, fv, dfu, dfv;
            fixed_start<Affine>(in, p.texture, fu, fv, dfu, dfv);
            int32_t rgb[3] = {in.rgb[0], in.rgb[1], in.rgb[2]};
            const int i = paint_fast8_avx2<C, D, T, Modulate, Affine>(in, p, kc, rgb, fu, fv, dfu, dfv);
            if (i < 0) {
                // A copy: the loop's own values must not escape, or they are kept in memory.
                const SpanIn once = in;
                paint_fast<C, D, T, Modulate, Affine>(once, paint);
            } else
                paint_tail<C, D, T, Modulate, Affine>(in, p, i, rgb, fu, fv, dfu, dfv);
        }
    }
    return tested;
}
#endif

template <ColourType C, DepthType D, TexelType T>
void fill_fast(Raster::PaintFn (&f)[2][2], Raster::FastWriters::TriFn (&tri)[2][2])
{
    f[0][0] = &paint_fast<C, D, T, false, false>;
    f[0][1] = &paint_fast<C, D, T, false, true>;
    f[1][0] = &paint_fast<C, D, T, true, false>;
    f[1][1] = &paint_fast<C, D, T, true, true>;
#if defined(SR_HAVE_AVX2)
    tri[0][0] = &paint_tri_avx2<C, D, T, false, false>;
    tri[0][1] = &paint_tri_avx2<C, D, T, false, true>;
    tri[1][0] = &paint_tri_avx2<C, D, T, true, false>;
    tri[1][1] = &paint_tri_avx2<C, D, T, true, true>;
#else
    tri[0][0] = tri[0][1] = tri[1][0] = tri[1][1] = nullptr;
#endif
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
            fill_fast<C, D, TexelType::RGB_565>(t.f[0], t.tri[0]);
            fill_fast<C, D, TexelType::RGB_555>(t.f[1], t.tri[1]);
            fill_fast<C, D, TexelType::Index8>(t.f[2], t.tri[2]);
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

inline bool before(const SVert &a, const SVert &b)
{
    return a.y < b.y || (a.y == b.y && a.x < b.x);
}

// Lane K of a register, taken in registers: a narrow load of a wide store just made waits for it.
template <int K> inline float lane(__m128 v)
{
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, K));
}
template <int K> inline int32_t lane(__m128i v)
{
    return _mm_cvtsi128_si32(_mm_shuffle_epi32(v, K));
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
    tri_persp_ = tri_affine_ = nullptr;
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
        tri_persp_ = fast_->tri[layout][paint_.modulate][0];
        tri_affine_ = fast_->tri[layout][paint_.modulate][1];
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

SR_AVX2_CLONES void Raster::triangle(const SVert &a, const SVert &b, const SVert &c, bool smooth, const float *flat)
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

    // Steps of a value along x and y from its values at the three vertices,
    // ((a1 - a0) dy2 - (a2 - a0) dy1) / area and ((a2 - a0) dx1 - (a1 - a0) dx2) / area, four
    // values at a time a lane each: depth and colour, then 1/w and the texel position over w. The
    // lanes are put together value by value: the vertices were just written field by field, and a
    // wide load of those stores waits for them to reach the cache.
    const __m128 vinv = _mm_set1_ps(1.0f / area), vdx1 = _mm_set1_ps(dx1), vdy1 = _mm_set1_ps(dy1),
                 vdx2 = _mm_set1_ps(dx2), vdy2 = _mm_set1_ps(dy2);
    auto steps = [&](__m128 a0, __m128 a1, __m128 a2, __m128 &sx, __m128 &sy) {
        const __m128 d1 = _mm_sub_ps(a1, a0), d2 = _mm_sub_ps(a2, a0);
        sx = _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(d1, vdy2), _mm_mul_ps(d2, vdy1)), vinv);
        sy = _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(d2, vdx1), _mm_mul_ps(d1, vdx2)), vinv);
    };
    auto shade = [](const SVert *v) { return _mm_setr_ps(v->z, v->rgb[0], v->rgb[1], v->rgb[2]); };
    auto texel = [](const SVert *v) { return _mm_setr_ps(v->q, v->uq, v->vq, 0.0f); };
    __m128 zx, zy;
    steps(shade(v0), shade(v1), shade(v2), zx, zy);
    TriRows tr;
    tr.dzdx = lane<0>(zx);
    tr.dzdy = lane<0>(zy);
    uint32_t flat_pixel = 0, flat_rgb = 0;
    SpanFn fn;
    if (smooth) {
        const __m128i d = _mm_cvttps_epi32(_mm_mul_ps(zx, _mm_set1_ps(65536.0f)));
        tr.drdx[0] = lane<1>(zx), tr.drdx[1] = lane<2>(zx), tr.drdx[2] = lane<3>(zx);
        tr.drdy[0] = lane<1>(zy), tr.drdy[1] = lane<2>(zy), tr.drdy[2] = lane<3>(zy);
        tr.drgb[0] = lane<1>(d), tr.drgb[1] = lane<2>(d), tr.drgb[2] = lane<3>(d);
        fn = span_smooth_;
    } else {
        auto to8 = [](float v) { return v <= 0.0f ? 0 : v >= 255.0f ? 255 : (int)v; };
        flat_pixel = pack_colour(t_.ctype, to8(flat[0]), to8(flat[1]), to8(flat[2]));
        flat_rgb = (uint32_t)to8(flat[0]) << 16 | (uint32_t)to8(flat[1]) << 8 | (uint32_t)to8(flat[2]);
        for (int k = 0; k < 3; ++k) {
            tr.drdx[k] = tr.drdy[k] = 0;
            tr.drgb[k] = 0;
        }
        fn = span_flat_;
    }
    const float dzdx = tr.dzdx;
    const int32_t *drgb = tr.drgb;
    // 1/w and the texel position over w, for textures.
    const bool textured = painter_ && paint_.textured;
    tr.smooth = smooth;
    tr.textured = textured;
    tr.x0 = v0->x;
    tr.y0 = v0->y;
    tr.z0 = v0->z;
    tr.y1 = v1->y;
    for (int k = 0; k < 3; ++k)
        tr.rgb0[k] = v0->rgb[k];
    tr.flat_rgb = flat_rgb;
    if (textured) {
        __m128 tx, ty;
        steps(texel(v0), texel(v1), texel(v2), tx, ty);
        tr.tv0[0] = v0->q, tr.tv0[1] = v0->uq, tr.tv0[2] = v0->vq;
        tr.tdx[0] = lane<0>(tx), tr.tdx[1] = lane<1>(tx), tr.tdx[2] = lane<2>(tx);
        tr.tdy[0] = lane<0>(ty), tr.tdy[1] = lane<1>(ty), tr.tdy[2] = lane<2>(ty);
    } else {
        for (int k = 0; k < 3; ++k)
            tr.tv0[k] = tr.tdx[k] = tr.tdy[k] = 0;
    }

    PaintFn painter = painter_;
    FastWriters::TriFn tri = nullptr;
    if (textured && fast_persp_) {
        const bool affine = tr.tdx[0] == 0.0f && tr.tdy[0] == 0.0f;
        painter = affine ? fast_affine_ : fast_persp_;
        tri = affine ? tri_affine_ : tri_persp_;
    }

    tr.lng = make_edge(*v0, *v2);
    tr.upper = tr.lower = Edge{};
    tr.has_upper = v1->y > v0->y;
    tr.has_lower = v2->y > v1->y;
    if (tr.has_upper)
        tr.upper = make_edge(*v0, *v1);
    if (tr.has_lower)
        tr.lower = make_edge(*v1, *v2);
    tr.long_left = area > 0.0f;
    tr.j0 = j0;
    tr.j1 = j1;
    tr.w = w_;
    tr.cpix = t_.colour.pixels;
    tr.cstride = t_.colour.row_bytes;
    tr.dpix = dbpp_ ? t_.depth.pixels : nullptr;
    tr.dstride = dbpp_ ? t_.depth.row_bytes : 0;

    if (tri && !track && !dry && simd_path == SimdPath::AVX2 && cpu_avx2) {
        tested += tri(tr, paint_);
        return;
    }
    SpanIn in;
    row_constants(tr, in);
    for (int j = j0; j < j1; ++j) {
        if (!row_extent(tr, j, in))
            continue;
        if (track)
            note(in.i0, in.i1, j);
        if (dry)
            continue;
        row_values(tr, j, in);
        tested += (uint64_t)(in.i1 - in.i0);
        if (!painter_) {
            fn(in.crow, in.drow, in.i0, in.i1, in.z, dzdx, in.rgb, drgb, flat_pixel);
            continue;
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
