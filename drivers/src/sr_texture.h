// Reading textures: every texel layout decoded to 0xAARRGGBB, wrap (repeat) addressing, nearest
// and bilinear sampling. Texel (i, j) covers [i, i+1) x [j, j+1) in texel space.
#ifndef SOFTREND_SR_TEXTURE_H
#define SOFTREND_SR_TEXTURE_H

#include "sr_types.h"

namespace sr {

// The texels at texel-space positions (u[k], v[k]) for k < n, as 0xAARRGGBB (alpha 255 for the
// layouts without alpha). Positions outside the texture wrap round.
void sample(const Texture &t, bool bilinear, const float *u, const float *v, int n, uint32_t *out);

// The stored 16-bit words of a 565 or 555 texture at the same positions (nearest), for drawing them
// unchanged into a buffer of the same layout.
void sample_words(const Texture &t, const float *u, const float *v, int n, uint16_t *out);

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

} // namespace sr

#endif
