// Speed of the memory class's fill and copy loops, measured beside memset and memcpy of the same
// bytes in the same run: the pixel-map figures should sit close to the reference ones.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "brondel/brcore.h"

namespace {

constexpr int W = 640, H = 480;
constexpr size_t BYTES = (size_t)W * H * 2;

struct Core {
    Core() { BrCoreBegin(); }
    ~Core() { BrCoreEnd(); }
};

Core &core()
{
    static Core c;
    return c;
}

void BM_PixelmapFill(benchmark::State &state)
{
    core();
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
    br_uint_32 colour = 0;
    for (auto _ : state) {
        BrPixelmapFill(pm, colour++ & 0xFFFF);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * BYTES);
    BrPixelmapFree(pm);
}

void BM_Memset(benchmark::State &state)
{
    std::vector<unsigned char> buf(BYTES);
    int value = 0;
    for (auto _ : state) {
        memset(buf.data(), value++ & 0xFF, BYTES);
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * BYTES);
}

void BM_PixelmapCopy(benchmark::State &state)
{
    core();
    br_pixelmap *dst = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
    br_pixelmap *src = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
    BrPixelmapFill(src, 0x1234);
    for (auto _ : state) {
        BrPixelmapCopy(dst, src);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * BYTES);
    BrPixelmapFree(dst);
    BrPixelmapFree(src);
}

void BM_Memcpy(benchmark::State &state)
{
    std::vector<unsigned char> dst(BYTES), src(BYTES, 0x34);
    for (auto _ : state) {
        memcpy(dst.data(), src.data(), BYTES);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * BYTES);
}

// The same pair through a bottom-up map and a sub map one pixel narrower (row-by-row paths).
void BM_PixelmapRectangleFillRows(benchmark::State &state)
{
    core();
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    for (auto _ : state) {
        BrPixelmapRectangleFill(pm, 1, 0, W - 1, H, 0x5555);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (W - 1) * H * 2);
    BrPixelmapFree(pm);
}

void BM_PixelmapRectangleCopyRows(benchmark::State &state)
{
    core();
    br_pixelmap *dst = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    br_pixelmap *src = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
    for (auto _ : state) {
        BrPixelmapRectangleCopy(dst, 1, 0, src, 0, 0, W - 1, H);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (W - 1) * H * 2);
    BrPixelmapFree(dst);
    BrPixelmapFree(src);
}

} // namespace

BENCHMARK(BM_PixelmapFill);
BENCHMARK(BM_Memset);
BENCHMARK(BM_PixelmapCopy);
BENCHMARK(BM_Memcpy);
BENCHMARK(BM_PixelmapRectangleFillRows);
BENCHMARK(BM_PixelmapRectangleCopyRows);

BENCHMARK_MAIN();
