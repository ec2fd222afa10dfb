// The CopyRectangle pair table: 16 rows of source types 3 to 18, 16 destination types each.
#include <array>

#include "pixel_ops.h"
#include "simd.h"

namespace pxblit {
namespace {

template <int S, int D>
constexpr PairKernel plain{convert_row_ref<S, D>, nullptr, nullptr};

using Table = std::array<const PairKernel*, 256>;

constexpr int slot(int s, int d) { return (d - 3) + (s - 3) * 16; }

template <int S, int... Ds>
constexpr void fill_row(Table& t) {
    ((t[slot(S, Ds)] = &plain<S, Ds>), ...);
}

constexpr Table make_table() {
    Table t{};
    fill_row<T_I8, T_I8, T_555, T_565, T_888, T_X888, T_A8888, T_4444>(t);
    fill_row<T_555, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444>(t);
    fill_row<T_565, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444>(t);
    fill_row<T_888, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444>(t);
    fill_row<T_X888, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444>(t);
    fill_row<T_A8888, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444>(t);
    fill_row<T_A565, T_555, T_565, T_888, T_X888, T_A8888, T_A565>(t);
    fill_row<T_4444, T_555, T_565, T_888, T_X888, T_A8888, T_4444>(t);
    return t;
}

constexpr Table kPlain = make_table();

}  // namespace

const PairKernel* copy_pair(int s, int d) {
    if (s < 3 || s > 18 || d < 3 || d > 18) return nullptr;
    // The hot pairs have vector rows.
    if (d == T_565) {
        if (s == T_565) return &simd::k565_565;
        if (s == T_555) return &simd::k555_565;
        if (s == T_X888 || s == T_A8888) return &simd::k32_565;
    } else if (d == T_555) {
        if (s == T_565) return &simd::k565_555;
        if (s == T_X888 || s == T_A8888) return &simd::k32_555;
    }
    return kPlain[slot(s, d)];
}

const PairKernel* transparent_row(int bytes) {
    switch (bytes) {
    case 1: return &simd::transp8;
    case 2: return &simd::transp16;
    case 4: return &simd::transp32;
    default: return nullptr;
    }
}

}  // namespace pxblit
