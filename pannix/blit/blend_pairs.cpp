// The pair tables of CopyRectTranspAlpha and CopyRectTransparent0: 16 rows of source types 3 to
// 18, 8 destination types (3 to 10) each. Empty cells are reported by the dispatcher.
#include <array>

#include "blend_ops.h"
#include "blend_simd.h"
#include "simd.h"

namespace pxblit {
namespace {

using Table = std::array<const PairKernel*, 128>;

constexpr int slot(int s, int d) { return (d - 3) + (s - 3) * 8; }

template <auto Row>
constexpr PairKernel scalar{Row, nullptr, nullptr};

constexpr PairKernel kNothing{draw_nothing_row, nullptr, nullptr};

template <int S, int D>
constexpr const PairKernel* key0() {
    // Same-size copies without conversion compare whole pixels against 0.
    if constexpr (S == D && S == T_I8) return &simd::transp8;
    else if constexpr (S == D && (S == T_555 || S == T_565)) return &simd::transp16;
    else if constexpr (S == T_X888 && (D == T_X888 || D == T_A8888)) return &simd::transp32;
    else return &scalar<pixel_row<key0_pixel<S, D>, S, D>>;
}

template <int S, int D>
constexpr const PairKernel* alpha_blend() {
    if constexpr (D == T_565 || D == T_555) {
        constexpr int to565 = D == T_565;
        if constexpr (S == T_555 || S == T_565) return &simd::alpha16[S == T_565][to565];
        else if constexpr (S == T_A8888) return &simd::alpha32[to565];
        else if constexpr (S == T_4444) return &simd::alpha4444[to565];
        else if constexpr (S == T_A565 && D == T_565) return &simd::alpha_a565;
    }
    return &scalar<pixel_row<alpha_pixel<S, D>, S, D>>;
}

template <int S, int D>
constexpr const PairKernel* sprite_blend() {
    if constexpr (D == T_565 || D == T_555) {
        constexpr int to565 = D == T_565;
        if constexpr (S == T_A8888) return &simd::sprite32[to565];
        else if constexpr (S == T_4444) return &simd::sprite4444[to565];
        else if constexpr (S == T_A565 && D == T_565) return &simd::sprite_a565;
    }
    return &scalar<pixel_row<sprite_blend_pixel<S, D>, S, D>>;
}

template <int S, int... Ds>
constexpr void key0_row(Table& t) {
    ((t[slot(S, Ds)] = key0<S, Ds>()), ...);
}
template <int S, int... Ds>
constexpr void alpha_row(Table& t) {
    ((t[slot(S, Ds)] = alpha_blend<S, Ds>()), ...);
}
template <int S, int... Ds>
constexpr void sprite_row(Table& t) {
    ((t[slot(S, Ds)] = sprite_blend<S, Ds>()), ...);
}

// The INDEX_8 rows are shared by both families.
constexpr void index8_row(Table& t) { key0_row<T_I8, T_I8, T_555, T_565, T_888, T_X888, T_A8888>(t); }

constexpr Table make_alpha() {
    Table t{};
    index8_row(t);
    alpha_row<T_555, T_555, T_565, T_888, T_X888, T_A8888>(t);
    alpha_row<T_565, T_555, T_565, T_888, T_X888, T_A8888>(t);
    alpha_row<T_888, T_555, T_565, T_888>(t);
    alpha_row<T_A8888, T_555, T_565, T_888, T_X888, T_A8888>(t);
    alpha_row<T_A565, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    alpha_row<T_4444, T_555, T_565>(t);
    // Accepted pairs that draw nothing.
    for (int d : {T_X888, T_A8888}) t[slot(T_888, d)] = &kNothing;
    for (int d : {T_555, T_565, T_888, T_X888, T_A8888}) t[slot(T_X888, d)] = &kNothing;
    for (int d : {T_888, T_X888, T_A8888}) t[slot(T_4444, d)] = &kNothing;
    return t;
}

constexpr Table make_sprite() {
    Table t{};
    index8_row(t);
    key0_row<T_555, T_555, T_565, T_888, T_X888, T_A8888>(t);
    key0_row<T_565, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    key0_row<T_888, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    key0_row<T_X888, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    sprite_row<T_A8888, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    sprite_row<T_4444, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    sprite_row<T_A565, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    return t;
}

constexpr Table kAlpha = make_alpha();
constexpr Table kSprite = make_sprite();

constexpr PairKernel kHalf{pixel_row<half_pixel, T_565, T_565>, nullptr, nullptr};
constexpr PairKernel kOpaqueWord{pixel_row<opaque_word_pixel, T_565, T_A565>, nullptr, nullptr};
constexpr PairKernel kMask555{mask_row<T_555>, nullptr, nullptr};
constexpr PairKernel kMask565{mask_row<T_565>, nullptr, nullptr};
constexpr PairKernel kMaskA565{mask_row<T_A565>, nullptr, nullptr};

bool in_range(int s, int d) { return s >= 3 && s <= 18 && d >= 3 && d <= 10; }

}  // namespace

const PairKernel* transp_alpha_pair(int s, int d) { return in_range(s, d) ? kAlpha[slot(s, d)] : nullptr; }

const PairKernel* transparent0_pair(int s, int d, uintptr_t user) {
    if (!in_range(s, d)) return nullptr;
    if (s == T_565) {
        // The user word of an RGB_565 source: above 6 the address of a mask; 4 halves into
        // RGB_565; 2 copies colours into type 10. Other codes copy as 0 does.
        if (user > 6) {
            if (d == T_555) return &kMask555;
            if (d == T_565) return &kMask565;
            if (d == T_A565) return &kMaskA565;
        } else if (user == 4 && d == T_565) {
            return &kHalf;
        } else if (user == 2 && d == T_A565) {
            return &kOpaqueWord;
        }
    }
    return kSprite[slot(s, d)];
}

}  // namespace pxblit
