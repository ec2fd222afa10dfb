// The portable blitters: one pixel size, no conversion. They clip against both maps and address
// both through their bases, so no call reads or writes outside either map; a source of another
// pixel size is refused and the refusal reported once per call.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "blit_api.h"
#include "blit_core.h"
#include "pixel_ops.h"

namespace pxblit {

namespace {

std::atomic<RefusalReport> g_refusal_report{nullptr};

// One report per refused call: the source would be stepped at another pixel size than the
// destination's, which would read past its rows, so nothing is drawn.
void refuse_sizes(const char* who, const PxMap& dst, const PxMap& src) {
    const RefusalReport report = g_refusal_report.load(std::memory_order_acquire);
    if (report == nullptr) return;
    char text[160];
    std::snprintf(text, sizeof text, "%s: source pixel type %d differs in size from destination type %d; nothing drawn",
                  who, src.type, dst.type);
    report(text);
}

bool zero_pixel(const uint8_t* s, int b) {
    for (int i = 0; i < b; ++i)
        if (s[i] != 0) return false;
    return true;
}

struct Walk {
    const uint8_t* s;  // source pixel feeding destination column 0 of the first row
    uint8_t* d;
    ptrdiff_t s_row, d_row;  // steps between rows
    ptrdiff_t s_col;         // step between columns (negative when mirrored)
    int w, h, b;
};

// Clips against the destination in the fixed order, then against the source; a mirrored axis
// takes its cuts from the other end of the source.
bool clip_portable(const PxMap& dst, const PxMap& src, int64_t& dx, int64_t& dy, int64_t& sx, int64_t& sy,
                   int64_t& w, int64_t& h, int mirror) {
    const bool mh = (mirror & FlipH) != 0, mv = (mirror & FlipV) != 0;
    if (dx < 0) { if (-dx >= w) return false; w += dx; if (!mh) sx -= dx; dx = 0; }
    if (dy < 0) { if (-dy >= h) return false; h += dy; if (!mv) sy -= dy; dy = 0; }
    if (dx + w > dst.width) { const int64_t cut = dx + w - dst.width; w -= cut; if (w <= 0) return false; if (mh) sx += cut; }
    if (dy + h > dst.height) { const int64_t cut = dy + h - dst.height; h -= cut; if (h <= 0) return false; if (mv) sy += cut; }
    if (w <= 0 || h <= 0) return false;
    if (sx < 0) { const int64_t cut = -sx; if (cut >= w) return false; w -= cut; if (!mh) dx += cut; sx = 0; }
    if (sx + w > src.width) { const int64_t cut = sx + w - src.width; if (cut >= w) return false; w -= cut; if (mh) dx += cut; }
    if (sy < 0) { const int64_t cut = -sy; if (cut >= h) return false; h -= cut; if (!mv) dy += cut; sy = 0; }
    if (sy + h > src.height) { const int64_t cut = sy + h - src.height; if (cut >= h) return false; h -= cut; if (mv) dy += cut; }
    return true;
}

// Common set-up: pixel size from the destination (the source must step the same), clip, addresses.
bool prepare(const char* who, const PxMap* dst, int32_t dx_, int32_t dy_, const PxMap* src, int32_t sx_,
             int32_t sy_, int32_t w_, int32_t h_, int mirror, Walk& k) {
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr) return false;
    const int b = pixel_bytes(dst->type);
    if (b == 0) return false;
    if (pixel_bytes(src->type) != b) {
        refuse_sizes(who, *dst, *src);
        return false;
    }
    int64_t dx = dx_, dy = dy_, sx = sx_, sy = sy_, w = w_, h = h_;
    if (!clip_portable(*dst, *src, dx, dy, sx, sy, w, h, mirror)) return false;
    const int64_t col0 = (mirror & FlipH) ? sx + w - 1 : sx;
    const int64_t row0 = (mirror & FlipV) ? sy + h - 1 : sy;
    k.b = b;
    k.w = static_cast<int>(w);
    k.h = static_cast<int>(h);
    k.s_row = (mirror & FlipV) ? -src->row_bytes : src->row_bytes;
    k.d_row = dst->row_bytes;
    k.s_col = (mirror & FlipH) ? -b : b;
    k.s = src->pixels + (row0 + src->base_y) * src->row_bytes + (col0 + src->base_x) * b;
    k.d = dst->pixels + (dy + dst->base_y) * dst->row_bytes + (dx + dst->base_x) * b;
    return true;
}

template <class Op>
void walk(const Walk& k, Op op) {
    const uint8_t* srow = k.s;
    uint8_t* drow = k.d;
    for (int y = 0; y < k.h; ++y, srow += k.s_row, drow += k.d_row) {
        const uint8_t* s = srow;
        uint8_t* d = drow;
        for (int x = 0; x < k.w; ++x, s += k.s_col, d += k.b) op(s, d);
    }
}

// Blend-table entry (row, column), or null when no usable table is set.
const uint8_t* table_origin(const PxMap* t) {
    if (t == nullptr || t->pixels == nullptr || t->width < 256 || t->height < 256) return nullptr;
    return t->pixels + static_cast<ptrdiff_t>(t->base_y) * t->row_bytes + t->base_x;
}

bool is16(int type) { return type == T_555 || type == T_565 || type == T_4444; }

}  // namespace

void set_refusal_report(RefusalReport report) { g_refusal_report.store(report, std::memory_order_release); }

void copy_rect_transparent(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                           int32_t width, int32_t height, uint32_t key) {
    if (dst == nullptr || src == nullptr) return;
    // Types above RGBA_8888 (and the sub-byte ones) are not stepped.
    if (dst->type < T_I8 || dst->type > T_A8888) return;
    const int b = pixel_bytes(dst->type);
    if (dst->pixels == nullptr || src->pixels == nullptr) return;
    if (pixel_bytes(src->type) != b) {
        refuse_sizes("CopyRectTransparent", *dst, *src);
        return;
    }
    PxBlitState st;
    fill_state(st, dst, dx, dy, src, sx, sy, width, height);
    st.mode = 0;
    st.palette = 0;
    if (!CopyRectClip(st)) return;
    RowCtx c;
    c.key = key;
    const PairKernel* k = transparent_row(b);
    run_rows(st, k ? pick(*k) : transparent_row_ref<3>, b, b, c);
}

void copy_rect_transparent0_fill(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                                 int32_t sy, int32_t width, int32_t height, uint32_t fill) {
    Walk k;
    if (!prepare("CopyRectTransparent0fill", dst, dx, dy, src, sx, sy, width, height, FlipNone, k)) return;
    const int b = k.b;
    walk(k, [b, fill](const uint8_t* s, uint8_t* d) {
        if (!zero_pixel(s, b)) std::memcpy(d, &fill, b);
    });
}

void copy_rect_translucent0(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height, uint32_t shade_row, const PxMap* table) {
    Walk k;
    if (!prepare("CopyRectTranslucent0", dst, dx, dy, src, sx, sy, width, height, FlipNone, k)) return;
    if (k.b == 1) {
        const uint8_t* t = table_origin(table);
        if (t == nullptr) return;
        const uint8_t* row = t + static_cast<ptrdiff_t>(shade_row & 0xFF) * table->row_bytes;
        walk(k, [row](const uint8_t* s, uint8_t* d) { d[0] = s[0] != 0 ? s[0] : row[d[0]]; });
    } else if (is16(dst->type)) {
        walk(k, [](const uint8_t* s, uint8_t* d) {
            const uint32_t v = ld16(s);
            st16(d, v != 0 ? v : (ld16(d) & 0x7BDE) >> 1);
        });
    }
}

void copy_rect_translucent_a(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                             int32_t sy, int32_t width, int32_t height, const PxMap* table) {
    Walk k;
    if (!prepare("CopyRectTranslucentA", dst, dx, dy, src, sx, sy, width, height, FlipNone, k)) return;
    if (k.b == 1) {
        const uint8_t* t = table_origin(table);
        if (t == nullptr) return;
        const ptrdiff_t stride = table->row_bytes;
        walk(k, [t, stride](const uint8_t* s, uint8_t* d) { d[0] = t[s[0] * stride + d[0]]; });
    } else if (is16(dst->type)) {
        walk(k, [](const uint8_t*, uint8_t* d) { st16(d, (ld16(d) & 0x7BDE) >> 1); });
    }
}

void copy_rect_flip(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                    int32_t width, int32_t height, int mirror, bool skip_zero) {
    static const char* const names[2][4] = {
        {"CopyRect", "CopyRectFlipY", "CopyRectFlipX", "CopyRectFlipXY"},
        {"CopyRectTransparent0", "CopyRectTransparent0FlipY", "CopyRectTransparent0FlipX", "CopyRectTransparent0FlipXY"},
    };
    Walk k;
    if (!prepare(names[skip_zero][mirror & 3], dst, dx, dy, src, sx, sy, width, height, mirror, k)) return;
    const int b = k.b;
    if (skip_zero) {
        walk(k, [b](const uint8_t* s, uint8_t* d) {
            if (!zero_pixel(s, b)) std::memcpy(d, s, b);
        });
    } else {
        walk(k, [b](const uint8_t* s, uint8_t* d) { std::memcpy(d, s, b); });
    }
}

void magnify_v12b(const PxMap* dst, const PxMap* src) {
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr) return;
    if (dst->width != src->width || dst->height != 2 * src->height) return;
    auto abs32 = [](int32_t v) { return static_cast<int64_t>(v < 0 ? -v : v); };
    // Each row from the map's own area to the end of its stride.
    auto room = [&](const PxMap* m) -> int64_t {
        if (m->base_x == 0) return abs32(m->row_bytes);
        const int b = pixel_bytes(m->type);
        return b == 0 ? 0 : abs32(m->row_bytes) - int64_t{m->base_x} * b;
    };
    const int64_t n = std::min(room(dst), room(src));
    if (n <= 0) return;
    auto origin = [](const PxMap* m) {
        const int b = m->base_x == 0 ? 0 : pixel_bytes(m->type);
        return m->pixels + static_cast<ptrdiff_t>(m->base_y) * m->row_bytes + static_cast<ptrdiff_t>(m->base_x) * b;
    };
    const uint8_t* s = origin(src);
    uint8_t* d = origin(dst);
    for (int y = 0; y < src->height; ++y, s += src->row_bytes, d += 2 * static_cast<ptrdiff_t>(dst->row_bytes))
        std::memcpy(d, s, static_cast<size_t>(n));
}

}  // namespace pxblit
