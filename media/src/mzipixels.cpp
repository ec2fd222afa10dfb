#include "mzipixels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "brondel/brpixmap.h"
#include "mzifile.h"

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

namespace {

uint32_t expand565(uint16_t v)
{
    uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

uint32_t expand555(uint16_t v)
{
    uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
}

}  // namespace

void render_frame(const Movie &movie, const uint8_t *data, size_t index, uint32_t *canvas, int width, int height)
{
    if (index >= movie.frames.size() || data == nullptr || canvas == nullptr)
        return;
    const Frame &f = movie.frames[index];
    const int bytes = stored_bytes(f.format);
    const int ox = movie.per_frame_headers ? f.left - movie.left : 0;
    const int oy = movie.per_frame_headers ? f.top - movie.top : 0;
    for (int r = 0; r < f.height; r++) {
        const int y = oy + f.height - 1 - r;  // rows are stored bottom first
        if (y < 0 || y >= height)
            continue;
        const uint8_t *in = data + f.pixels + size_t(r) * f.row_bytes;
        for (int x = 0; x < f.width; x++) {
            const int cx = ox + x;
            if (cx < 0 || cx >= width)
                continue;
            const uint8_t *p = in + size_t(x) * bytes;
            uint32_t c;
            switch (f.format) {
            case kIndex8:
                c = uint32_t(p[0]) * 0x010101u;
                break;
            case kRgb555:
                c = expand555(get16(p));
                break;
            case kRgb565:
                c = expand565(get16(p));
                break;
            case kRgba8888:
                c = get32(p) & 0xFFFFFF;
                break;
            case kAlpha555:
                c = expand565(alpha_scale(get16(p + 1), p[0]));
                break;
            default:
                c = 0;
                break;
            }
            canvas[size_t(y) * width + cx] = c;
        }
    }
}

}  // namespace media::mzi
