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

#include "resart.h"

namespace {

using namespace resart;

bool inside_arrow(double x, double y)
{
    static const double pts[][2] = {{0, 0}, {0, 22}, {5.5, 17}, {9.5, 26}, {13, 24.5}, {9, 16}, {16, 16}};
    return inside(pts, int(sizeof pts / sizeof pts[0]), x, y);
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
    return resart::save("mavrel_cursors", path, b);
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
