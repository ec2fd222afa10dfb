// The dispatchers of CopyRectTranspAlpha and CopyRectTransparent0. CopyRectTransparent0 exists
// twice: the second entry (CopyRectTransp0dup) gives the same results but has no busy flag, so a
// worker thread can draw with it while the first is busy elsewhere. Each call keeps its geometry in
// locals; only the busy flags and the types of the latest call (for the report exports) are shared.
#include "blend_ops.h"
#include "blit_api.h"
#include "pannix/pxblit.h"

namespace pxblit {

namespace {

BusyFlag g_alpha_busy, g_sprite_busy;
std::atomic<void (*)()> g_sprite_busy_hook{nullptr};

// Types of the latest call of each dispatcher, for the report routines.
struct LastPair {
    std::atomic<int> src{0}, dst{0};
    void set(const PxMap* s, const PxMap* d) {
        src.store(s->type, std::memory_order_relaxed);
        dst.store(d->type, std::memory_order_relaxed);
    }
    void report(const char* function) const {
        report_unsupported(function, src.load(std::memory_order_relaxed), dst.load(std::memory_order_relaxed));
    }
};
LastPair g_alpha_last, g_sprite_last, g_dup_last;

// A user word of 1 to 6 is a mode code, not a palette.
const uint32_t* palette_of(uintptr_t user) { return user > 6 ? reinterpret_cast<const uint32_t*>(user) : nullptr; }

// Steps 4 to 7 of a call: fill, clip, look up, then run or report. `lookup` gives the pair's
// kernel (null: report); `prepare` completes the row context and returns false to draw nothing.
template <class Lookup, class Prepare>
void run_call(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy, int32_t width,
              int32_t height, const char* function, LastPair& last, Lookup lookup, Prepare prepare) {
    PxBlitState st;
    fill_state(st, dst, dx, dy, src, sx, sy, width, height);
    last.set(src, dst);
    if (!CopyRectClip(st)) return;
    const PairKernel* k = lookup(st);
    if (k == nullptr) {
        report_unsupported(function, src->type, dst->type);
        return;
    }
    if (st.src_pixels == nullptr || st.dst_pixels == nullptr) return;
    RowCtx c;
    if (src->type == T_I8 && dst->type != T_I8) {
        c.palette = palette_of(st.palette);
        if (c.palette == nullptr) return;  // no palette: nothing to draw
    }
    if (!prepare(st, c)) return;
    run_rows(st, pick(*k), pixel_bytes(src->type), pixel_bytes(dst->type), c);
}

void transparent0_call(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                       int32_t width, int32_t height, LastPair& last) {
    auto lookup = [](const PxBlitState& st) { return transparent0_pair(st.src->type, st.dst->type, st.palette); };
    auto prepare = [](const PxBlitState& st, RowCtx& c) {
        c.mode = st.palette;
        if (st.src->type == T_565 && st.palette > 6) {
            // The mask: one byte per source pixel, rows padded to 4 bytes; the clip has already
            // moved the mode word on by sx.
            c.mask_row = (static_cast<ptrdiff_t>(st.src->width) + 3) & ~ptrdiff_t{3};
            c.mask = reinterpret_cast<const uint8_t*>(st.mode) + st.sy * c.mask_row;
        }
        return true;
    };
    run_call(dst, dx, dy, src, sx, sy, width, height, "CopyRectTransparent0", last, lookup, prepare);
}

}  // namespace

BusyFlag& transp_alpha_busy() { return g_alpha_busy; }
BusyFlag& transparent0_busy() { return g_sprite_busy; }
void set_transparent0_busy_hook(void (*hook)()) { g_sprite_busy_hook.store(hook, std::memory_order_release); }

void copy_rect_transp_alpha(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height, uint32_t alpha) {
    if (dst == nullptr || src == nullptr) return;
    g_alpha_busy.acquire();
    auto lookup = [](const PxBlitState& st) { return transp_alpha_pair(st.src->type, st.dst->type); };
    auto prepare = [alpha](const PxBlitState&, RowCtx& c) {
        c.alpha = alpha & 0xFF;
        return true;
    };
    run_call(dst, dx, dy, src, sx, sy, width, height, "CopyRectTranspAlpha", g_alpha_last, lookup, prepare);
    g_alpha_busy.release();
}

void copy_rect_transparent0(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height) {
    if (dst == nullptr || src == nullptr) return;
    g_sprite_busy.acquire();
    if (auto hook = g_sprite_busy_hook.load(std::memory_order_acquire)) hook();
    transparent0_call(dst, dx, dy, src, sx, sy, width, height, g_sprite_last);
    g_sprite_busy.release();
}

void copy_rect_transp0_dup(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                           int32_t width, int32_t height) {
    if (dst == nullptr || src == nullptr) return;
    transparent0_call(dst, dx, dy, src, sx, sy, width, height, g_dup_last);
}

}  // namespace pxblit

using namespace pxblit;

namespace {
// Runs `fn` on views of both records when neither is null.
template <class Fn>
void with_views(const br_pixelmap* dst, const br_pixelmap* src, Fn fn) {
    if (dst == nullptr || src == nullptr) return;
    const PxMap d = view(dst), s = view(src);
    fn(&d, &s);
}
}  // namespace

PANNIX_API void CopyRectTranspAlpha(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                    int32_t sy, int32_t width, int32_t height, uint32_t alpha) {
    with_views(dst, src, [&](const PxMap* d, const PxMap* s) {
        copy_rect_transp_alpha(d, dx, dy, s, sx, sy, width, height, alpha);
    });
}

PANNIX_API void CopyRectTransparent0(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                     int32_t sy, int32_t width, int32_t height) {
    with_views(dst, src,
               [&](const PxMap* d, const PxMap* s) { copy_rect_transparent0(d, dx, dy, s, sx, sy, width, height); });
}

PANNIX_API void CopyRectTransp0dup(br_pixelmap* dst, int32_t dx, int32_t dy, br_pixelmap* src, int32_t sx,
                                   int32_t sy, int32_t width, int32_t height) {
    with_views(dst, src,
               [&](const PxMap* d, const PxMap* s) { copy_rect_transp0_dup(d, dx, dy, s, sx, sy, width, height); });
}

PANNIX_API void CopyRectTranspAlphaUnsupported(void) { g_alpha_last.report("CopyRectTranspAlpha"); }

PANNIX_API void CopyRectTransparent0Unsupported(void) { g_sprite_last.report("CopyRectTransparent0"); }
