/* Pannix picture files: pictures found by name as TGA, BMP or pixel-map files (or in the current
 * pack), converted to the pixel type a caller asks for, with a ".pix" copy kept beside the source. */
#ifndef PANNIX_PXPICFILE_H
#define PANNIX_PXPICFILE_H

#include <stdint.h>

#include "pannix/pxbase.h"

typedef struct br_pixelmap br_pixelmap;

/* Request flags of AmsgGetPixFile: the low byte is the target pixel type (0 keeps the loaded type);
 * any higher bit lets a ".pix" entry of the current pack stand in when no file is found. */
#define PX_PIX_TYPE_MASK 0xFF
#define PX_PIX_FROM_PACK 0x100

#ifdef __cplusplus
extern "C" {
#endif
/* Palette used to convert 8-bit pictures: a map whose pixels are 256 entries 0x00RRGGBB. None at start. */
extern __attribute__((visibility("default"))) br_pixelmap *pMsgPalette;
#ifdef __cplusplus
}
#endif

/* Finds `name` (small and capital letters alike; a relative name lies below the data folder): without
 * an extension ".tga", then ".bmp"; else the name itself; then ".pix". A leading "+" on the file name
 * asks for pixels of its own when the picture comes from the pack. The caller frees the result with
 * PxFreePix; 0 with the last-error text set. */
PANNIX_API br_pixelmap *AmsgGetPixFile(const char *name, uint32_t flags);
/* `map` itself when nothing changes, else a new map of `type` (then `map` is freed); 0 on failure,
 * `map` left as it was. An INDEX_8 map needs `palette`. */
PANNIX_API br_pixelmap *ConvPixelmap(br_pixelmap *map, br_pixelmap *palette, int32_t type);
/* The data folder followed by `name` (none: the folder itself), in a buffer the next call overwrites. */
PANNIX_API const char *PxDataPath(const char *name);

#endif
