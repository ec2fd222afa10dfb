/* The view DIB that the screen picture and the 3D view share, its presents, and the module's picture
 * loaders. */
#ifndef TERROW_TRDIB_H
#define TERROW_TRDIB_H

#include <stdint.h>

#include "win32/wingdi.h"

struct br_pixelmap;
struct DIBUFFER;

typedef struct TrDib {
    BITMAPINFOHEADER header;
    uint32_t colours[256]; /* bit-field masks for 16 bits, indices for 8 */
    int32_t width, height;
    void *pixels;          /* NULL without a DIB */
    HGLOBAL memory;
    int32_t pixelType;
} TrDib;

#ifdef __cplusplus
extern "C" {
#endif

TrDib *TrGetDib(void);
/* Makes the module's DIB (an older one is freed): the pixels, or NULL for a size below 1 or a pixel
 * type other than 3 (8 bits), 4, 5 (16 bits) and 6 (24 bits). */
void *TrDibCreate(int32_t width, int32_t height, int32_t pixelType);
void TrDibFree(void);
/* Bytes of one padded row. */
int32_t TrDibRowBytes(int32_t width, int32_t bits);

/* Paint state: 0 nothing is presented (a screen is up), 2 a full present is due, 1 presented. */
int32_t TrPaintState(void);
void TrSetPaintState(int32_t state);
/* Back to the state of a new start (nothing presenting). */
void TrDibResetPresents(void);

/* The whole DIB: 1 when it was drawn (and the paint state is 1 after it). */
int32_t TrDibPresent(HDC dc);
/* A rectangle at the same place: 1 when drawn; nothing while a full present runs or before the first
 * full present (paint state other than 1). */
int32_t TrDibPresentRect(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h);
int32_t TrDibPresentOther(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, struct DIBUFFER *dib);
/* The top-left w x h of a buffer (the toolbar's) at (x, y) of the window, under the same rule. */
int32_t TrDibPresentBuffer(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, struct DIBUFFER *dib);
/* Tests: called inside every full present while it holds the present. */
void TrDibSetPresentHook(void (*hook)(void));

/* The file a picture name loads: ".bmp" names as they stand, others with ".pix" added unless they
 * contain it. */
void TrPictureFileName(const char *name, char *out, int32_t size);
/* Named pictures, registered by name; pure black becomes 203 (8 bits) or 1 (16 bits) so that only
 * the key 0 is transparent. The raw loader keeps black. NULL with a warning when the load fails. */
struct br_pixelmap *TrLoadPicture(const char *name);
struct br_pixelmap *TrLoadPictureRaw(const char *name);
/* Pictures through the 2D library (keyed: copy 1); registered, except by the uncached loader. */
struct br_pixelmap *TrLoadPx(const char *name);
struct br_pixelmap *TrLoadPxKeyed(const char *name);
struct br_pixelmap *TrLoadPxUncached(const char *name);
struct DIBUFFER *TrDibBufferCreate(int32_t width, int32_t height);
void TrDibBufferKill(struct DIBUFFER *buffer);

#ifdef __cplusplus
}
#endif

#endif
