// A small 3D scene for the overlay tests: a camera at the origin looking down -z, a cube two units
// wide six units in front of it, rendered into a 565 view with its 16-bit depth buffer.
#pragma once

#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include <brondel/bractor.h>
#include <brondel/brfw.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "terrow/trfx.h"

namespace glowtest {

constexpr int kW = 160, kH = 120;

inline br_model *cube_model()
{
    static const float v[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                                  {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
    static const int f[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                 {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};
    br_model *m = BrModelAllocate("glowcube", 8, 12);
    for (int i = 0; i < 8; ++i)
        memcpy(&m->vertices[i].p, v[i], sizeof v[i]);
    for (int i = 0; i < 12; ++i) {
        for (int k = 0; k < 3; ++k)
            m->faces[i].vertices[k] = (br_uint_16)f[i][k];
        m->faces[i].smoothing = (br_uint_16)(1u << (i / 2));
    }
    m->flags = BR_MODF_UPDATEABLE;
    BrModelAdd(m);
    return m;
}

class Scene : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrBegin(), 0);
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *c = (br_camera *)camera->type_data;
        c->type = 4;
        c->hither_z = 0.1f;
        c->yon_z = 20.0f;
        c->field_of_view = 7280;
        c->aspect = float(kW) / float(kH);
        model = cube_model();
        cube = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        cube->model = model;
        cube->t.type = BR_TRANSFORM_MATRIX34;
        BrMatrix34Translate(&cube->t.t.mat, 0, 0, -6);
        light = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
        ((br_light *)light->type_data)->type = BR_LIGHT_DIRECT;
        BrLightEnable(light);
        colour = BrPixelmapAllocate(BR_PMT_RGB_565, kW, kH, nullptr, 0);
        colour->origin_x = kW / 2;
        colour->origin_y = kH / 2;
        depth = BrPixelmapMatch(colour, BR_PM_USE_DEPTH_16);
        render();
        Glow_ResetView();
        Glow_SetColourSet(0);
    }
    void TearDown() override
    {
        TrSetOverlayHost(nullptr);
        BrPixelmapFree(depth);
        BrPixelmapFree(colour);
        BrActorFree(world);
        BrModelFree(BrModelRemove(model));
        BrZbEnd();
        BrEnd();
    }
    void render()
    {
        BrPixelmapFill(colour, 0x2104);
        BrPixelmapFill(depth, 0xFFFFFFFF);
        BrZbSceneRender(world, camera, colour, depth);
    }
    uint16_t at(int x, int y) const
    {
        return ((const uint16_t *)((const char *)colour->pixels + (ptrdiff_t)y * colour->row_bytes))[x];
    }
    std::vector<uint16_t> pixels() const
    {
        std::vector<uint16_t> p;
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++)
                p.push_back(at(x, y));
        return p;
    }
    br_actor *world = nullptr, *camera = nullptr, *cube = nullptr, *light = nullptr;
    br_model *model = nullptr;
    br_pixelmap *colour = nullptr, *depth = nullptr;
};

}  // namespace glowtest
