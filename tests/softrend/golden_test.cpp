// Golden pictures drawn through the whole library: small scenes rendered with BrZbSceneRender into
// 64 x 48 RGB_565 + DEPTH_16 maps. Chosen pixels are checked against colours worked out by hand,
// then the whole picture (colour and depth) against its golden hash.
//
// Every scene: a perspective camera (45 degrees, hither 1, yon 10) at z = 5 looking down -z, so a
// point (x, y, z) lands at column 32.5 + 32 x 1.8107 x / (5 - z), row 24.5 - 24 x 2.4142 y / (5 - z)
// (cot 22.5 = 2.4142, divided by the aspect 4/3 for x). The unit cube's front face spans columns
// 18 to 47 and rows 10 to 39, its back face columns 22.8 to 42.2 and rows 14.8 to 34.2.
#include "golden.h"

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "brondel/brscene.h"
#include "brondel/brv1db.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int W = 64, H = 48;
constexpr br_uint_16 BACKGROUND = 0x0821; // (1, 1, 1) in 5-6-5: no drawn colour is this

struct Rgb565 {
    int r, g, b; // 5, 6 and 5 bits
};

class Golden : public ::testing::Test {
protected:
    br_pixelmap *colour = nullptr, *depth = nullptr;
    br_actor *world = nullptr, *camera = nullptr;

    void SetUp() override
    {
        ASSERT_EQ(BrBegin(), (br_error)BRE_OK);
        colour = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
        depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, W, H, nullptr, 0);
        colour->origin_x = W / 2;
        colour->origin_y = H / 2;
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        ASSERT_NE(BrV1dbRendererQuery(), nullptr);
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *c = (br_camera *)camera->type_data;
        c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        c->aspect = (float)W / (float)H;
        BrMatrix34Translate(&camera->t.t.mat, 0, 0, 5);
    }
    void TearDown() override
    {
        BrActorFree(world);
        BrZbEnd();
        BrPixelmapFree(colour);
        BrPixelmapFree(depth);
        BrEnd();
    }

    br_material *material(br_colour c, br_uint_32 flags, float ka = 0, float kd = 0)
    {
        br_material *m = BrMaterialAllocate(nullptr);
        m->colour = c;
        m->flags = flags;
        m->ka = ka;
        m->kd = kd;
        return BrMaterialAdd(m);
    }
    br_actor *cube(br_material *m, float x = 0, float y = 0, float z = 0, float scale = 1)
    {
        br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->material = m;
        BrMatrix34Scale(&a->t.t.mat, scale, scale, scale);
        BrMatrix34PostTranslate(&a->t.t.mat, x, y, z);
        return a;
    }
    void render()
    {
        BrPixelmapFill(colour, BACKGROUND);
        BrPixelmapFill(depth, 0xffffffff);
        BrZbSceneRender(world, camera, colour, depth);
    }
    br_uint_16 at(br_pixelmap *pm, int x, int y) const
    {
        br_uint_16 v;
        std::memcpy(&v, (const char *)pm->pixels + (pm->base_y + y) * pm->row_bytes + (pm->base_x + x) * 2, 2);
        return v;
    }
    Rgb565 rgb(int x, int y) const
    {
        br_uint_16 p = at(colour, x, y);
        return {p >> 11, (p >> 5) & 63, p & 31};
    }
    // A channel lit to `level` (0..255 worked out by hand) holds its top bits, give or take one step
    // of rounding.
    static void expect_level(int got, float level, int bits, const char *what)
    {
        float step = 256.0f / (float)(1 << bits);
        EXPECT_NEAR((float)got, level / step, 1.0f) << what;
    }
    void expect_grey(int x, int y, float level) const
    {
        Rgb565 c = rgb(x, y);
        std::string where = std::to_string(x) + "," + std::to_string(y);
        expect_level(c.r, level, 5, ("red at " + where).c_str());
        expect_level(c.g, level, 6, ("green at " + where).c_str());
        expect_level(c.b, level, 5, ("blue at " + where).c_str());
    }
    ::testing::AssertionResult matches_golden(const std::string &name) const
    {
        srtest::PictureHash ph;
        std::vector<uint8_t> pixels;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                br_uint_16 p = at(colour, x, y);
                ph.add(p);
                pixels.insert(pixels.end(), {(uint8_t)(((p >> 11) & 31) * 255 / 31),
                                             (uint8_t)(((p >> 5) & 63) * 255 / 63), (uint8_t)((p & 31) * 255 / 31)});
            }
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ph.add(at(depth, x, y));
        return srtest::golden(name, ph.h, W, H, pixels);
    }
};

// A white cube turned 30 degrees about y under a direct white light from the eye, in the default
// material's flat lighting (ka 0.1, kd 0.7): its front face turns cos 30 towards the light, its
// left face cos 60.
TEST_F(Golden, LitCube)
{
    br_actor *a = cube(nullptr);
    BrMatrix34RotateY(&a->t.t.mat, (br_angle)5461); // 30 degrees
    br_actor *light = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
    BrLightEnable(light);
    render();
    expect_grey(32, 24, 255.0f * (0.1f + 0.7f * 0.8660254f)); // 180
    expect_grey(40, 30, 255.0f * (0.1f + 0.7f * 0.8660254f));
    expect_grey(22, 24, 255.0f * (0.1f + 0.7f * 0.5f)); // 115: the left face, columns 18 to 26
    EXPECT_EQ(at(colour, 2, 2), BACKGROUND);
    EXPECT_EQ(at(colour, 55, 24), BACKGROUND);
    EXPECT_EQ(at(depth, 2, 2), 0xffff);
    EXPECT_TRUE(matches_golden("lit_cube"));
}

// Unlit colours are drawn as given. A small green cube in front of a red one is drawn first (the
// newest child is drawn first), so the red one must lose the depth test where they overlap.
TEST_F(Golden, NearerCubeWinsTheDepthTest)
{
    cube(material(0xff0000, 0));
    cube(material(0x00ff00, 0), 0.5f, 0.3f, 1.5f, 0.4f); // columns 34 to 49, rows 11 to 26
    render();
    EXPECT_EQ(at(colour, 40, 19), 0x07e0);
    EXPECT_EQ(at(colour, 24, 30), 0xf800);
    EXPECT_EQ(at(colour, 2, 2), BACKGROUND);
    // Nearer is smaller: the green face at depth 3.1 is nearer than the red one at 4.
    EXPECT_LT(at(depth, 40, 19), at(depth, 24, 30));
    EXPECT_TRUE(matches_golden("depth_test"));
}

// The bounding box seen face on as lines: the twelve outline edges and no diagonal of a side (the
// front side's diagonal would cross the middle of the picture).
TEST_F(Golden, BoundingEdgesDrawTheOutlineOnly)
{
    br_actor *a = cube(material(0xffff00, 0));
    a->render_style = BR_RSTYLE_BOUNDING_EDGES;
    render();
    for (int y = 22; y <= 26; ++y)
        for (int x = 30; x <= 34; ++x)
            EXPECT_EQ(at(colour, x, y), BACKGROUND) << x << "," << y;
    auto drawn_in = [&](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                n += at(colour, x, y) == 0xffe0;
        return n;
    };
    // The front square's four sides ...
    EXPECT_GT(drawn_in(46, 48, 20, 28), 0) << "right";
    EXPECT_GT(drawn_in(16, 18, 20, 28), 0) << "left";
    EXPECT_GT(drawn_in(28, 36, 9, 11), 0) << "top";
    EXPECT_GT(drawn_in(28, 36, 38, 40), 0) << "bottom";
    // ... and the back square's left and right.
    EXPECT_GT(drawn_in(41, 43, 20, 28), 0) << "back right";
    EXPECT_GT(drawn_in(22, 24, 20, 28), 0) << "back left";
    EXPECT_TRUE(matches_golden("bounding_edges"));
}

} // namespace
