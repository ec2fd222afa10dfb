#pragma once
// The reference frame the speed goals are measured against: the renderer's cube board (11 x 11 cubes,
// 640 x 480, RGB_565 + DEPTH_16), plain or with a 64 x 64 RGB_565 texture on every side, cleared and
// drawn whole each frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "support.h"

// Counts the pixels the frames tested into `tested` when given.
inline void board_frames(benchmark::State &state, bool textured, uint64_t *tested = nullptr)
{
    constexpr int W = 640, H = 480;
    srtest::Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16, true, 0);
    srtest::Texture565 tex(64);
    srtest::Board board(f.target, textured ? &tex.texture : nullptr);
    sr::Scratch scratch;
    for (auto _ : state) {
        std::memset(f.cmem.data(), 0, (size_t)W * H * 2);
        std::memset(f.dmem.data(), 0xff, (size_t)W * H * 2);
        board.render(scratch);
        benchmark::DoNotOptimize(f.cmem.data());
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    if (tested != nullptr)
        *tested = scratch.pixels_tested;
}
