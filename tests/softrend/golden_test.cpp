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
#include "brondel/brmaterial.h"
#include "brondel/brpixmap.h"
#include "brondel/brscene.h"
#include "brondel/brv1db.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::vector<br_pixelmap *> maps;

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
        for (br_pixelmap *m : maps) {
            BrMapRemove(m);
            BrPixelmapFree(m);
        }
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
    // A w x h map of 16-bit words (565), added to the library.
    br_pixelmap *map565(int w, int h, const br_uint_16 *words)
    {
        br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, w, h, nullptr, 0);
        for (int y = 0; y < h; ++y)
            std::memcpy((char *)pm->pixels + y * pm->row_bytes, words + y * w, (size_t)w * 2);
        maps.push_back(pm);
        return BrMapAdd(pm);
    }
    br_material *textured(br_pixelmap *map, br_uint_32 flags, br_uint_8 opacity = 255)
    {
        br_material *m = BrMaterialAllocate(nullptr);
        m->colour = 0xffffff;
        m->flags = flags;
        m->ka = 0.2f;
        m->kd = 0.8f;
        m->opacity = opacity;
        m->colour_map = map;
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

// Red, green, blue and white in 565, as texels (0, 0), (1, 0), (0, 1), (1, 1) of a 2 x 2 checker.
const br_uint_16 CHECKER[4] = {0xf800, 0x07e0, 0x001f, 0xffff};

// The default cube maps v upwards (0 at the bottom of its front face), so the checker's first row
// is at the bottom of the picture. An unlit textured face shows the texels as they are.
TEST_F(Golden, TexturedCubeShowsTheCheckerQuadrants)
{
    cube(textured(map565(2, 2, CHECKER), BR_MATF_PERSPECTIVE));
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xf800); // bottom left: texel (0, 0)
    EXPECT_EQ(at(colour, 40, 34), 0x07e0);
    EXPECT_EQ(at(colour, 24, 16), 0x001f); // top left: texel (0, 1)
    EXPECT_EQ(at(colour, 40, 16), 0xffff);
    EXPECT_EQ(at(colour, 2, 2), BACKGROUND);
    EXPECT_TRUE(matches_golden("textured_cube"));
}

// The renderer reads the map's pixels at every render: changing them is enough to animate a
// texture, with no update call at all.
TEST_F(Golden, TextureIsReadLive)
{
    br_pixelmap *map = map565(2, 2, CHECKER);
    cube(textured(map, BR_MATF_PERSPECTIVE));
    render();
    ASSERT_EQ(at(colour, 24, 34), 0xf800);
    const br_uint_16 yellow = 0xffe0;
    std::memcpy(map->pixels, &yellow, 2);
    render();
    EXPECT_EQ(at(colour, 24, 34), yellow);
    EXPECT_EQ(at(colour, 40, 34), 0x07e0);
}

// A lit, smooth, perspective-mapped cube turned to show three sides: an index 8 map with a palette
// map draws exactly what the RGB_565 map of the same colours draws, colour and depth alike.
TEST_F(Golden, Index8MatchesItsRgb565Twin)
{
    const int N = 4;
    br_uint_16 words[N * N];
    br_pixelmap *index8 = BrPixelmapAllocate(BR_PMT_INDEX_8, N, N, nullptr, 0);
    br_pixelmap *palette = BrPixelmapAllocate(BR_PMT_RGBX_888, 1, 256, nullptr, 0);
    for (int i = 0; i < 256; ++i) {
        // Entries a 565 word holds exactly (low bits repeated from the top ones).
        br_uint_32 w = (br_uint_32)(i * 2654435761u) >> 16, r = (w >> 11) & 31, g = (w >> 5) & 63, b = w & 31;
        br_uint_32 rgb = ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
        std::memcpy((char *)palette->pixels + i * palette->row_bytes, &rgb, 4);
        if (i < N * N) {
            br_uint_8 index = (br_uint_8)(i * 7 + 3);
            ((br_uint_8 *)index8->pixels)[(i / N) * index8->row_bytes + i % N] = index;
            br_uint_32 v = (br_uint_32)(index * 2654435761u) >> 16;
            words[i] = (br_uint_16)v;
        }
    }
    index8->map = palette;
    maps.push_back(index8);
    maps.push_back(palette);
    BrMapAdd(index8);
    br_pixelmap *twin = map565(N, N, words);

    br_material *m = textured(index8, BR_MATF_LIT | BR_MATF_SMOOTH | BR_MATF_PERSPECTIVE);
    br_actor *a = cube(m);
    BrMatrix34RotateY(&a->t.t.mat, (br_angle)5461);
    BrMatrix34PostRotateX(&a->t.t.mat, (br_angle)4000);
    br_actor *light = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
    BrLightEnable(light);
    render();
    std::vector<br_uint_16> first_colour((br_uint_16 *)colour->pixels, (br_uint_16 *)colour->pixels + W * H);
    std::vector<br_uint_16> first_depth((br_uint_16 *)depth->pixels, (br_uint_16 *)depth->pixels + W * H);
    // The texture shows: many different colours on the cube.
    std::vector<br_uint_16> seen(first_colour);
    std::sort(seen.begin(), seen.end());
    EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 40);

    m->colour_map = twin;
    BrMaterialUpdate(m, BR_MATU_ALL);
    render();
    EXPECT_TRUE(std::equal(first_colour.begin(), first_colour.end(), (br_uint_16 *)colour->pixels));
    EXPECT_TRUE(std::equal(first_depth.begin(), first_depth.end(), (br_uint_16 *)depth->pixels));
    EXPECT_TRUE(matches_golden("index8_lit_cube"));
}

// A translucent white cube in front of the textured one: its pixels are the 50/50 mix of white and
// the texel behind, and the depth buffer keeps the textured cube's depth there. The glass hangs
// below the opaque cube, so it is drawn after it.
TEST_F(Golden, TranslucentCubeOverATexturedOne)
{
    br_actor *opaque = cube(textured(map565(2, 2, CHECKER), BR_MATF_PERSPECTIVE));
    render();
    br_uint_16 depth_behind = at(depth, 36, 30);
    br_material *glass = material(0xffffff, 0);
    glass->opacity = 128;
    BrMaterialUpdate(glass, BR_MATU_ALL);
    br_actor *a = BrActorAdd(opaque, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    a->material = glass;
    BrMatrix34Scale(&a->t.t.mat, 0.4f, 0.4f, 0.4f);
    BrMatrix34PostTranslate(&a->t.t.mat, 0.4f, -0.3f, 2.0f); // columns 33 to 50, rows 22 to 40
    render();
    // Over green: (0 + 255) / 2, (255 + 255) / 2, (0 + 255) / 2.
    Rgb565 c = rgb(40, 34);
    expect_level(c.r, 127.5f, 5, "red");
    expect_level(c.g, 255.0f, 6, "green");
    expect_level(c.b, 127.5f, 5, "blue");
    EXPECT_EQ(at(depth, 36, 30), depth_behind);
    EXPECT_EQ(at(colour, 24, 34), 0xf800); // outside the glass
    EXPECT_TRUE(matches_golden("translucent_cube"));
}

// Removing a map lets go of its buffer: the material that was drawn with it draws untextured (its
// white) instead of reading the freed buffer, and takes the map's new buffer once it is added again.
// A shade or blend table removed and added again is let go of and taken back the same way.
TEST_F(Golden, RemovedMapDrawsUntexturedThenTexturedAgain)
{
    br_pixelmap *map = map565(2, 2, CHECKER);
    br_pixelmap *shade = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    br_pixelmap *blend = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    maps.push_back(shade);
    maps.push_back(blend);
    BrTableAdd(shade);
    BrTableAdd(blend);
    br_material *m = BrMaterialAllocate(nullptr);
    m->colour = 0xffffff;
    m->flags = BR_MATF_PERSPECTIVE;
    m->colour_map = map;
    m->index_shade = shade;
    m->index_blend = blend;
    BrMaterialAdd(m);
    cube(m);
    render();
    ASSERT_EQ(at(colour, 24, 34), 0xf800);

    BrMapRemove(map);
    BrTableRemove(shade);
    BrTableRemove(blend);
    EXPECT_EQ(map->stored, nullptr);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xffff);
    EXPECT_EQ(at(colour, 40, 16), 0xffff);

    BrTableAdd(shade);
    BrTableAdd(blend);
    BrMapAdd(map);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xf800);
    EXPECT_EQ(at(colour, 40, 16), 0xffff);
    EXPECT_TRUE(matches_golden("textured_cube"));
    // An update that makes a new buffer (after a clear) is taken the same way.
    BrMapClear(map);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xffff);
    BrMapUpdate(map, BR_MAPU_ALL);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xf800);
}

// A material updated with a map but never registered lets go of the map's buffer as well when the
// map is removed or freed: the renderer keeps no stored state pointing at a buffer it has freed.
TEST_F(Golden, UnregisteredMaterialLetsGoOfARemovedMap)
{
    br_pixelmap *map = map565(2, 2, CHECKER);
    br_material *m = BrMaterialAllocate(nullptr);
    m->colour = 0xffffff;
    m->flags = BR_MATF_PERSPECTIVE;
    m->colour_map = map;
    BrMaterialUpdate(m, BR_MATU_ALL);
    cube(m);
    render();
    ASSERT_EQ(at(colour, 24, 34), 0xf800);

    BrMapRemove(map);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xffff);
    BrMapAdd(map);
    BrMaterialUpdate(m, BR_MATU_ALL);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xf800);

    maps.pop_back(); // freed here
    BrPixelmapFree(map);
    m->colour_map = nullptr; // the caller's own pointer
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xffff);
    BrMaterialFree(m);
}

// A window into a registered map is a map of its own: freeing it leaves the map's buffer alone.
TEST_F(Golden, FreedWindowIntoAMapLeavesTheMapDrawn)
{
    br_pixelmap *map = map565(2, 2, CHECKER);
    cube(textured(map, BR_MATF_PERSPECTIVE));
    render();
    ASSERT_EQ(at(colour, 24, 34), 0xf800);
    br_pixelmap *window = BrPixelmapAllocateSub(map, 0, 0, 1, 1);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->stored, nullptr);
    BrPixelmapFree(window);
    EXPECT_NE(map->stored, nullptr);
    EXPECT_EQ(BrMapUpdate(map, BR_MAPU_ALL), (br_error)BRE_OK);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xf800);
}

// A registered map that is freed leaves the registry (it is no longer found) and every registered
// material that used it, which draws untextured from then on.
TEST_F(Golden, FreedMapIsNoLongerFound)
{
    br_pixelmap *map = map565(2, 2, CHECKER);
    maps.pop_back(); // freed here
    map->identifier = BrResStrDup(map, "checker");
    br_pixelmap *table = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    table->identifier = BrResStrDup(table, "shade");
    BrTableAdd(table);
    br_material *m = textured(map, BR_MATF_PERSPECTIVE);
    m->ka = 0;
    m->index_shade = table;
    BrMaterialUpdate(m, BR_MATU_ALL);
    cube(m);
    render();
    ASSERT_EQ(BrMapFind("checker"), map);
    ASSERT_EQ(at(colour, 24, 34), 0xf800);

    BrPixelmapFree(map);
    BrPixelmapFree(table);
    EXPECT_EQ(BrMapFind("checker"), nullptr);
    EXPECT_EQ(BrMapCount(nullptr), 0u);
    EXPECT_EQ(BrTableFind("shade"), nullptr);
    EXPECT_EQ(m->colour_map, nullptr);
    EXPECT_EQ(m->index_shade, nullptr);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xffff);
    BrMaterialUpdate(m, BR_MATU_ALL);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xffff);
}

// A map the renderer cannot read is refused (0x1008) and the surface is drawn in its colour.
TEST_F(Golden, UnreadableMapLeavesTheSurfaceUntextured)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_DEPTH_16, 2, 2, nullptr, 0);
    maps.push_back(pm);
    BrMapAdd(pm);
    EXPECT_EQ(BrMapUpdate(pm, BR_MAPU_ALL), (br_error)BRE_UNSUPPORTED);
    br_material *m = textured(pm, BR_MATF_PERSPECTIVE);
    m->colour = 0xff0000;
    BrMaterialUpdate(m, BR_MATU_ALL);
    cube(m);
    render();
    EXPECT_EQ(at(colour, 24, 34), 0xf800);
    EXPECT_EQ(at(colour, 40, 16), 0xf800);
}

} // namespace
