// libFuzzer target: the cursor resources modules carry, decoded as the backend draws them. A cursor it
// answers has a picture of exactly its size, with its hot spot inside it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "win/cursorpic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    plat::CursorPicture p;
    if (plat::decode_cursor(bytes, size, p) &&
        (p.w <= 0 || p.h <= 0 || p.argb.size() != size_t(p.w) * size_t(p.h) || p.hot_x < 0 || p.hot_x >= p.w ||
         p.hot_y < 0 || p.hot_y >= p.h))
        abort();
    free(bytes);
    return 0;
}
