// Rasterisation of screen-space triangles, lines and points into a colour buffer with an optional
// depth buffer. Screen coordinates are the library's mapped ones: pixel (i, j) covers
// [i, i+1) x [j, j+1) and is drawn when its centre (i + 0.5, j + 0.5) is inside (top and left edges
// inclusive). Every write is kept inside both buffers.
#ifndef SOFTREND_SR_RASTER_H
#define SOFTREND_SR_RASTER_H

#include "sr_types.h"

namespace sr {

// One row of a primitive for the textured and blended writers: values at pixel i0 and their steps
// per pixel.
struct SpanIn {
    uint8_t *crow, *drow;
    int i0, i1;
    float z, dz;
    int32_t rgb[3], drgb[3]; // 16.16, when smooth
    bool smooth;
    uint32_t flat;           // 0x00RRGGBB, when not smooth
    float q, dq, uq, duq, vq, dvq;
    int room = 0;            // pixels of the row inside both buffers (0: none known past i1)
};

struct TriRows;

class Raster {
public:
    explicit Raster(const Target &t);

    // Textures and blending of what is drawn next (untextured and opaque until set).
    void set_paint(const Paint &p);

    // Draws with the vertex colours interpolated (smooth) or with `flat` (0..255 each).
    void triangle(const SVert &a, const SVert &b, const SVert &c, bool smooth, const float *flat);
    void line(const SVert &a, const SVert &b, bool smooth);
    void point(const SVert &a);

    // Pixels drawn so far (any kind), in buffer pixels; empty when minx > maxx.
    bool track = false;
    // Spans are measured (for the bounds) but not written.
    bool dry = false;
    uint64_t tested = 0; // pixels that reached the depth test
    int minx, miny, maxx, maxy;
    void grow(ScreenBounds &b) const;

    // Selects the span writer for the target; a null writer means the target cannot be drawn into.
    using SpanFn = void (*)(uint8_t *crow, uint8_t *drow, int i0, int i1, float z, float dz, const int32_t *rgb,
                            const int32_t *drgb, uint32_t flat);
    using PaintFn = void (*)(const SpanIn &s, const Paint &p);
    // One-pass textured writers of a target by texel layout (565, 555, index 8), modulation and
    // stepping (divided at every pixel, fixed point).
    struct FastWriters {
        PaintFn f[3][2][2];
        // The same writers walking a whole triangle's rows in one call (its constants prepared
        // once); null where the processor path has none. They answer the pixels tested.
        using TriFn = uint64_t (*)(const TriRows &r, const Paint &p);
        TriFn tri[3][2][2];
    };
    bool usable() const { return span_smooth_ != nullptr; }

private:
    void plot(int i, int j, float z, const float *rgb);
    void note(int i0, int i1, int j);

    Target t_;
    int w_, h_;
    int cbpp_, dbpp_;
    SpanFn span_smooth_ = nullptr, span_flat_ = nullptr;
    PaintFn paint_any_ = nullptr;
    const FastWriters *fast_ = nullptr; // when the target has them
    Paint paint_;
    PaintFn painter_ = nullptr; // null: the plain writers
    PaintFn fast_persp_ = nullptr, fast_affine_ = nullptr;
    FastWriters::TriFn tri_persp_ = nullptr, tri_affine_ = nullptr;
};

uint32_t pack_colour(ColourType t, int r, int g, int b);

// How the one-pass textured writers work: eight pixels at a time with AVX2 or SSE2, or pixel by
// pixel. Every path gives the values of the pixel-by-pixel loop to the bit. The widest the
// processor has is used by default (AVX2 is skipped where it is missing); tests force each in turn.
enum class SimdPath { Scalar, SSE2, AVX2 };
SimdPath simd_best();
extern SimdPath simd_path;

} // namespace sr

#endif
