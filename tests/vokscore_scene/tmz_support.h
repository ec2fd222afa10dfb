// Small TMZ movies of plain-coloured frames for the scene tests.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "movie/tmzwriter.h"

namespace vstest {

// 16-bit frames; `bits` other than 16 is written into the header afterwards (the writer makes only
// the depths the player knows).
inline std::string tmz(int bits, const std::vector<uint16_t> &colours)
{
    movie::TmzWriter w(8, 8, 16, 100);
    for (uint16_t c : colours) {
        std::vector<uint8_t> px(size_t(w.frame_size()));
        for (size_t i = 0; i + 1 < px.size(); i += 2)
            px[i] = uint8_t(c), px[i + 1] = uint8_t(c >> 8);
        w.add_frame(px);
    }
    auto b = w.bytes();
    b[14] = uint8_t(bits);
    b[16] = uint8_t(w.row_bytes());
    return std::string(b.begin(), b.end());
}

}  // namespace vstest
