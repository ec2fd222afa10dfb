// 60 s of game time (2400 steps of 25 ms) of a 20 x 20 field: a floor of 400 pieces with raised
// blocks, slopes, magnets, goals and spiked pieces, and N balls started in all four directions. The
// "x_realtime" column is simulated seconds per wall second (goal: 1000 and more for 100 balls); the
// 10-ball run in the same program is the reference for how the cost grows with the balls.
#include <benchmark/benchmark.h>

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"

namespace {

constexpr int kSize = 20;
constexpr int kSteps = 2400;  // 60 s

int quiet_box(const char *, const char *, unsigned) { return 1; }
void no_end(int) {}

TrElem *put(TrPalya *f, int x, int y, int z, int type, int dir)
{
    TrElem *e = Elem_New(x, y, z, dir, type, Elem_ClassOf(type) | EF_LEVEL_PART);
    Palya_AddElem(f, e);
    return e;
}

TrPalya *busy_field(int balls)
{
    TrPalya *f = Palya_NewEmpty();
    for (int z = 0; z < kSize; z++)
        for (int x = 0; x < kSize; x++) {
            int type = TY_T_SIMA;
            if ((x * 7 + z * 3) % 41 == 0)
                type = TY_T_CEL;
            else if ((x * 5 + z * 11) % 53 == 0)
                type = TY_T_MAGNES;
            else if ((x * 13 + z) % 59 == 0)
                type = TY_T_SZOGES;
            put(f, x, 0, z, type, 0);
        }
    // Raised blocks with slopes leading up to them along the odd rows.
    for (int z = 1; z < kSize; z += 4)
        for (int x = 3; x < kSize - 1; x += 6) {
            put(f, x, 1, z, TY_T_SIMA, 0);
            put(f, x - 1, 1, z, TY_T_LEJTO, 0);
            put(f, x + 1, 1, z, TY_T_SIMA, 0);
        }
    int placed = 0;
    for (int z = 0; z < kSize && placed < balls; z += 2)
        for (int x = 0; x < kSize && placed < balls; x++) {
            if (z % 4 == 1)
                continue;
            put(f, x, 1, z, placed % 3 == 0 ? TY_G_GUMI : TY_G_FEM, placed % 4);
            placed++;
        }
    return f;
}

void run_minute(benchmark::State &state)
{
    const int balls = static_cast<int>(state.range(0));
    PhReporter r{quiet_box, no_end};
    Phys_SetReporter(&r);
    PhyParams = Phy_Defaults();
    Phy_Derive();
    int64_t steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TrPalya *f = busy_field(balls);
        Phys_Build(f);
        state.ResumeTiming();
        for (int k = 0; k < kSteps; k++) {
            Phys_Step(f, k * PH_STEP_MS);
            steps++;
        }
        state.PauseTiming();
        Phys_Free();
        Palya_Free(f);
        state.ResumeTiming();
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(steps) * PH_STEP_MS / 1000.0, benchmark::Counter::kIsRate);
    Phys_SetReporter(nullptr);
}

}  // namespace

BENCHMARK(run_minute)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
