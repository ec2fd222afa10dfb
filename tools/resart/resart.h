// The pieces every build-time icon and cursor writer shares: 32x32 32-bit resource pictures with
// their AND masks, the group records naming them, a polygon test for drawn shapes and the save.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "vokplat/save.h"

namespace resart {

constexpr int kSize = 32;
using Bytes = std::vector<uint8_t>;
using Painter = std::function<uint32_t(int x, int y)>;  // 0xAARRGGBB, top row first

inline void put16(Bytes &b, unsigned v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
inline void put32(Bytes &b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }

// A 32-bit DIB of twice the height with its AND mask, as cursor and icon resources hold them.
inline Bytes dib(const Painter &paint)
{
    Bytes b;
    put32(b, 40);
    put32(b, kSize);
    put32(b, kSize * 2);
    put16(b, 1);
    put16(b, 32);
    for (int i = 0; i < 6; i++)
        put32(b, 0);
    for (int y = kSize - 1; y >= 0; y--)
        for (int x = 0; x < kSize; x++) {
            const uint32_t c = paint(x, y);
            b.push_back(uint8_t(c)), b.push_back(uint8_t(c >> 8)), b.push_back(uint8_t(c >> 16)), b.push_back(uint8_t(c >> 24));
        }
    for (int y = kSize - 1; y >= 0; y--)
        for (int byte = 0; byte < kSize / 8; byte++) {
            uint8_t m = 0;
            for (int bit = 0; bit < 8; bit++)
                if ((paint(byte * 8 + bit, y) >> 24) == 0)
                    m |= uint8_t(0x80 >> bit);
            b.push_back(m);
        }
    return b;
}

// The group record: one entry naming resource `id`.
inline Bytes group(bool cursor, uint32_t bytes, unsigned id)
{
    Bytes b;
    put16(b, 0);
    put16(b, cursor ? 2 : 1);
    put16(b, 1);
    if (cursor) {
        put16(b, kSize);
        put16(b, kSize * 2);
    } else {
        b.push_back(kSize), b.push_back(kSize), b.push_back(0), b.push_back(0);
    }
    put16(b, 1);
    put16(b, 32);
    put32(b, bytes);
    put16(b, id);
    return b;
}

// Whether (x, y) lies inside the polygon of `n` corners (even-odd rule).
inline bool inside(const double (*pts)[2], int n, double x, double y)
{
    bool in = false;
    for (int i = 0, j = n - 1; i < n; j = i++)
        if ((pts[i][1] > y) != (pts[j][1] > y) &&
            x < (pts[j][0] - pts[i][0]) * (y - pts[i][1]) / (pts[j][1] - pts[i][1]) + pts[i][0])
            in = !in;
    return in;
}

inline bool save(const char *tool, const std::string &path, const Bytes &b)
{
    if (!PlatWriteFileAtomic(path.c_str(), b.data(), b.size())) {
        fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str());
        return false;
    }
    return true;
}

}  // namespace resart
