// 16.16 fixed-point kernels with 64-bit intermediates, integer square roots and table-driven
// trigonometry. Results that do not fit keep their low 32 bits.
#include <stdint.h>

#include "brondel/brfixed.h"

extern const int16_t br_fixed_sin_table[321];
extern const int16_t br_fixed_asin_table[257];
extern const uint16_t br_fixed_acos_table[257];
extern const uint16_t br_fixed_atan_table[257];
extern const uint16_t br_fixed_sqrt_table[256];
extern const uint16_t br_fixed_rsqrt_table[256];

namespace {

inline br_fixed_ls low32(int64_t v)
{
    return (br_fixed_ls)(uint32_t)(uint64_t)v;
}

inline int64_t prod(br_fixed_ls a, br_fixed_ls b)
{
    return (int64_t)a * b;
}

// Sums of products can pass the 64-bit range only by wrapping; do that without overflow traps.
inline int64_t add(int64_t a, int64_t b)
{
    return (int64_t)((uint64_t)a + (uint64_t)b);
}

// A division by zero answers the largest value of the dividend's sign instead of trapping.
inline br_fixed_ls div64(int64_t n, int64_t d)
{
    if (d == 0)
        return n < 0 ? INT32_MIN : INT32_MAX;
    if (d == -1)
        return low32((int64_t)(0 - (uint64_t)n));
    return low32(n / d);
}

// Linear interpolation between two table entries by an 8-bit fraction.
inline int32_t lerp(int32_t e0, int32_t e1, uint32_t f)
{
    return e0 + (((e1 - e0) * (int32_t)f) >> 8);
}

br_fixed_ls sine_at(uint32_t i, uint32_t f)
{
    int32_t v = lerp(br_fixed_sin_table[i], br_fixed_sin_table[i + 1], f);
    return (int16_t)v * 2;
}

// The eighth-turn angle of a fraction r in [0, 1) held in 32 bits.
int32_t atan_fraction(uint32_t r)
{
    uint32_t i = r >> 24, f = (r >> 16) & 0xff;
    return lerp(br_fixed_atan_table[i], br_fixed_atan_table[i + 1], f);
}

int32_t atan_fast_fraction(uint32_t r)
{
    return (int32_t)(r >> 19);
}

// Reduces (y, x) to an octant and a ratio, then places the eighth-turn angle of that ratio.
br_angle atan2_octant(br_fixed_ls y, br_fixed_ls x, int32_t (*eighth)(uint32_t))
{
    if (y == 0)
        return x >= 0 ? 0 : 0x8000;
    if (x == 0)
        return y > 0 ? 0x4000 : 0xC000;
    int64_t ax = x < 0 ? -(int64_t)x : x;
    int64_t ay = y < 0 ? -(int64_t)y : y;
    if (ax == ay) {
        if (x > 0)
            return y > 0 ? 0x2000 : 0xE000;
        return y > 0 ? 0x6000 : 0xA000;
    }
    bool x_major = ax > ay;
    uint32_t r = x_major ? (uint32_t)(((uint64_t)ay << 32) / (uint64_t)ax)
                         : (uint32_t)(((uint64_t)ax << 32) / (uint64_t)ay);
    int32_t a = eighth(r);
    int32_t base;
    if (x > 0 && y > 0)
        base = x_major ? a : 0x4000 - a;
    else if (x < 0 && y > 0)
        base = x_major ? 0x8000 - a : 0x4000 + a;
    else if (x < 0)
        base = x_major ? 0x8000 + a : 0xC000 - a;
    else
        base = x_major ? 0x10000 - a : 0xC000 + a;
    return (br_angle)base;
}

// Shift that brings the highest set bit of a into the top two bits at an even position.
inline int even_shift(uint32_t a)
{
    return __builtin_clz(a) & ~1;
}

// 2^32 / sqrt(v) from the table, v > 0: v is normalised so that its top bit is set; the top byte
// and the parity of the shift pick the entry, half the shift scales it.
uint32_t rsqrt_table(uint64_t v)
{
    int s = __builtin_clzll(v) - 32; // shift relative to a 32-bit argument; negative for 64-bit ones
    uint32_t x = (uint32_t)((v << __builtin_clzll(v)) >> 32);
    uint64_t t = br_fixed_rsqrt_table[((uint32_t)(s & 1) << 7) | ((x >> 24) & 0x7f)];
    int k = s >> 1; // floor
    return (uint32_t)(k + 1 >= 0 ? t << (k + 1) : t >> -(k + 1));
}

uint64_t sum_sq2(br_fixed_ls a, br_fixed_ls b)
{
    return (uint64_t)prod(a, a) + (uint64_t)prod(b, b);
}

uint64_t sum_sq3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c)
{
    return sum_sq2(a, b) + (uint64_t)prod(c, c);
}

uint64_t sum_sq4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d)
{
    return sum_sq2(a, b) + sum_sq2(c, d);
}

br_fixed_ls length_of(uint64_t s)
{
    return (br_fixed_ls)BrSqrt64((uint32_t)(s >> 32), (uint32_t)s);
}

br_fixed_ls rlength_of(uint64_t s)
{
    return (br_fixed_ls)BrFastRSqrt64((uint32_t)(s >> 32), (uint32_t)s);
}

inline int64_t fraction15(br_fixed_ls f)
{
    return (int16_t)(uint16_t)(uint32_t)f;
}

} // namespace

br_fixed_ls BrFixedAbs(br_fixed_ls a)
{
    return a < 0 ? (br_fixed_ls)(0u - (uint32_t)a) : a;
}

br_fixed_ls BrFixedMul(br_fixed_ls a, br_fixed_ls b)
{
    return low32(prod(a, b) >> 16);
}

br_fixed_ls BrFixedMac2(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d)
{
    return low32(add(prod(a, b), prod(c, d)) >> 16);
}

br_fixed_ls BrFixedMac3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f)
{
    return low32(add(add(prod(a, b), prod(c, d)), prod(e, f)) >> 16);
}

br_fixed_ls BrFixedMac4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                        br_fixed_ls g, br_fixed_ls h)
{
    return low32(add(add(prod(a, b), prod(c, d)), add(prod(e, f), prod(g, h))) >> 16);
}

br_fixed_ls BrFixedSqr(br_fixed_ls a)
{
    return low32(prod(a, a) >> 16);
}

br_fixed_ls BrFixedSqr2(br_fixed_ls a, br_fixed_ls b)
{
    return low32((int64_t)(sum_sq2(a, b) >> 16));
}

br_fixed_ls BrFixedSqr3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c)
{
    return low32((int64_t)(sum_sq3(a, b, c) >> 16));
}

br_fixed_ls BrFixedSqr4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d)
{
    return low32((int64_t)(sum_sq4(a, b, c, d) >> 16));
}

br_fixed_ls BrFixedLength2(br_fixed_ls a, br_fixed_ls b)
{
    return length_of(sum_sq2(a, b));
}

br_fixed_ls BrFixedLength3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c)
{
    return length_of(sum_sq3(a, b, c));
}

br_fixed_ls BrFixedLength4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d)
{
    return length_of(sum_sq4(a, b, c, d));
}

br_fixed_ls BrFixedRLength2(br_fixed_ls a, br_fixed_ls b)
{
    return rlength_of(sum_sq2(a, b));
}

br_fixed_ls BrFixedRLength3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c)
{
    return rlength_of(sum_sq3(a, b, c));
}

br_fixed_ls BrFixedRLength4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d)
{
    return rlength_of(sum_sq4(a, b, c, d));
}

br_fixed_ls BrFixedDiv(br_fixed_ls a, br_fixed_ls b)
{
    return div64((int64_t)a * 65536, b);
}

br_fixed_ls BrFixedDivFloor(br_fixed_ls a, br_fixed_ls b)
{
    int64_t n = (int64_t)a * 65536;
    if (a < 0)
        n |= 0xffff;
    return div64(n, b);
}

br_fixed_ls BrFixedDivF(br_fixed_ls a, br_fixed_ls b)
{
    uint64_t n = (uint64_t)(uint32_t)a << 31;
    if (b == 0)
        return (br_fixed_ls)0xffffffffu;
    return (br_fixed_ls)(uint32_t)(n / (uint32_t)b);
}

br_fixed_ls BrFixedDivAngle(br_fixed_ls a, br_fixed_ls b)
{
    br_fixed_ls q = div64((int64_t)a * ((int64_t)1 << 30), b);
    return (br_fixed_ls)(0x80000000u - 2u * (uint32_t)q);
}

br_fixed_ls BrFixedMulDiv(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c)
{
    return div64(prod(a, b), c);
}

br_fixed_ls BrFixedMac2Div(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e)
{
    return div64(add(prod(a, b), prod(c, d)), e);
}

br_fixed_ls BrFixedMac3Div(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                           br_fixed_ls g)
{
    return div64(add(add(prod(a, b), prod(c, d)), prod(e, f)), g);
}

br_fixed_ls BrFixedMac4Div(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                           br_fixed_ls g, br_fixed_ls h, br_fixed_ls i)
{
    return div64(add(add(prod(a, b), prod(c, d)), add(prod(e, f), prod(g, h))), i);
}

br_fixed_ls BrFixedFMac2(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d)
{
    return low32((fraction15(a) * b + fraction15(c) * d) >> 15);
}

br_fixed_ls BrFixedFMac3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f)
{
    return low32((fraction15(a) * b + fraction15(c) * d + fraction15(e) * f) >> 15);
}

br_fixed_ls BrFixedFMac4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                         br_fixed_ls g, br_fixed_ls h)
{
    return low32((fraction15(a) * b + fraction15(c) * d + fraction15(e) * f + fraction15(g) * h) >> 15);
}

br_fixed_ls BrFixedRcp(br_fixed_ls a)
{
    return div64((int64_t)1 << 32, a);
}

br_fixed_ls BrFixedSin(br_angle a)
{
    return sine_at(a >> 8, a & 0xff);
}

br_fixed_ls BrFixedCos(br_angle a)
{
    return sine_at((a >> 8) + 64, a & 0xff);
}

br_angle BrFixedASin(br_fixed_ls x)
{
    // Arguments past +-1.0 stop there; +1.0 itself is the table's last entry.
    if (x <= -0x10000)
        return (br_angle)br_fixed_asin_table[0];
    if (x >= 0x10000)
        return (br_angle)br_fixed_asin_table[256];
    uint32_t t = (uint32_t)(x + 0x10000) >> 1;
    uint32_t i = (t >> 8) & 0xff, f = t & 0xff;
    return (br_angle)lerp(br_fixed_asin_table[i], br_fixed_asin_table[i + 1], f);
}

br_angle BrFixedACos(br_fixed_ls x)
{
    if (x <= -0x10000)
        return br_fixed_acos_table[0];
    if (x >= 0x10000)
        return br_fixed_acos_table[256];
    uint32_t t = (uint32_t)(x + 0x10000) >> 1;
    uint32_t i = (t >> 8) & 0xff, f = t & 0xff;
    return (br_angle)lerp(br_fixed_acos_table[i], br_fixed_acos_table[i + 1], f);
}

br_angle BrFixedATan2(br_fixed_ls y, br_fixed_ls x)
{
    return atan2_octant(y, x, atan_fraction);
}

br_angle BrFixedATan2Fast(br_fixed_ls y, br_fixed_ls x)
{
    return atan2_octant(y, x, atan_fast_fraction);
}

br_uint_16 BrSqrt(br_uint_32 a)
{
    uint32_t rem = 0, root = 0;
    for (int i = 0; i < 16; i++) {
        rem = (rem << 2) | (a >> 30);
        a <<= 2;
        root <<= 1;
        uint32_t trial = (root << 1) | 1;
        if (rem >= trial) {
            rem -= trial;
            root |= 1;
        }
    }
    return (br_uint_16)root;
}

br_uint_32 BrSqrt64(br_uint_32 high, br_uint_32 low)
{
    uint64_t a = ((uint64_t)high << 32) | low;
    uint64_t rem = 0, root = 0;
    for (int i = 0; i < 32; i++) {
        rem = (rem << 2) | (a >> 62);
        a <<= 2;
        root <<= 1;
        uint64_t trial = (root << 1) | 1;
        if (rem >= trial) {
            rem -= trial;
            root |= 1;
        }
    }
    return (br_uint_32)root;
}

br_uint_32 BrFastSqrt(br_uint_32 a)
{
    if (a == 0)
        return 0;
    int s = even_shift(a);
    return (uint32_t)br_fixed_sqrt_table[(a << s) >> 24] >> (s >> 1);
}

br_uint_32 BrFastRSqrt(br_uint_32 a)
{
    if (a == 0)
        return 0;
    return rsqrt_table(a);
}

br_uint_32 BrFastRSqrt64(br_uint_32 high, br_uint_32 low)
{
    uint64_t v = ((uint64_t)high << 32) | low;
    if (v == 0)
        return 0;
    return rsqrt_table(v);
}
