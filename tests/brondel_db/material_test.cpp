// Material, map and table preparation: the state lists the renderer sees, in order.
#include <brondel/brpixmap.h>

#include "db_support.h"
#include "test_renderer.h"

using namespace dbtest;

namespace {

class Material : public Db {
protected:
    void SetUp() override
    {
        Db::SetUp();
        test_renderer_reset();
        test_renderer_register();
        ASSERT_EQ(BrV1dbRendererBegin(nullptr, nullptr), 0u);
        rec.calls.clear();
    }

    // The lists one material update sent, in order.
    std::vector<call> sets() const { return rec.of("partSetMany"); }
};

using tokens = std::vector<br_token>;

TEST_F(Material, UpdateSendsEveryPartInOrder)
{
    br_material *m = BrMaterialAllocate("all");
    m->flags = BR_MATF_FOG;
    BrMaterialUpdate(m, BR_MATU_ALL);

    std::vector<std::string> ops;
    for (const call &c : rec.calls)
        ops.push_back(c.op);
    EXPECT_EQ(ops, (std::vector<std::string>{"statePush", "stateDefault", "partSetMany", "partSetMany",
                                             "partSetMany", "partSetMany", "partSetMany", "partSetMany",
                                             "newStoredState", "statePop"}));
    for (const call &c : rec.calls) {
        if (c.op != "partSetMany") {
            EXPECT_EQ(c.mask, 0x80000041u) << c.op;
        }
    }

    std::vector<call> s = sets();
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].part, (br_token)BRT_SURFACE);
    EXPECT_EQ(tokens_of(s[0].tv), tokens{BRT_MAP_MATRIX_M23_F});
    EXPECT_EQ(s[0].tv[0].v.p, &m->map_transform);

    EXPECT_EQ(s[1].part, (br_token)BRT_PRIMITIVE);
    EXPECT_EQ(tokens_of(s[1].tv),
              (tokens{BRT_COLOUR_RGB, BRT_OPACITY_F, BRT_MODULATE_B, BRT_BLEND_B, BRT_SMOOTH_B, BRT_PERSPECTIVE_B,
                      BRT_DECAL_B, BRT_DITHER_MAP_B, BRT_DITHER_COLOUR_B, BRT_INDEX_BASE_I32, BRT_INDEX_RANGE_I32,
                      BRT_MAP_ANTIALIASING_T, BRT_MAP_INTERPOLATION_T, BRT_MIP_INTERPOLATION_T, BRT_FOG_T,
                      BRT_FOG_MIN_F, BRT_FOG_MAX_F, BRT_FOG_RGB}));
    EXPECT_EQ(s[2].part, (br_token)BRT_CULL);
    EXPECT_EQ(tokens_of(s[2].tv), tokens{BRT_TYPE_T});

    EXPECT_EQ(s[3].part, (br_token)BRT_SURFACE);
    EXPECT_EQ(tokens_of(s[3].tv),
              (tokens{BRT_COLOUR_RGB, BRT_OPACITY_F, BRT_AMBIENT_F, BRT_DIFFUSE_F, BRT_SPECULAR_F,
                      BRT_SPECULAR_POWER_F, BRT_LIGHTING_B, BRT_FORCE_FRONT_B, BRT_COLOUR_SOURCE_T,
                      BRT_MAPPING_SOURCE_T}));
    EXPECT_EQ(s[4].part, (br_token)BRT_PRIMITIVE);
    EXPECT_EQ(tokens_of(s[4].tv), (tokens{BRT_COLOUR_MAP_O, BRT_INDEX_SHADE_O, BRT_INDEX_BLEND_O, BRT_INDEX_FOG_O}));
    EXPECT_EQ(s[5].part, (br_token)BRT_PRIMITIVE);
    EXPECT_EQ(tokens_of(s[5].tv), tokens{BRT_SCREEN_DOOR_O});

    // Values of the default material's fields.
    const auto &prim = s[1].tv;
    EXPECT_EQ(value_of(prim, BRT_COLOUR_RGB)->u32, 0xFFFFFFu);
    EXPECT_FLOAT_EQ(value_of(prim, BRT_OPACITY_F)->f, 1.0f);
    EXPECT_TRUE(value_of(prim, BRT_MODULATE_B)->b == 0);
    EXPECT_EQ(value_of(prim, BRT_INDEX_BASE_I32)->i32, 10);
    EXPECT_EQ(value_of(prim, BRT_INDEX_RANGE_I32)->i32, 31);
    EXPECT_EQ(value_of(prim, BRT_FOG_T)->t, (br_token)BRT_LINEAR);
    EXPECT_EQ(value_of(prim, BRT_MAP_INTERPOLATION_T)->t, (br_token)BRT_NONE);
    const auto &surf = s[3].tv;
    EXPECT_FLOAT_EQ(value_of(surf, BRT_AMBIENT_F)->f, 0.1f);
    EXPECT_FLOAT_EQ(value_of(surf, BRT_DIFFUSE_F)->f, 0.7f);
    EXPECT_FLOAT_EQ(value_of(surf, BRT_SPECULAR_POWER_F)->f, 20.0f);
    EXPECT_EQ(value_of(surf, BRT_COLOUR_SOURCE_T)->t, (br_token)BRT_SURFACE);
    EXPECT_EQ(value_of(surf, BRT_MAPPING_SOURCE_T)->t, (br_token)BRT_GEOMETRY_MAP);
    EXPECT_EQ(rec.states, 2) << "the default material's and this one's";
    EXPECT_EQ(m->stored, rec.of("newStoredState")[0].object);
}

// One case: material flags and opacity, the token to look at in the list of one part, its value.
TEST_F(Material, FlagsBecomeTokens)
{
    struct {
        const char *name;
        br_uint_32 flags;
        br_uint_8 opacity;
        br_token part;
        br_token token;
        br_uint_32 value; // raw 32-bit value
    } cases[] = {
        {"opaque", 0, 255, BRT_PRIMITIVE, BRT_BLEND_B, 0},
        {"translucent", 0, 254, BRT_PRIMITIVE, BRT_BLEND_B, 1},
        {"two-sided wins", BR_MATF_TWO_SIDED | BR_MATF_NO_CULL, 255, BRT_CULL, BRT_TYPE_T, BRT_TWO_SIDED},
        {"no culling", BR_MATF_NO_CULL, 255, BRT_CULL, BRT_TYPE_T, BRT_NONE},
        {"one-sided", 0, 255, BRT_CULL, BRT_TYPE_T, BRT_ONE_SIDED},
        {"smooth", BR_MATF_SMOOTH, 255, BRT_PRIMITIVE, BRT_SMOOTH_B, 1},
        {"lit modulates", BR_MATF_LIT, 255, BRT_PRIMITIVE, BRT_MODULATE_B, 1},
        {"lit", BR_MATF_LIT, 255, BRT_SURFACE, BRT_LIGHTING_B, 1},
        {"geometry colours unlit", BR_MATF_LIT | BR_MATF_GEOMETRY_COLOURS, 255, BRT_SURFACE, BRT_LIGHTING_B, 0},
        {"geometry colours", BR_MATF_GEOMETRY_COLOURS, 255, BRT_SURFACE, BRT_COLOUR_SOURCE_T, BRT_GEOMETRY},
        {"infinite wins", BR_MATF_ENV_INFINITE | BR_MATF_ENV_LOCAL, 255, BRT_SURFACE, BRT_MAPPING_SOURCE_T,
         BRT_ENVIRONMENT_INFINITE},
        {"local", BR_MATF_ENV_LOCAL, 255, BRT_SURFACE, BRT_MAPPING_SOURCE_T, BRT_ENVIRONMENT_LOCAL},
        {"force front", BR_MATF_FORCE_FRONT, 255, BRT_SURFACE, BRT_FORCE_FRONT_B, 1},
        {"dither", BR_MATF_DITHER, 255, BRT_PRIMITIVE, BRT_DITHER_COLOUR_B, 1},
        {"decal", BR_MATF_DECAL, 255, BRT_PRIMITIVE, BRT_DECAL_B, 1},
        {"perspective", BR_MATF_PERSPECTIVE, 255, BRT_PRIMITIVE, BRT_PERSPECTIVE_B, 1},
        {"subdivide", BR_MATF_SUBDIVIDE | BR_MATF_PERSPECTIVE, 255, BRT_PRIMITIVE, BRT_PERSPECTIVE_T, BRT_SUBDIVIDE},
        {"mip linear", BR_MATF_MIP_LINEAR, 255, BRT_PRIMITIVE, BRT_MIP_INTERPOLATION_T, BRT_LINEAR},
        {"antialias", BR_MATF_MAP_ANTIALIAS, 255, BRT_PRIMITIVE, BRT_MAP_ANTIALIASING_T, BRT_LINEAR},
    };
    for (auto &c : cases) {
        rec.calls.clear();
        br_material *m = BrMaterialAllocate(c.name);
        m->flags = c.flags;
        m->opacity = c.opacity;
        BrMaterialUpdate(m, BR_MATU_ALL);
        const br_value *v = nullptr;
        std::vector<call> all = sets();
        for (const call &s : all)
            if (s.part == c.part && (v = value_of(s.tv, c.token)) != nullptr)
                break;
        ASSERT_NE(v, nullptr) << c.name;
        EXPECT_EQ(v->u32, c.value) << c.name;
    }
}

TEST_F(Material, SubdivisionReplacesThePerspectiveSwitch)
{
    br_material *m = BrMaterialAllocate("sub");
    m->flags = BR_MATF_SUBDIVIDE;
    m->subdivide_tolerance = -3;
    BrMaterialUpdate(m, BR_MATU_PRIMITIVE);
    const std::vector<br_token_value> prim = sets()[0].tv;
    EXPECT_EQ(value_of(prim, BRT_PERSPECTIVE_B), nullptr);
    ASSERT_NE(value_of(prim, BRT_SUBDIVIDE_TOLERANCE_I32), nullptr);
    EXPECT_EQ(value_of(prim, BRT_SUBDIVIDE_TOLERANCE_I32)->i32, -3);
    EXPECT_EQ(value_of(prim, BRT_FOG_MIN_F), nullptr) << "fog values only with fog";
    m->opacity = 128;
    rec.calls.clear();
    BrMaterialUpdate(m, BR_MATU_PRIMITIVE | BR_MATU_SURFACE);
    EXPECT_FLOAT_EQ(value_of(sets()[0].tv, BRT_OPACITY_F)->f, 128 * 0.003921569f);
    EXPECT_FLOAT_EQ(value_of(sets()[2].tv, BRT_OPACITY_F)->f, 128 / 255.0f);
}

TEST_F(Material, SecondUpdateReusesTheStoredState)
{
    br_material *m = BrMaterialAllocate("again");
    BrMaterialUpdate(m, BR_MATU_ALL);
    void *stored = m->stored;
    rec.calls.clear();
    BrMaterialUpdate(m, BR_MATU_MAP_MATRIX);
    std::vector<std::string> ops;
    for (const call &c : rec.calls)
        ops.push_back(c.op);
    EXPECT_EQ(ops, (std::vector<std::string>{"statePush", "stateDefault", "stateRestore", "partSetMany",
                                             "stateSave", "statePop"}));
    EXPECT_EQ(rec.of("stateRestore")[0].object, stored);
    EXPECT_EQ(rec.of("stateSave")[0].object, stored);
    EXPECT_EQ(m->stored, stored);
}

TEST_F(Material, ExtraListsFollowTheirParts)
{
    br_token_value surface_extra[] = {{BRT_AMBIENT_F, {}}, {}};
    surface_extra[0].v.f = 0.5f;
    br_token_value primitive_extra[] = {{BRT_DECAL_B, {}}, {BRT_SMOOTH_B, {}}, {}};
    br_material *m = BrMaterialAllocate("extra");
    m->surface_extra = surface_extra;
    m->primitive_extra = primitive_extra;
    BrMaterialUpdate(m, BR_MATU_SURFACE_EXTRA | BR_MATU_PRIMITIVE_EXTRA);
    std::vector<call> s = sets();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].part, (br_token)BRT_SURFACE);
    EXPECT_EQ(tokens_of(s[0].tv), tokens{BRT_AMBIENT_F});
    EXPECT_EQ(s[1].part, (br_token)BRT_PRIMITIVE);
    EXPECT_EQ(tokens_of(s[1].tv), (tokens{BRT_DECAL_B, BRT_SMOOTH_B}));
}

TEST_F(Material, BuffersComeFromTheMaps)
{
    br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 2, 2, nullptr, 0);
    br_pixelmap *shade = BrPixelmapAllocate(BR_PMT_INDEX_8, 2, 2, nullptr, 0);
    BrMapAdd(map);
    BrTableAdd(shade);
    br_material *m = BrMaterialAllocate("mapped");
    m->colour_map = map;
    m->index_shade = shade;
    m->screendoor = shade;
    rec.calls.clear();
    BrMaterialUpdate(m, BR_MATU_BUFFERS | BR_MATU_SCREEN_DOOR);
    std::vector<call> s = sets();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(value_of(s[0].tv, BRT_COLOUR_MAP_O)->p, map->stored);
    EXPECT_EQ(value_of(s[0].tv, BRT_INDEX_SHADE_O)->p, shade->stored);
    EXPECT_EQ(value_of(s[0].tv, BRT_INDEX_BLEND_O)->p, nullptr);
    EXPECT_EQ(value_of(s[1].tv, BRT_SCREEN_DOOR_O)->p, shade->stored);
}

TEST_F(Material, MapAndTableBuffers)
{
    br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 2, 2, nullptr, 0);
    EXPECT_EQ(BrMapUpdate(map, BR_MAPU_ALL | BR_MAPU_PREFER_SHARE), 0u);
    auto made = rec.of("newStoredBuffer");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].part, (br_token)BRT_COLOUR_MAP_O);
    EXPECT_EQ(tokens_of(made[0].tv), (tokens{BRT_PREFER_SHARE_B, BRT_CAN_SHARE_B}));
    EXPECT_TRUE(value_of(made[0].tv, BRT_PREFER_SHARE_B)->b);
    EXPECT_TRUE(value_of(made[0].tv, BRT_CAN_SHARE_B)->b);
    void *buffer = map->stored;

    // An existing buffer refreshes itself.
    EXPECT_EQ(BrMapUpdate(map, BR_MAPU_ALL), 0u);
    auto updated = rec.of("bufferUpdate");
    ASSERT_EQ(updated.size(), 1u);
    EXPECT_EQ(updated[0].object, map);
    EXPECT_FALSE(value_of(updated[0].tv, BRT_PREFER_SHARE_B)->b);
    EXPECT_EQ(map->stored, buffer);
    BrMapClear(map);
    EXPECT_EQ(map->stored, nullptr);
    EXPECT_EQ(rec.buffers_freed, 1);

    br_pixelmap *table = BrPixelmapAllocate(BR_PMT_INDEX_8, 2, 2, nullptr, 0);
    EXPECT_EQ(BrTableUpdate(table, BR_TABU_ALL), 0u);
    EXPECT_EQ(rec.of("newStoredBuffer")[1].part, (br_token)BRT_UNKNOWN);
    BrTableClear(table);
    EXPECT_EQ(table->stored, nullptr);
}

TEST_F(Material, RemovingAnUnregisteredMaterialStillClearsIt)
{
    br_material *m = BrMaterialAllocate("loose");
    BrMaterialUpdate(m, BR_MATU_ALL);
    ASSERT_NE(m->stored, nullptr);
    EXPECT_EQ(BrMaterialRemove(m), nullptr);
    EXPECT_EQ(m->stored, nullptr);
    EXPECT_EQ(rec.states_freed, 1);
}

TEST_F(Material, RemovedMaterialLeavesNoStateInModelGroups)
{
    br_material *m = BrMaterialAllocate("used");
    BrMaterialAdd(m);
    br_model *cube = make_cube("cube");
    for (int f = 0; f < 12; f++)
        cube->faces[f].material = m;
    BrModelAdd(cube);
    EXPECT_EQ(cube->prepared->groups[0].stored, m->stored);
    BrMaterialRemove(m);
    EXPECT_EQ(cube->prepared->groups[0].stored, nullptr);
    BrMaterialAdd(m);
    EXPECT_EQ(cube->prepared->groups[0].stored, m->stored);
    EXPECT_NE(m->stored, nullptr);
}

TEST(MaterialWithoutRenderer, UpdateWaitsForTheRenderer)
{
    ASSERT_EQ(BrBegin(), 0u);
    test_renderer_reset();
    br_material *m = BrMaterialAllocate("early");
    BrMaterialAdd(m);
    EXPECT_EQ(m->stored, nullptr);
    br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 2, 2, nullptr, 0);
    EXPECT_EQ(BrMapUpdate(map, BR_MAPU_ALL), 0u);
    EXPECT_EQ(map->stored, nullptr);
    EXPECT_TRUE(rec.calls.empty());
    test_renderer_register();
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    EXPECT_NE(m->stored, nullptr);
    BrZbEnd();
    EXPECT_EQ(BrEnd(), 0u);
}

} // namespace
