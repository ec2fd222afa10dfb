// The blitters' own view of a pixel map and of one call's geometry. The exported entries turn
// br_pixelmap records into PxMap views; everything below works on views, so kernels and their tests
// need no pixel-map library.
#ifndef PANNIX_BLIT_CORE_H
#define PANNIX_BLIT_CORE_H

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace pxblit {

enum : int {
    T_I8 = 3,     // BR_PMT_INDEX_8
    T_555 = 4,    // BR_PMT_RGB_555
    T_565 = 5,    // BR_PMT_RGB_565
    T_888 = 6,    // BR_PMT_RGB_888
    T_X888 = 7,   // BR_PMT_RGBX_888
    T_A8888 = 8,  // BR_PMT_RGBA_8888
    T_A565 = 10,  // PX_PMT_RGB565_ALPHA8
    T_4444 = 18,  // PX_PMT_ARGB_4444
};

// Bytes a pixel as the kernels step them; 0 for types no blitter steps.
constexpr int pixel_bytes(int type) {
    switch (type) {
    case T_I8: return 1;
    case T_555: case T_565: case T_4444: return 2;
    case T_888: case T_A565: return 3;
    case T_X888: case T_A8888: return 4;
    default: return 0;
    }
}

struct PxMap {
    uint8_t* pixels = nullptr;
    int32_t row_bytes = 0;  // signed: bottom-up maps step backwards
    int type = 0;
    uint16_t base_x = 0, base_y = 0;
    uint16_t width = 0, height = 0;
    uintptr_t user = 0;  // palette address of an INDEX_8 map, or a small mode code
};

// One call's geometry, filled by a dispatcher and read by its kernel.
struct PxBlitState {
    uintptr_t mode = 0;     // source user word; advanced by sx when it is an address
    int32_t src_skip = 0;   // source width minus copy width, when mode is an address
    int32_t dst_base_x = 0, dst_base_y = 0;
    int32_t height = 0, dst_height = 0;
    int32_t width = 0, dst_width = 0;
    int32_t dst_row_bytes = 0;
    int32_t dx = 0, dy = 0;
    uint8_t* dst_pixels = nullptr;
    const PxMap* dst = nullptr;
    uintptr_t palette = 0;  // source user word unchanged
    const PxMap* src = nullptr;
    const uint8_t* src_pixels = nullptr;
    int32_t src_height = 0, src_width = 0;
    int32_t src_row_bytes = 0;
    int32_t sx = 0, sy = 0;
    int32_t src_base_x = 0, src_base_y = 0;
};

// Clips source first, then destination; true when something is left to copy.
bool CopyRectClip(PxBlitState& st);

// Fills the state from a call's arguments (no clip).
void fill_state(PxBlitState& st, const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                int32_t sy, int32_t width, int32_t height);

// A dispatcher's busy flag with its 1000 ms give-up rule.
class BusyFlag {
public:
    void acquire();
    void release() { flag_.store(0, std::memory_order_release); }
    int value() const { return flag_.load(std::memory_order_acquire); }
    // Tests hold the flag to see the wait.
    void force(int v) { flag_.store(v, std::memory_order_release); }

private:
    std::atomic<int> flag_{0};
};

BusyFlag& copy_rectangle_busy();

// Processor features the fast kernels may use; tests lower the level to reach every variant.
enum class SimdLevel : int { Scalar = 0, Sse2 = 1, Avx2 = 2 };
SimdLevel simd_level();
SimdLevel simd_supported();
void set_simd_level(SimdLevel level);  // capped at what the processor has

// Per-row conversion of one pair: w pixels from s to d.
struct RowCtx {
    const uint32_t* palette = nullptr;
    uintptr_t mode = 0;
    uint32_t key = 0;
    uint32_t alpha = 0;             // the alpha argument's low byte
    const uint8_t* mask = nullptr;  // weights of the row's pixels; run_rows steps it by mask_row
    ptrdiff_t mask_row = 0;
};
using RowFn = void (*)(const uint8_t* s, uint8_t* d, int w, const RowCtx& c);

struct PairKernel {
    RowFn ref = nullptr;   // scalar reference
    RowFn sse2 = nullptr;  // optional fast variants, exact against ref
    RowFn avx2 = nullptr;
};

// The CopyRectangle kernel of a pair, or null when the pair is unsupported.
const PairKernel* copy_pair(int src_type, int dst_type);

// Fast rows of the portable transparent copy by pixel size (1, 2 or 4 bytes); null when none.
const PairKernel* transparent_row(int bytes);

// The fastest variant of a kernel the processor and the chosen level allow.
RowFn pick(const PairKernel& k);

// Runs the clipped rectangle through a row function (null: the bytes are moved unchanged),
// addressing both maps through their bases. Rectangles that share bytes read their source first.
void run_rows(const PxBlitState& st, RowFn fn, int sb, int db, const RowCtx& c);

void copy_rectangle(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                    int32_t width, int32_t height);
void copy_rect_tiled(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                     int32_t width, int32_t height);
uint32_t get_perf();
void report_unsupported(const char* function, int src_type, int dst_type);

// The alpha blends and the key-0 sprite copies (two instances: the second has no busy flag and
// never waits for the first).
BusyFlag& transp_alpha_busy();
BusyFlag& transparent0_busy();
// Tests: runs in every CopyRectTransparent0 call while its flag is up, before the copy.
void set_transparent0_busy_hook(void (*hook)());
void copy_rect_transp_alpha(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height, uint32_t alpha);
void copy_rect_transparent0(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height);
void copy_rect_transp0_dup(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                           int32_t width, int32_t height);
// The kernel of a pair, or null when the pair is reported. `user` is the source's user word (it
// picks the mode of RGB_565 sources).
const PairKernel* transp_alpha_pair(int src_type, int dst_type);
const PairKernel* transparent0_pair(int src_type, int dst_type, uintptr_t user);

// Portable blitters. `table` is the blend table map (256 rows of 256 bytes) or null.
void copy_rect_transparent(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                           int32_t sy, int32_t width, int32_t height, uint32_t key);
void copy_rect_transparent0_fill(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                                 int32_t sy, int32_t width, int32_t height, uint32_t fill);
void copy_rect_translucent0(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                            int32_t sy, int32_t width, int32_t height, uint32_t shade_row,
                            const PxMap* table);
void copy_rect_translucent_a(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx,
                             int32_t sy, int32_t width, int32_t height, const PxMap* table);
enum Mirror : int { FlipNone = 0, FlipH = 1, FlipV = 2 };  // FlipY mirrors H, FlipX mirrors V
void copy_rect_flip(const PxMap* dst, int32_t dx, int32_t dy, const PxMap* src, int32_t sx, int32_t sy,
                    int32_t width, int32_t height, int mirror, bool skip_zero);
void magnify_v12b(const PxMap* dst, const PxMap* src);

}  // namespace pxblit

#endif
