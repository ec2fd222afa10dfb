// Vector rows of the blends: blend_rows.inl compiled once over SSE2 lanes and once over AVX2
// lanes (taken only when the processor has AVX2, see simd_level). Each instruction set gets its
// own namespace, so no inline code compiled for AVX2 can stand in for the SSE2 build.
#include "blend_simd.h"

#include "blend_ops.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pxblit::simd {

#if defined(__x86_64__)

#define PXB_AI __attribute__((always_inline))

namespace sse2_rows {
#define PXB_TGT
struct V {
    using T = __m128i;
    static constexpr int N = 8;
    PXB_AI static T ld(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    PXB_AI static void st(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    PXB_AI static T set(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
    PXB_AI static T add(T a, T b) { return _mm_add_epi16(a, b); }
    PXB_AI static T sub(T a, T b) { return _mm_sub_epi16(a, b); }
    PXB_AI static T mul(T a, T b) { return _mm_mullo_epi16(a, b); }
    PXB_AI static T and_(T a, T b) { return _mm_and_si128(a, b); }
    PXB_AI static T or_(T a, T b) { return _mm_or_si128(a, b); }
    PXB_AI static T min(T a, T b) { return _mm_min_epi16(a, b); }  // lanes hold 0 to 255
    PXB_AI static T eq(T a, T b) { return _mm_cmpeq_epi16(a, b); }
    PXB_AI static T sel(T m, T yes, T no) { return _mm_or_si128(_mm_and_si128(m, yes), _mm_andnot_si128(m, no)); }
    template <int n> PXB_AI static T srl(T a) { return _mm_srli_epi16(a, n); }
    template <int n> PXB_AI static T sll(T a) { return _mm_slli_epi16(a, n); }
    template <int n> PXB_AI static T srl32(T a) { return _mm_srli_epi32(a, n); }
    PXB_AI static T and32(T a, int m) { return _mm_and_si128(a, _mm_set1_epi32(m)); }
    // 32-bit lanes below 0x8000 to 16-bit lanes, in order.
    PXB_AI static T pack32(T lo, T hi) { return _mm_packs_epi32(lo, hi); }
};
#include "blend_rows.inl"
#undef PXB_TGT
}  // namespace sse2_rows

namespace avx2_rows {
#define PXB_TGT __attribute__((target("avx2")))
struct V {
    using T = __m256i;
    static constexpr int N = 16;
    PXB_TGT PXB_AI static T ld(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    PXB_TGT PXB_AI static void st(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    PXB_TGT PXB_AI static T set(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    PXB_TGT PXB_AI static T add(T a, T b) { return _mm256_add_epi16(a, b); }
    PXB_TGT PXB_AI static T sub(T a, T b) { return _mm256_sub_epi16(a, b); }
    PXB_TGT PXB_AI static T mul(T a, T b) { return _mm256_mullo_epi16(a, b); }
    PXB_TGT PXB_AI static T and_(T a, T b) { return _mm256_and_si256(a, b); }
    PXB_TGT PXB_AI static T or_(T a, T b) { return _mm256_or_si256(a, b); }
    PXB_TGT PXB_AI static T min(T a, T b) { return _mm256_min_epu16(a, b); }
    PXB_TGT PXB_AI static T eq(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
    PXB_TGT PXB_AI static T sel(T m, T yes, T no) { return _mm256_blendv_epi8(no, yes, m); }
    template <int n> PXB_TGT PXB_AI static T srl(T a) { return _mm256_srli_epi16(a, n); }
    template <int n> PXB_TGT PXB_AI static T sll(T a) { return _mm256_slli_epi16(a, n); }
    template <int n> PXB_TGT PXB_AI static T srl32(T a) { return _mm256_srli_epi32(a, n); }
    PXB_TGT PXB_AI static T and32(T a, int m) { return _mm256_and_si256(a, _mm256_set1_epi32(m)); }
    PXB_TGT PXB_AI static T pack32(T lo, T hi) { return _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8); }

    // Eight 3-byte pixels (alpha byte, then a 565 word) from two 16-byte loads at p and p + 8,
    // which together end at the eighth pixel's last byte.
    PXB_TGT PXB_AI static void load8_a565(const uint8_t* p, __m128i& w, __m128i& a) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
        const __m128i w_lo = _mm_setr_epi8(1, 2, 4, 5, 7, 8, 10, 11, 13, 14, -1, -1, -1, -1, -1, -1);
        const __m128i w_hi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, 9, 11, 12, 14, 15);
        const __m128i a_lo = _mm_setr_epi8(0, -1, 3, -1, 6, -1, 9, -1, 12, -1, -1, -1, -1, -1, -1, -1);
        const __m128i a_hi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, -1, 10, -1, 13, -1);
        w = _mm_or_si128(_mm_shuffle_epi8(lo, w_lo), _mm_shuffle_epi8(hi, w_hi));
        a = _mm_or_si128(_mm_shuffle_epi8(lo, a_lo), _mm_shuffle_epi8(hi, a_hi));
    }
    PXB_TGT PXB_AI static void load_a565(const uint8_t* p, T& w, T& a) {
        __m128i w0, a0, w1, a1;
        load8_a565(p, w0, a0);
        load8_a565(p + 24, w1, a1);
        w = _mm256_inserti128_si256(_mm256_castsi128_si256(w0), w1, 1);
        a = _mm256_inserti128_si256(_mm256_castsi128_si256(a0), a1, 1);
    }
};
#define PXB_BYTE_SHUFFLE
#include "blend_rows.inl"
#undef PXB_BYTE_SHUFFLE
#undef PXB_TGT
}  // namespace avx2_rows

#undef PXB_AI

#define PXB_ROWS(...) __VA_ARGS__::tail, sse2_rows::rows<sse2_rows::__VA_ARGS__>, avx2_rows::rows<avx2_rows::__VA_ARGS__>
#define PXB_ROWS_AVX2(...) avx2_rows::__VA_ARGS__::tail, nullptr, avx2_rows::rows<avx2_rows::__VA_ARGS__>

using sse2_rows::Alpha16;  // the tails are the same reference rows in both namespaces
const PairKernel alpha16[2][2] = {
    {{PXB_ROWS(Alpha16<false, false>)}, {PXB_ROWS(Alpha16<false, true>)}},
    {{PXB_ROWS(Alpha16<true, false>)}, {PXB_ROWS(Alpha16<true, true>)}},
};
using sse2_rows::Alpha32;
using sse2_rows::Alpha4444;
using sse2_rows::Sprite32;
using sse2_rows::Sprite4444;
const PairKernel alpha32[2] = {{PXB_ROWS(Alpha32<false>)}, {PXB_ROWS(Alpha32<true>)}};
const PairKernel alpha4444[2] = {{PXB_ROWS(Alpha4444<false>)}, {PXB_ROWS(Alpha4444<true>)}};
const PairKernel alpha_a565{PXB_ROWS_AVX2(A565<true>)};
const PairKernel sprite32[2] = {{PXB_ROWS(Sprite32<false>)}, {PXB_ROWS(Sprite32<true>)}};
const PairKernel sprite4444[2] = {{PXB_ROWS(Sprite4444<false>)}, {PXB_ROWS(Sprite4444<true>)}};
const PairKernel sprite_a565{PXB_ROWS_AVX2(A565<false>)};

#undef PXB_ROWS
#undef PXB_ROWS_AVX2

#else

const PairKernel alpha16[2][2] = {
    {{pixel_row<alpha_pixel<T_555, T_555>, T_555, T_555>}, {pixel_row<alpha_pixel<T_555, T_565>, T_555, T_565>}},
    {{pixel_row<alpha_pixel<T_565, T_555>, T_565, T_555>}, {pixel_row<alpha_pixel<T_565, T_565>, T_565, T_565>}},
};
const PairKernel alpha32[2] = {{pixel_row<alpha_pixel<T_A8888, T_555>, T_A8888, T_555>},
                               {pixel_row<alpha_pixel<T_A8888, T_565>, T_A8888, T_565>}};
const PairKernel alpha4444[2] = {{pixel_row<alpha_pixel<T_4444, T_555>, T_4444, T_555>},
                                 {pixel_row<alpha_pixel<T_4444, T_565>, T_4444, T_565>}};
const PairKernel alpha_a565{pixel_row<alpha_pixel<T_A565, T_565>, T_A565, T_565>};
const PairKernel sprite32[2] = {{pixel_row<sprite_blend_pixel<T_A8888, T_555>, T_A8888, T_555>},
                                {pixel_row<sprite_blend_pixel<T_A8888, T_565>, T_A8888, T_565>}};
const PairKernel sprite4444[2] = {{pixel_row<sprite_blend_pixel<T_4444, T_555>, T_4444, T_555>},
                                  {pixel_row<sprite_blend_pixel<T_4444, T_565>, T_4444, T_565>}};
const PairKernel sprite_a565{pixel_row<sprite_blend_pixel<T_A565, T_565>, T_A565, T_565>};

#endif

}  // namespace pxblit::simd
