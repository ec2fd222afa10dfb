// Pixel-map internals shared by the Pannix sources.
#ifndef PANNIX_PIXMAP_H
#define PANNIX_PIXMAP_H

#include <stdint.h>

#include "pannix/pxpix.h"

namespace px {

// Bytes of one pixel of a type; 0 for types below one byte or unknown.
uint32_t pixel_bytes(int32_t type);

// Points a map at a bottom-up block of `height` rows of `row` bytes, its row 0 the block's last row.
void lay_over_rows(br_pixelmap *pm, uint8_t *block, uint32_t row, int32_t height);

}  // namespace px

#endif
