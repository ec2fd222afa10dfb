// Scanline rasteriser. Edge positions are worked out per row from the edge's own end points taken
// top first, so two triangles sharing an edge agree on it to the bit and cover each pixel once.
#include "sr_raster.h"

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

template <ColourType C, DepthType D>
void pick(Raster::SpanFn &smooth, Raster::SpanFn &flat)
{
    smooth = &span<C, D, true>;
    flat = &span<C, D, false>;
}

template <ColourType C>
void pick_depth(DepthType d, Raster::SpanFn &smooth, Raster::SpanFn &flat)
{
    switch (d) {
    case DepthType::None:
        pick<C, DepthType::None>(smooth, flat);
        break;
    case DepthType::D16:
        pick<C, DepthType::D16>(smooth, flat);
        break;
    case DepthType::D32:
        pick<C, DepthType::D32>(smooth, flat);
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
    switch (t.ctype) {
    case ColourType::RGB_555:
        pick_depth<ColourType::RGB_555>(t.dtype, span_smooth_, span_flat_);
        break;
    case ColourType::RGB_565:
        pick_depth<ColourType::RGB_565>(t.dtype, span_smooth_, span_flat_);
        break;
    case ColourType::RGB_888:
        pick_depth<ColourType::RGB_888>(t.dtype, span_smooth_, span_flat_);
        break;
    case ColourType::RGBX_888:
        pick_depth<ColourType::RGBX_888>(t.dtype, span_smooth_, span_flat_);
        break;
    case ColourType::RGBA_8888:
        pick_depth<ColourType::RGBA_8888>(t.dtype, span_smooth_, span_flat_);
        break;
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
    float dz1 = v1->z - v0->z, dz2 = v2->z - v0->z;
    float dzdx = (dz1 * dy2 - dz2 * dy1) * inv;
    float dzdy = (dz2 * dx1 - dz1 * dx2) * inv;
    float drdx[3] = {0, 0, 0}, drdy[3] = {0, 0, 0};
    int32_t drgb[3] = {0, 0, 0};
    uint32_t flat_pixel = 0;
    SpanFn fn;
    if (smooth) {
        for (int k = 0; k < 3; ++k) {
            float d1 = v1->rgb[k] - v0->rgb[k], d2 = v2->rgb[k] - v0->rgb[k];
            drdx[k] = (d1 * dy2 - d2 * dy1) * inv;
            drdy[k] = (d2 * dx1 - d1 * dx2) * inv;
            drgb[k] = (int32_t)(drdx[k] * 65536.0f);
        }
        fn = span_smooth_;
    } else {
        auto to8 = [](float v) { return v <= 0.0f ? 0 : v >= 255.0f ? 255 : (int)v; };
        flat_pixel = pack_colour(t_.ctype, to8(flat[0]), to8(flat[1]), to8(flat[2]));
        fn = span_flat_;
    }

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
        float fx = (float)i0 + 0.5f - v0->x, fy = yc - v0->y;
        float z = v0->z + dzdx * fx + dzdy * fy;
        int32_t rgb[3] = {0, 0, 0};
        if (smooth)
            for (int k = 0; k < 3; ++k)
                rgb[k] = (int32_t)((v0->rgb[k] + drdx[k] * fx + drdy[k] * fy) * 65536.0f);
        uint8_t *crow = t_.colour.pixels + (std::ptrdiff_t)j * t_.colour.row_bytes;
        uint8_t *drow = dbpp_ ? t_.depth.pixels + (std::ptrdiff_t)j * t_.depth.row_bytes : nullptr;
        fn(crow, drow, i0, i1, z, dzdx, rgb, drgb, flat_pixel);
        tested += (uint64_t)(i1 - i0);
        if (track)
            note(i0, i1, j);
    }
}

void Raster::plot(int i, int j, float z, const float *rgb)
{
    if (i < 0 || j < 0 || i >= w_ || j >= h_)
        return;
    int32_t c[3];
    for (int k = 0; k < 3; ++k)
        c[k] = (int32_t)(std::clamp(rgb[k], 0.0f, 255.0f) * 65536.0f);
    uint8_t *crow = t_.colour.pixels + (std::ptrdiff_t)j * t_.colour.row_bytes;
    uint8_t *drow = dbpp_ ? t_.depth.pixels + (std::ptrdiff_t)j * t_.depth.row_bytes : nullptr;
    int32_t none[3] = {0, 0, 0};
    span_smooth_(crow, drow, i, i + 1, z, 0.0f, c, none, 0);
    if (track)
        note(i, i + 1, j);
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
