// Vector rows of the hot pairs. SSE2 is part of x86-64; AVX2 is taken only when the processor has
// it (simd_level), through per-function target attributes, so the build stays generic.
#include "simd.h"

#include <cstring>

#include "pixel_ops.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define PXB_AVX2 __attribute__((target("avx2")))
#endif

namespace pxblit::simd {

#if defined(__x86_64__)
namespace {

inline __m128i ld128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void st128(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
PXB_AVX2 inline __m256i ld256(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
PXB_AVX2 inline void st256(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// ---- 16-bit to 16-bit word maps -------------------------------------------------------------

struct Op555to565 {
    static __m128i v(__m128i x) {
        return _mm_or_si128(_mm_and_si128(_mm_slli_epi16(x, 1), _mm_set1_epi16(static_cast<short>(0xFFC0))),
                            _mm_and_si128(x, _mm_set1_epi16(0x1F)));
    }
    PXB_AVX2 static __m256i v(__m256i x) {
        return _mm256_or_si256(
            _mm256_and_si256(_mm256_slli_epi16(x, 1), _mm256_set1_epi16(static_cast<short>(0xFFC0))),
            _mm256_and_si256(x, _mm256_set1_epi16(0x1F)));
    }
    static constexpr auto tail = convert_row_ref<T_555, T_565>;
};

struct Op565to555 {
    static __m128i v(__m128i x) {
        return _mm_or_si128(_mm_srli_epi16(_mm_and_si128(x, _mm_set1_epi16(static_cast<short>(0xFFC0))), 1),
                            _mm_and_si128(x, _mm_set1_epi16(0x1F)));
    }
    PXB_AVX2 static __m256i v(__m256i x) {
        return _mm256_or_si256(
            _mm256_srli_epi16(_mm256_and_si256(x, _mm256_set1_epi16(static_cast<short>(0xFFC0))), 1),
            _mm256_and_si256(x, _mm256_set1_epi16(0x1F)));
    }
    static constexpr auto tail = convert_row_ref<T_565, T_555>;
};

struct OpHalf565 {
    static __m128i v(__m128i x) {
        return _mm_srli_epi16(_mm_and_si128(x, _mm_set1_epi16(static_cast<short>(0xF7DE))), 1);
    }
    PXB_AVX2 static __m256i v(__m256i x) {
        return _mm256_srli_epi16(_mm256_and_si256(x, _mm256_set1_epi16(static_cast<short>(0xF7DE))), 1);
    }
    static constexpr auto tail = convert_row_ref<T_565, T_565>;
};

template <class Op>
void row16_sse2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    int i = 0;
    for (; i + 8 <= w; i += 8) st128(d + 2 * i, Op::v(ld128(s + 2 * i)));
    Op::tail(s + 2 * i, d + 2 * i, w - i, c);
}

template <class Op>
PXB_AVX2 void row16_avx2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    int i = 0;
    for (; i + 16 <= w; i += 16) st256(d + 2 * i, Op::v(ld256(s + 2 * i)));
    for (; i + 8 <= w; i += 8) st128(d + 2 * i, Op::v(ld128(s + 2 * i)));
    Op::tail(s + 2 * i, d + 2 * i, w - i, c);
}

// 565 to 565 halves only under user word 4.
void r565_565_sse2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    if (c.mode == 4) row16_sse2<OpHalf565>(s, d, w, c);
    else std::memmove(d, s, static_cast<size_t>(w) * 2);
}
void r565_565_avx2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    if (c.mode == 4) row16_avx2<OpHalf565>(s, d, w, c);
    else std::memmove(d, s, static_cast<size_t>(w) * 2);
}

// ---- 32-bit to 16-bit ---------------------------------------------------------------------------

struct Op32to565 {
    static __m128i v(__m128i x) {
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(x, 3), _mm_set1_epi32(0x1F)),
                                         _mm_and_si128(_mm_srli_epi32(x, 5), _mm_set1_epi32(0x7E0))),
                            _mm_and_si128(_mm_srli_epi32(x, 8), _mm_set1_epi32(0xF800)));
    }
    PXB_AVX2 static __m256i v(__m256i x) {
        return _mm256_or_si256(
            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(x, 3), _mm256_set1_epi32(0x1F)),
                            _mm256_and_si256(_mm256_srli_epi32(x, 5), _mm256_set1_epi32(0x7E0))),
            _mm256_and_si256(_mm256_srli_epi32(x, 8), _mm256_set1_epi32(0xF800)));
    }
    static constexpr auto tail = convert_row_ref<T_X888, T_565>;
};

struct Op32to555 {
    static __m128i v(__m128i x) {
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(x, 3), _mm_set1_epi32(0x1F)),
                                         _mm_and_si128(_mm_srli_epi32(x, 6), _mm_set1_epi32(0x3E0))),
                            _mm_and_si128(_mm_srli_epi32(x, 9), _mm_set1_epi32(0x7C00)));
    }
    PXB_AVX2 static __m256i v(__m256i x) {
        return _mm256_or_si256(
            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(x, 3), _mm256_set1_epi32(0x1F)),
                            _mm256_and_si256(_mm256_srli_epi32(x, 6), _mm256_set1_epi32(0x3E0))),
            _mm256_and_si256(_mm256_srli_epi32(x, 9), _mm256_set1_epi32(0x7C00)));
    }
    static constexpr auto tail = convert_row_ref<T_X888, T_555>;
};

// Lanes hold values below 0x10000: sign-extending their low halves makes the signed pack exact.
inline __m128i pack_low16(__m128i a, __m128i b) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
}
PXB_AVX2 inline __m256i pack_low16(__m256i a, __m256i b) {
    const __m256i p = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(a, 16), 16),
                                         _mm256_srai_epi32(_mm256_slli_epi32(b, 16), 16));
    return _mm256_permute4x64_epi64(p, 0xD8);
}

template <class Op>
void row32_16_sse2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    int i = 0;
    for (; i + 8 <= w; i += 8)
        st128(d + 2 * i, pack_low16(Op::v(ld128(s + 4 * i)), Op::v(ld128(s + 4 * i + 16))));
    Op::tail(s + 4 * i, d + 2 * i, w - i, c);
}

template <class Op>
PXB_AVX2 void row32_16_avx2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    int i = 0;
    for (; i + 16 <= w; i += 16)
        st256(d + 2 * i, pack_low16(Op::v(ld256(s + 4 * i)), Op::v(ld256(s + 4 * i + 32))));
    for (; i + 8 <= w; i += 8)
        st128(d + 2 * i, pack_low16(Op::v(ld128(s + 4 * i)), Op::v(ld128(s + 4 * i + 16))));
    Op::tail(s + 4 * i, d + 2 * i, w - i, c);
}

// ---- transparent copy ---------------------------------------------------------------------------
// Blocks wholly of key pixels are not stored; mixed blocks store the destination's own value back
// where the key is.

template <int B>
__m128i eq128(__m128i a, __m128i b) {
    if constexpr (B == 1) return _mm_cmpeq_epi8(a, b);
    else if constexpr (B == 2) return _mm_cmpeq_epi16(a, b);
    else return _mm_cmpeq_epi32(a, b);
}
template <int B>
PXB_AVX2 __m256i eq256(__m256i a, __m256i b) {
    if constexpr (B == 1) return _mm256_cmpeq_epi8(a, b);
    else if constexpr (B == 2) return _mm256_cmpeq_epi16(a, b);
    else return _mm256_cmpeq_epi32(a, b);
}
template <int B>
__m128i splat128(uint32_t k) {
    if constexpr (B == 1) return _mm_set1_epi8(static_cast<char>(k));
    else if constexpr (B == 2) return _mm_set1_epi16(static_cast<short>(k));
    else return _mm_set1_epi32(static_cast<int>(k));
}
template <int B>
PXB_AVX2 __m256i splat256(uint32_t k) {
    if constexpr (B == 1) return _mm256_set1_epi8(static_cast<char>(k));
    else if constexpr (B == 2) return _mm256_set1_epi16(static_cast<short>(k));
    else return _mm256_set1_epi32(static_cast<int>(k));
}
constexpr uint32_t key_limit(int b) { return b == 4 ? 0xFFFFFFFFu : (1u << (8 * b)) - 1; }

template <int B>
inline void transp_block128(const uint8_t* s, uint8_t* d, __m128i key) {
    const __m128i v = ld128(s);
    const __m128i m = eq128<B>(v, key);
    const int bits = _mm_movemask_epi8(m);
    if (bits == 0xFFFF) return;
    if (bits == 0) { st128(d, v); return; }
    st128(d, _mm_or_si128(_mm_and_si128(m, ld128(d)), _mm_andnot_si128(m, v)));
}

template <int B>
void transp_sse2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    if (c.key > key_limit(B)) { std::memmove(d, s, static_cast<size_t>(w) * B); return; }
    const __m128i key = splat128<B>(c.key);
    constexpr int n = 16 / B;
    int i = 0;
    for (; i + n <= w; i += n) transp_block128<B>(s + B * i, d + B * i, key);
    transparent_row_ref<B>(s + B * i, d + B * i, w - i, c);
}

template <int B>
PXB_AVX2 void transp_avx2(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    if (c.key > key_limit(B)) { std::memmove(d, s, static_cast<size_t>(w) * B); return; }
    const __m256i key = splat256<B>(c.key);
    constexpr int n = 32 / B;
    int i = 0;
    for (; i + n <= w; i += n) {
        const __m256i v = ld256(s + B * i);
        const __m256i m = eq256<B>(v, key);
        const unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(m));
        if (bits == 0xFFFFFFFFu) continue;
        if (bits == 0) { st256(d + B * i, v); continue; }
        st256(d + B * i, _mm256_blendv_epi8(v, ld256(d + B * i), m));
    }
    if (i + 16 / B <= w) {
        transp_block128<B>(s + B * i, d + B * i, splat128<B>(c.key));
        i += 16 / B;
    }
    transparent_row_ref<B>(s + B * i, d + B * i, w - i, c);
}

}  // namespace

const PairKernel k565_565{convert_row_ref<T_565, T_565>, r565_565_sse2, r565_565_avx2};
const PairKernel k555_565{convert_row_ref<T_555, T_565>, row16_sse2<Op555to565>, row16_avx2<Op555to565>};
const PairKernel k565_555{convert_row_ref<T_565, T_555>, row16_sse2<Op565to555>, row16_avx2<Op565to555>};
const PairKernel k32_565{convert_row_ref<T_X888, T_565>, row32_16_sse2<Op32to565>, row32_16_avx2<Op32to565>};
const PairKernel k32_555{convert_row_ref<T_X888, T_555>, row32_16_sse2<Op32to555>, row32_16_avx2<Op32to555>};
const PairKernel transp8{transparent_row_ref<1>, transp_sse2<1>, transp_avx2<1>};
const PairKernel transp16{transparent_row_ref<2>, transp_sse2<2>, transp_avx2<2>};
const PairKernel transp32{transparent_row_ref<4>, transp_sse2<4>, transp_avx2<4>};

#else

const PairKernel k565_565{convert_row_ref<T_565, T_565>, nullptr, nullptr};
const PairKernel k555_565{convert_row_ref<T_555, T_565>, nullptr, nullptr};
const PairKernel k565_555{convert_row_ref<T_565, T_555>, nullptr, nullptr};
const PairKernel k32_565{convert_row_ref<T_X888, T_565>, nullptr, nullptr};
const PairKernel k32_555{convert_row_ref<T_X888, T_555>, nullptr, nullptr};
const PairKernel transp8{transparent_row_ref<1>, nullptr, nullptr};
const PairKernel transp16{transparent_row_ref<2>, nullptr, nullptr};
const PairKernel transp32{transparent_row_ref<4>, nullptr, nullptr};

#endif

}  // namespace pxblit::simd
