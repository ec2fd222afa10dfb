// Writes the program's cursor and icon resources at build time: a cursor group naming one 32x32
// 32-bit cursor (an arrow with a warm gradient and a dark rim, hot spot at its tip) and an icon group
// naming one 32x32 32-bit icon (a bevelled blue tile with a gold diamond).
//   mavrel_cursors OUT_FOLDER  -> group_cursor.bin cursor.bin group_icon.bin icon.bin
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "vokplat/save.h"

namespace {

constexpr int kSize = 32;
using Bytes = std::vector<uint8_t>;
using Painter = std::function<uint32_t(int x, int y)>;  // 0xAARRGGBB, top row first

void put16(Bytes &b, unsigned v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void put32(Bytes &b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }

// A 32-bit DIB of twice the height with its AND mask, as cursor and icon resources hold them.
Bytes dib(const Painter &paint)
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
Bytes group(bool cursor, uint32_t bytes, unsigned id)
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

bool inside_arrow(double x, double y)
{
    static const double pts[][2] = {{0, 0}, {0, 22}, {5.5, 17}, {9.5, 26}, {13, 24.5}, {9, 16}, {16, 16}};
    bool in = false;
    const int n = sizeof pts / sizeof pts[0];
    for (int i = 0, j = n - 1; i < n; j = i++)
        if ((pts[i][1] > y) != (pts[j][1] > y) &&
            x < (pts[j][0] - pts[i][0]) * (y - pts[i][1]) / (pts[j][1] - pts[i][1]) + pts[i][0])
            in = !in;
    return in;
}

uint32_t arrow(int x, int y)
{
    const double cx = x + 0.5, cy = y + 0.5;
    if (x == 0 && y < 22)
        return 0xFF1A1020u;  // the left edge down from the tip, the hot spot included
    if (!inside_arrow(cx, cy))
        return 0;
    const bool rim = !inside_arrow(cx - 1.2, cy) || !inside_arrow(cx + 1.2, cy) || !inside_arrow(cx, cy - 1.2) ||
                     !inside_arrow(cx, cy + 1.2);
    if (rim)
        return 0xFF1A1020u;
    const double t = std::min(1.0, (cx + cy) / 30.0);
    const uint32_t r = 255, g = uint32_t(220 - 90 * t), b = uint32_t(90 - 70 * t);
    return 0xFF000000u | r << 16 | g << 8 | b;
}

uint32_t tile(int x, int y)
{
    if (x < 1 || y < 1 || x > 30 || y > 30)
        return 0;
    const int edge = std::min(std::min(x - 1, y - 1), std::min(30 - x, 30 - y));
    if (std::abs(x - 15.5) + std::abs(y - 15.5) < 9)
        return 0xFFF0C040u - uint32_t(std::abs(x - y) * 0x0300);
    uint32_t b = 200 - uint32_t(y * 3), g = 90 - uint32_t(y), r = 30;
    if (edge < 2)
        (x + 2 < y + 2 ? b += 40 : b -= 60);
    return 0xFF000000u | r << 16 | g << 8 | b;
}

bool save(const std::string &path, const Bytes &b)
{
    if (!PlatWriteFileAtomic(path.c_str(), b.data(), b.size())) {
        fprintf(stderr, "mavrel_cursors: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: mavrel_cursors OUT_FOLDER\n");
        return 2;
    }
    const std::string out = argv[1];
    Bytes cursor;
    put16(cursor, 0);  // the hot spot: the arrow's tip
    put16(cursor, 0);
    const Bytes arrowDib = dib(arrow), iconDib = dib(tile);
    cursor.insert(cursor.end(), arrowDib.begin(), arrowDib.end());
    const bool ok = save(out + "/cursor.bin", cursor) && save(out + "/group_cursor.bin", group(true, uint32_t(cursor.size()), 1)) &&
                    save(out + "/icon.bin", iconDib) && save(out + "/group_icon.bin", group(false, uint32_t(iconDib.size()), 2));
    return ok ? 0 : 1;
}
