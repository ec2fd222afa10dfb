// The glow effects: the three volumes, the colour ramps, the packed colour, the path's glow points and
// the painter's depth test on a small picture.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <vector>

#include "kelpa/kelpa.h"

namespace {

int cellOf(const uint8_t *v, int a, int b, int c)
{
    return v[a * 1024 + b * 32 + c];
}

TEST(Glow, EffectTablesFollowTheirFormulas)
{
    KpBuildEffectTables();
    const KpEffects &e = kpEffects();
    EXPECT_EQ(cellOf(e.falloff, 16, 16, 16), 31);
    EXPECT_EQ(cellOf(e.halo, 16, 16, 16), 36);
    EXPECT_EQ(cellOf(e.core, 16, 16, 16), 63);
    // Off-centre cells from the formulas in double precision.
    const int cells[][3] = {{0, 0, 0}, {16, 16, 20}, {10, 12, 16}, {31, 16, 16}, {18, 17, 16}, {0, 31, 5}};
    for (const auto &c : cells) {
        const double s = (c[0] - 16) * (c[0] - 16) + (c[1] - 16) * (c[1] - 16) + (c[2] - 16) * (c[2] - 16);
        const int d = int(fmin(63.0, trunc(4 * sqrt(s))));
        EXPECT_EQ(cellOf(e.falloff, c[0], c[1], c[2]), int(trunc(4 * sqrt(63.0 - d))));
        EXPECT_EQ(cellOf(e.halo, c[0], c[1], c[2]), s < 256 ? int(trunc((255 - 64 * pow(s, 0.25)) / 7)) : 0);
        EXPECT_EQ(cellOf(e.core, c[0], c[1], c[2]), d < 16 ? 63 : int(trunc(63 * cos((d - 16) * M_PI / 96))));
    }
}

TEST(Glow, RampsAndPackedColours)
{
    KpSetGlowColour(255, 128, 8);
    const KpEffects &e = kpEffects();
    EXPECT_EQ(e.red[0], 31 * 64);
    EXPECT_EQ(e.green[0], 32 * 64);
    EXPECT_EQ(e.blue[0], 1 * 64);
    EXPECT_EQ(e.red[63], 0);
    EXPECT_EQ(e.red[21], 31 * 64 * 42 / 63);
    EXPECT_EQ(KpPackRgb(31, 63, 31), 0xFFFF);
    EXPECT_EQ(KpPackRgb(0x101, 0x200, 0x305), KpPackRgb(1, 0, 5));
}

TEST(Glow, PathShapes)
{
    // Along +x, a turn to +z, along +z, and the last cell entered along +z.
    const int32_t path[5][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}};
    KpFillGlowPoints(path, 5);
    const KpEffects &e = kpEffects();
    const struct {
        int entry;
        float step0[2], step1[2];  // point 0 of steps 0 and 1
    } cases[] = {
        {3, {-0.025f, 0.025f}, {0, 0.025f}},         // cell 1: along +x
        {6, {-0.025f, 0.025f}, {-0.025f, 0.025f}},   // cell 2: turn from +x to +z
        {9, {-0.025f, -0.025f}, {-0.025f, 0}},       // cell 3: along +z
        {12, {-0.025f, -0.025f}, {-0.025f, 0}},      // cell 4 (last): along +z
    };
    for (const auto &c : cases) {
        EXPECT_FLOAT_EQ(e.points[c.entry][0][0], c.step0[0]) << c.entry;
        EXPECT_FLOAT_EQ(e.points[c.entry][0][1], c.step0[1]) << c.entry;
        EXPECT_FLOAT_EQ(e.points[c.entry + 1][0][0], c.step1[0]) << c.entry;
        EXPECT_FLOAT_EQ(e.points[c.entry + 1][0][1], c.step1[1]) << c.entry;
    }
    // Cell 0 has none; a turn from +z to +x.
    EXPECT_EQ(e.points[0][1][0], 0.0f);
    const int32_t turn[3][2] = {{0, 0}, {0, 1}, {1, 1}};
    KpFillGlowPoints(turn, 3);
    EXPECT_FLOAT_EQ(e.points[4][1][0], 0.007f);
    EXPECT_FLOAT_EQ(e.points[4][1][1], -0.007f);
    // A path longer than 24 cells: nothing written past the table.
    std::vector<int32_t> longPath(60 * 2);
    for (int i = 0; i < 60; i++)
        longPath[2 * i] = i;
    KpFillGlowPoints(reinterpret_cast<const int32_t(*)[2]>(longPath.data()), 60);
}

// A 16 x 16 picture, grey, with the right half nearer than the glow.
struct Picture {
    std::vector<uint16_t> colour = std::vector<uint16_t>(256, 0x8410), depth = std::vector<uint16_t>(256, 0xFFFF);
    br_pixelmap c{}, d{};
    Picture()
    {
        for (br_pixelmap *m : {&c, &d}) {
            m->width = m->height = 16;
            m->row_bytes = 32;
        }
        c.pixels = colour.data();
        d.pixels = depth.data();
        for (int y = 0; y < 16; y++)
            for (int x = 8; x < 16; x++)
                depth[y * 16 + x] = 100;
    }
};

TEST(Glow, PainterKeepsToTheDepthAndThePicture)
{
    KpBuildEffectTables();
    KpSetGlowColour(255, 255, 0);
    for (int kind : {KP_GLOW_FALLOFF, KP_GLOW_CORE}) {
        Picture p;
        KpGlowSquare(kind, &p.c, &p.d, 0, 0, 16, 1000, 200);
        // Behind the glow's near depth (the right half is nearer): untouched.
        for (int y = 0; y < 16; y++)
            for (int x = 8; x < 16; x++)
                ASSERT_EQ(p.colour[y * 16 + x], 0x8410) << kind;
        EXPECT_NE(p.colour[8 * 16 + 7], 0x8410) << kind;
        // Toward yellow: more red, no more blue.
        EXPECT_GT(p.colour[8 * 16 + 7] >> 11, 0x8410 >> 11);
        EXPECT_LE(p.colour[8 * 16 + 7] & 0x1F, 0x10);
    }
    // The halo takes only depths within its extent; with no extent it paints nothing.
    Picture halo;
    for (int x = 0; x < 16; x++)
        halo.depth[8 * 16 + x] = 1050;
    KpGlowSquare(KP_GLOW_HALO, &halo.c, &halo.d, 0, 0, 16, 1000, 100);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            if (y != 8) {
                ASSERT_EQ(halo.colour[y * 16 + x], 0x8410);
            }
    EXPECT_NE(halo.colour[8 * 16 + 6], 0x8410);
    Picture flat;
    for (uint16_t &z : flat.depth)
        z = 1000;
    KpGlowSquare(KP_GLOW_HALO, &flat.c, &flat.d, 0, 0, 16, 1000, 0);
    // A square of side 0 or wholly outside paints nothing; one partly outside stays inside.
    KpGlowSquare(KP_GLOW_FALLOFF, &flat.c, &flat.d, 0, 0, 0, 0, 10);
    KpGlowSquare(KP_GLOW_FALLOFF, &flat.c, &flat.d, 16, 0, 8, 0, 10);
    KpGlowSquare(KP_GLOW_FALLOFF, &flat.c, &flat.d, -8, -8, 8, 0, 10);
    for (uint16_t v : flat.colour)
        ASSERT_EQ(v, 0x8410);
    KpGlowSquare(KP_GLOW_FALLOFF, &flat.c, &flat.d, -8, -8, 16, 0, 10);
    EXPECT_NE(flat.colour[0], 0x8410);
    EXPECT_EQ(flat.colour[8 * 16 + 8], 0x8410);
}

}  // namespace
