/* Internal pieces of the pixel-map library shared by its files. */
#ifndef BRONDEL_PMINT_H
#define BRONDEL_PMINT_H

#include <stdint.h>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"

/* One row of the pixel type table. */
struct pm_type_info {
    br_uint_8 bits;
    br_uint_8 element_bytes;
    br_uint_8 row_align; /* in pixels */
    br_uint_8 channels;
};

extern const pm_type_info PmTypeInfo[BR_PMT_MAX];

/* Bytes per pixel (bits / 8, rounded down); 0 for unknown types. */
inline int pm_bpp(const br_pixelmap *pm)
{
    return pm->type < BR_PMT_MAX ? PmTypeInfo[pm->type].bits / 8 : 0;
}

/* Address of absolute pixel (col, row). */
inline br_uint_8 *pm_addr(const br_pixelmap *pm, br_int_32 col, br_int_32 row)
{
    return (br_uint_8 *)pm->pixels + (intptr_t)(pm->base_y + row) * pm->row_bytes +
           (intptr_t)(pm->base_x + col) * pm_bpp(pm);
}

/* State of the library in this instance. */
struct pm_state {
    void *res; /* anchor of every pixel map */
    br_tv_template *device_pixelmap_template;
    br_tv_template *pixelmap_match_template;
};
extern pm_state PmState;

/* Row bytes and flags for a fresh map of this type and width; false when they do not fit the record. */
bool pm_row_layout(br_uint_8 type, br_int_32 width, br_int_16 *row_bytes, br_uint_8 *flags);

/* Writes one pixel of 1 to 4 bytes, little-endian. */
inline void pm_put(br_uint_8 *p, int bpp, br_uint_32 colour)
{
    switch (bpp) {
    case 1: p[0] = (br_uint_8)colour; break;
    case 2: p[0] = (br_uint_8)colour; p[1] = (br_uint_8)(colour >> 8); break;
    case 3: p[0] = (br_uint_8)colour; p[1] = (br_uint_8)(colour >> 8); p[2] = (br_uint_8)(colour >> 16); break;
    case 4:
        p[0] = (br_uint_8)colour; p[1] = (br_uint_8)(colour >> 8);
        p[2] = (br_uint_8)(colour >> 16); p[3] = (br_uint_8)(colour >> 24);
        break;
    default: break;
    }
}

inline br_uint_32 pm_get(const br_uint_8 *p, int bpp)
{
    br_uint_32 v = 0;
    for (int i = bpp - 1; i >= 0; i--)
        v = (v << 8) | p[i];
    return v;
}

/* Inner loops. Counts are in pixels. */
void pm_fill_run(br_uint_8 *dst, br_size_t count, int bpp, br_uint_32 colour);
void pm_fill_rows(br_uint_8 *dst, intptr_t stride, br_size_t count, br_size_t rows, int bpp, br_uint_32 colour);
void pm_copy_rows(br_uint_8 *dst, intptr_t dst_stride, const br_uint_8 *src, intptr_t src_stride, br_size_t bytes,
                  br_size_t rows);

/* The symmetric double-step walk between two points, plotting every pixel of the line once. */
template <class Plot>
void pm_line_walk(br_int_32 x1, br_int_32 y1, br_int_32 x2, br_int_32 y2, Plot plot);

/* Bits before the start of the caller's rows do not exist: a negative bit start moves the point
 * instead. False when nothing is left. */
inline bool pm_bits_start(br_rectangle *bits, br_point *point, const br_rectangle *in, const br_point *at)
{
    *bits = *in;
    *point = *at;
    if (bits->x < 0) {
        bits->w += bits->x;
        point->x -= bits->x;
        bits->x = 0;
    }
    if (bits->y < 0) {
        bits->h += bits->y;
        point->y -= bits->y;
        bits->y = 0;
    }
    return bits->w > 0 && bits->h > 0;
}

/* Glyph width of one character: the table entry of a proportional font, negatives counting as 0. */
inline br_int_32 pm_glyph_width(const br_font *font, unsigned char c)
{
    if (!(font->flags & BR_FONTF_PROPORTIONAL))
        return font->glyph_x;
    return font->width[c] > 0 ? font->width[c] : 0;
}

/* The copy choices between two classes (whole map and stretch of whole areas). */
br_error pm_copy_choice(br_pixelmap *dst, br_pixelmap *src);
br_error pm_stretch_choice(br_pixelmap *dst, br_rectangle *d, br_pixelmap *src, br_rectangle *s);

/* Width of a text in a font: the glyph width for a null text. */
br_uint_16 pm_text_width(const br_font *font, const char *text);

#include "pmline.h"

#endif
