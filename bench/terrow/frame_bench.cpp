// The whole Terrow frame as the module draws it, in the module started in-process in a headless
// window on a generated 10 x 10 field with 100 balls, the run copies in use: the frame work (the
// copies put back, shadows placed, actions), the scene render, the overlay (20 sparks and the pulse,
// the tally, the status line, the buttons) and the present of the 640 x 480 RGB 565 DIB into the
// window. The balls are moved between frames, outside the timing (as the physics would).
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trfx.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "vokscore/vokiface.h"
#include "win32/winfile.h"
#include "win32/winmisc.h"
#include "win32/winuser.h"

namespace {

benchmark::State *g_state = nullptr;
std::string g_error;

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Every tile of the default field carries a ball of one of the three kinds that stay whole.
std::string write_field()
{
    TrPalya *f = Palya_New();
    const int32_t kinds[3] = {TY_G_FEM, TY_G_GUMI, TY_G_BOMBA};
    for (int z = 0; z < 10; z++)
        for (int x = 0; x < 10; x++)
            Palya_AddElem(f, Elem_NewV(x, 1, z, (x + z) & 3, kinds[(x * 3 + z) % 3], EF_BALL | EF_LEVEL_PART, 0));
    const std::string path = std::string(VOK_BIN_DIR) + "/../bench_terrow_100.trl";
    const bool ok = Palya_FSave(path.c_str(), f) != 0;
    Palya_Free(f);
    return ok ? path : std::string();
}

void take_run_copies()
{
    TrCopies *c = TrCopiesGet();
    c->countdown = 1;
    if (TrGetModule()->ini.Hatter)
        TrCopiesTakeBackground();
    c->countdown = 0;
    TrCopiesRunStart();
}

void frames()
{
    benchmark::State &state = *g_state;
    TrShell *s = TrGetShell();
    TrPalya *field = Palya_Current();
    if (s->view == nullptr || s->dc == nullptr || field == nullptr) {
        g_error = "the module has no view, window or field";
        return;
    }
    TrControlGet()->announceStart = 0;
    // A first start flies the field in from far away: the frames are timed with every piece home.
    Fx_FlyInFinish();
    take_run_copies();
    TrCopies *c = TrCopiesGet();
    if (!c->runInUse || !c->runTaken) {
        g_error = "the run copies are not in use";
        return;
    }
    std::vector<TrElem *> balls;
    for (TrNode *n = field->balls; n != nullptr; n = n->next)
        balls.push_back((TrElem *)n->item);
    if (balls.size() != 100) {
        g_error = "the field has " + std::to_string(balls.size()) + " balls";
        return;
    }
    std::vector<br_vector3> home(balls.size());
    for (size_t i = 0; i < balls.size(); i++)
        home[i] = *(br_vector3 *)&balls[i]->actor->t.t.mat.m[3][0];
    Tally_SetPicture(s->screenPix);
    Tally_Start(13);
    for (int i = 0; i < 12; i++)
        Tally_AddBall(balls[size_t(i)]);
    const br_vector3 o = {{0, 0, 0}};
    TrStatusLong("100 balls rolling");
    double work = 0, scene = 0, overlay = 0, present = 0;
    int frame = 0;
    for (auto _ : state) {
        // The physics' part: every ball a little further along, a little above its tile.
        for (size_t i = 0; i < balls.size(); i++) {
            br_matrix34 &m = balls[i]->actor->t.t.mat;
            const float a = 0.05f * float(frame + int(i));
            m.m[3][0] = home[i].v[0] + 0.03f * std::sin(a);
            m.m[3][1] = home[i].v[1] + 0.01f * float(i % 5);
            m.m[3][2] = home[i].v[2] + 0.03f * std::cos(a);
        }
        frame++;
        const Clock::time_point t0 = Clock::now();
        TrFrameWork();
        const Clock::time_point t1 = Clock::now();
        BrZbSceneRender(s->worlds[0], s->cameras[0], s->view, s->depths[0]);
        const Clock::time_point t2 = Clock::now();
        for (int i = 0; i < 20; i++) {
            br_actor *a = balls[size_t(i * 5)]->actor;
            Glow_SoftRed(s->view, s->depths[0], a, &o, s->cameras[0], 0.05f);
            Glow_CoreRed(s->view, s->depths[0], a, &o, s->cameras[0], 0.01f);
        }
        Glow_SoftOrange(s->view, s->depths[0], balls[55]->actor, &o, s->cameras[0], 0.25f);
        Tally_Draw();
        TrAfterRender();
        Glow_ClearDirty();
        const Clock::time_point t3 = Clock::now();
        TrDibPresent(s->dc);
        const Clock::time_point t4 = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t4 - t0).count());
        work += ms(t0, t1);
        scene += ms(t1, t2);
        overlay += ms(t2, t3);
        present += ms(t3, t4);
        benchmark::ClobberMemory();
    }
    Tally_Stop();
    Tally_SetPicture(nullptr);
    TrCopiesRunEnd();
    const double n = double(state.iterations());
    state.counters["work_ms"] = work / n;
    state.counters["scene_ms"] = scene / n;
    state.counters["overlay_ms"] = overlay / n;
    state.counters["present_ms"] = present / n;
    state.counters["frame_ms"] = (work + scene + overlay + present) / n;
}

void frame_hook()
{
    if (g_state != nullptr) {
        frames();
        g_state = nullptr;
        VokGetInterFace(VOK_GAME_TERROW)->popupResult = -1;
        PostMessageA(TrGetShell()->window, WM_CLOSE, 0, 0);
    }
}

// The time is the frames' own (the module's start and end are not a frame's).
void BM_TerrowFrame(benchmark::State &state)
{
    setenv("VOK_HEADLESS", "1", 1);
    static const std::string path = write_field();
    if (path.empty()) {
        state.SkipWithError("the field could not be written");
        return;
    }
    InitVokScore("Data\\");
    TrSetBoxHook([](const char *text, unsigned) {
        fprintf(stderr, "terrow_bench: %s\n", text);
        return 1;
    });
    TrScreenHooks h{};
    h.popup = [](unsigned) {
        VokGetInterFace(VOK_GAME_TERROW)->popupResult = -1;
        return 1;
    };
    h.messageBox = [](HWND, unsigned, const char *) { return IDNO; };
    TrSetScreenHooks(&h);
    VokInterFace *f = VokGetInterFace(VOK_GAME_TERROW);
    f->gameKind = 100;
    f->windowMode = 0;
    f->hostWnd = nullptr;
    f->gameFlags = 0;
    f->language = VOK_LANG_US;
    snprintf(f->levelPath, sizeof f->levelPath, "%s", path.c_str());
    g_state = &state;
    g_error.clear();
    TrSetFrameHook(frame_hook);
    StartTerrow();
    TrWindowCleanup(TrGetShell()->window);
    // The position the module saved on leaving would skip the fly-in of the next run.
    const char *saved = TrSavedPositionPath(f->gameKind, f->playerName != nullptr ? f->playerName : "", path.c_str());
    if (saved != nullptr && *saved != 0)
        DeleteFileA(saved);
    TrSetFrameHook(nullptr);
    TrSetScreenHooks(nullptr);
    TrSetBoxHook(nullptr);
    if (g_state != nullptr) {
        g_state = nullptr;
        state.SkipWithError("the module never reached its first frame");
    } else if (!g_error.empty())
        state.SkipWithError(g_error.c_str());
}
BENCHMARK(BM_TerrowFrame)->Unit(benchmark::kMillisecond)->Iterations(300)->UseManualTime();

}  // namespace
