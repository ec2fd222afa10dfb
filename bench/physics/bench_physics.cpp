// 60 s of game time (2400 steps of 25 ms) of a 20 x 20 field: a floor of 400 pieces with raised
// blocks, slopes, magnets, goals and spiked pieces, and N balls started in all four directions. The
// "x_realtime" column is simulated seconds per wall second over the minute (goal: 5000 and more for
// 100 balls) and "busiest_5s" the same for its slowest 5 s of game time, while the balls all move
// (goal: 2500 and more); the 10-ball run shows how the cost grows with the balls, and the full-walk
// run of the same field (no per-cell lists, every ball pair tried, every ball stepped) is the
// reference for what the fast paths save.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "busyfield.h"

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"

namespace {

constexpr int kSize = 20;
constexpr int kSteps = 2400;  // 60 s
constexpr int kWindow = 200;  // 5 s

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
    double busiest = 0;  // wall seconds of the slowest window
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        state.PauseTiming();
        TrPalya *f = busyfield::busy(kSize, balls);
        Phys_Build(f);
        state.ResumeTiming();
        Clock::time_point windowStart = Clock::now();
        for (int k = 0; k < kSteps; k++) {
            Phys_Step(f, k * PH_STEP_MS);
            steps++;
            if ((k + 1) % kWindow == 0) {
                const Clock::time_point now = Clock::now();
                busiest = std::max(busiest, std::chrono::duration<double>(now - windowStart).count());
                windowStart = now;
            }
        }
        state.PauseTiming();
        Phys_Free();
        Palya_Free(f);
        state.ResumeTiming();
    }
    if (busiest > 0)
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
