// Terrow's pictures: bevelled stone and metal faces laid out three across and two down (the cells
// the UV maps point at), warm ones for supplied elements and dark ones for their shadows, the ball
// skins, the goal's glow and the carousel.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "terrow.h"

namespace datagen::terrow {

namespace {

struct Rgb {
    double r, g, b;
};

uint32_t argb(Rgb c, double a = 255)
{
    auto k = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0) + 0.5); };
    return k(a) << 24 | k(c.r) << 16 | k(c.g) << 8 | k(c.b);
}

Rgb scale(Rgb c, double f)
{
    return {c.r * f, c.g * f, c.b * f};
}

Rgb mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A small fixed hash for grain: the same bytes on every run.
double grain(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

Image blank(int w, int h)
{
    Image im;
    im.width = w;
    im.height = h;
    im.argb.assign(size_t(w) * h, 0xFF000000u);
    return im;
}

enum class Emblem { None, Arrow, Corner, Start, Goal, Spikes, Magnet, Ground, Marker, Stop, Lock };

// The cell bounds of the texture grid (U 0.001..0.333 | 0.34..0.66 | 0.67..0.99, V 0.001..0.5 |
// 0.51..0.99) on a W x H picture.
void cell_of(int x, int y, int w, int h, int &cx, int &cy, double &u, double &v)
{
    const double fu = (x + 0.5) / w, fv = (y + 0.5) / h;
    cx = fu < 0.3365 ? 0 : fu < 0.665 ? 1 : 2;
    cy = fv < 0.505 ? 0 : 1;
    const double u0[3] = {0.0, 0.3365, 0.665}, u1[3] = {0.3365, 0.665, 1.0};
    const double v0[2] = {0.0, 0.505}, v1[2] = {0.505, 1.0};
    u = (fu - u0[cx]) / (u1[cx] - u0[cx]);
    v = (fv - v0[cy]) / (v1[cy] - v0[cy]);
}

// A bevelled face: light on the top and left rim, shade on the bottom and right, grain inside, the
// emblem on the first cell (the top face).
uint32_t face_pixel(Rgb base, bool metal, Emblem emblem, int cell, double u, double v, int x, int y, uint32_t seed)
{
    const double g = grain(x, y, seed), g2 = grain(x / 3, y / 3, seed + 7);
    Rgb c = metal ? scale(base, 0.85 + 0.25 * std::sin(u * 9.0 + g2 * 0.6) * 0.4 + 0.1 * g)
                  : scale(base, 0.86 + 0.12 * g + 0.08 * g2);
    const double edge = std::min(std::min(u, v), std::min(1 - u, 1 - v));
    if (edge < 0.09) {
        const bool lit = (u < v) ? (u < 1 - v) : (v < 1 - u);  // the left or the top rim
        c = lit ? mix(c, {255, 250, 235}, 0.38) : scale(c, 0.52);
        if (edge < 0.02)
            c = scale(c, 0.6);
    }
    if (cell == 0) {
        const double px = u - 0.5, pz = v - 0.5, r = std::hypot(px, pz);
        switch (emblem) {
        case Emblem::Arrow:  // the way down the slope
            if (std::fabs(px) < 0.08 + (pz > 0.05 ? 0 : 0) && pz > -0.3 && pz < 0.12)
                c = scale(c, 0.62);
            if (pz <= -0.12 && pz > -0.36 && std::fabs(px) < (pz + 0.36) * 0.9)
                c = scale(c, 0.62);
            break;
        case Emblem::Corner:
            if (std::fabs(px + pz) < 0.06 && r < 0.38)
                c = scale(c, 0.6);
            break;
        case Emblem::Start:  // a bright ring the balls set off from
            if (r > 0.22 && r < 0.32)
                c = mix(c, {120, 230, 120}, 0.75);
            break;
        case Emblem::Goal:
            c = mix(c, {255, 236, 120}, std::max(0.0, 1 - r * 2.1));
            if (r > 0.36 && r < 0.42)
                c = mix(c, {255, 200, 60}, 0.8);
            break;
        case Emblem::Spikes: {
            const double sx = std::fmod(u * 4, 1.0) - 0.5, sz = std::fmod(v * 4, 1.0) - 0.5;
            const double d = std::fabs(sx) + std::fabs(sz);
            if (d < 0.42)
                c = mix(c, {235, 235, 245}, (0.42 - d) * 1.8 * (sx < sz ? 1.0 : 0.55));
            break;
        }
        case Emblem::Magnet:
            if (r > 0.17 && r < 0.3 && pz < 0.08)
                c = px < 0 ? Rgb{205, 40, 35} : Rgb{200, 200, 210};
            if (pz >= 0.08 && pz < 0.28 && std::fabs(std::fabs(px) - 0.235) < 0.065)
                c = Rgb{225, 225, 235};
            break;
        case Emblem::Ground:
            c = scale(c, 0.92);
            break;
        case Emblem::Marker:
            if (r < 0.3)
                c = mix(c, {250, 250, 250}, 0.5);
            break;
        case Emblem::Stop:
            if (r < 0.32 && std::fabs(px - pz) < 0.07)
                c = {200, 30, 30};
            if (std::fabs(r - 0.3) < 0.04)
                c = {200, 30, 30};
            break;
        case Emblem::Lock:
            if (std::fabs(px) < 0.18 && pz > -0.05 && pz < 0.25)
                c = {190, 160, 40};
            if (std::fabs(r - 0.13) < 0.035 && pz < -0.05 && pz > -0.3)
                c = {190, 160, 40};
            break;
        case Emblem::None:
            break;
        }
    }
    return argb(c);
}

Image tile_texture(Rgb base, bool metal, Emblem emblem, uint32_t seed, int w = 192, int h = 128)
{
    Image im = blank(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int cx, cy;
            double u, v;
            cell_of(x, y, w, h, cx, cy, u, v);
            im.argb[size_t(y) * w + x] = face_pixel(base, metal, emblem, cy * 3 + cx, u, v, x, y, seed);
        }
    return im;
}

// One face over the whole picture, for the models the game maps with a planar map (the magnets).
Image whole_texture(Rgb base, bool metal, Emblem emblem, uint32_t seed, int w = 128, int h = 128)
{
    Image im = blank(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            im.argb[size_t(y) * w + x] = face_pixel(base, metal, emblem, 0, (x + 0.5) / w, (y + 0.5) / h, x, y, seed);
    return im;
}

// A lit ball skin, wrapped round the sphere: bands of the material with a bright spot.
Image ball_skin(Rgb base, Rgb band, double shine, uint32_t seed)
{
    const int w = 128, h = 64;
    Image im = blank(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const double lat = (y + 0.5) / h, lon = (x + 0.5) / w;
            Rgb c = scale(base, 0.9 + 0.1 * grain(x, y, seed));
            if (std::fabs(lat - 0.5) < 0.06 || std::fabs(std::fmod(lon * 4, 1.0) - 0.5) < 0.03)
                c = band;
            const double spot = std::exp(-(std::pow((lon - 0.3) * 6, 2) + std::pow((lat - 0.3) * 6, 2)));
            im.argb[size_t(y) * w + x] = argb(mix(c, {255, 255, 255}, spot * shine));
        }
    return im;
}

// The shadow under a ball: dark in the middle, fading to nothing (black 0 is the transparent key,
// so the darkest shade kept is 1 step above it).
Image shadow_blob()
{
    // The game shows the middle 40% of the picture across the tile under a resting ball, blended at
    // half strength: dark out to about the ball's outline (r 0.4), then up to a light grey that half
    // blended leaves a tile's stone nearly as it was, so the tile's edge draws no line.
    const int n = 64;
    Image im = blank(n, n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const double r = std::hypot(x + 0.5 - n / 2.0, y + 0.5 - n / 2.0) / (n / 2.0);
            const double t = std::clamp((r - 0.2) / 0.3, 0.0, 1.0);
            const double v = 4 + 116 * t * t * (3 - 2 * t);
            im.argb[size_t(y) * n + x] = argb({v, v, v + 4 * (1 - t)});
        }
    return im;
}

// The catalogue's count digits: 0..9 in a band, light figures on a dark plate.
Image digit_band()
{
    static const char *const glyphs[10][5] = {
        {"###", "# #", "# #", "# #", "###"}, {" # ", "## ", " # ", " # ", "###"}, {"###", "  #", "###", "#  ", "###"},
        {"###", "  #", "###", "  #", "###"}, {"# #", "# #", "###", "  #", "  #"}, {"###", "#  ", "###", "  #", "###"},
        {"###", "#  ", "###", "# #", "###"}, {"###", "  #", " # ", " # ", " # "}, {"###", "# #", "###", "# #", "###"},
        {"###", "# #", "###", "  #", "###"}};
    const int cw = 16, w = cw * 10, h = 16;
    Image im = blank(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const int d = x / cw, gx = (x % cw - 3) / 3, gy = (y - 1) / 3;
            bool on = gx >= 0 && gx < 3 && gy >= 0 && gy < 5 && glyphs[d][gy][gx] == '#';
            im.argb[size_t(y) * w + x] = on ? argb({250, 240, 200}) : argb({40, 44, 60});
        }
    return im;
}

// The trace marks a run leaves: a soft blue glow.
Image force_field()
{
    const int n = 32;
    Image im = blank(n, n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const double r = std::hypot(x + 0.5 - n / 2.0, y + 0.5 - n / 2.0) / (n / 2.0);
            const double t = std::clamp(1 - r, 0.0, 1.0);
            im.argb[size_t(y) * n + x] = argb(mix({20, 30, 70}, {150, 210, 255}, t * t));
        }
    return im;
}

// One frame of the supply carousel: a ring of eight lit studs, turned by `frame` twelfths.
Image carousel(int frame)
{
    const int n = 64;
    Image im = blank(n, n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const double dx = x + 0.5 - n / 2.0, dy = y + 0.5 - n / 2.0, r = std::hypot(dx, dy) / (n / 2.0);
            Rgb c = {60, 64, 78};
            if (r > 0.55 && r < 0.9)
                c = {110, 116, 130};
            const double a = std::atan2(dy, dx) / (2 * M_PI) * 8 + frame * 8.0 / 12.0;
            const double near = std::fabs(a - std::round(a));
            if (r > 0.6 && r < 0.85 && near < 0.16)
                c = mix({230, 190, 90}, {255, 250, 220}, 1 - near / 0.16);
            im.argb[size_t(y) * n + x] = argb(c);
        }
    return im;
}

// The hall's wall behind the field: panels of dressed stone in a warm light.
Image hall_wall()
{
    const int w = 256, h = 128;
    Image im = blank(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const int row = y / 32, bx = (x + (row & 1) * 32) % 64, by = y % 32;
            const bool joint = by < 2 || bx < 2;
            const double light = 0.75 + 0.25 * std::sin(y * M_PI / h);
            Rgb c = joint ? Rgb{58, 50, 44} : scale({176, 156, 128}, light * (0.88 + 0.14 * grain(x, y, 77)));
            im.argb[size_t(y) * w + x] = argb(c);
        }
    return im;
}

const Rgb kStone = {176, 166, 146}, kWarm = {214, 156, 84}, kDark = {78, 74, 70};
const Rgb kGround = {128, 122, 110}, kSteel = {150, 158, 172}, kRed = {170, 52, 44};

}  // namespace

std::vector<BallFrame> ball_frames(int type)
{
    struct Look {
        Rgb base, band;
        double shine;
    };
    const Look looks[4] = {{{150, 156, 168}, {90, 94, 106}, 0.9},
                           {{190, 222, 238}, {140, 196, 228}, 1.0},
                           {{44, 44, 50}, {220, 84, 30}, 0.6},
                           {{178, 50, 42}, {232, 200, 60}, 0.35}};
    const Look &look = looks[std::clamp(type, 0, 3)];
    const int w = 24, h = 26;
    std::vector<BallFrame> frames;
    for (int f = 0; f < 15; f++) {
        BallFrame fr;
        fr.colour = blank(w, h);
        fr.alpha.assign(size_t(w) * h, 0);
        // Rolling turns the band; travelling also lifts the ball a little each frame.
        const double turn = f * 0.42, lift = f < 5 ? 0 : (f - 4) * 0.35, r = 10.5;
        const double cx = w / 2.0, cy = h / 2.0 + 1 - lift;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d = std::hypot(dx, dy);
                if (d > r + 0.5)
                    continue;
                const double nz = std::sqrt(std::max(0.0, 1 - (d / r) * (d / r)));
                const double lit = std::clamp((-dx / r) * 0.45 + (-dy / r) * 0.55 + nz * 0.7, 0.0, 1.0);
                // The band: a great circle turned about the view axis.
                const double along = (dx * std::cos(turn) + dy * std::sin(turn)) / r;
                Rgb c = std::fabs(along) < 0.16 ? look.band : look.base;
                c = scale(c, 0.45 + 0.75 * lit);
                c = mix(c, {255, 255, 255}, std::pow(lit, 18) * look.shine);
                fr.colour.argb[size_t(y) * w + x] = argb(c);
                const double edge = std::clamp(r + 0.5 - d, 0.0, 1.0);
                fr.alpha[size_t(y) * w + x] = uint8_t(std::lround(255 * edge * (type == 1 ? 0.75 : 1.0)));
            }
        frames.push_back(std::move(fr));
    }
    return frames;
}

std::vector<uint8_t> grey_bmp(int width, int height, const std::vector<uint8_t> &levels)
{
    const int row = (width + 3) & ~3;
    const uint32_t data = uint32_t(row) * height, offset = 14 + 40 + 256 * 4;
    std::vector<uint8_t> b;
    auto put16 = [&](uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    b.push_back('B'), b.push_back('M');
    put32(offset + data), put32(0), put32(offset);
    put32(40), put32(uint32_t(width)), put32(uint32_t(height)), put16(1), put16(8), put32(0), put32(data);
    put32(2835), put32(2835), put32(256), put32(256);
    for (int i = 0; i < 256; i++)
        b.push_back(uint8_t(i)), b.push_back(uint8_t(i)), b.push_back(uint8_t(i)), b.push_back(0);
    for (int y = height - 1; y >= 0; y--) {
        for (int x = 0; x < width; x++)
            b.push_back(levels[size_t(y) * width + x]);
        for (int x = width; x < row; x++)
            b.push_back(0);
    }
    return b;
}

Image status_strip(const std::string &name)
{
    const int h = 29;
    if (name == "toollezar" || name == "celtool") {
        // The marker closing the balls' row; lit gold once the goal is reached.
        const int w = 12;
        Image im = blank(w, h);
        const bool lit = name == "celtool";
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const double t = std::fabs(x + 0.5 - w / 2.0) / (w / 2.0);
                Rgb c = lit ? mix({255, 236, 140}, {200, 130, 30}, t) : mix({150, 156, 170}, {60, 64, 76}, t);
                if (y < 2 || y > h - 3)
                    c = scale(c, 0.6);
                im.argb[size_t(y) * w + x] = argb(c);
            }
        return im;
    }
    // The strips: brushed metal, a bright top edge, a dark bottom edge and rivets every 80 pixels;
    // the right strip ("toolures", the empty part) is a shade darker and recessed.
    const int w = 640;
    const bool empty = name == "toolures";
    Image im = blank(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const double brushed = 0.9 + 0.1 * grain(x / 7, y, empty ? 3 : 4) + 0.04 * std::sin(y * 1.7);
            Rgb c = scale(empty ? Rgb{104, 110, 122} : Rgb{140, 148, 162}, brushed);
            if (y == 0)
                c = {226, 230, 238};
            else if (y == 1)
                c = mix(c, {226, 230, 238}, 0.5);
            else if (y >= h - 2)
                c = {40, 42, 50};
            if (empty && y >= 4 && y < 6)
                c = scale(c, 0.7);
            const double rx = std::fmod(x + 40.0, 80.0) - 40, ry = y - h / 2.0;
            if (std::hypot(rx, ry) < 2.6)
                c = mix({230, 232, 240}, {70, 72, 80}, (rx + ry + 2.6) / 5.2);
            im.argb[size_t(y) * w + x] = argb(c);
        }
    return im;
}

std::vector<PictureFile> textures()
{
    struct Tex {
        const char *folder, *name;
        Rgb base;
        bool metal;
        Emblem emblem;
    };
    const Tex tiles[] = {
        {"aq", "2lejto", kStone, false, Emblem::Arrow},     {"aq", "raklejt", kWarm, false, Emblem::Arrow},
        {"aq", "2utkozo", kStone, false, Emblem::Corner},   {"aq", "rakutkoz", kWarm, false, Emblem::Corner},
        {"aq", "1panel", kStone, false, Emblem::None},      {"aq", "rakpanel", kWarm, false, Emblem::None},
        {"aq", "1indito", kStone, false, Emblem::Start},    {"aq", "rakindit", kWarm, false, Emblem::Start},
        {"aq", "2allapy", kGround, false, Emblem::Ground},  {"bq", "slejto", kDark, false, Emblem::Arrow},
        {"bq", "sutkozo", kDark, false, Emblem::Corner},    {"bq", "spanel", kDark, false, Emblem::None},
        {"bq", "3magnes", kSteel, true, Emblem::Magnet},    {"bq", "sindit", kDark, false, Emblem::Start},
        {"bq", "2tuskes", {120, 124, 136}, true, Emblem::Spikes},
        {"cq", "nomove", {150, 150, 160}, true, Emblem::Stop},
        {"cq", "nodir", {150, 150, 160}, true, Emblem::Lock},
        {"cq", "lapmagnk", kSteel, true, Emblem::Magnet},
    };
    std::vector<PictureFile> out;
    uint32_t seed = 1;
    for (const Tex &t : tiles) {
        const std::string id = std::string(t.folder) + "\\" + t.name + ".pix";
        // The magnets are mapped over their top as a whole, the other blocks cell by cell.
        const bool whole = t.emblem == Emblem::Magnet;
        out.push_back({"fw/" + std::string(t.folder) + "/" + t.name + ".pix", id,
                       whole ? whole_texture(t.base, t.metal, t.emblem, seed++)
                             : tile_texture(t.base, t.metal, t.emblem, seed++)});
    }
    struct Ball {
        const char *name;
        Rgb base, band;
        double shine;
    };
    const Ball balls[] = {
        {"fem1a", {150, 156, 168}, {96, 100, 112}, 0.9},   {"sfem1a", {70, 72, 80}, {50, 52, 58}, 0.3},
        {"gumi", {176, 48, 40}, {230, 200, 60}, 0.35},     {"sgumi", {80, 28, 24}, {100, 90, 30}, 0.15},
        {"bomba", {40, 40, 46}, {220, 80, 30}, 0.6},       {"sbomb", {24, 24, 28}, {90, 40, 20}, 0.2},
        {"golf", {196, 226, 240}, {150, 200, 230}, 1.0},   {"suveg", {80, 96, 110}, {60, 80, 96}, 0.3},
    };
    for (const Ball &b : balls)
        out.push_back({"fw/bq/" + std::string(b.name) + ".pix", std::string("bq\\") + b.name + ".pix",
                       ball_skin(b.base, b.band, b.shine, seed++)});
    out.push_back({"fw/bq/eroter.pix", "bq\\eroter.pix", force_field()});
    out.push_back({"fw/cq/szamsav.pix", "cq\\szamsav.pix", digit_band()});
    out.push_back({"bq/arny256x.pix", "bq\\arny256x.pix", shadow_blob()});
    return out;
}

std::vector<PictureFile> trt_pictures()
{
    std::vector<PictureFile> out;
    out.push_back({"cq\\cell0001.pix", "cq\\cell0001.pix",
                   tile_texture({200, 176, 96}, true, Emblem::Goal, 90)});
    for (int f = 0; f < 12; f++) {
        char name[32];
        snprintf(name, sizeof name, "cq\\forg%04d.pix", f);
        out.push_back({name, name, carousel(f)});
    }
    out.push_back({"palastm.pix", "palastm.pix", hall_wall()});
    return out;
}

}  // namespace datagen::terrow
