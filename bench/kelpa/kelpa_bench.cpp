// Kelpa's frames from the generated data: 640 x 480 RGB_565 with DEPTH_16, board 5 laid out and the
// worm moving, `KpRenderFrame` (restore, scene, buttons), `KpDrawStatus` and `KpPresentFrame` into a
// headless window. A running frame redraws the moving cubes' rectangle and the clock strip; a full
// redraw the whole picture. References in the same run: a memcpy of the 614,400-byte picture and
// the renderer's textured cube board (and its plain board). The ratios are printed after the table.
#include "support.h"

#include <benchmark/benchmark.h>

#include "board.h"
#include "recorder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "kelpa/kelpa.h"
#include "vokplat/clock.h"
#include "vokscore/vokiface.h"
#include "win32/windows.h"

namespace {

constexpr int W = 640, H = 480;

LRESULT CALLBACK hostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// The game set up over a host window as the main program starts it, board 5 laid out.
struct KelpaGame {
    bool ready = false;
    HWND host = nullptr;

    bool start()
    {
        if (ready)
            return true;
        PlatSetVirtualClock(TRUE);
        InitVokScore("Data\\");
        WNDCLASSA wc = {};
        wc.lpfnWndProc = hostProc;
        wc.lpszClassName = "kpbenchhost";
        RegisterClassA(&wc);
        host = CreateWindowExA(0, "kpbenchhost", "host", WS_POPUP | WS_VISIBLE, 0, 0, W, H, nullptr, nullptr, nullptr,
                               nullptr);
        VokInterFace *face = VokGetInterFace(VOK_GAME_KELPA);
        if (host == nullptr || face == nullptr)
            return false;
        face->hostWnd = host;
        face->ownerWnd = host;
        face->hostDC = GetDC(host);
        face->windowMode = 0;
        face->gameKind = 101;
        face->levelFamily = 0;
        face->levelNumber = 5;
        face->language = 0;
        if (KpInitGame() != 1)
            return false;
        kpModule().firstFramePending = 1;
        if (KpSetupGame(host, 1) != 1)
            return false;
        KpLevelSetup();
        KpScreen *s = kpRenderer().screen;
        if (s == nullptr || s->colour == nullptr || s->colour->width != W || s->colour->height != H ||
            kpObjects().worm[0].cube == nullptr)
            return false;
        // The level's first frame: everything drawn once, then only what moves.
        frame(true);
        ready = true;
        return true;
    }

    // The worm one small step along its row (back and forth, so it stays on the board).
    void moveWorm(int n)
    {
        const float step = (n & 16) ? -0.05f : 0.05f;
        for (int i = 0; i < 5; i++)
            if (br_actor *c = kpObjects().worm[i].cube)
                c->t.t.mat.m[3][0] += step;
    }

    void frame(bool full)
    {
        KpSwitches &sw = kpSwitches();
        sw.fullRedraw = full ? 1 : 0;
        sw.sceneLive = 1;
        sw.indicatorLive = 1;
        KpScreen *s = kpRenderer().screen;
        KpRenderFrame(s);
        KpDrawStatus(s);
        KpPresentFrame(s);
        sw.fullRedraw = 0;
    }
};

KelpaGame &game()
{
    static KelpaGame g;
    return g;
}

// Frames with the worm moving: a running frame (dirty rectangle and clock strip) or a full redraw.
void kelpaFrames(benchmark::State &state, bool fullRedraw)
{
    if (!game().start()) {
        state.SkipWithError("the game did not set up (is the generated data built?)");
        return;
    }
    int n = 0;
    for (auto _ : state) {
        game().moveWorm(n++);
        game().frame(fullRedraw);
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

void BM_KelpaRunningFrame(benchmark::State &state)
{
    kelpaFrames(state, false);
}
BENCHMARK(BM_KelpaRunningFrame)->Unit(benchmark::kMillisecond);

void BM_KelpaFullRedraw(benchmark::State &state)
{
    kelpaFrames(state, true);
}
BENCHMARK(BM_KelpaFullRedraw)->Unit(benchmark::kMillisecond);

// The renderer's cube board, plain and textured.
void BM_TexturedBoardFrame(benchmark::State &state) { board_frames(state, true); }
BENCHMARK(BM_TexturedBoardFrame)->Unit(benchmark::kMillisecond);
void BM_CubeBoardFrame(benchmark::State &state) { board_frames(state, false); }
BENCHMARK(BM_CubeBoardFrame)->Unit(benchmark::kMillisecond);

// The picture's 614,400 bytes copied once.
void BM_MemcpyPicture(benchmark::State &state)
{
    std::vector<uint8_t> from((size_t)W * H * 2, 0x5a), to((size_t)W * H * 2);
    benchmark::DoNotOptimize(from.data());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)to.size());
}
BENCHMARK(BM_MemcpyPicture)->Unit(benchmark::kMillisecond);


void ratios(const Recorder &rec)
{
    auto at = [&](const char *name) { return rec.at(name); };
    const double running = at("BM_KelpaRunningFrame"), full = at("BM_KelpaFullRedraw"),
                 textured = at("BM_TexturedBoardFrame"), plain = at("BM_CubeBoardFrame"), copy = at("BM_MemcpyPicture");
    std::printf("\nRatios (same run, processor time):\n");
    if (textured > 0)
        std::printf("  textured board: %.0f frames/s; plain board: %.0f frames/s\n", 1.0 / textured,
                    plain > 0 ? 1.0 / plain : 0.0);
    if (running > 0 && textured > 0)
        std::printf("  running frame: %.0f frames/s, %.2f x the textured board (goal >= 1): %s\n", 1.0 / running,
                    textured / running, textured / running >= 1.0 ? "met" : "NOT met");
    if (full > 0 && textured > 0)
        std::printf("  full redraw: %.0f frames/s, %.2f x the textured board (goal >= 0.20): %s\n", 1.0 / full,
                    textured / full, textured / full >= 0.2 ? "met" : "NOT met");
    if (copy > 0 && running > 0 && full > 0)
        std::printf("  memcpy of the picture: %.0f /s; running frame %.1f memcpys, full redraw %.1f memcpys\n",
                    1.0 / copy, running / copy, full / copy);
}

} // namespace

int main(int argc, char **argv)
{
    // Headless, in the program folder, with the player's files in a folder of its own.
    setenv("VOK_HEADLESS", "1", 0);
    if (chdir(KELPA_PROGRAM_DIR) != 0) {
        std::fprintf(stderr, "kelpa_bench: no program folder %s\n", KELPA_PROGRAM_DIR);
        return 1;
    }
    char home[] = "/tmp/kelpa_bench.XXXXXX";
    const bool ownHome = mkdtemp(home) != nullptr;
    if (ownHome) {
        setenv("HOME", home, 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Recorder rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    ratios(rec);
    benchmark::Shutdown();
    if (game().ready)
        KpShutdown();
    if (ownHome)
        std::filesystem::remove_all(home);
    return 0;
}
