// TGA pictures: a picture the loader gives back is whole, and so is its colour map.
#include "brondel/brpmfile.h"
#include "memfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::serve(data, size);
    br_pixelmap *pm = BrFmtTGALoad("input.tga", size > 0 ? data[0] & BR_FMT_TGA_ALPHA : 0);
    if (pm == nullptr)
        return 0;
    int row = BrPixelmapPixelBytes(pm) * pm->width;
    volatile br_uint_8 sink = 0;
    for (int y = 0; y < pm->height; y++)
        sink = sink + ((br_uint_8 *)pm->pixels)[(intptr_t)y * pm->row_bytes + row - 1];
    if (pm->map != nullptr)
        sink = sink + ((br_uint_8 *)pm->map->pixels)[255 * pm->map->row_bytes + 3];
    BrPixelmapFree(pm);
    return 0;
}
