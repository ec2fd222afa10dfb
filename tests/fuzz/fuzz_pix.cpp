// Pixel-map files in either form: every map the loader gives back is whole (its pixels cover its
// rows) and is freed again; nothing is left on the datafile stack.
#include <stdlib.h>

#include "brondel/brpmfile.h"
#include "memfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::serve(data, size);
    br_pixelmap *maps[4] = {};
    br_uint_32 n = BrPixelmapLoadMany("input.pix", maps, 4);
    for (br_uint_32 i = 0; i < n; i++) {
        br_pixelmap *pm = maps[i];
        // Touch the last byte of every row the map claims.
        int bits = BrPixelmapPixelBits(pm);
        int row = (bits * pm->width + 7) / 8;
        volatile br_uint_8 sink = 0;
        for (int y = 0; y < pm->height && row > 0; y++)
            sink = sink + ((br_uint_8 *)pm->pixels)[(intptr_t)y * pm->row_bytes + row - 1];
        if (pm->map != nullptr && pm->map->pixels != nullptr && pm->map->width > 0 && pm->map->height > 0)
            sink = sink + ((br_uint_8 *)pm->map->pixels)[0];
        BrPixelmapFree(pm);
    }
    if (DfTopType() != 0)
        abort();
    return 0;
}
