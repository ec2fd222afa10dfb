// Per-pixel rules of the alpha blends (CopyRectTranspAlpha) and the key-0 sprite copies
// (CopyRectTransparent0): the scalar reference every faster row is checked against.
//
// Two rounding forms exist and which one applies depends on the family and the pair:
//   weighted:  (s*k + t*(255-k) + 128) >> 8, at the destination field's width;
//   RGBA:      ((s*a + t*(255-a)) >> 8) + 1, on bytes (the sprite family widens t first).
// Every intermediate fits in 16 bits.
#ifndef PANNIX_BLIT_BLEND_OPS_H
#define PANNIX_BLIT_BLEND_OPS_H

#include <algorithm>

#include "pixel_ops.h"

namespace pxblit {

struct Rgb {
    uint32_t b, g, r;
};

struct FieldWidths {
    int b, g, r;
};

template <int T>
constexpr FieldWidths field_widths() {
    if constexpr (T == T_555) return {5, 5, 5};
    else if constexpr (T == T_565 || T == T_A565) return {5, 6, 5};
    else if constexpr (T == T_4444) return {4, 4, 4};
    else return {8, 8, 8};
}

// Narrowing keeps the top bits; widening shifts up with zero low bits.
constexpr uint32_t rewidth(uint32_t v, int from, int to) { return from >= to ? v >> (from - to) : v << (to - from); }

template <int S, int D>
inline Rgb to_width(Rgb c) {
    constexpr FieldWidths f = field_widths<S>(), t = field_widths<D>();
    return {rewidth(c.b, f.b, t.b), rewidth(c.g, f.g, t.g), rewidth(c.r, f.r, t.r)};
}

inline Rgb rgb555(uint32_t v) { return {v & 31, (v >> 5) & 31, (v >> 10) & 31}; }
inline Rgb rgb565(uint32_t v) { return {v & 31, (v >> 5) & 63, (v >> 11) & 31}; }

// Colour fields of a pixel in its own widths.
template <int T>
inline Rgb get_rgb(const uint8_t* p) {
    if constexpr (T == T_555) return rgb555(ld16(p));
    else if constexpr (T == T_565) return rgb565(ld16(p));
    else if constexpr (T == T_A565) return rgb565(ld16(p + 1));
    else if constexpr (T == T_4444) {
        const uint32_t v = ld16(p);
        return {v & 15, (v >> 4) & 15, (v >> 8) & 15};
    } else {
        return {p[0], p[1], p[2]};
    }
}

// Writes the colour fields; the fourth byte of 32-bit pixels and the alpha byte of type 10 stay.
// Bit 15 of an RGB_555 pixel is written 0.
template <int D>
inline void put_rgb(uint8_t* p, Rgb c) {
    if constexpr (D == T_555) st16(p, c.b | (c.g << 5) | (c.r << 10));
    else if constexpr (D == T_565) st16(p, c.b | (c.g << 5) | (c.r << 11));
    else if constexpr (D == T_A565) st16(p + 1, c.b | (c.g << 5) | (c.r << 11));
    else st_bgr(p, c.b, c.g, c.r);
}

constexpr bool byte_fields(int t) { return t == T_888 || t == T_X888 || t == T_A8888; }

constexpr uint32_t blend_weighted(uint32_t s, uint32_t t, uint32_t k) { return (s * k + t * (255 - k) + 128) >> 8; }
constexpr uint32_t blend_rgba(uint32_t s, uint32_t t, uint32_t a) { return ((s * a + t * (255 - a)) >> 8) + 1; }

inline Rgb weighted(Rgb s, Rgb t, uint32_t k) {
    return {blend_weighted(s.b, t.b, k), blend_weighted(s.g, t.g, k), blend_weighted(s.r, t.r, k)};
}

// True when a key-0 source pixel leaves the destination unchanged (the test is on the source value).
template <int S>
inline bool zero_source(const uint8_t* s) {
    if constexpr (S == T_I8) return s[0] == 0;
    else if constexpr (S == T_888) return (s[0] | s[1] | s[2]) == 0;
    else if constexpr (S == T_X888) return ld32(s) == 0;
    else return ld16(s) == 0;
}

// ---- CopyRectTranspAlpha ------------------------------------------------------------------------

// One pixel of a blend pair (every source but INDEX_8, whose rows are the sprite family's).
template <int S, int D>
inline void alpha_pixel(const uint8_t* s, uint8_t* d, const RowCtx& c) {
    uint32_t a = c.alpha & 0xFF;
    if constexpr (S == T_4444) {
        // A 0-15 scale against 5-bit fields; RGB_565 green uses its top five bits.
        const uint32_t v = ld16(s);
        const uint32_t a4 = std::min(v >> 12, a >> 4);
        auto f = [a4](uint32_t nibble, uint32_t t5) { return (((nibble << 1) * a4 + t5 * (15 - a4)) >> 4) + 1; };
        const Rgb t = get_rgb<D>(d);
        const uint32_t g = D == T_565 ? f((v >> 4) & 15, t.g >> 1) << 1 : f((v >> 4) & 15, t.g);
        put_rgb<D>(d, Rgb{f(v & 15, t.b), g, f((v >> 8) & 15, t.r)});
        return;
    } else {
        if constexpr (S == T_555 || S == T_565) {
            if (ld16(s) == 0) return;
        } else if constexpr (S == T_888 && D != T_888) {
            if ((s[0] | s[1] | s[2]) == 0) return;
        } else if constexpr (S == T_A8888) {
            a = std::min<uint32_t>(s[3], a);
        } else if constexpr (S == T_A565) {
            a = std::min<uint32_t>(s[0], a);
        }
        const Rgb t = get_rgb<D>(d);
        if constexpr (S == T_A8888 && byte_fields(D)) {
            const Rgb v = get_rgb<S>(s);
            put_rgb<D>(d, Rgb{blend_rgba(v.b, t.b, a), blend_rgba(v.g, t.g, a), blend_rgba(v.r, t.r, a)});
        } else {
            put_rgb<D>(d, weighted(to_width<S, D>(get_rgb<S>(s)), t, a));
        }
    }
}

// ---- CopyRectTransparent0 -----------------------------------------------------------------------

// Key-0 copy with the pair's conversion; the palette of INDEX_8 sources is set.
template <int S, int D>
inline void key0_pixel(const uint8_t* s, uint8_t* d, const RowCtx& c) {
    if (zero_source<S>(s)) return;
    if constexpr (S == T_X888 && D == T_A565) {
        d[0] = 255;
        st16(d + 1, d32_to_565(ld32(s)));
    } else if constexpr (S == T_565 && D == T_565) {
        st16(d, ld16(s));  // the user word picks other rows
    } else {
        convert_pixel<S, D>(s, d, c);
    }
}

// A type-10 destination keeps the larger of its alpha and the source's weight.
inline void raise_alpha(uint8_t* d, uint32_t w) { d[0] = static_cast<uint8_t>(std::max<uint32_t>(d[0], w)); }

// The blends of alpha sources: RGBA_8888, ARGB_4444 and type 10.
template <int S, int D>
inline void sprite_blend_pixel(const uint8_t* s, uint8_t* d, const RowCtx&) {
    const Rgb t = get_rgb<D>(d);
    if constexpr (S == T_A8888) {
        // The destination widened to bytes, blended, narrowed back.
        constexpr FieldWidths w = field_widths<D>();
        const uint32_t A = s[3];
        const Rgb v = get_rgb<S>(s);
        const Rgb u{blend_rgba(v.b, t.b << (8 - w.b), A), blend_rgba(v.g, t.g << (8 - w.g), A),
                    blend_rgba(v.r, t.r << (8 - w.r), A)};
        put_rgb<D>(d, Rgb{u.b >> (8 - w.b), u.g >> (8 - w.g), u.r >> (8 - w.r)});
        if constexpr (D == T_A565) raise_alpha(d, A);
    } else if constexpr (S == T_4444) {
        const uint32_t a4 = ld16(s) >> 12;
        put_rgb<D>(d, weighted(to_width<S, D>(get_rgb<S>(s)), t, a4 * 17));
        if constexpr (D == T_A565) raise_alpha(d, a4 << 4);
    } else if constexpr (S == T_A565) {
        const uint32_t a = s[0];
        if constexpr (D == T_565) {
            if (a == 0) return;  // both shortcuts give what the blend gives
            if (a == 255) { st16(d, ld16(s + 1)); return; }
        }
        put_rgb<D>(d, weighted(to_width<S, D>(get_rgb<S>(s)), t, a));
        if constexpr (D == T_A565) raise_alpha(d, a);
    } else {
        static_assert(S == 0, "no such blend");
    }
}

// RGB_565 with the user word 4 into RGB_565: each field halved, pixels of 0 left out.
inline void half_pixel(const uint8_t* s, uint8_t* d, const RowCtx&) {
    const uint32_t v = ld16(s);
    if (v != 0) st16(d, w565_half(v));
}

// RGB_565 with the user word 2 into type 10: every colour word written, the alpha kept.
inline void opaque_word_pixel(const uint8_t* s, uint8_t* d, const RowCtx&) { st16(d + 1, ld16(s)); }

template <auto Pixel, int S, int D>
void pixel_row(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    constexpr int sb = pixel_bytes(S), db = pixel_bytes(D);
    for (int i = 0; i < w; ++i) Pixel(s + i * sb, d + i * db, c);
}

// RGB_565 with a mask of per-pixel weights (one byte each, c.mask at the row's first pixel).
template <int D>
void mask_row(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    constexpr int db = pixel_bytes(D);
    for (int i = 0; i < w; ++i, s += 2, d += db) {
        const uint32_t m = c.mask[i];
        put_rgb<D>(d, weighted(to_width<T_565, D>(rgb565(ld16(s))), get_rgb<D>(d), m));
        if constexpr (D == T_A565) raise_alpha(d, m);
    }
}

inline void draw_nothing_row(const uint8_t*, uint8_t*, int, const RowCtx&) {}

}  // namespace pxblit

#endif
