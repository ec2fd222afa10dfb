// The CopyRectangle dispatcher: busy flag, clip, pair lookup, the unsupported-pair report and the
// cycle count of the one timed kernel.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <x86intrin.h>

#include "blit_core.h"
#include "pannix/pxblit.h"
#include "pixel_ops.h"
#include "win32/winmisc.h"
#include "win32/wintime.h"

namespace pxblit {

namespace {
BusyFlag g_copy_busy;
std::atomic<uint32_t> g_perf{0};
// Types of the latest CopyRectangle call, for the exported report routine.
std::atomic<int> g_last_src{0}, g_last_dst{0};

SimdLevel detect() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
    return SimdLevel::Sse2;
#else
    return SimdLevel::Scalar;
#endif
}
std::atomic<int> g_level{-1};
}  // namespace

SimdLevel simd_supported() {
    static const SimdLevel level = detect();
    return level;
}

SimdLevel simd_level() {
    int l = g_level.load(std::memory_order_relaxed);
    if (l < 0) {
        l = static_cast<int>(simd_supported());
        g_level.store(l, std::memory_order_relaxed);
    }
    return static_cast<SimdLevel>(l);
}

void set_simd_level(SimdLevel level) {
    const int cap = static_cast<int>(simd_supported());
    const int want = static_cast<int>(level);
    g_level.store(want < cap ? want : cap, std::memory_order_relaxed);
}

RowFn pick(const PairKernel& k) {
    switch (simd_level()) {
    case SimdLevel::Avx2: if (k.avx2) return k.avx2; [[fallthrough]];
    case SimdLevel::Sse2: if (k.sse2) return k.sse2; [[fallthrough]];
    default: return k.ref;
    }
}

BusyFlag& copy_rectangle_busy() { return g_copy_busy; }

void BusyFlag::acquire() {
    // Waits for the running call, at most 1000 ms, then goes on regardless.
    // A free flag costs no clock reading (under the virtual clock every reading counts).
    int expected = 0;
    if (flag_.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) return;
    // Short waits spin; longer ones poll once a millisecond.
    const DWORD start = timeGetTime();
    for (int polls = 0; flag_.load(std::memory_order_acquire) != 0; ++polls) {
        if (static_cast<DWORD>(timeGetTime() - start) > 1000) break;
        if (polls < 256) std::this_thread::yield();
        else Sleep(1);
    }
    flag_.store(1, std::memory_order_release);
}

void fill_state(PxBlitState& st, const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                int32_t sy, int32_t width, int32_t height) {
    st = PxBlitState{};
    st.dst = dst;
    st.src = src;
    st.dx = dx;
    st.dy = dy;
    st.dst_width = dst->width;
    st.dst_height = dst->height;
    st.dst_base_x = dst->base_x;
    st.dst_base_y = dst->base_y;
    st.sx = sx;
    st.sy = sy;
    st.src_width = src->width;
    st.src_height = src->height;
    st.src_base_x = src->base_x;
    st.src_base_y = src->base_y;
    st.dst_pixels = dst->pixels;
    st.src_pixels = src->pixels;
    st.palette = src->user;
    st.mode = src->user;
    st.width = width;
    st.height = height;
    st.dst_row_bytes = dst->row_bytes;
    st.src_row_bytes = src->row_bytes;
}

bool CopyRectClip(PxBlitState& st) {
    // 64-bit sums: coordinates near the 32-bit limits must not overflow.
    int64_t sx = st.sx, sy = st.sy, dx = st.dx, dy = st.dy, w = st.width, h = st.height;
    const int64_t sw = st.src_width, sh = st.src_height, dw = st.dst_width, dh = st.dst_height;
    if (sx < 0) { w += sx; if (w <= 0) return false; dx -= sx; sx = 0; }
    if (sx + w > sw) { w = sw - sx; if (w <= 0) return false; }
    if (sy < 0) { h += sy; if (h <= 0) return false; dy -= sy; sy = 0; }
    if (sy + h > sh) { h = sh - sy; if (h <= 0) return false; }
    if (dx < 0) { w += dx; if (w <= 0) return false; sx -= dx; dx = 0; }
    if (dx + w > dw) { w = dw - dx; if (w <= 0) return false; }
    if (dy < 0) { h += dy; if (h <= 0) return false; sy -= dy; dy = 0; }
    if (dy + h > dh) { h = dh - dy; if (h <= 0) return false; }
    if (w <= 0 || h <= 0) return false;
    st.sx = static_cast<int32_t>(sx);
    st.sy = static_cast<int32_t>(sy);
    st.dx = static_cast<int32_t>(dx);
    st.dy = static_cast<int32_t>(dy);
    st.width = static_cast<int32_t>(w);
    st.height = static_cast<int32_t>(h);
    if (st.mode > 6) {
        st.mode += static_cast<uintptr_t>(sx);
        st.src_skip = static_cast<int32_t>(sw - w);
    }
    return true;
}

namespace {
void next_mask_row(RowCtx& c) {
    if (c.mask != nullptr) c.mask += c.mask_row;
}
}  // namespace

void run_rows(const PxBlitState& st, RowFn fn, int sb, int db, const RowCtx& c) {
    // fn null: the pixels are moved unchanged.
    const uint8_t* s = st.src_pixels + static_cast<ptrdiff_t>(st.sy + st.src_base_y) * st.src_row_bytes +
                       static_cast<ptrdiff_t>(st.sx + st.src_base_x) * sb;
    uint8_t* d = st.dst_pixels + static_cast<ptrdiff_t>(st.dy + st.dst_base_y) * st.dst_row_bytes +
                 static_cast<ptrdiff_t>(st.dx + st.dst_base_x) * db;
    const ptrdiff_t srow = st.src_row_bytes, drow = st.dst_row_bytes;
    const int w = st.width, h = st.height;
    const ptrdiff_t sbytes = static_cast<ptrdiff_t>(w) * sb, dbytes = static_cast<ptrdiff_t>(w) * db;

    // Byte spans of both rectangles; a copy within one block reads its source first.
    auto span = [h](const uint8_t* first, ptrdiff_t row, ptrdiff_t bytes) {
        const uintptr_t a = reinterpret_cast<uintptr_t>(first);
        const uintptr_t b = reinterpret_cast<uintptr_t>(first + (h - 1) * row);
        return std::pair{a < b ? a : b, (a < b ? b : a) + static_cast<uintptr_t>(bytes)};
    };
    const auto [slo, shi] = span(s, srow, sbytes);
    const auto [dlo, dhi] = span(d, drow, dbytes);
    if (slo < dhi && dlo < shi) {
        std::vector<uint8_t> copy(static_cast<size_t>(sbytes) * h);
        for (int y = 0; y < h; ++y) std::memcpy(copy.data() + y * sbytes, s + y * srow, sbytes);
        RowCtx rc = c;
        for (int y = 0; y < h; ++y, next_mask_row(rc)) {
            if (fn) fn(copy.data() + y * sbytes, d + y * drow, w, rc);
            else std::memcpy(d + y * drow, copy.data() + y * sbytes, sbytes);
        }
        return;
    }
    // Same-type copies of whole blocks go in one move.
    if (fn == nullptr) {
        if (srow == sbytes && drow == dbytes) {
            std::memcpy(d, s, static_cast<size_t>(sbytes) * h);
        } else {
            for (int y = 0; y < h; ++y, s += srow, d += drow) std::memcpy(d, s, sbytes);
        }
        return;
    }
    RowCtx rc = c;
    for (int y = 0; y < h; ++y, s += srow, d += drow, next_mask_row(rc)) fn(s, d, w, rc);
}

void report_unsupported(const char* function, int src_type, int dst_type) {
    PxWarningBox("The combination of pixelmap types (%d to %d) is not supported by function '%s'", src_type,
                 dst_type, function);
}

void copy_rectangle(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                    int32_t width, int32_t height) {
    if (dst == nullptr || src == nullptr) return;
    g_copy_busy.acquire();
    PxBlitState st;
    fill_state(st, dst, dx, dy, src, sx, sy, width, height);
    g_last_src.store(src->type, std::memory_order_relaxed);
    g_last_dst.store(dst->type, std::memory_order_relaxed);
    if (CopyRectClip(st)) {
        const PairKernel* k = copy_pair(src->type, dst->type);
        if (k == nullptr) {
            report_unsupported("CopyRectangle", src->type, dst->type);
        } else if (st.src_pixels != nullptr && st.dst_pixels != nullptr) {
            RowCtx c;
            c.mode = st.palette;
            const int sb = pixel_bytes(src->type), db = pixel_bytes(dst->type);
            const bool palette_pair = src->type == T_I8 && dst->type != T_I8;
            // A user word of 1 to 6 is a mode code, not a palette: such maps draw nothing.
            if (palette_pair) c.palette = st.palette > 6 ? reinterpret_cast<const uint32_t*>(st.palette) : nullptr;
            const bool same_bytes = src->type == dst->type && !(src->type == T_565 && st.palette == 4);
            if (palette_pair && c.palette == nullptr) {
                // nothing to draw
            } else if (same_bytes) {
                run_rows(st, nullptr, sb, db, c);
            } else if ((src->type == T_X888 || src->type == T_A8888) && dst->type == T_565) {
                const uint64_t t0 = __rdtsc();
                run_rows(st, pick(*k), sb, db, c);
                g_perf.store(static_cast<uint32_t>(__rdtsc() - t0), std::memory_order_relaxed);
            } else {
                run_rows(st, pick(*k), sb, db, c);
            }
        }
    }
    g_copy_busy.release();
}

uint32_t get_perf() { return g_perf.load(std::memory_order_relaxed); }

}  // namespace pxblit

using namespace pxblit;

PANNIX_API int PxWarningBox(const char* format, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return MessageBoxA(nullptr, text, "Warning", MB_OK | MB_ICONEXCLAMATION);
}

PANNIX_API void CopyRectangleUnsupported(void) {
    report_unsupported("CopyRectangle", g_last_src.load(std::memory_order_relaxed),
                       g_last_dst.load(std::memory_order_relaxed));
}

PANNIX_API uint32_t getPerf(void) { return get_perf(); }

PANNIX_API void PxFastMemCpy(void* dst, const void* src, uint32_t count) {
    if (count != 0) std::memmove(dst, src, count);
}
