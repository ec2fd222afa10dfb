// 60 s of game time (2400 steps of 25 ms) of a 20 x 20 field: a floor of 400 pieces with raised
// blocks, slopes, magnets, goals and spiked pieces, and N balls started in all four directions. The
// "x_realtime" column is simulated seconds per wall second over the minute (goal: 5000 and more for
// 100 balls) and "busiest_5s" the same for its slowest 5 s of game time, while the balls all move
// (goal: 2500 and more; each 5 s taken at its best over the iterations); the 10-ball run shows how the cost grows with the balls, and the full-walk
// run of the same field (no per-cell lists, every ball pair tried, every ball stepped) is the
// reference for what the fast paths save.
// PH_BENCH_WINDOWS=1 prints each 5 s window's time and what the balls did in it (on stderr);
// PH_BENCH_CG=k under `valgrind --tool=callgrind --instr-atstart=no` counts only window k.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "busyfield.h"

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"
#include "terrow/phys/phobj.h"
#include "terrow/phys/phworld.h"

namespace {

constexpr int kSize = 20;
constexpr int kSteps = 2400;  // 60 s
constexpr int kWindow = 200;  // 5 s

// What the balls were doing over a window, summed over its steps.
struct Tally {
    int64_t moving = 0, slow = 0, still = 0, dormant = 0;
    int64_t quiet = 0;  // of the still ones, those whose own step was passed over
};
void tally(Tally &t)
{
    for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
        const double v2 = b->velocity.Length2();
        if (b->dormant)
            t.dormant++;
        else if (v2 == 0) {
            t.still++;
            t.quiet += b->quiet;
        } else if (v2 < 0.25)
            t.slow++;
        else
            t.moving++;
    }
}

int quiet_box(const char *, const char *, unsigned) { return 1; }
void no_end(int) {}

void run(benchmark::State &state, bool fast)
{
    const int balls = static_cast<int>(state.range(0));
    const bool wasFast = Phys_SetFastPaths(fast);
    PhReporter r{quiet_box, no_end};
    Phys_SetReporter(&r);
    PhyParams = Phy_Defaults();
    Phy_Derive();
    int64_t steps = 0;
    // Wall seconds of each window, the least over the iterations: a window's cost without the
    // moments other programs took the processor. The busiest is the slowest of these.
    std::vector<double> window(kSteps / kWindow, 1e30);
    using Clock = std::chrono::steady_clock;
    const bool profile = getenv("PH_BENCH_WINDOWS") != nullptr;
    // A window number the minute has, else none (atoi of a number out of range, and the step it
    // names, would overflow).
    int cgWindow = -1;
    if (const char *cg = getenv("PH_BENCH_CG")) {
        char *end = nullptr;
        const long n = strtol(cg, &end, 10);
        if (end != cg && *end == '\0' && n >= 0 && n < long(window.size()))
            cgWindow = int(n);
    }
    std::vector<Tally> stats(window.size());
    bool first = true;
    for (auto _ : state) {
        state.PauseTiming();
        TrPalya *f = busyfield::busy(kSize, balls);
        Phys_Build(f);
        state.ResumeTiming();
        Clock::time_point windowStart = Clock::now();
        for (int k = 0; k < kSteps; k++) {
            if (cgWindow >= 0 && k == cgWindow * kWindow && first)
                CALLGRIND_START_INSTRUMENTATION;
            Phys_Step(f, k * PH_STEP_MS);
            if (cgWindow >= 0 && k == cgWindow * kWindow + kWindow - 1 && first)
                CALLGRIND_STOP_INSTRUMENTATION;
            steps++;
            if (profile && first)
                tally(stats[size_t(k / kWindow)]);
            if ((k + 1) % kWindow == 0) {
                const Clock::time_point now = Clock::now();
                double &w = window[size_t(k / kWindow)];
                w = std::min(w, std::chrono::duration<double>(now - windowStart).count());
                windowStart = now;
            }
        }
        state.PauseTiming();
        Phys_Free();
        Palya_Free(f);
        first = false;
        state.ResumeTiming();
    }
    // PH_BENCH_WINDOWS=1: each window's best time and the balls' state at its end, on stderr.
    if (getenv("PH_BENCH_WINDOWS") != nullptr) {
        fprintf(stderr, "%d balls, fast paths %s: ms per 5 s window\n", balls, fast ? "on" : "off");
        for (size_t k = 0; k < window.size(); k++)
            fprintf(stderr, "  %2zu-%2zu s %7.3f ms  balls a step: moving %5.1f  slow %5.1f  still %5.1f (quiet %5.1f)  dormant %5.1f\n",
                    k * 5, k * 5 + 5, window[k] * 1e3, stats[k].moving / double(kWindow), stats[k].slow / double(kWindow),
                    stats[k].still / double(kWindow), stats[k].quiet / double(kWindow), stats[k].dormant / double(kWindow));
    }
    const double busiest = *std::max_element(window.begin(), window.end());
    if (busiest > 0 && busiest < 1e30)
        state.counters["busiest_5s"] = kWindow * static_cast<int>(PH_STEP_MS) / 1000.0 / busiest;
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(steps) * static_cast<int>(PH_STEP_MS) / 1000.0, benchmark::Counter::kIsRate);
    Phys_SetReporter(nullptr);
    Phys_SetFastPaths(wasFast);
}

void run_minute(benchmark::State &state) { run(state, true); }
// The reference: the same minute with every query walking all pieces and every ball pair tried.
void run_minute_full_walk(benchmark::State &state) { run(state, false); }

}  // namespace

BENCHMARK(run_minute)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(run_minute_full_walk)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
