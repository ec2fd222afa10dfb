/* Pannix pixel maps (3D-library pixel maps plus two types of its own that carry alpha), colour
 * values, and DIB buffers: a complete bitmap information record followed by its pixel block. */
#ifndef PANNIX_PXPIX_H
#define PANNIX_PXPIX_H

#include <stdint.h>

#include "pannix/pxbase.h"
#include "win32/wingdi.h"

#ifndef PX_PMT_RGB565_ALPHA8
#define PX_PMT_RGB565_ALPHA8 10 /* 3 bytes: alpha (255 opaque), then a 565 word */
#define PX_PMT_ARGB_4444 18     /* bits 15-12 alpha, 11-8 red, 7-4 green, 3-0 blue */
#endif

typedef struct br_pixelmap br_pixelmap;

/* Header, colour table and pixels of a device-independent bitmap; the first two fields are the
 * platform's BITMAPINFO, so a DIBUFFER is handed to StretchDIBits as it is, with pBits as the bits. */
typedef struct DIBUFFER {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
    void *pBits;
} DIBUFFER;

/* Bits per pixel of a DIB for a pixel type; 0 for types without one. */
PANNIX_API int32_t PxBr2Bpp(int32_t type);

PANNIX_API br_pixelmap *PxAllocPix(int32_t type, int32_t width, int32_t height, void *pixels, int32_t flags);
PANNIX_API br_pixelmap *PxAllocSubPix(br_pixelmap *map, int32_t x, int32_t y, int32_t width, int32_t height);
PANNIX_API int PxFreePix(br_pixelmap *map);
/* For maps over memory they do not own: the pixels stay. */
PANNIX_API int PxFreePixNP(br_pixelmap *map);
PANNIX_API void PxCopyPix(br_pixelmap *destination, br_pixelmap *source);
PANNIX_API int32_t PxBorder(br_pixelmap *map, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
PANNIX_API int32_t PxFillPix(br_pixelmap *map, uint32_t colour);
PANNIX_API int32_t PxFillPixRect(br_pixelmap *map, int32_t x, int32_t y, int32_t width, int32_t height,
                                 uint32_t colour);
PANNIX_API char *PxReplaceId(br_pixelmap *map, const char *identifier);
PANNIX_API br_pixelmap *PxLoadPixP(const char *name, int32_t copy);
PANNIX_API br_pixelmap *PxLoadPix(const char *name);
PANNIX_API uint32_t PxSavePix(const char *name, br_pixelmap *map);

PANNIX_API void PxSetTables(br_pixelmap *table);
PANNIX_API void PxSetTranspMethod(int32_t method);
PANNIX_API void PxSetFixPixColor(uint32_t colour);

/* Pixel value of a colour for a DIB depth (15, 16, 24, 32) or for a pixel type. */
PANNIX_API uint32_t PxConvColor(int32_t bits, uint32_t r, uint32_t g, uint32_t b);
PANNIX_API uint32_t PxConvColorBr(int32_t type, uint32_t r, uint32_t g, uint32_t b);

/* bits: 8, 15, 16, 24 or 32; palette: 256 entries 0x00RRGGBB (8 bits only) or none. */
PANNIX_API DIBUFFER *CreateBmpInfo(int32_t width, int32_t height, int32_t bits, const uint32_t *palette);
PANNIX_API DIBUFFER *CreateDIBuffer(int32_t width, int32_t height, int32_t bits, const uint32_t *palette);
PANNIX_API DIBUFFER *CreateDIBuffer8(int32_t width, int32_t height, const uint32_t *palette);
PANNIX_API DIBUFFER *CreateDIBufferHic(int32_t width, int32_t height, int32_t bits);
PANNIX_API int KillDIBuffer(DIBUFFER *buffer);
PANNIX_API br_pixelmap *PxMatchPixToDib(int32_t type, DIBUFFER *buffer);
PANNIX_API DIBUFFER *PxCreateDibAndPix(int32_t type, int32_t width, int32_t height, br_pixelmap **map);
PANNIX_API br_pixelmap *PxCreatePixAndDib(int32_t type, int32_t width, int32_t height, DIBUFFER **header);

#endif
