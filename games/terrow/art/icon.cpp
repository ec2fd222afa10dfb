// Writes Terrow's icon resource at build time: an icon group naming one 32x32 32-bit icon, a steel
// ball resting on a bevelled stone tile.
//   terrow_art OUT_FOLDER  -> group_icon.bin icon.bin
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

uint32_t argb(double r, double g, double b)
{
    auto c = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}

uint32_t ball_on_tile(int x, int y)
{
    if (x < 1 || y < 1 || x > 30 || y > 30)
        return 0;
    const double cx = x + 0.5 - 16, cy = y + 0.5 - 14, r = 9.5;
    const double d = std::sqrt(cx * cx + cy * cy);
    if (d < r) {
        // A lit steel sphere: light from the upper left, a bright spot and a dark rim.
        const double nz = std::sqrt(std::max(0.0, 1 - (d / r) * (d / r)));
        const double lit = std::max(0.0, (-cx / r) * 0.5 + (-cy / r) * 0.6 + nz * 0.62);
        const double spot = std::pow(std::max(0.0, lit), 24) * 200;
        const double v = 40 + 150 * lit + spot;
        return argb(v, v + 6, v + 16);
    }
    const int edge = std::min(std::min(x - 1, y - 1), std::min(30 - x, 30 - y));
    const int grain = ((x * 7 + y * 13) ^ (x * y)) & 15;
    double v = 150 + grain;
    if (edge < 3)
        v += (x < 31 - y) ? 50 : -70;  // the bevel: light on the top and left, shade on the rest
    const double shadow = std::hypot(cx - 2.5, (cy - 9) * 2.2) < 10 ? 0.55 : 1.0;
    return argb(v * shadow, (v - 10) * shadow, (v - 28) * shadow);
}

bool save(const std::string &path, const Bytes &b)
{
    if (!PlatWriteFileAtomic(path.c_str(), b.data(), b.size())) {
        fprintf(stderr, "terrow_art: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: terrow_art OUT_FOLDER\n");
        return 2;
    }
    const std::string out = argv[1];
    const Bytes icon = dib(ball_on_tile);
    const bool ok = save(out + "/icon.bin", icon) && save(out + "/group_icon.bin", group(false, uint32_t(icon.size()), 1));
    return ok ? 0 : 1;
}
