// Writes Terrow's icon and cursors at build time: an icon group naming one 32x32 32-bit icon (a steel
// ball resting on a bevelled stone tile), and for each cursor resource a cursor group naming one
// 32x32 cursor: the arrow, with the carried element drawn small beside its tip (balls in their
// colours, slopes and corners turned to their direction, magnet, spikes, goal, start, block).
//   terrow_art OUT_FOLDER  -> group_icon.bin icon.bin group_cursor_N.bin cursor_N.bin
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

bool inside_arrow(double x, double y)
{
    static const double pts[][2] = {{0, 0}, {0, 17}, {4.5, 13}, {7.5, 20}, {10.5, 18.8}, {7.5, 12}, {13, 12}};
    return inside(pts, int(sizeof pts / sizeof pts[0]), x, y);
}

enum class Carried { None, Ball, Slope, Corner, Magnet, Spikes, Goal, Start, Block };

struct CursorKind {
    int id;
    Carried what;
    uint32_t colour;  // ball colour
    int direction;    // 0..3: +z, +x, -z, -x seen from above
};

// The carried element in the lower right quarter, centred on (22, 22).
uint32_t carried(const CursorKind &k, int x, int y)
{
    const double cx = x + 0.5 - 22, cy = y + 0.5 - 22;
    const double r = std::hypot(cx, cy);
    auto stone = [&](double shade) { return argb(178 * shade, 166 * shade, 146 * shade); };
    switch (k.what) {
    case Carried::Ball: {
        if (r > 7.5)
            return 0;
        const double lit = std::max(0.0, 1 - std::hypot(cx + 2.5, cy + 2.5) / 9);
        const uint32_t c = k.colour;
        auto ch = [&](int s) { return ((c >> s) & 0xFF) * (0.55 + 0.6 * lit); };
        return r > 6.6 ? argb(20, 20, 24) : argb(ch(16), ch(8), ch(0));
    }
    case Carried::Slope:
    case Carried::Corner: {
        if (std::fabs(cx) > 7.5 || std::fabs(cy) > 7.5)
            return 0;
        // Turn the point into the element's own frame: the slope rises towards "up" on the screen.
        double u = cx, v = cy;
        for (int i = 0; i < k.direction; i++) {
            const double t = u;
            u = -v;
            v = t;
        }
        if (std::fabs(cx) > 6.6 || std::fabs(cy) > 6.6)
            return argb(30, 28, 26);
        if (k.what == Carried::Corner && u + v > 0)
            return 0;
        const double height = k.what == Carried::Slope ? (7.5 - v) / 15 : (-(u + v)) / 15;
        const bool arrow = k.what == Carried::Slope && std::fabs(u) < 1.2 + std::max(0.0, (-v - 1) * 0.9) && v < 4 && v > -5;
        return arrow ? argb(60, 50, 40) : stone(0.6 + 0.5 * height);
    }
    case Carried::Magnet:
        if (r < 7 && r > 3.5 && cy < 1)
            return cx < 0 ? argb(205, 40, 35) : argb(210, 210, 220);
        if (cy >= 1 && cy < 7 && std::fabs(std::fabs(cx) - 5.25) < 1.75)
            return argb(225, 225, 235);
        return 0;
    case Carried::Spikes: {
        if (std::fabs(cx) > 7.5 || cy > 7.5 || cy < -7.5)
            return 0;
        if (cy > 3)
            return stone(0.8);
        const double sx = std::fmod(cx + 7.5, 5.0) - 2.5;
        return std::fabs(sx) < (cy + 7.5) / 4.2 ? argb(200 - std::fabs(sx) * 30, 205 - std::fabs(sx) * 30, 220) : 0;
    }
    case Carried::Goal:
        if (r > 7.5)
            return 0;
        return argb(255, 200 + 55 * (1 - r / 7.5), 80 + 150 * (1 - r / 7.5));
    case Carried::Start:
        if (std::fabs(cx) > 7.5 || std::fabs(cy) > 7.5)
            return 0;
        return r > 3.5 && r < 5.5 ? argb(110, 220, 110) : stone(0.9);
    case Carried::Block:
        if (std::fabs(cx) > 7.5 || std::fabs(cy) > 7.5)
            return 0;
        return (std::fabs(cx) > 6.2 || std::fabs(cy) > 6.2) ? stone(cx + cy < 0 ? 1.15 : 0.55) : stone(0.9);
    case Carried::None:
        break;
    }
    return 0;
}

Painter cursor_painter(const CursorKind &k)
{
    return [k](int x, int y) -> uint32_t {
        const double cx = x + 0.5, cy = y + 0.5;
        if (inside_arrow(cx, cy)) {
            const bool rim = !inside_arrow(cx - 1.1, cy) || !inside_arrow(cx + 1.1, cy) || !inside_arrow(cx, cy - 1.1) ||
                             !inside_arrow(cx, cy + 1.1);
            return rim || (x == 0 && y < 17) ? argb(16, 18, 24) : argb(240, 244, 250);
        }
        return k.what == Carried::None ? 0 : carried(k, x, y);
    };
}

const CursorKind kCursors[] = {
    {131, Carried::None, 0, 0},         {111, Carried::Block, 0, 0},      {113, Carried::Ball, 0x9AA2B0, 0},
    {115, Carried::Ball, 0xC4E6F4, 0},  {118, Carried::Ball, 0x303038, 0}, {116, Carried::Ball, 0xC03428, 0},
    {119, Carried::Slope, 0, 0},        {120, Carried::Slope, 0, 1},      {121, Carried::Slope, 0, 2},
    {122, Carried::Slope, 0, 3},        {125, Carried::Corner, 0, 0},     {126, Carried::Corner, 0, 1},
    {124, Carried::Corner, 0, 2},       {123, Carried::Corner, 0, 3},     {114, Carried::Magnet, 0, 0},
    {129, Carried::Spikes, 0, 0},       {127, Carried::Goal, 0, 0},       {128, Carried::Start, 0, 0},
};

bool save(const std::string &path, const Bytes &b)
{
    return resart::save("terrow_art", path, b);
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
    bool ok = save(out + "/icon.bin", icon) && save(out + "/group_icon.bin", group(false, uint32_t(icon.size()), 1));
    // Cursor images are numbered 2.. in table order; each group names its own.
    unsigned image = 2;
    for (const CursorKind &k : kCursors) {
        Bytes cursor;
        put16(cursor, 0);  // the hot spot: the arrow's tip
        put16(cursor, 0);
        const Bytes d = dib(cursor_painter(k));
        cursor.insert(cursor.end(), d.begin(), d.end());
        const std::string id = std::to_string(k.id);
        ok = ok && save(out + "/cursor_" + id + ".bin", cursor) &&
             save(out + "/group_cursor_" + id + ".bin", group(true, uint32_t(cursor.size()), image++));
    }
    return ok ? 0 : 1;
}
