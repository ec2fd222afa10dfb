// Glow volumes and ramps, the drawers against the depth buffer, the dirty rectangle and the present,
// the light pulse and the trace marks.
#include <vector>

#include <gtest/gtest.h>

#include "scene.h"
#include "terrow/trfx.h"
#include "terrow/trmodule.h"
#include "terrow/trplay.h"
#include "vokplat/clock.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"

using glowtest::kH;
using glowtest::kW;
using glowtest::Scene;

namespace {

int at3(int i, int j, int k)
{
    return (i * GLOW_SIDE + j) * GLOW_SIDE + k;
}

TEST(Volumes, CentresEdgesAndRampEnds)
{
    const uint8_t *soft = Glow_Volume(GLOW_SOFT), *halo = Glow_Volume(GLOW_HALO), *core = Glow_Volume(GLOW_CORE);
    EXPECT_EQ(soft[at3(16, 16, 16)], 63);
    EXPECT_EQ(halo[at3(16, 16, 16)], 36);
    EXPECT_EQ(core[at3(16, 16, 16)], 63);
    EXPECT_EQ(soft[at3(0, 0, 0)], 0);
    EXPECT_EQ(halo[at3(0, 0, 0)], 0);
    EXPECT_EQ(core[at3(0, 0, 0)], 2);
    // The core is flat out to r = 16 (d = 4 voxels), the halo ends where d reaches 16.
    EXPECT_EQ(core[at3(16, 16, 20)], 63);
    EXPECT_EQ(halo[at3(16, 16, 0)], 0);
    EXPECT_GT(halo[at3(16, 16, 1)], 0);

    struct Case {
        int set, r63, g63, b63;
    } cases[] = {{0, 1984, 1024, 512}, {1, 512, 1024, 1984}, {2, 512, 4032, 512}, {3, 1536, 0, 1984}, {4, 1984, 4032, 0}};
    for (const Case &c : cases) {
        Glow_SetColourSet(c.set);
        EXPECT_EQ(Glow_Ramp(0)[0], 0) << c.set;
        EXPECT_EQ(Glow_Ramp(0)[63], c.r63) << c.set;
        EXPECT_EQ(Glow_Ramp(1)[63], c.g63) << c.set;
        EXPECT_EQ(Glow_Ramp(2)[63], c.b63) << c.set;
    }
}

TEST_F(Scene, BlendsAtTheVolumeCentre)
{
    struct Case {
        int volume, blend;
        uint16_t from, expected;
    } cases[] = {
        {GLOW_CORE, GLOW_BLEND_WHITE, 0x0000, 0xFFFF},
        {GLOW_CORE, GLOW_BLEND_RED, 0x0000, 0xF800},
        {GLOW_CORE, GLOW_BLEND_ORANGE, 0x0000, uint16_t((31 << 11) | (31 << 5))},
        {GLOW_CORE, GLOW_BLEND_COLOUR, 0x0000, uint16_t((31 << 11) | (16 << 5) | 8)},  // set 0
        {GLOW_SOFT, GLOW_BLEND_RED, 0x07FF, 0xFFFF},
        // halo 36: (36 x 32 + 28 x 0) >> 6 = 18, green (36 x 64) >> 6 = 36
        {GLOW_HALO, GLOW_BLEND_WHITE, 0x0000, uint16_t((18 << 11) | (36 << 5) | 18)},
    };
    for (const Case &c : cases) {
        BrPixelmapFill(colour, c.from);
        BrPixelmapFill(depth, 0x8000);
        Glow_SetColourSet(0);
        const TrGlowSquare sq = {40, 30, 0x8000, 16, 64};
        Glow_DrawSquare(colour, depth, &sq, c.volume, c.blend, 0);
        EXPECT_EQ(at(40, 30), c.expected) << c.volume << " " << c.blend;
        EXPECT_EQ(at(31, 30), c.from) << "left of the square";
        EXPECT_EQ(at(40, 40), c.from) << "below the square";
    }
    // Depth outside the window [cz - D/2, cz + D/2) leaves the pixel alone.
    BrPixelmapFill(colour, 0);
    BrPixelmapFill(depth, 0x8000 + 32);
    const TrGlowSquare sq = {40, 30, 0x8000, 16, 64};
    Glow_DrawSquare(colour, depth, &sq, GLOW_CORE, GLOW_BLEND_WHITE, 0);
    EXPECT_EQ(at(40, 30), 0);
}

TEST_F(Scene, GlowLightsTheVisibleSurfaceOnly)
{
    // The cube's front face is at z -5; its centre projects to the view's centre.
    const br_vector3 front = {{0, 0, 1}};
    TrGlowSquare sq;
    ASSERT_EQ(Glow_Project(colour, cube, &front, camera, 0.5f, &sq), 1);
    EXPECT_NEAR(sq.cx, kW / 2, 1);
    EXPECT_NEAR(sq.cy, kH / 2, 1);
    EXPECT_GT(sq.size, 0);
    EXPECT_GT(sq.depth, 0);
    EXPECT_NEAR(sq.cz, ((const uint16_t *)depth->pixels)[(kH / 2) * (depth->row_bytes / 2) + kW / 2], sq.depth / 4);

    const std::vector<uint16_t> before = pixels();
    Glow_HaloWhite(colour, depth, cube, &front, camera, 0.5f);
    EXPECT_NE(at(kW / 2, kH / 2), before[(kH / 2) * kW + kW / 2]);
    int32_t d[4];
    Glow_GetDirty(d);
    EXPECT_LT(d[0], kW / 2);
    EXPECT_GT(d[2], kW / 2);

    struct Case {
        const char *what;
        br_vector3 p;
        bool keepsDirty;
    } cases[] = {
        {"behind the cube", {{0, 0, -3}}, false},
        {"right of the view", {{100, 0, 1}}, true},
        {"below the view", {{0, -100, 1}}, true},
        {"behind the camera", {{0, 0, 7}}, true},
    };
    for (const Case &c : cases) {
        render();
        Glow_ClearDirty();
        const std::vector<uint16_t> clean = pixels();
        for (auto draw : {Glow_HaloWhite, Glow_CoreColour, Glow_SoftOrange, Glow_CoreRed})
            draw(colour, depth, cube, &c.p, camera, 0.5f);
        EXPECT_EQ(pixels(), clean) << c.what;
        Glow_GetDirty(d);
        if (c.keepsDirty) {
            const int32_t empty[4] = {1000, 1000, 0, 0};
            EXPECT_EQ(std::vector<int32_t>(d, d + 4), std::vector<int32_t>(empty, empty + 4)) << c.what;
        }
    }
}

struct Presents {
    std::vector<std::vector<int32_t>> handOffs;
    int whole = 0;
};
Presents g_presents;

TrOverlayHost recording_host()
{
    g_presents = {};
    TrOverlayHost h{};
    h.handOff = [](int32_t x, int32_t y, int32_t w, int32_t hh) { g_presents.handOffs.push_back({x, y, w, hh}); };
    h.presentWhole = [](br_pixelmap *) { g_presents.whole++; };
    h.sleepMs = [](uint32_t) {};
    return h;
}

TEST_F(Scene, PresentHandsOverTheUnionOnceFramesAreWanted)
{
    const TrOverlayHost h = recording_host();
    TrSetOverlayHost(&h);
    VokInterFace iface{};
    TrGetModule()->iface = &iface;

    Glow_AddDirty(10, 10, 20, 20);
    Glow_Present(colour);
    EXPECT_EQ(g_presents.whole, 1);
    EXPECT_TRUE(g_presents.handOffs.empty());
    EXPECT_EQ(Glow_PartialSwitch(), 0);

    VokImgFlagsSet(&iface, VOK_IMG_WANTED);
    Glow_Present(colour);
    EXPECT_EQ(g_presents.whole, 2);
    EXPECT_EQ(Glow_PartialSwitch(), 1);

    Glow_AddDirty(10, 10, 20, 20);
    Glow_Present(colour);
    Glow_AddDirty(30, 5, 40, 15);
    Glow_Present(colour);
    Glow_Present(colour);  // nothing new: the last frame's rectangle still goes, to wipe its light
    Glow_Present(colour);  // two empty rectangles
    ASSERT_EQ(g_presents.handOffs.size(), 4u);
    EXPECT_EQ(g_presents.handOffs[0], (std::vector<int32_t>{10, 10, 10, 10}));
    EXPECT_EQ(g_presents.handOffs[1], (std::vector<int32_t>{10, 5, 30, 15}));
    EXPECT_EQ(g_presents.handOffs[2], (std::vector<int32_t>{30, 5, 10, 10}));
    EXPECT_EQ(g_presents.handOffs[3], (std::vector<int32_t>{0, 0, 0, 0}));
    int32_t d[4];
    Glow_GetDirty(d);
    EXPECT_EQ(d[0], 1000);
    TrGetModule()->iface = nullptr;
}

TEST_F(Scene, PulseRunsAHundredStepsOverFourHundredMs)
{
    float outer, inner;
    Glow_PulseRadii(0, &outer, &inner);
    EXPECT_FLOAT_EQ(outer, 0.05f);
    EXPECT_FLOAT_EQ(inner, 0.005f);
    Glow_PulseRadii(50, &outer, &inner);
    EXPECT_FLOAT_EQ(outer, 0.25f);
    EXPECT_FLOAT_EQ(inner, 0.045f);

    PlatSetVirtualClock(TRUE);
    TrActionFreeAll();
    // The pulse point sits on the cube's front face; the bomb's actor may go while it runs.
    br_actor *bomb = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    BrMatrix34Translate(&bomb->t.t.mat, 0, 0, -5);
    Glow_Pulse(colour, depth, camera, bomb);
    BrActorFree(BrActorRemove(bomb));
    ASSERT_NE(TrActionFirst(), nullptr);
    EXPECT_EQ(TrActionFirst()->steps, 100);
    EXPECT_EQ(TrActionFirst()->span, 400);

    const std::vector<uint16_t> clean = pixels();
    PlatAdvanceClock(200);
    TrActionRunTimed();
    ASSERT_NE(TrActionFirst(), nullptr);
    EXPECT_EQ(TrActionFirst()->progress, 50);
    EXPECT_NE(pixels(), clean);

    PlatAdvanceClock(199);
    TrActionRunTimed();
    EXPECT_EQ(TrActionFirst()->progress, 99);
    PlatAdvanceClock(1);
    TrActionRunTimed();
    EXPECT_EQ(TrActionFirst(), nullptr);
    Glow_FreePulses();
    PlatSetVirtualClock(FALSE);
}

TEST_F(Scene, TraceMarksTwentyAFrame)
{
    br_actor *parent = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    TraceMarks_Init(parent, model, nullptr);
    for (int i = 0; i < 21; i++) {
        const float p[3] = {0.1f * float(i % 5), 0.05f, 0.2f};
        TrAddTraceMark(p);
    }
    EXPECT_EQ(TraceMarks_Count(), 20);
    int linked = 0;
    for (br_actor *a = parent->children; a != nullptr; a = a->next)
        linked++;
    EXPECT_EQ(linked, 20);
    EXPECT_EQ(TraceMarks_At(20), nullptr);
    // A mark at x 0 stands upright (a quarter turn about y), one inside lies flat.
    EXPECT_NEAR(TraceMarks_At(0)->t.t.mat.m[0][0], 0.0f, 1e-3f);
    EXPECT_NEAR(TraceMarks_At(1)->t.t.mat.m[0][0], 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(TraceMarks_At(1)->t.t.mat.m[3][0], 0.1f);

    TraceMarks_Clear();
    EXPECT_EQ(TraceMarks_Count(), 0);
    EXPECT_EQ(parent->children, nullptr);
    const float p[3] = {0.3f, 0.05f, 0.2f};
    TrAddTraceMark(p);
    EXPECT_EQ(TraceMarks_Count(), 1) << "a new frame takes marks again";
    TraceMarks_Init(nullptr, nullptr, nullptr);
    EXPECT_EQ(parent->children, nullptr);
}

}  // namespace
