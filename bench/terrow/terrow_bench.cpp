// Terrow's overlay on a 640 x 480 RGB 565 frame: a generated 10 x 10 field with a ball on every tile,
// rendered once; then per frame the balls' shadows placed, 20 sparks (a soft and a core red glow each),
// a bomb's pulse at its widest and the tally with 12 balls in place and one rolling. Beside it the
// field's scene render, the renderer's textured board frame and a memcpy of the DIB's 614,400 bytes,
// measured in the same run. Physics and the present are outside (the window's present is the
// platform's).
#include "support.h"
#include "sr_raster.h"

#include "board.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include <brondel/bractor.h>
#include <brondel/brfw.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "terrow/trfield.h"
#include "terrow/trfx.h"
#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "vokplat/clock.h"

namespace {

constexpr int W = 640, H = 480, VH = 451;

struct Field {
    br_actor *world = nullptr, *camera = nullptr, *root = nullptr;
    br_pixelmap *screen = nullptr, *view = nullptr, *depth = nullptr;
    std::vector<TrElem *> balls;
    bool ok = false;

    Field()
    {
        TrSetBoxHook([](const char *text, unsigned) {
            fprintf(stderr, "terrow_bench: %s\n", text);
            return 1;
        });
        if (BrBegin() != 0)
            return;
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        if (chdir(VOK_BIN_DIR) != 0 || !Look_LoadAll())
            return;
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *c = (br_camera *)camera->type_data;
        c->type = 4;
        c->hither_z = 0.1f;
        c->yon_z = 20.0f;
        c->field_of_view = 7280;
        c->aspect = float(W) / float(VH);
        br_actor *light = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
        ((br_light *)light->type_data)->type = BR_LIGHT_DIRECT;
        BrLightEnable(light);
        screen = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
        view = BrPixelmapAllocate(BR_PMT_RGB_565, W, VH, screen->pixels, 0);
        view->row_bytes = screen->row_bytes;
        view->origin_x = W / 2;
        view->origin_y = VH / 2;
        depth = BrPixelmapMatch(view, BR_PM_USE_DEPTH_16);

        TrInstallLookHooks();
        TrInstallFxHooks(view, depth, camera);
        Sprites_Init();
        TrPlayModeGet()->game = 0;
        root = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        br_actor *translucent = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        br_actor *opaque = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        Palya_Install(Palya_New(), opaque, translucent, root);
        for (int z = 0; z < 10; z++)
            for (int x = 0; x < 10; x++)
                balls.push_back(Palya_Add(x, 1, z, (x + z) & 3, (x * 3 + z) & 3, 1, 0));
        TrPlaceFieldCamera(camera, Palya_Current());
        // Balls rolling: each a little above and beside its tile.
        for (size_t i = 0; i < balls.size(); i++) {
            br_matrix34 &m = balls[i]->actor->t.t.mat;
            m.m[3][0] += 0.02f * float(i % 3);
            m.m[3][1] += 0.01f * float(i % 5);
        }
        ok = true;
    }
    void render()
    {
        BrPixelmapFill(view, 0x3186);
        BrPixelmapFill(depth, 0xFFFFFFFF);
        BrZbSceneRender(world, camera, view, depth);
    }
};

Field &field()
{
    static Field f;
    return f;
}

void BM_TerrowSceneRender(benchmark::State &state)
{
    Field &f = field();
    if (!f.ok) {
        state.SkipWithError("no data");
        return;
    }
    for (auto _ : state) {
        f.render();
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TerrowSceneRender)->Unit(benchmark::kMillisecond);

void BM_TerrowOverlay(benchmark::State &state)
{
    Field &f = field();
    if (!f.ok) {
        state.SkipWithError("no data");
        return;
    }
    f.render();
    std::vector<uint16_t> frame(size_t(W) * H);
    memcpy(frame.data(), f.screen->pixels, frame.size() * 2);
    PlatSetVirtualClock(TRUE);
    Tally_SetPicture(f.screen);
    const br_vector3 o = {{0, 0, 0}};
    for (auto _ : state) {
        state.PauseTiming();
        memcpy(f.screen->pixels, frame.data(), frame.size() * 2);
        TrActionFreeAll();
        Tally_Start(13);
        for (int i = 0; i < 12; i++)
            Tally_AddBall(f.balls[size_t(i)]);
        TrActionRunAll();
        Tally_AddBall(f.balls[12]);
        PlatAdvanceClock(700);
        state.ResumeTiming();
        for (TrElem *b : f.balls)
            Shadow_Update(b);
        for (int i = 0; i < 20; i++) {
            br_actor *a = f.balls[size_t(i * 5)]->actor;
            Glow_SoftRed(f.view, f.depth, a, &o, f.camera, 0.05f);
            Glow_CoreRed(f.view, f.depth, a, &o, f.camera, 0.01f);
        }
        Glow_SoftOrange(f.view, f.depth, f.balls[55]->actor, &o, f.camera, 0.25f);
        Glow_SoftOrange(f.view, f.depth, f.balls[55]->actor, &o, f.camera, 0.045f);
        Tally_Draw();
        TrActionRunTimed();
        Glow_ClearDirty();
        benchmark::ClobberMemory();
    }
    TrActionFreeAll();
    Tally_Stop();
    Tally_SetPicture(nullptr);
    PlatSetVirtualClock(FALSE);
}
BENCHMARK(BM_TerrowOverlay)->Unit(benchmark::kMicrosecond);

// The reference frame: the renderer's textured lit board (11 x 11 cubes) at 640 x 480.
void BM_TexturedBoardFrame(benchmark::State &state)
{
    board_frames(state, true);
}
BENCHMARK(BM_TexturedBoardFrame)->Unit(benchmark::kMillisecond);

void BM_MemcpyDib(benchmark::State &state)
{
    std::vector<uint8_t> a(614400, 1), b(614400);
    for (auto _ : state) {
        memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyDib)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
