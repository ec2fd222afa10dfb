// Every supported pair through the whole dispatcher, on random geometry (every tail length, both
// row directions, sub-maps), at every vector level, against the reference applied pixel by pixel.
#include <gtest/gtest.h>

#include <random>

#include "support.h"

using namespace pxblit;
using pxtest::MapSpec;
using pxtest::TestMap;

namespace {

TEST(CopyRectangleRandom, DispatcherMatchesThePerPixelReference) {
    static uint32_t palette[256];
    std::mt19937 rng(2024);
    for (auto& p : palette) p = rng();
    const int types[] = {T_I8, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444};
    for (int s : types)
        for (int d : types) {
            const PairKernel* k = copy_pair(s, d);
            if (k == nullptr) continue;
            for (int round = 0; round < 12; ++round) {
                const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 4);
                const MapSpec ss = pxtest::random_layout(s, w + 3, h + 2, rng, 1, 1);
                const MapSpec ds = pxtest::random_layout(d, w + 5, h + 1, rng, 2, 0);
                TestMap src(ss), dst(ds);
                src.randomize(rng);
                dst.randomize(rng);
                const uintptr_t user = s == T_I8 ? reinterpret_cast<uintptr_t>(palette) : (rng() % 3 == 0 ? 4 : 0);
                src.map()->user = user;
                const int sx = static_cast<int>(rng() % 4), sy = static_cast<int>(rng() % 2);
                const int dx = static_cast<int>(rng() % 6), dy = static_cast<int>(rng() % 2);
                // The model: the reference row of one pixel at a time, on a copy of the block.
                TestMap model(ds);
                model.restore(dst.memory());
                RowCtx c;
                c.mode = user;
                c.palette = s == T_I8 ? palette : nullptr;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        if (sx + x >= ss.w || sy + y >= ss.h || dx + x >= ds.w || dy + y >= ds.h) continue;
                        k->ref(src.at(sx + x, sy + y), model.at(dx + x, dy + y), 1, c);
                    }
                for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
                    set_simd_level(level);
                    TestMap out(ds);
                    out.restore(dst.memory());
                    copy_rectangle(out.map(), dx, dy, src.map(), sx, sy, w, h);
                    ASSERT_TRUE(out.memory() == model.memory())
                        << s << "->" << d << " w " << w << " h " << h << " level " << static_cast<int>(level);
                }
            }
        }
    set_simd_level(SimdLevel::Avx2);
}

}  // namespace
