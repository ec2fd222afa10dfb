/* Pannix bitmap fonts and text. A font set is the pack "<name>.fnp" holding the records "<name>.fnb"
 * and the glyph pictures; sets are chained, and one font of the process is current. Texts are bytes
 * (Windows-1252): 32 to 255 are glyphs, 10 breaks a line, 9 moves to the next tab stop, 16 to 30
 * switch to font code - 16 of the current set, 31 switches back, other codes below 32 are skipped.
 *
 * The record file is a run of 1,912-byte records, little-endian: a 64-byte picture name, then the
 * font image of 14 words (next, picture, letter spacing, line spacing, height, flags, four spare
 * words, fill colour, key colour, method, blitter) and 224 glyphs of 8 bytes (x, y as signed 16-bit,
 * width, height, offset before and advance after) for the codes 32 to 255. The last record's "next"
 * word is 0. */
#ifndef PANNIX_PXFONT_H
#define PANNIX_PXFONT_H

#include <stddef.h>
#include <stdint.h>

#include "pannix/ffpack.h"
#include "pannix/pxbase.h"

typedef struct br_pixelmap br_pixelmap;

#define PX_FONT_RECORD_SIZE 1912
#define PX_FONT_NAME_SIZE 64
#define PX_FONT_IMAGE_SIZE 1848
#define PX_FONT_GLYPHS 224
#define PX_FONT_MULTICOLOR 1 /* flags bit 0 */
#define PX_FONT_STACK 32
#define PX_FONT_MULTILINE 256 /* PxSelectFont: numbers 256 to 511 turn the multi-line mode on */

typedef struct PXGLYPH {
    int16_t x, y;    /* in the glyph picture */
    uint8_t width, height;
    int8_t before;   /* offset before the glyph */
    int8_t after;    /* advance after the glyph */
} PXGLYPH;

/* Glyph blitter: (destination, x, y, glyph picture, glyph x, y, width, height, key colour). */
typedef void (*PXGLYPHBLIT)(br_pixelmap *, int32_t, int32_t, br_pixelmap *, int32_t, int32_t, int32_t, int32_t,
                            uint32_t);

typedef struct PXFONT {
    struct PXFONT *next;
    br_pixelmap *pic;
    int32_t spacing;
    int32_t linespace;
    int32_t height;
    uint32_t flags;
    uint32_t spare[4];
    uint32_t fill;
    uint32_t key;
    int32_t method;
    PXGLYPHBLIT blitter;
    PXGLYPH glyphs[PX_FONT_GLYPHS];
} PXFONT;

typedef struct PXFONTSET {
    struct PXFONTSET *next;
    struct PXFONTSET *prev;
    int32_t count;
    PXFONT *first;
    FFPACKHANDLE *pack;
} PXFONTSET;

/* Loading and freeing (each releases the font lock). */
PANNIX_API PXFONTSET *PxLoadFontset(const char *name, int32_t type, PXFONTSET *list);
/* Records of an open record file; pictures are looked up below `folder` with `flags` (AmsgGetPixFile). */
PANNIX_API PXFONTSET *PxReadFontRecords(FFFILEHANDLE *file, const char *folder, uint32_t flags);
PANNIX_API int PxKillFontset(PXFONTSET *set);
PANNIX_API int PxKillAllFontset(PXFONTSET *set);

/* Selecting. `number`: 0-255 counts fonts across the chain from `set`; 256-511 does the same for
 * number & 255 and turns the multi-line mode on; 512 and above is the address of a byte holding it. */
PANNIX_API PXFONT *PxSelectFont(PXFONTSET *set, intptr_t number);
PANNIX_API int32_t PxSaveLastFontSettings(int32_t push);
PANNIX_API int32_t PxLoadLastFontSettings(int32_t pop);

/* Measuring with the current font. */
PANNIX_API int32_t PxGetTextWidth(const char *text);
PANNIX_API int32_t PxGetLetterWidth(int32_t letter);
PANNIX_API int32_t PxGetTextHeight1(void);
PANNIX_API int32_t PxGetTextHeight(const char *text);
PANNIX_API int32_t PxGetTextWH(const char *text, int32_t *width, int32_t *height);
PANNIX_API int32_t PxGetTextWHMl(const char *text, int32_t *width, int32_t *height);
PANNIX_API int32_t PxGetTextListWH(const char *text, int32_t count, int32_t *widths, int32_t *height);
/* One byte per character code of 32 or more: offset before + width + advance after (+ spacing).
 * `bytes` must hold strlen(text) bytes; PxTextToWidthN writes at most `size`. */
PANNIX_API int32_t PxTextToWidth(const char *text, uint8_t *bytes);
PANNIX_API int32_t PxTextToWidthN(const char *text, uint8_t *bytes, size_t size);

/* Drawing; x, y is the top left corner of the first line. */
PANNIX_API int32_t PxShowText(br_pixelmap *destination, int32_t x, int32_t y, const char *text);
PANNIX_API const char *PxShowTextC(br_pixelmap *destination, int32_t x, int32_t y, const char *text);
PANNIX_API int32_t PxShowTextMl(br_pixelmap *destination, int32_t x, int32_t y, const char *text);

/* Settings of the current font. Methods: 0 copy, 1 transparent (skipping `colour`; 0: key-0 sprite
 * copy), 2 alpha blend capped at `colour`, 3 glyph pixels written in `colour`. */
PANNIX_API void PxSetShowTextMethod(int32_t method, uint32_t colour);
PANNIX_API uint32_t PxGetBlankColor(void);
PANNIX_API int32_t PxIsFontMulticolor(void);
PANNIX_API int32_t PxSetLinespace(int32_t spacing);
PANNIX_API void PxSetTab(int32_t width);

/* The font lock: a thread that draws text while others may measure or draw brackets its work. */
PANNIX_API void PxLockFonts(void);
PANNIX_API void PxUnlockFonts(void);

#endif
