// Per-pixel conversions of CopyRectangle, one per (source, destination) pair. Narrowing keeps the
// top bits of a channel, widening shifts it up with zero low bits; nothing dithers. These are the
// reference every faster kernel is checked against.
#ifndef PANNIX_BLIT_PIXEL_OPS_H
#define PANNIX_BLIT_PIXEL_OPS_H

#include <cstring>

#include "blit_core.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixel layouts assume little-endian memory");

namespace pxblit {

inline uint32_t ld16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
inline uint32_t ld32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline void st16(uint8_t* p, uint32_t v) { uint16_t x = static_cast<uint16_t>(v); std::memcpy(p, &x, 2); }
inline void st32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void st_bgr(uint8_t* p, uint32_t b, uint32_t g, uint32_t r) {
    p[0] = static_cast<uint8_t>(b); p[1] = static_cast<uint8_t>(g); p[2] = static_cast<uint8_t>(r);
}

inline uint32_t w555_to_565(uint32_t v) { return (((v >> 5) << 6) | (v & 0x1F)) & 0xFFFF; }
inline uint32_t w565_to_555(uint32_t v) { return ((v & 0xFFC0) >> 1) | (v & 0x1F); }
inline uint32_t w565_half(uint32_t v) { return (v & 0xF7DE) >> 1; }
inline uint32_t d32_to_555(uint32_t v) { return ((v >> 3) & 0x1F) | ((v >> 6) & 0x3E0) | ((v >> 9) & 0x7C00); }
inline uint32_t d32_to_565(uint32_t v) { return ((v >> 3) & 0x1F) | ((v >> 5) & 0x7E0) | ((v >> 8) & 0xF800); }
inline uint32_t bgr_to_555(uint32_t b, uint32_t g, uint32_t r) { return (b >> 3) | ((g >> 3) << 5) | ((r >> 3) << 10); }
inline uint32_t bgr_to_565(uint32_t b, uint32_t g, uint32_t r) { return (b >> 3) | ((g >> 2) << 5) | ((r >> 3) << 11); }
inline uint32_t bgr_to_4444(uint32_t a4, uint32_t b, uint32_t g, uint32_t r) {
    return (a4 << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
}
// The three bytes B, G, R of a 565 word widened.
inline void w565_to_bgr(uint8_t* d, uint32_t v) { st_bgr(d, (v << 3) & 0xF8, (v >> 3) & 0xFC, (v >> 8) & 0xF8); }
inline void w555_to_bgr(uint8_t* d, uint32_t v) { st_bgr(d, (v << 3) & 0xF8, (v >> 2) & 0xF8, (v >> 7) & 0xF8); }
inline void w4444_to_bgr(uint8_t* d, uint32_t v) { st_bgr(d, (v & 0xF) << 4, v & 0xF0, (v >> 4) & 0xF0); }

template <int D>
inline void store_bgrx(uint8_t* d, uint32_t fourth) {
    if constexpr (D == T_X888 || D == T_A8888) d[3] = static_cast<uint8_t>(fourth);
}

template <int S, int D>
inline void convert_pixel(const uint8_t* s, uint8_t* d, const RowCtx& c) {
    if constexpr (S == T_I8) {
        if constexpr (D == T_I8) {
            d[0] = s[0];
        } else {
            const uint32_t P = c.palette[s[0]];
            if constexpr (D == T_555) st16(d, ((P >> 3) & 0x1F) | ((P >> 6) & 0x3E0) | ((P >> 9) & 0x7C00));
            else if constexpr (D == T_565) st16(d, ((P >> 3) & 0x1F) | ((P >> 5) & 0x7E0) | ((P >> 8) & 0xF800));
            else if constexpr (D == T_888) st_bgr(d, P & 0xFF, (P >> 8) & 0xFF, (P >> 16) & 0xFF);
            else if constexpr (D == T_X888 || D == T_A8888) st32(d, P);
            else if constexpr (D == T_4444) st16(d, bgr_to_4444(15, P & 0xFF, (P >> 8) & 0xFF, (P >> 16) & 0xFF));
            else static_assert(D == 0, "no such pair");
        }
    } else if constexpr (S == T_555) {
        const uint32_t v = ld16(s);
        if constexpr (D == T_555) st16(d, v);
        else if constexpr (D == T_565) st16(d, w555_to_565(v));
        else if constexpr (D == T_888 || D == T_X888 || D == T_A8888) { w555_to_bgr(d, v); store_bgrx<D>(d, 0); }
        else if constexpr (D == T_A565) { d[0] = 255; st16(d + 1, w555_to_565(v)); }
        else if constexpr (D == T_4444)
            st16(d, 0xF000 | (((v >> 11) & 0xF) << 8) | (((v >> 6) & 0xF) << 4) | ((v >> 1) & 0xF));
        else static_assert(D == 0, "no such pair");
    } else if constexpr (S == T_565) {
        const uint32_t v = ld16(s);
        if constexpr (D == T_555) st16(d, w565_to_555(v));
        else if constexpr (D == T_565) st16(d, c.mode == 4 ? w565_half(v) : v);
        else if constexpr (D == T_888 || D == T_X888 || D == T_A8888) { w565_to_bgr(d, v); store_bgrx<D>(d, 0); }
        else if constexpr (D == T_A565) { d[0] = 255; st16(d + 1, v); }
        else if constexpr (D == T_4444)
            st16(d, 0xF000 | (((v >> 12) & 0xF) << 8) | (((v >> 7) & 0xF) << 4) | ((v >> 1) & 0xF));
        else static_assert(D == 0, "no such pair");
    } else if constexpr (S == T_888) {
        const uint32_t b = s[0], g = s[1], r = s[2];
        if constexpr (D == T_555) st16(d, bgr_to_555(b, g, r));
        else if constexpr (D == T_565) st16(d, bgr_to_565(b, g, r));
        else if constexpr (D == T_888 || D == T_X888 || D == T_A8888) { st_bgr(d, b, g, r); store_bgrx<D>(d, 0); }
        else if constexpr (D == T_A565) { d[0] = 255; st16(d + 1, bgr_to_565(b, g, r)); }
        else if constexpr (D == T_4444) st16(d, bgr_to_4444(15, b, g, r));
        else static_assert(D == 0, "no such pair");
    } else if constexpr (S == T_X888 || S == T_A8888) {
        const uint32_t v = ld32(s);
        if constexpr (D == T_555) st16(d, d32_to_555(v));
        else if constexpr (D == T_565) st16(d, d32_to_565(v));
        else if constexpr (D == T_888) st_bgr(d, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
        else if constexpr (D == T_X888 && S == T_A8888) st32(d, v & 0x00FFFFFF);
        else if constexpr (D == T_X888 || D == T_A8888) st32(d, v);
        else if constexpr (D == T_A565) { d[0] = static_cast<uint8_t>(v >> 24); st16(d + 1, d32_to_565(v)); }
        else if constexpr (D == T_4444)
            st16(d, bgr_to_4444(S == T_A8888 ? (v >> 28) : 15, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
        else static_assert(D == 0, "no such pair");
    } else if constexpr (S == T_A565) {
        const uint32_t a = s[0], w = ld16(s + 1);
        if constexpr (D == T_555) st16(d, w565_to_555(w));
        else if constexpr (D == T_565) st16(d, w);
        else if constexpr (D == T_888 || D == T_X888) { w565_to_bgr(d, w); store_bgrx<D>(d, 0); }
        else if constexpr (D == T_A8888) { w565_to_bgr(d, w); d[3] = static_cast<uint8_t>(a); }
        else if constexpr (D == T_A565) { d[0] = static_cast<uint8_t>(a); st16(d + 1, w); }
        else static_assert(D == 0, "no such pair");
    } else if constexpr (S == T_4444) {
        const uint32_t v = ld16(s);
        if constexpr (D == T_555) st16(d, (((v >> 8) & 0xF) << 11) | (((v >> 4) & 0xF) << 6) | ((v & 0xF) << 1));
        else if constexpr (D == T_565) st16(d, (((v >> 8) & 0xF) << 12) | (((v >> 4) & 0xF) << 7) | ((v & 0xF) << 1));
        else if constexpr (D == T_888 || D == T_X888) { w4444_to_bgr(d, v); store_bgrx<D>(d, 0); }
        else if constexpr (D == T_A8888) { w4444_to_bgr(d, v); d[3] = static_cast<uint8_t>((v >> 12) << 4); }
        else if constexpr (D == T_4444) st16(d, v);
        else static_assert(D == 0, "no such pair");
    } else {
        static_assert(S == 0, "no such source");
    }
}

template <int S, int D>
void convert_row_ref(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    constexpr int sb = pixel_bytes(S), db = pixel_bytes(D);
    for (int i = 0; i < w; ++i) convert_pixel<S, D>(s + i * sb, d + i * db, c);
}

// Portable transparent copy: pixels equal to the key (zero-extended; 3 bytes read as 0x00RRGGBB) skipped.
template <int B>
void transparent_row_ref(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    for (int i = 0; i < w; ++i, s += B, d += B) {
        uint32_t v = 0;
        std::memcpy(&v, s, B);
        if (v != c.key) std::memcpy(d, s, B);
    }
}

}  // namespace pxblit

#endif
