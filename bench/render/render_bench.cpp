// Frames of the lit cube board (11 x 11 cubes, 1,452 triangles, 640 x 480, RGB_565 + DEPTH_16)
// against a memset of the colour and depth bytes of the same pixel count.
#include "support.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr int W = 640, H = 480;

void BM_CubeBoardFrame(benchmark::State &state)
{
    srtest::Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16, true, 0);
    srtest::Board board(f.target);
    sr::Scratch scratch;
    const size_t cbytes = (size_t)W * H * 2, dbytes = (size_t)W * H * 2;
    for (auto _ : state) {
        // Clearing is part of every game frame.
        std::memset(f.cmem.data(), 0, cbytes);
        std::memset(f.dmem.data(), 0xff, dbytes);
        board.render(scratch);
        benchmark::DoNotOptimize(f.cmem.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pixels/s"] = benchmark::Counter((double)scratch.pixels_tested, benchmark::Counter::kIsRate);
    state.counters["pixels/frame"] = (double)scratch.pixels_tested / (double)state.iterations();
    state.counters["triangles/frame"] = (double)(board.mesh.f.size() * board.model_to_view.size());
}
BENCHMARK(BM_CubeBoardFrame)->Unit(benchmark::kMillisecond);

// The reference: the colour and depth bytes of a whole 640 x 480 frame written by memset.
void BM_MemsetColourAndDepth(benchmark::State &state)
{
    std::vector<uint8_t> colour((size_t)W * H * 2), depth((size_t)W * H * 2);
    benchmark::DoNotOptimize(colour.data());
    benchmark::DoNotOptimize(depth.data());
    for (auto _ : state) {
        std::memset(colour.data(), 0x12, colour.size());
        std::memset(depth.data(), 0xff, depth.size());
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] = benchmark::Counter((double)state.iterations() * W * H, benchmark::Counter::kIsRate);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(colour.size() + depth.size()));
}
BENCHMARK(BM_MemsetColourAndDepth)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
