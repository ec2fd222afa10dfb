// Rasterisation of screen-space triangles, lines and points into a colour buffer with an optional
// depth buffer. Screen coordinates are the library's mapped ones: pixel (i, j) covers
// [i, i+1) x [j, j+1) and is drawn when its centre (i + 0.5, j + 0.5) is inside (top and left edges
// inclusive). Every write is kept inside both buffers.
#ifndef SOFTREND_SR_RASTER_H
#define SOFTREND_SR_RASTER_H

#include "sr_types.h"

namespace sr {

// A mapped vertex: screen x, y, screen z (-32767 near .. 32767 far), colour 0..255.
struct SVert {
    float x, y, z;
    float rgb[3];
};

class Raster {
public:
    explicit Raster(const Target &t);

    // Draws with the vertex colours interpolated (smooth) or with `flat` (0..255 each).
    void triangle(const SVert &a, const SVert &b, const SVert &c, bool smooth, const float *flat);
    void line(const SVert &a, const SVert &b, bool smooth);
    void point(const SVert &a);

    // Pixels drawn so far (any kind), in buffer pixels; empty when minx > maxx.
    bool track = false;
    uint64_t tested = 0; // pixels that reached the depth test
    int minx, miny, maxx, maxy;
    void grow(ScreenBounds &b) const;

    // Selects the span writer for the target; a null writer means the target cannot be drawn into.
    using SpanFn = void (*)(uint8_t *crow, uint8_t *drow, int i0, int i1, float z, float dz, const int32_t *rgb,
                            const int32_t *drgb, uint32_t flat);
    bool usable() const { return span_smooth_ != nullptr; }

private:
    void plot(int i, int j, float z, const float *rgb);
    void note(int i0, int i1, int j);

    Target t_;
    int w_, h_;
    int cbpp_, dbpp_;
    SpanFn span_smooth_ = nullptr, span_flat_ = nullptr;
};

uint32_t pack_colour(ColourType t, int r, int g, int b);

} // namespace sr

#endif
