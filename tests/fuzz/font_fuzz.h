// The font target's world: the pack of glyph pictures its records may name, and font records as the
// font maker writes them (for the seeds).
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fpk/fpkformat.h"

namespace fuzz {

// "g.pix": ARGB_4444, 32 × 8; "h.pix": RGB_565, 8 × 8; "p.pix": RGBA_8888, 4 × 4.
inline std::vector<uint8_t> font_picture_pack()
{
    std::vector<uint8_t> g(32 * 8 * 2), h(8 * 8 * 2), p(4 * 4 * 4);
    for (size_t i = 0; i < g.size(); i++)
        g[i] = uint8_t(i * 7);
    for (size_t i = 0; i < h.size(); i++)
        h[i] = uint8_t(i * 13);
    for (size_t i = 0; i < p.size(); i++)
        p[i] = uint8_t(i * 29);
    std::vector<uint8_t> bytes;
    std::string error;
    fpk::build({{"g.pix", fpk::stored_pixmap(32, 8, 18, g), fpk::kPixmapFlag},
                {"h.pix", fpk::stored_pixmap(8, 8, 5, h), fpk::kPixmapFlag},
                {"p.pix", fpk::stored_pixmap(4, 4, 8, p), fpk::kPixmapFlag}},
               bytes, error);
    return bytes;
}

// One 1,912-byte record: picture name, next word, spacing, line spacing, height, flags, then the
// glyphs of codes 32 to 255 in 4-pixel cells.
inline std::vector<uint8_t> font_record(const char *picture, uint32_t next, int32_t height)
{
    std::vector<uint8_t> r(1912, 0);
    memcpy(r.data(), picture, strlen(picture));
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            r[at + i] = uint8_t(v >> (8 * i));
    };
    put32(64, next);
    put32(72, 1);
    put32(76, 2);
    put32(80, uint32_t(height));
    for (int i = 0; i < 224; i++) {
        uint8_t *g = &r[64 + 56 + size_t(i) * 8];
        g[0] = uint8_t(i % 8 * 4);
        g[4] = 4;
        g[5] = uint8_t(height);
        g[6] = uint8_t(i % 3 - 1);
        g[7] = 1;
    }
    return r;
}

}  // namespace fuzz
