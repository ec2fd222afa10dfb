/* Pannix rectangle blitters: the table-driven CopyRectangle with its tiled form, the alpha blends
 * and key-0 sprite copies, and the portable blitters that copy one pixel size without conversion.
 * Coordinates are relative to each map's own area (base_x, base_y). None of them returns a result;
 * an unsupported pair of pixel types shows a warning box and copies nothing. */
#ifndef PANNIX_PXBLIT_H
#define PANNIX_PXBLIT_H

#include <stddef.h>
#include <stdint.h>

#include "pannix/pxbase.h"

typedef struct br_pixelmap br_pixelmap;

/* Pannix's own pixel types beside Brondel's. */
#ifndef PX_PMT_RGB565_ALPHA8
#define PX_PMT_RGB565_ALPHA8 10 /* 3 bytes: alpha (255 opaque), then a 565 word */
#define PX_PMT_ARGB_4444 18     /* bits 15-12 alpha, 11-8 red, 7-4 green, 3-0 blue */
#endif

PANNIX_API void CopyRectangle(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                              int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectTiled(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                              int32_t sy, int32_t width, int32_t height);
PANNIX_API void PxFastMemCpy(void *dst, const void *src, uint32_t count);
PANNIX_API void CopyRectangleUnsupported(void);
/* Low 32 bits of the tick count of the latest RGBX/RGBA to RGB_565 copy; 0 before the first. */
PANNIX_API uint32_t getPerf(void);
/* A modal "Warning" box with the exclamation icon; the text is cut at 1,024 bytes. */
PANNIX_API int PxWarningBox(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Blends the source over the destination: sources without alpha at the low byte of `alpha`, their
 * pixels of value 0 left out; RGBA_8888, type 10 and ARGB_4444 sources at their own alpha capped
 * by it. */
PANNIX_API void CopyRectTranspAlpha(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                                    int32_t sy, int32_t width, int32_t height, uint32_t alpha);
PANNIX_API void CopyRectTranspAlphaUnsupported(void);
/* Sprite copy with conversion: source pixels of value 0 leave the destination unchanged; alpha
 * sources blend by their own alpha. An RGB_565 source's user word may hold a mask of per-pixel
 * weights (rows padded to 4 bytes) or a mode code (4: half brightness; 2: colour words into type
 * 10). CopyRectTransp0dup gives the same results and never waits for CopyRectTransparent0. */
PANNIX_API void CopyRectTransparent0(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                                     int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectTransp0dup(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                                   int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectTransparent0Unsupported(void);

PANNIX_API void CopyRectTransparent(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                                    int32_t sy, int32_t width, int32_t height, uint32_t key);
PANNIX_API void CopyRectTransparent0fill(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src,
                                         int32_t sx, int32_t sy, int32_t width, int32_t height, uint32_t fill);
PANNIX_API void CopyRectTranslucent0(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                                     int32_t sy, int32_t width, int32_t height, uint32_t shade_row);
PANNIX_API void CopyRectTranslucentA(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                                     int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectFlipY(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                              int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectFlipX(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                              int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectFlipXY(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src, int32_t sx,
                               int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectTransparent0FlipY(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src,
                                          int32_t sx, int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectTransparent0FlipX(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src,
                                          int32_t sx, int32_t sy, int32_t width, int32_t height);
PANNIX_API void CopyRectTransparent0FlipXY(br_pixelmap *dst, int32_t dx, int32_t dy, br_pixelmap *src,
                                           int32_t sx, int32_t sy, int32_t width, int32_t height);
PANNIX_API void MagnifyPixV12b(br_pixelmap *dst, br_pixelmap *src);

#endif
