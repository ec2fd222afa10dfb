/* Shared pieces of the picture loaders: a file read byte by byte through the framework's files,
 * little-endian fields, and the colour maps the loaders make. */
#ifndef BRONDEL_FMTREAD_H
#define BRONDEL_FMTREAD_H

#include <string.h>

#include "brondel/brpmfile.h"
#include "pixmap/pmint.h"

struct fmt_file {
    void *h;
    const char *name;

    bool read(void *buf, br_size_t n)
    {
        return n == 0 || BrFileRead(buf, 1, n, h) == n;
    }
    int byte()
    {
        return BrFileGetChar(h);
    }
    void skip(br_size_t n)
    {
        if (n > 0)
            BrFileAdvance(n, h);
    }
};

inline br_uint_16 fmt_le16(const br_uint_8 *p)
{
    return (br_uint_16)(p[0] | (p[1] << 8));
}

inline br_uint_32 fmt_le32(const br_uint_8 *p)
{
    return (br_uint_32)p[0] | ((br_uint_32)p[1] << 8) | ((br_uint_32)p[2] << 16) | ((br_uint_32)p[3] << 24);
}

/* The most pixel bytes a loaded picture may have: far above any texture or background, low enough
 * that a damaged header cannot ask for gigabytes. */
#define FMT_MAX_PIXEL_BYTES (64u << 20)

inline bool fmt_size_ok(br_int_32 width, br_int_32 height, int bytes, const char *name)
{
    if ((uint64_t)width * (uint64_t)height * (uint64_t)bytes > FMT_MAX_PIXEL_BYTES) {
        BrFailure("Picture '%s' is too large", name);
        return false;
    }
    return true;
}

/* A picture of its own memory named after its file; null (reported) when it cannot be had. */
inline br_pixelmap *fmt_allocate(br_uint_8 type, br_int_32 width, br_int_32 height, const char *name)
{
    br_pixelmap *pm = BrPixelmapAllocate(type, width, height, nullptr, 0);
    if (pm == nullptr)
        return nullptr;
    pm->identifier = BrResStrDup(pm, name);
    return pm;
}

/* The colour map of an indexed picture: 256 rows of one 0x00RRGGBB entry, all 0 to start. */
inline br_pixelmap *fmt_palette(const char *name)
{
    br_pixelmap *pal = fmt_allocate(BR_PMT_RGBX_888, 1, 256, name);
    if (pal != nullptr)
        for (int i = 0; i < 256; i++)
            memset((br_uint_8 *)pal->pixels + (intptr_t)i * pal->row_bytes, 0, 4);
    return pal;
}

inline void fmt_palette_set(br_pixelmap *pal, int index, br_uint_32 colour)
{
    br_uint_8 *p = (br_uint_8 *)pal->pixels + (intptr_t)index * pal->row_bytes;
    p[0] = (br_uint_8)colour;
    p[1] = (br_uint_8)(colour >> 8);
    p[2] = (br_uint_8)(colour >> 16);
    p[3] = (br_uint_8)(colour >> 24);
}

/* Address of row y of a picture. */
inline br_uint_8 *fmt_row(br_pixelmap *pm, br_int_32 y)
{
    return (br_uint_8 *)pm->pixels + (intptr_t)(pm->base_y + y) * pm->row_bytes +
           (intptr_t)pm->base_x * (PmTypeInfo[pm->type].bits / 8);
}

#endif
