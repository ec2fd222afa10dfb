#include "mzipixels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "brondel/brpixmap.h"

namespace media::mzi {

void copy_background(const br_pixelmap &map, const RECT &rect, uint8_t *buffer, int width, int height, int stride)
{
    if (map.pixels == nullptr || buffer == nullptr || std::abs(int(map.row_bytes)) < int(map.width) * 2)
        return;
    const int64_t rw = int64_t(rect.right) - rect.left, rh = int64_t(rect.bottom) - rect.top;
    const int64_t cols = std::min<int64_t>(rw, width), rows = std::min<int64_t>(rh, height);
    const auto *pixels = static_cast<const uint8_t *>(map.pixels);
    for (int64_t i = 0; i < rows; i++) {
        int64_t y = int64_t(rect.bottom) - 1 - i;  // buffer row i, from the bottom
        if (y < 0 || y >= map.height)
            continue;
        int64_t x0 = std::max<int64_t>(rect.left, 0), x1 = std::min<int64_t>(int64_t(rect.left) + cols, map.width);
        if (x0 >= x1)
            continue;
        const uint8_t *from = pixels + y * map.row_bytes + x0 * 2;
        std::memcpy(buffer + i * stride + (x0 - rect.left) * 2, from, size_t(x1 - x0) * 2);
    }
}

}  // namespace media::mzi
