// Blits of a 640x480 16-bit picture: Pannix's CopyRectangle and CopyRectTransparent against memcpy
// of the same bytes and SDL_BlitSurface doing the same work, in one run. Each pair is measured
// back to back; compare the bytes_per_second columns.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstring>
#include <random>
#include <vector>

#include "brondel/brpixmap.h"
#include "pannix/pxblit.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kBytes = size_t{kW} * kH * 2;

struct Picture {
    std::vector<uint16_t> pixels;
    br_pixelmap map{};  // made by hand: the blitters read only the fields set here
    SDL_Surface* surface = nullptr;

    Picture(int type, Uint32 sdl_format) : pixels(size_t{kW} * kH) {
        map.pixels = pixels.data();
        map.row_bytes = kW * 2;
        map.type = static_cast<br_uint_8>(type);
        map.width = kW;
        map.height = kH;
        surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kW, kH, 16, kW * 2, sdl_format);
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
    }
    ~Picture() { SDL_FreeSurface(surface); }
};

// Random colours; with `holes`, a sprite-like picture: 8x8 blocks of key 0 in a checkerboard.
void paint(Picture& p, bool holes, uint16_t mask) {
    std::mt19937 rng(42);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint16_t v = static_cast<uint16_t>(rng() & mask) | 1;
            if (holes && (((x >> 3) + (y >> 3)) & 1)) v = 0;
            p.pixels[static_cast<size_t>(y) * kW + static_cast<size_t>(x)] = v;
        }
}

void finish(benchmark::State& state) { state.SetBytesProcessed(int64_t(state.iterations()) * kBytes); }

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> a(kBytes, 1), b(kBytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kBytes);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_Copy565_Pannix(benchmark::State& state) {
    Picture src(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565), dst(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    paint(src, false, 0xFFFF);
    for (auto _ : state) {
        CopyRectangle(&dst.map, 0, 0, &src.map, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_Copy565_SDL(benchmark::State& state) {
    Picture src(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565), dst(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    paint(src, false, 0xFFFF);
    for (auto _ : state) {
        SDL_BlitSurface(src.surface, nullptr, dst.surface, nullptr);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_Convert555to565_Pannix(benchmark::State& state) {
    Picture src(BR_PMT_RGB_555, SDL_PIXELFORMAT_RGB555), dst(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    paint(src, false, 0x7FFF);
    for (auto _ : state) {
        CopyRectangle(&dst.map, 0, 0, &src.map, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_Convert555to565_SDL(benchmark::State& state) {
    Picture src(BR_PMT_RGB_555, SDL_PIXELFORMAT_RGB555), dst(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    paint(src, false, 0x7FFF);
    for (auto _ : state) {
        SDL_BlitSurface(src.surface, nullptr, dst.surface, nullptr);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_TransparentKey0_Pannix(benchmark::State& state) {
    Picture src(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565), dst(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    paint(src, true, 0xFFFF);
    for (auto _ : state) {
        CopyRectTransparent(&dst.map, 0, 0, &src.map, 0, 0, kW, kH, 0);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void BM_TransparentKey0_SDL(benchmark::State& state) {
    Picture src(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565), dst(BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    paint(src, true, 0xFFFF);
    SDL_SetColorKey(src.surface, SDL_TRUE, 0);
    for (auto _ : state) {
        SDL_BlitSurface(src.surface, nullptr, dst.surface, nullptr);
        benchmark::ClobberMemory();
    }
    finish(state);
}

}  // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Copy565_Pannix);
BENCHMARK(BM_Copy565_SDL);
BENCHMARK(BM_Convert555to565_Pannix);
BENCHMARK(BM_Convert555to565_SDL);
BENCHMARK(BM_TransparentKey0_Pannix);
BENCHMARK(BM_TransparentKey0_SDL);

BENCHMARK_MAIN();
