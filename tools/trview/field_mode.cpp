// FIELD.trl [--run] [--ms N]: the field with its looks from its own starting camera. --run plays the
// stored solution through the game's run with the real physics; in the window Space starts, pauses
// and goes on, S stops (the field stands as before the run), R stops and starts again. With --out the
// run goes on N ms of game time (default 3000) before the picture is taken.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <brondel/bractor.h>

#include "modes.h"
#include "terrow/trfield.h"
#include "terrow/trlook.h"
#include "terrow/trplay.h"
#include "win32/windows.h"

namespace trview {

namespace {

br_actor *g_fieldRoot = nullptr;
bool g_run = false;
bool g_stopPosted = false;
bool g_installed = false;
uint32_t g_ms = 3000;

void report_stop()
{
    const int sunk = Palya_CountSunk(), needed = Palya_BallsNeeded();
    TrRunKeyStop();
    printf("run stopped at %u ms: %d of %d balls in the goal, %s\n", TrSimGet()->simTime, sunk, needed,
           sunk >= needed ? "solved" : "not solved");
    fflush(stdout);
}

void start_run()
{
    g_stopPosted = false;
    if (TrRunStart())
        printf("run started\n");
    fflush(stdout);
}

long keys(Viewer &, uintptr_t key)
{
    switch (key) {
    case VK_SPACE: TrRunKeyStart(); return 1;
    case 'S':
        if (TrSimGet()->runActive)
            report_stop();
        return 1;
    case 'R':
        if (TrSimGet()->runActive)
            report_stop();
        start_run();
        return 1;
    default: return 0;
    }
}

bool build(Viewer &v, const std::vector<std::string> &args)
{
    std::string path;
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] == "--run") {
            g_run = true;
        } else if (args[i] == "--ms" && i + 1 < args.size()) {
            char *end = nullptr;
            const long ms = strtol(args[++i].c_str(), &end, 10);
            if (end == nullptr || *end != '\0' || ms < 0 || ms > 3600000) {
                fprintf(stderr, "trview: --ms takes 0 .. 3600000\n");
                return false;
            }
            g_ms = uint32_t(ms);
        } else if (path.empty() && args[i].rfind("--", 0) != 0) {
            path = args[i];
        } else {
            fprintf(stderr, "trview: unexpected %s\n", args[i].c_str());
            return false;
        }
    }
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fprintf(stderr, "trview: no field file %s\n", path.empty() ? "given" : path.c_str());
        return false;
    }
    // The reader warns (through the box hook) about a file it refuses.
    TrPalya *field = Palya_FOpenLoad(path.c_str());
    if (field == nullptr) {
        fprintf(stderr, "trview: %s is no field\n", path.c_str());
        return false;
    }
    TrInstallLookHooks();
    TrPlayHooks h = *TrPlayHooksGet();
    h.postKey = [](int32_t key) { g_stopPosted = g_stopPosted || key == TR_KEY_STOP; };
    h.status = [](const char *text, int32_t) {
        printf("status: %s\n", text);
        fflush(stdout);
    };
    TrSetPlayHooks(&h);
    TrSimInstallPhysics(nullptr);
    // As the editor has it: the solution's pieces stay where the file put them.
    TrPlayMode *mode = TrPlayModeGet();
    mode->game = 0;
    mode->testRun = 0;
    mode->fast = 0;
    mode->fastSwitch = nullptr;

    g_fieldRoot = BrActorAdd(v.root(), BrActorAllocate(BR_ACTOR_NONE, nullptr));
    br_actor *translucent = BrActorAdd(g_fieldRoot, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    br_actor *opaque = BrActorAdd(g_fieldRoot, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    Palya_Install(field, opaque, translucent, g_fieldRoot);
    g_installed = true;
    printf("field %s: %d elements, %d x %d x %d, balls needed %d\n", path.c_str(), field->count, field->extentX,
           field->extentY, field->extentZ, Palya_BallsNeeded());

    v.set_centre(0.0f, 0.0f, 0.0f);
    TrOrbitFromField(&v.orbit(), field);
    v.apply_orbit();
    if (g_run)
        start_run();
    if (g_run && v.headless() && TrSimGet()->runActive) {
        // Game time, not the clock: the same picture on every machine.
        if (Sim_Advance(g_ms))
            printf("at rest after %u ms\n", TrSimGet()->simTime);
        printf("%d of %d balls in the goal at %u ms\n", Palya_CountSunk(), Palya_BallsNeeded(),
               TrSimGet()->simTime);
    }
    fflush(stdout);
    return true;
}

void tick(Viewer &, uint32_t)
{
    TrRunFrame();
    if (g_stopPosted) {
        g_stopPosted = false;
        if (TrSimGet()->runActive)
            report_stop();
    }
}

void finish(Viewer &)
{
    if (g_installed)
        Palya_Release();
    g_installed = false;
    TrSetPlayHooks(nullptr);
    if (g_fieldRoot != nullptr) {
        BrActorRemove(g_fieldRoot);
        BrActorFree(g_fieldRoot);
    }
    g_fieldRoot = nullptr;
}

}  // namespace

const Mode kFieldMode = {"--field", "FIELD.trl [--run] [--ms N]: a field, its solution played with --run", build,
                         tick, finish, keys};

}  // namespace trview
