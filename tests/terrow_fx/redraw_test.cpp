// The partial redraw's list: twenty models are drawn through the custom routine during a clipped
// render, a twenty-first is refused and drawn the ordinary way, and every model keeps its own flags
// and routine afterwards.
#include <gtest/gtest.h>

#include <brondel/bractor.h>
#include <brondel/brfw.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "terrow/trredraw.h"

namespace {

constexpr int kModels = TR_REDRAW_MODELS + 1;
constexpr int W = 160, H = 120;

br_model *g_squares[kModels];
bool g_custom[kModels];
int g_probeCalls = 0;

// Rendered in the same scene: notes which squares carry the custom routine while the render runs.
br_uint_32 probe(br_actor *actor, br_model *model, br_material *material, br_order_table *, br_uint_8 style,
                 int onScreen)
{
    g_probeCalls++;
    for (int i = 0; i < kModels; i++)
        g_custom[i] = (g_squares[i]->flags & BR_MODF_CUSTOM) != 0 && g_squares[i]->custom == TrCustomRenderCb;
    return BrZbModelRender(actor, model, material, style, onScreen, 0);
}

br_model *square(const char *name, float half)
{
    static const float v[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    br_model *m = BrModelAllocate(name, 4, 2);
    for (int i = 0; i < 4; i++)
        BrVector3Set(&m->vertices[i].p, v[i][0] * half, v[i][1] * half, 0);
    const br_uint_16 f[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < 2; t++)
        for (int k = 0; k < 3; k++)
            m->faces[t].vertices[k] = f[t][k];
    m->flags = BR_MODF_UPDATEABLE;
    BrModelAdd(m);
    return m;
}

TEST(Redraw, TwentyModelsGoThroughTheCustomRoutineAndATwentyFirstIsIgnored)
{
    ASSERT_EQ(BrBegin(), 0);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    br_camera *c = (br_camera *)camera->type_data;
    c->type = BR_CAMERA_PERSPECTIVE;
    c->hither_z = 0.1f;
    c->yon_z = 20.0f;
    c->field_of_view = 7280;
    c->aspect = float(W) / float(H);
    br_pixelmap *view = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
    view->origin_x = W / 2;
    view->origin_y = H / 2;
    br_pixelmap *depth = BrPixelmapMatch(view, BR_PM_USE_DEPTH_16);

    // 7 x 3 squares in front of the camera, and the probe at the side.
    br_actor *actors[kModels];
    for (int i = 0; i < kModels; i++) {
        char name[16];
        snprintf(name, sizeof name, "sq%02d", i);
        g_squares[i] = square(name, 0.12f);
        actors[i] = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        actors[i]->model = g_squares[i];
        BrMatrix34Translate(&actors[i]->t.t.mat, -1.8f + 0.6f * float(i % 7), -0.6f + 0.6f * float(i / 7), -5.0f);
    }
    br_model *probeModel = square("probe", 0.05f);
    probeModel->flags |= BR_MODF_CUSTOM;
    probeModel->custom = probe;
    br_actor *probeActor = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    probeActor->model = probeModel;
    BrMatrix34Translate(&probeActor->t.t.mat, 0, 1.1f, -5.0f);

    Redraw_Forget();
    for (int i = 0; i < kModels; i++)
        EXPECT_EQ(Redraw_Register(g_squares[i]), i < TR_REDRAW_MODELS ? 1 : 0) << "model " << i;
    EXPECT_EQ(Redraw_Count(), TR_REDRAW_MODELS);

    BrPixelmapFill(view, 0);
    BrPixelmapFill(depth, 0xFFFFFFFF);
    Redraw_Rect(world, camera, view, depth, 0, 0, W, H);
    ASSERT_EQ(g_probeCalls, 1);
    for (int i = 0; i < kModels; i++) {
        EXPECT_EQ(g_custom[i], i < TR_REDRAW_MODELS) << "model " << i << " during the render";
        EXPECT_EQ(g_squares[i]->flags & BR_MODF_CUSTOM, 0) << "model " << i << " after it";
        EXPECT_EQ(g_squares[i]->custom, nullptr);
        // Drawn: its depth is written at the middle of its screen box.
        int32_t x, y, w, h;
        ASSERT_TRUE(Redraw_ScreenBox(actors[i], camera, view, &x, &y, &w, &h));
        const int cx = x + w / 2, cy = y + h / 2;
        ASSERT_TRUE(cx >= 0 && cx < W && cy >= 0 && cy < H) << "model " << i;
        const uint16_t d = ((const uint16_t *)((const char *)depth->pixels + cy * depth->row_bytes))[cx];
        EXPECT_NE(d, 0xFFFF) << "model " << i << " drawn";
    }
    EXPECT_EQ(probeModel->custom, probe) << "a model outside the list keeps its routine";

    Redraw_Forget();
    BrPixelmapFree(depth);
    BrPixelmapFree(view);
    BrActorFree(world);
    BrZbEnd();
    BrEnd();
}

}  // namespace
