// Pixel work of the .mzi player: alpha frames blended over a 5-6-5 background or scaled by their
// alpha, and the background copied out of the caller's pixel map.
#pragma once

#include <cstdint>

#include "win32/wintypes.h"

struct br_pixelmap;

namespace media::mzi {

// A 5-5-5 source colour with its alpha over a 5-6-5 background pixel; the result is 5-6-5.
inline uint16_t blend_pixel(uint16_t s, uint8_t a, uint16_t b)
{
    if (s == b || a == 0)
        return b;
    if (a == 255)
        return uint16_t((s & 0x001F) | ((s << 1) & 0xFFC0));
    unsigned sr = (s >> 10) & 31, sg = ((s >> 5) & 31) * 2, sb = s & 31;
    unsigned br = b >> 11, bg = (b >> 5) & 63, bb = b & 31;
    unsigned r = (sr * a + br * (256 - a)) / 255;
    unsigned g = (sg * a + bg * (256 - a)) / 255;
    unsigned bl = (sb * a + bb * (256 - a)) / 255;
    return uint16_t(r << 11 | g << 5 | bl);
}

// A 5-5-5 colour scaled by alpha / 255, as 5-6-5 with the 5-bit green in the upper green bits.
inline uint16_t alpha_scale(uint16_t s, uint8_t a)
{
    unsigned r = ((s >> 10) & 31) * a / 255, g = ((s >> 5) & 31) * a / 255, b = (s & 31) * a / 255;
    return uint16_t(r << 11 | g << 6 | b);
}

// Copies the 16-bit pixels of `rect` (in the map's coordinates) into a bottom-up buffer of
// width x height pixels with `stride` bytes a row: the rectangle's bottom row becomes the buffer's
// first. Rows and columns outside the map or the buffer are left alone.
void copy_background(const br_pixelmap &map, const RECT &rect, uint8_t *buffer, int width, int height,
                     int stride);

struct Movie;

// Draws frame `index` of a movie over a top-down canvas of 0x00RRGGBB pixels that covers the movie's
// union rectangle (`width` x `height`); a frame with a rectangle of its own leaves the rest of the
// canvas as earlier frames left it. Alpha frames are scaled by their alpha; 8-bit frames are grey.
void render_frame(const Movie &movie, const uint8_t *data, size_t index, uint32_t *canvas, int width, int height);

}  // namespace media::mzi
