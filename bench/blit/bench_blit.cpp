// Blits of a 640x480 16-bit picture: Pannix's CopyRectangle and CopyRectTransparent against memcpy
// of the same bytes and SDL_BlitSurface doing the same work, in one run; then the alpha blends and
// key-0 sprites, as whole pictures and as 32x32 sprites. Each pair is measured back to back;
// compare the bytes_per_second columns.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstring>
#include <memory>
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


// ---- alpha blends and key-0 sprites ------------------------------------------------------------
// The 640x480 pairs blit one whole picture; the sprite pairs draw kSprites 32x32 sprites at fixed
// scattered places of a 640x480 screen per iteration. bytes_per_second counts the source bytes.

struct Picture32 {
    std::vector<uint32_t> pixels;
    br_pixelmap map{};
    SDL_Surface* surface = nullptr;

    Picture32(int w, int h) : pixels(size_t(w) * size_t(h)) {
        map.pixels = pixels.data();
        map.row_bytes = static_cast<br_int_16>(w * 4);
        map.type = BR_PMT_RGBA_8888;
        map.width = static_cast<br_uint_16>(w);
        map.height = static_cast<br_uint_16>(h);
        // Bytes B, G, R, A: SDL's ARGB8888 on a little-endian machine.
        surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_ARGB8888);
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_BLEND);
    }
    Picture32(const Picture32&) = delete;
    ~Picture32() { SDL_FreeSurface(surface); }
};

// A 16-bit picture of any size (the 640x480 one above is fixed).
struct Picture16 {
    std::vector<uint16_t> pixels;
    br_pixelmap map{};
    SDL_Surface* surface = nullptr;

    Picture16(int w, int h, int type, Uint32 sdl_format) : pixels(size_t(w) * size_t(h)) {
        map.pixels = pixels.data();
        map.row_bytes = static_cast<br_int_16>(w * 2);
        map.type = static_cast<br_uint_8>(type);
        map.width = static_cast<br_uint_16>(w);
        map.height = static_cast<br_uint_16>(h);
        surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), w, h, 16, w * 2, sdl_format);
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
    }
    Picture16(const Picture16&) = delete;
    ~Picture16() { SDL_FreeSurface(surface); }
    void paint(uint32_t seed, bool holes) {
        std::mt19937 rng(seed);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const int x = static_cast<int>(i % map.width), y = static_cast<int>(i / map.width);
            pixels[i] = static_cast<uint16_t>(rng() | 1);
            if (holes && (((x >> 3) + (y >> 3)) & 1)) pixels[i] = 0;
        }
    }
};

// Alphas spread over the whole range, a quarter of them 0 and a quarter 255, as in real sprites.
void paint_rgba(Picture32& p, uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto& v : p.pixels) {
        const uint32_t r = rng();
        const uint32_t a = (r >> 30) == 0 ? 0 : (r >> 30) == 1 ? 255 : (r >> 22) & 0xFF;
        v = (r & 0x00FFFFFF) | a << 24;
    }
}

constexpr int kSprite = 32, kSprites = 300;

// Fixed scattered places of the sprites, wholly inside the screen.
const std::vector<std::pair<int, int>>& sprite_places() {
    static const std::vector<std::pair<int, int>> places = [] {
        std::mt19937 rng(7);
        std::vector<std::pair<int, int>> v;
        for (int i = 0; i < kSprites; ++i)
            v.emplace_back(static_cast<int>(rng() % (kW - kSprite)), static_cast<int>(rng() % (kH - kSprite)));
        return v;
    }();
    return places;
}

// One Pannix blit per iteration (whole picture) or per sprite.
template <class Src, class Draw>
void run_pannix(benchmark::State& state, Src& src, Draw draw, bool sprites) {
    Picture16 screen(kW, kH, BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    screen.paint(99, false);
    const size_t per = sprites ? size_t(kSprites) * kSprite * kSprite : size_t(kW) * kH;
    for (auto _ : state) {
        if (sprites) {
            for (const auto& [x, y] : sprite_places()) draw(&screen.map, x, y, &src.map);
        } else {
            draw(&screen.map, 0, 0, &src.map);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(per * (src.map.row_bytes / src.map.width)));
}

template <class Src>
void run_sdl(benchmark::State& state, Src& src, bool sprites) {
    Picture16 screen(kW, kH, BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565);
    screen.paint(99, false);
    const size_t per = sprites ? size_t(kSprites) * kSprite * kSprite : size_t(kW) * kH;
    for (auto _ : state) {
        if (sprites) {
            for (const auto& [x, y] : sprite_places()) {
                SDL_Rect r{x, y, kSprite, kSprite};
                SDL_BlitSurface(src.surface, nullptr, screen.surface, &r);
            }
        } else {
            SDL_BlitSurface(src.surface, nullptr, screen.surface, nullptr);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(per * (src.map.row_bytes / src.map.width)));
}

// memcpy of the same source bytes, row by row for sprites.
void BM_MemcpySprites(benchmark::State& state) {
    std::vector<uint16_t> sprite(kSprite * kSprite, 1), screen(size_t(kW) * kH);
    for (auto _ : state) {
        for (const auto& [x, y] : sprite_places())
            for (int r = 0; r < kSprite; ++r)
                std::memcpy(&screen[size_t(y + r) * kW + size_t(x)], &sprite[size_t(r) * kSprite], kSprite * 2);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSprites * kSprite * kSprite * 2);
}

// Sources of each kind, at the whole-picture size (arg 0) or the sprite size (arg 1).
bool sprites(const benchmark::State& state) { return state.range(0) != 0; }
int side(const benchmark::State& state, int whole) { return sprites(state) ? kSprite : whole; }

std::unique_ptr<Picture16> source16(const benchmark::State& state, int type, Uint32 format, uint32_t seed,
                                    bool holes) {
    auto p = std::make_unique<Picture16>(side(state, kW), side(state, kH), type, format);
    p->paint(seed, holes);
    return p;
}
std::unique_ptr<Picture32> source32(const benchmark::State& state, uint32_t seed) {
    auto p = std::make_unique<Picture32>(side(state, kW), side(state, kH));
    paint_rgba(*p, seed);
    return p;
}

void alpha_at(br_pixelmap* d, int x, int y, br_pixelmap* s, uint32_t alpha) {
    CopyRectTranspAlpha(d, x, y, s, 0, 0, s->width, s->height, alpha);
}
void alpha_128(br_pixelmap* d, int x, int y, br_pixelmap* s) { alpha_at(d, x, y, s, 128); }
void alpha_255(br_pixelmap* d, int x, int y, br_pixelmap* s) { alpha_at(d, x, y, s, 255); }
void sprite(br_pixelmap* d, int x, int y, br_pixelmap* s) {
    CopyRectTransparent0(d, x, y, s, 0, 0, s->width, s->height);
}

void BM_Alpha565at128_Pannix(benchmark::State& state) {
    auto src = source16(state, BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565, 1, true);
    run_pannix(state, *src, alpha_128, sprites(state));
}
void BM_Alpha565at128_SDL(benchmark::State& state) {
    auto src = source16(state, BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565, 1, true);
    SDL_SetColorKey(src->surface, SDL_TRUE, 0);
    SDL_SetSurfaceAlphaMod(src->surface, 128);
    SDL_SetSurfaceBlendMode(src->surface, SDL_BLENDMODE_BLEND);
    run_sdl(state, *src, sprites(state));
}
void BM_AlphaRgbaTo565_Pannix(benchmark::State& state) {
    auto src = source32(state, 2);
    run_pannix(state, *src, alpha_255, sprites(state));
}
void BM_AlphaRgbaTo565_SDL(benchmark::State& state) {
    auto src = source32(state, 2);
    run_sdl(state, *src, sprites(state));
}
void BM_Sprite565Key0_Pannix(benchmark::State& state) {
    auto src = source16(state, BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565, 3, true);
    run_pannix(state, *src, sprite, sprites(state));
}
void BM_Sprite565Key0_SDL(benchmark::State& state) {
    auto src = source16(state, BR_PMT_RGB_565, SDL_PIXELFORMAT_RGB565, 3, true);
    SDL_SetColorKey(src->surface, SDL_TRUE, 0);
    run_sdl(state, *src, sprites(state));
}
void BM_SpriteRgbaTo565_Pannix(benchmark::State& state) {
    auto src = source32(state, 4);
    run_pannix(state, *src, sprite, sprites(state));
}
void BM_SpriteRgbaTo565_SDL(benchmark::State& state) {
    auto src = source32(state, 4);
    run_sdl(state, *src, sprites(state));
}
void BM_Sprite4444To565_Pannix(benchmark::State& state) {
    auto src = source16(state, PX_PMT_ARGB_4444, SDL_PIXELFORMAT_ARGB4444, 5, false);
    run_pannix(state, *src, sprite, sprites(state));
}
void BM_Sprite4444To565_SDL(benchmark::State& state) {
    auto src = source16(state, PX_PMT_ARGB_4444, SDL_PIXELFORMAT_ARGB4444, 5, false);
    SDL_SetSurfaceBlendMode(src->surface, SDL_BLENDMODE_BLEND);
    run_sdl(state, *src, sprites(state));
}
}  // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Copy565_Pannix);
BENCHMARK(BM_Copy565_SDL);
BENCHMARK(BM_Convert555to565_Pannix);
BENCHMARK(BM_Convert555to565_SDL);
BENCHMARK(BM_TransparentKey0_Pannix);
BENCHMARK(BM_TransparentKey0_SDL);
// Arg 0: one 640x480 picture; arg 1: 300 sprites of 32x32.
BENCHMARK(BM_MemcpySprites);
BENCHMARK(BM_Alpha565at128_Pannix)->Arg(0)->Arg(1);
BENCHMARK(BM_Alpha565at128_SDL)->Arg(0)->Arg(1);
BENCHMARK(BM_AlphaRgbaTo565_Pannix)->Arg(0)->Arg(1);
BENCHMARK(BM_AlphaRgbaTo565_SDL)->Arg(0)->Arg(1);
BENCHMARK(BM_Sprite565Key0_Pannix)->Arg(0)->Arg(1);
BENCHMARK(BM_Sprite565Key0_SDL)->Arg(0)->Arg(1);
BENCHMARK(BM_SpriteRgbaTo565_Pannix)->Arg(0)->Arg(1);
BENCHMARK(BM_SpriteRgbaTo565_SDL)->Arg(0)->Arg(1);
BENCHMARK(BM_Sprite4444To565_Pannix)->Arg(0)->Arg(1);
BENCHMARK(BM_Sprite4444To565_SDL)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
