// --fx FIELD.trl [--ms N] [--dark]: the field's stored solution run N ms of game time (default 1200), then the
// overlay over the rendered picture: the balls' shadows, a batch of the preview show's coloured lights,
// white twinkles, a bomb's pulse on the first ball, and the ball tally in a status strip at the
// picture's foot (two balls in their slots, one rolling in). --dark leaves the lights out. Best seen at --size 640x480.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brpixmap.h>

#include "modes.h"
#include "terrow/trfield.h"
#include "terrow/trfx.h"
#include "terrow/trplay.h"
#include "vokplat/clock.h"

namespace trview {

namespace {

br_actor *g_root = nullptr;
bool g_installed = false;
uint32_t g_ms = 1200;
bool g_lights = true;

std::string program_folder()
{
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string p = n > 0 ? std::string(self, (size_t)n) : std::string(".");
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

bool build(Viewer &v, const std::vector<std::string> &args)
{
    std::string path;
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] == "--dark") {
            g_lights = false;
        } else if (args[i] == "--ms" && i + 1 < args.size()) {
            g_ms = uint32_t(strtoul(args[++i].c_str(), nullptr, 10));
        } else if (path.empty() && args[i].rfind("--", 0) != 0) {
            path = args[i];
        } else {
            fprintf(stderr, "trview: unexpected %s\n", args[i].c_str());
            return false;
        }
    }
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        fprintf(stderr, "trview: no field file %s\n", path.empty() ? "given" : path.c_str());
        return false;
    }
    TrPalya *field = Palya_FOpenLoad(path.c_str());
    if (field == nullptr)
        return false;
    char cwd[PATH_MAX] = "";
    if (getcwd(cwd, sizeof cwd) == nullptr || chdir(program_folder().c_str()) != 0)
        return false;
    TrRandSeed(1);
    TrInstallLookHooks();
    TrInstallFxHooks(v.view(), nullptr, v.camera());
    TrSimInstallPhysics(nullptr);
    TraceMarks_InstallHost();
    Sprites_Init();
    TrPlayModeGet()->game = 0;
    g_root = BrActorAdd(v.root(), BrActorAllocate(BR_ACTOR_NONE, nullptr));
    br_actor *translucent = BrActorAdd(g_root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    br_actor *opaque = BrActorAdd(g_root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    Palya_Install(field, opaque, translucent, g_root);
    g_installed = true;
    v.set_centre(0, 0, 0);
    TrOrbitFromField(&v.orbit(), field);
    v.apply_orbit();
    if (TrRunStart()) {
        Sim_Advance(g_ms);
        TrActionFreeAll();
    }
    for (TrNode *n = field->balls; n != nullptr; n = n->next)
        Shadow_Update(static_cast<TrElem *>(n->item));
    if (chdir(cwd) != 0)
        return false;
    return true;
}

void overlay(Viewer &v)
{
    br_pixelmap *view = v.view();
    br_pixelmap *depth = v.depth();
    // The preview show's first batch in green, then a few white twinkles.
    std::vector<float> buf(PREVIEW_POINTS_MAX * 3);
    auto *pts = reinterpret_cast<float(*)[3]>(buf.data());
    const int32_t n = g_lights ? TrSurfacePoints(pts, PREVIEW_POINTS_MAX) : 0;
    Glow_SetColourSet(2);
    for (int32_t i = 0; i < n && i < 50; i++) {
        const br_vector3 p = {{pts[i][0], pts[i][1], pts[i][2]}};
        Glow_HaloColour(view, depth, g_root, &p, v.camera(), 0.06f);
        Glow_CoreColour(view, depth, g_root, &p, v.camera(), 0.01f);
    }
    for (int32_t i = 60; i < n; i += 37) {
        const br_vector3 p = {{pts[i][0], pts[i][1], pts[i][2]}};
        Glow_HaloWhite(view, depth, g_root, &p, v.camera(), 0.08f);
        Glow_CoreWhite(view, depth, g_root, &p, v.camera(), 0.012f);
    }
    TrPalya *field = Palya_Current();
    if (g_lights && field != nullptr && field->balls != nullptr) {
        auto *ball = static_cast<TrElem *>(field->balls->item);
        const br_vector3 o = {{0, 0, 0}};
        if (ball->actor != nullptr) {
            Glow_SoftOrange(view, depth, ball->actor, &o, v.camera(), 0.25f);
            Glow_SoftOrange(view, depth, ball->actor, &o, v.camera(), 0.045f);
        }
    }
    // The status strip and the tally: two balls in place, one dropping onto the strip.
    if (view->height < 480 || view->width < 640)
        return;
    for (int y = 451; y < 480; y++) {
        auto *row = (uint16_t *)((char *)view->pixels + (ptrdiff_t)y * view->row_bytes);
        for (int x = 0; x < view->width; x++) {
            const int g = 120 + (y - 451) * 2 + (((x * 37 + y * 11) ^ (x >> 2)) & 7);
            row[x] = uint16_t(((g >> 3) << 11) | ((g >> 2) << 5) | ((g + 10) >> 3));
        }
    }
    PlatSetVirtualClock(TRUE);
    Tally_SetPicture(view);
    Tally_Start(5);
    TrElem *balls[3] = {Elem_New(0, 1, 0, 0, TY_G_FEM, EF_BALL), Elem_New(0, 1, 0, 0, TY_G_GUMI, EF_BALL),
                        Elem_New(0, 1, 0, 0, TY_G_BOMBA, EF_BALL)};
    Tally_AddBall(balls[0]);
    Tally_AddBall(balls[1]);
    TrActionRunAll();
    Tally_AddBall(balls[2]);
    PlatAdvanceClock(700);
    Tally_Draw();
    TrActionRunTimed();
    for (TrElem *b : balls)
        Elem_Free(b);
    Tally_Stop();
    Tally_SetPicture(nullptr);
    PlatSetVirtualClock(FALSE);
}

void finish(Viewer &)
{
    if (g_installed)
        Palya_Release();
    g_installed = false;
    Sprites_Free();
    TrSetPlayHooks(nullptr);
    if (g_root != nullptr) {
        BrActorRemove(g_root);
        BrActorFree(g_root);
    }
    g_root = nullptr;
}

}  // namespace

const Mode kFxMode = {"--fx", "FIELD.trl [--ms N]: shadows, lights, pulse and tally over a field after N ms",
                      build, nullptr, finish, nullptr, overlay};

}  // namespace trview
