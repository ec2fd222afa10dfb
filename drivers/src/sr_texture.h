// Reading textures: every texel layout decoded to 0xAARRGGBB, wrap (repeat) addressing, nearest
// and bilinear sampling. Texel (i, j) covers [i, i+1) x [j, j+1) in texel space.
#ifndef SOFTREND_SR_TEXTURE_H
#define SOFTREND_SR_TEXTURE_H

#include "sr_types.h"

#include <cmath>
#include <cstring>

namespace sr {

// The texels at texel-space positions (u[k], v[k]) for k < n, as 0xAARRGGBB (alpha 255 for the
// layouts without alpha). Positions outside the texture wrap round.
void sample(const Texture &t, bool bilinear, const float *u, const float *v, int n, uint32_t *out);

// The palette of an index 8 texture that comes without one: a grey ramp.
const uint32_t *grey_ramp();

// 8-bit channels of the 16-bit layouts, low bits repeated from the top ones (31 -> 255).
inline uint32_t expand565(uint32_t p)
{
    uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

inline uint32_t expand555(uint32_t p)
{
    uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
}

// Bytes of one texel.
constexpr int bytes_of(TexelType t)
{
    switch (t) {
    case TexelType::Index8:
        return 1;
    case TexelType::RGB_555:
    case TexelType::RGB_565:
    case TexelType::ARGB_4444:
        return 2;
    case TexelType::RGB_888:
    case TexelType::RGB565_A8:
        return 3;
    default:
        return 4;
    }
}

// The texel at p as 0xAARRGGBB.
template <TexelType T>
inline uint32_t decode(const uint8_t *p, const uint32_t *palette)
{
    if constexpr (T == TexelType::Index8) {
        return palette[*p];
    } else if constexpr (T == TexelType::RGB_565 || T == TexelType::RGB_555 || T == TexelType::ARGB_4444) {
        uint16_t w;
        std::memcpy(&w, p, 2);
        if constexpr (T == TexelType::RGB_565)
            return 0xff000000u | expand565(w);
        else if constexpr (T == TexelType::RGB_555)
            return 0xff000000u | expand555(w);
        else
            return ((uint32_t)(w >> 12) * 17u << 24) | ((uint32_t)((w >> 8) & 15) * 17u << 16) |
                   ((uint32_t)((w >> 4) & 15) * 17u << 8) | (uint32_t)(w & 15) * 17u;
    } else if constexpr (T == TexelType::RGB_888) {
        return 0xff000000u | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
    } else if constexpr (T == TexelType::RGB565_A8) {
        uint16_t w;
        std::memcpy(&w, p + 1, 2);
        return (uint32_t)p[0] << 24 | expand565(w);
    } else {
        uint32_t w;
        std::memcpy(&w, p, 4);
        return T == TexelType::RGBX_888 ? 0xff000000u | (w & 0xffffffu) : w;
    }
}

// The texel a position falls in; positions too far out to matter (and undefined ones) give 0.
inline int32_t texel_floor(float t)
{
    if (!(std::fabs(t) < 1.0e9f))
        return 0;
    int32_t i = (int32_t)t;
    return (float)i > t ? i - 1 : i;
}

} // namespace sr

#endif
