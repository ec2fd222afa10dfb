// Texel decoding and sampling. Positions are floored to texels and wrapped round the texture, so
// a surface whose map coordinates run past 1 repeats the texture.
#include "sr_texture.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace sr {

namespace {

struct Wrap {
    int32_t size;
    bool pow2;
    explicit Wrap(int32_t n) : size(n), pow2((n & (n - 1)) == 0) {}
    int32_t operator()(int32_t i) const
    {
        if (pow2)
            return i & (size - 1);
        int32_t r = i % size;
        return r < 0 ? r + size : r;
    }
};

// a towards b by f / 256, channel by channel (two channels per multiply).
inline uint32_t lerp_argb(uint32_t a, uint32_t b, uint32_t f)
{
    uint32_t g = 256 - f;
    uint32_t rb = ((a & 0x00ff00ffu) * g + (b & 0x00ff00ffu) * f) >> 8;
    uint32_t ag = ((a >> 8) & 0x00ff00ffu) * g + ((b >> 8) & 0x00ff00ffu) * f;
    return (rb & 0x00ff00ffu) | (ag & 0xff00ff00u);
}

inline uint32_t weight(float f)
{
    if (!(f > 0.0f))
        return 0;
    return f >= 1.0f ? 256u : (uint32_t)(f * 256.0f);
}

template <TexelType T>
void nearest(const Texture &t, const float *u, const float *v, int n, uint32_t *out)
{
    const Wrap wu(t.width), wv(t.height);
    for (int k = 0; k < n; ++k) {
        int32_t iu = wu(texel_floor(u[k])), iv = wv(texel_floor(v[k]));
        out[k] = decode<T>(t.pixels + (std::ptrdiff_t)iv * t.row_bytes + (std::ptrdiff_t)iu * bytes_of(T), t.palette);
    }
}

template <TexelType T>
void bilinear(const Texture &t, const float *u, const float *v, int n, uint32_t *out)
{
    const Wrap wu(t.width), wv(t.height);
    for (int k = 0; k < n; ++k) {
        // The four texels whose centres surround the position.
        float su = u[k] - 0.5f, sv = v[k] - 0.5f;
        int32_t fu = texel_floor(su), fv = texel_floor(sv);
        uint32_t au = weight(su - (float)fu), av = weight(sv - (float)fv);
        std::ptrdiff_t c0 = (std::ptrdiff_t)wu(fu) * bytes_of(T), c1 = (std::ptrdiff_t)wu(fu + 1) * bytes_of(T);
        const uint8_t *r0 = t.pixels + (std::ptrdiff_t)wv(fv) * t.row_bytes;
        const uint8_t *r1 = t.pixels + (std::ptrdiff_t)wv(fv + 1) * t.row_bytes;
        uint32_t top = lerp_argb(decode<T>(r0 + c0, t.palette), decode<T>(r0 + c1, t.palette), au);
        uint32_t bottom = lerp_argb(decode<T>(r1 + c0, t.palette), decode<T>(r1 + c1, t.palette), au);
        out[k] = lerp_argb(top, bottom, av);
    }
}

template <TexelType T>
void sample_as(const Texture &t, bool linear, const float *u, const float *v, int n, uint32_t *out)
{
    if (linear)
        bilinear<T>(t, u, v, n, out);
    else
        nearest<T>(t, u, v, n, out);
}

} // namespace

// The palette of an index 8 texture that comes without one.
const uint32_t *grey_ramp()
{
    static const struct Ramp {
        uint32_t c[256];
        Ramp()
        {
            for (uint32_t i = 0; i < 256; ++i)
                c[i] = 0xff000000u | i * 0x010101u;
        }
    } ramp;
    return ramp.c;
}

int texel_bytes(TexelType t)
{
    return bytes_of(t);
}

bool texel_alpha(TexelType t)
{
    return t == TexelType::RGBA_8888 || t == TexelType::RGB565_A8 || t == TexelType::ARGB_4444;
}

void sample(const Texture &tex, bool linear, const float *u, const float *v, int n, uint32_t *out)
{
    Texture t = tex;
    if (t.type == TexelType::Index8 && !t.palette)
        t.palette = grey_ramp();
    switch (t.type) {
    case TexelType::Index8:
        return sample_as<TexelType::Index8>(t, linear, u, v, n, out);
    case TexelType::RGB_555:
        return sample_as<TexelType::RGB_555>(t, linear, u, v, n, out);
    case TexelType::RGB_565:
        return sample_as<TexelType::RGB_565>(t, linear, u, v, n, out);
    case TexelType::RGB_888:
        return sample_as<TexelType::RGB_888>(t, linear, u, v, n, out);
    case TexelType::RGBX_888:
        return sample_as<TexelType::RGBX_888>(t, linear, u, v, n, out);
    case TexelType::RGBA_8888:
        return sample_as<TexelType::RGBA_8888>(t, linear, u, v, n, out);
    case TexelType::RGB565_A8:
        return sample_as<TexelType::RGB565_A8>(t, linear, u, v, n, out);
    case TexelType::ARGB_4444:
        return sample_as<TexelType::ARGB_4444>(t, linear, u, v, n, out);
    }
}

} // namespace sr
