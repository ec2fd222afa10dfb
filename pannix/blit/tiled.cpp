// CopyRectTiled: repeats a source over a destination area, the pattern fixed to destination
// coordinates, one CopyRectangle call per piece.
#include <algorithm>

#include "blit_core.h"

namespace pxblit {

namespace {
int64_t floor_mod(int64_t a, int64_t m) {
    const int64_t r = a % m;
    return r < 0 ? r + m : r;
}
}  // namespace

void copy_rect_tiled(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                     int32_t width, int32_t height) {
    if (dst == nullptr || src == nullptr) return;
    const int64_t W = src->width, H = src->height;
    if (W == 0 || H == 0) return;  // nothing to repeat
    if (copy_pair(src->type, dst->type) == nullptr) {
        // One report for the whole area, not one per piece.
        copy_rectangle(dst, dx, dy, src, 0, 0, width, height);
        return;
    }
    // Pieces outside the destination draw nothing, so the walk covers only its area.
    const int64_t x0 = std::max<int64_t>(dx, 0), y0 = std::max<int64_t>(dy, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{dx} + width, dst->width);
    const int64_t y1 = std::min<int64_t>(int64_t{dy} + height, dst->height);
    for (int64_t y = y0; y < y1;) {
        const int64_t ty = floor_mod(y + sy, H);
        const int64_t band = std::min(H - ty, y1 - y);
        for (int64_t x = x0; x < x1;) {
            const int64_t tx = floor_mod(x + sx, W);
            const int64_t piece = std::min(W - tx, x1 - x);
            copy_rectangle(dst, static_cast<int32_t>(x), static_cast<int32_t>(y), src, static_cast<int32_t>(tx),
                           static_cast<int32_t>(ty), static_cast<int32_t>(piece), static_cast<int32_t>(band));
            x += piece;
        }
        y += band;
    }
}

}  // namespace pxblit
