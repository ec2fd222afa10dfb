// The exported blitter entries: br_pixelmap records in, views to the kernels.
#include <atomic>

#include "blit_api.h"
#include "brondel/brpixmap.h"
#include "pannix/pxblit.h"

namespace pxblit {

namespace {
std::atomic<const br_pixelmap*> g_blend_table{nullptr};
}

PxMap view(const br_pixelmap* m) {
    PxMap v;
    v.pixels = static_cast<uint8_t*>(m->pixels);
    v.row_bytes = m->row_bytes;
    v.type = m->type;
    v.base_x = m->base_x;
    v.base_y = m->base_y;
    v.width = m->width;
    v.height = m->height;
    v.user = reinterpret_cast<uintptr_t>(m->user);
    return v;
}

void set_blend_table(const br_pixelmap* table) { g_blend_table.store(table, std::memory_order_release); }

}  // namespace pxblit

using namespace pxblit;

namespace {

// Views of both maps, or nothing when either is missing.
struct Pair {
    PxMap d, s;
    bool ok;
    Pair(const br_pixelmap* dst, const br_pixelmap* src) : ok(dst != nullptr && src != nullptr) {
        if (ok) { d = view(dst); s = view(src); }
    }
};

}  // namespace

PANNIX_API void CopyRectangle(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx, int32_t sy,
                              int32_t width, int32_t height) {
    Pair p(dst, src);
    if (p.ok) copy_rectangle(&p.d, dx, dy, &p.s, sx, sy, width, height);
}

PANNIX_API void CopyRectTiled(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx, int32_t sy,
                              int32_t width, int32_t height) {
    Pair p(dst, src);
    if (p.ok) copy_rect_tiled(&p.d, dx, dy, &p.s, sx, sy, width, height);
}

PANNIX_API void CopyRectTransparent(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                    int32_t sy, int32_t width, int32_t height, uint32_t key) {
    Pair p(dst, src);
    if (p.ok) copy_rect_transparent(&p.d, dx, dy, &p.s, sx, sy, width, height, key);
}

PANNIX_API void CopyRectTransparent0fill(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                         int32_t sy, int32_t width, int32_t height, uint32_t fill) {
    Pair p(dst, src);
    if (p.ok) copy_rect_transparent0_fill(&p.d, dx, dy, &p.s, sx, sy, width, height, fill);
}

PANNIX_API void CopyRectTranslucent0(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                     int32_t sy, int32_t width, int32_t height, uint32_t shade_row) {
    Pair p(dst, src);
    if (!p.ok) return;
    const br_pixelmap* t = g_blend_table.load(std::memory_order_acquire);
    const PxMap tv = t ? view(t) : PxMap{};
    copy_rect_translucent0(&p.d, dx, dy, &p.s, sx, sy, width, height, shade_row, t ? &tv : nullptr);
}

PANNIX_API void CopyRectTranslucentA(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                     int32_t sy, int32_t width, int32_t height) {
    Pair p(dst, src);
    if (!p.ok) return;
    const br_pixelmap* t = g_blend_table.load(std::memory_order_acquire);
    const PxMap tv = t ? view(t) : PxMap{};
    copy_rect_translucent_a(&p.d, dx, dy, &p.s, sx, sy, width, height, t ? &tv : nullptr);
}

#define PXB_FLIP(name, mirror, skip)                                                                          \
    PANNIX_API void name(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx, int32_t sy, \
                         int32_t width, int32_t height) {                                                    \
        Pair p(dst, src);                                                                                    \
        if (p.ok) copy_rect_flip(&p.d, dx, dy, &p.s, sx, sy, width, height, mirror, skip);                   \
    }
PXB_FLIP(CopyRectFlipY, FlipH, false)
PXB_FLIP(CopyRectFlipX, FlipV, false)
PXB_FLIP(CopyRectFlipXY, FlipH | FlipV, false)
PXB_FLIP(CopyRectTransparent0FlipY, FlipH, true)
PXB_FLIP(CopyRectTransparent0FlipX, FlipV, true)
PXB_FLIP(CopyRectTransparent0FlipXY, FlipH | FlipV, true)
#undef PXB_FLIP

PANNIX_API void MagnifyPixV12b(br_pixelmap* dst, br_pixelmap* src) {
    Pair p(dst, src);
    if (p.ok) magnify_v12b(&p.d, &p.s);
}
