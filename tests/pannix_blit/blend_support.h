// Shared by the tests of the alpha blends and the key-0 sprite copies: one-pixel value cases,
// vector rows against the reference, fenced rows, and random whole calls against a per-pixel model.
#ifndef PANNIX_BLIT_BLEND_SUPPORT_H
#define PANNIX_BLIT_BLEND_SUPPORT_H

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "blend_ops.h"
#include "blend_simd.h"
#include "pannix/pxblit.h"
#include "support.h"
#include "vokplat/msgbox.h"

namespace pxtest {

using Bytes = std::vector<uint8_t>;
inline Bytes w16(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

// A test palette: index 1 is 0x5AA5C3E7 (a non-zero top byte).
inline const uint32_t* test_palette() {
    static uint32_t p[256] = {0, 0x5AA5C3E7};
    return p;
}

// dst, dx, dy, src, sx, sy, w, h
using Blit = std::function<void(const pxblit::PxMap*, int32_t, int32_t, const pxblit::PxMap*, int32_t, int32_t,
                                int32_t, int32_t)>;

struct PixelCase {
    const char* what;
    int src;
    Bytes in;
    uintptr_t user;  // kPaletteUser stands for the test palette
    int dst;
    Bytes before, after;
};
constexpr uintptr_t kPaletteUser = ~uintptr_t{0};

// One source pixel onto the middle of three destination pixels; the neighbours and the guards
// must stay as they were.
inline void run_pixel_case(const PixelCase& c, const Blit& blit) {
    SCOPED_TRACE(c.what);
    TestMap src(MapSpec{c.src, 1, 1});
    std::memcpy(src.at(0, 0), c.in.data(), c.in.size());
    src.map()->user = c.user == kPaletteUser ? reinterpret_cast<uintptr_t>(test_palette()) : c.user;
    TestMap dst(MapSpec{c.dst, 3, 1});
    dst.fill_bytes(0xA7);
    std::memcpy(dst.at(1, 0), c.before.data(), c.before.size());
    const Bytes untouched(dst.memory().begin(), dst.memory().end());
    blit(dst.map(), 1, 0, src.map(), 0, 0, 1, 1);
    const Bytes got(dst.at(1, 0), dst.at(1, 0) + dst.bytes());
    EXPECT_EQ(got, c.after);
    Bytes rest = dst.memory();
    std::copy(c.before.begin(), c.before.end(), rest.begin() + static_cast<ptrdiff_t>(dst.offset(1, 0)));
    EXPECT_TRUE(rest == untouched) << "bytes beside the pixel changed";
}

// The text of the last warning boxes shown.
inline std::string box_log() {
    std::string log(8192, '\0');
    log.resize(PlatMsgBoxLog(log.data(), log.size()));
    return log;
}
inline std::string unsupported_text(int s, int d, const char* function) {
    return "text=\"The combination of pixelmap types (" + std::to_string(s) + " to " + std::to_string(d) +
           ") is not supported by function '" + function + "'\"";
}

// Every vector variant of `k` against its reference on one row.
inline void expect_rows_match(const pxblit::PairKernel& k, const Bytes& src, const Bytes& dst0, int w,
                              const pxblit::RowCtx& c, const std::string& what) {
    Bytes want = dst0;
    k.ref(src.data(), want.data(), w, c);
    for (pxblit::RowFn fast : fast_rows(k)) {
        Bytes got = dst0;
        fast(src.data(), got.data(), w, c);
        ASSERT_TRUE(got == want) << what << " width " << w;
    }
}

// Rows for the blends of RGBA_8888 sources into 16-bit words: each pixel has one channel value s
// on all three channels and alpha A; the destination word has every 6-bit field value t in turn.
// Row length kRgbaCube: every A against every t, for the one s.
constexpr int kRgbaCube = 256 * 64;
inline void fill_rgba_cube(uint32_t s, Bytes& src, Bytes& dst) {
    src.resize(kRgbaCube * 4);
    dst.resize(kRgbaCube * 2);
    for (uint32_t A = 0; A < 256; ++A)
        for (uint32_t t = 0; t < 64; ++t) {
            const size_t i = A * 64 + t;
            const uint32_t v = s | s << 8 | s << 16 | A << 24, t5 = t & 31, w = t5 | t << 5 | t5 << 11;
            std::memcpy(&src[i * 4], &v, 4);
            std::memcpy(&dst[i * 2], &w, 2);
        }
}

// Every vector variant reads and writes only the row's own bytes: rows of 0 to 70 pixels placed
// against an inaccessible page on either side.
inline void expect_rows_stay_inside(const pxblit::PairKernel& k, int sb, int db, const pxblit::RowCtx& c,
                                    const std::string& what) {
    for (bool after : {true, false})
        for (int w = 0; w <= 70; ++w) {
            const size_t sbytes = static_cast<size_t>(w) * sb, dbytes = static_cast<size_t>(w) * db;
            FencedRow s(sbytes, after), d(dbytes, after);
            std::mt19937 rng(static_cast<uint32_t>(w));
            Bytes src(sbytes), dst0(dbytes);
            for (auto& b : src) b = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng());
            for (auto& b : dst0) b = static_cast<uint8_t>(rng());
            if (sbytes) std::memcpy(s.row(), src.data(), sbytes);
            Bytes want = dst0;
            k.ref(src.data(), want.data(), w, c);
            for (pxblit::RowFn fast : fast_rows(k)) {
                if (dbytes) std::memcpy(d.row(), dst0.data(), dbytes);
                fast(s.row(), d.row(), w, c);
                ASSERT_TRUE(dbytes == 0 || std::memcmp(d.row(), want.data(), dbytes) == 0) << what << " width " << w;
            }
        }
}

// Random whole calls of a family (every pair the lookup gives, random geometry: tails, both row
// directions, sub-maps, clipping) at every vector level, against its reference rows applied one
// pixel at a time. `user` gives a source's user word; `ctx` completes the row context of a pixel
// (sx + x, sy + y) of the source.
struct FamilyModel {
    std::function<const pxblit::PairKernel*(int s, int d, uintptr_t user)> lookup;
    std::function<uintptr_t(int s, int d, std::mt19937& rng)> user;
    std::function<void(pxblit::RowCtx& c, const pxblit::PxMap& src, int x, int y)> ctx;
    Blit blit;
};

inline void expect_family_matches_model(const FamilyModel& m, uint32_t seed) {
    using namespace pxblit;
    std::mt19937 rng(seed);
    const int types[] = {T_I8, T_555, T_565, T_888, T_X888, T_A8888, T_A565, T_4444};
    for (int s : types)
        for (int d : types) {
            for (int round = 0; round < 10; ++round) {
                const uintptr_t user = m.user(s, d, rng);
                const PairKernel* k = m.lookup(s, d, user);
                if (k == nullptr) break;
                const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 4);
                const MapSpec ss = pxtest::random_layout(s, w + 3, h + 2, rng, 1, 1);
                const MapSpec ds = pxtest::random_layout(d, w + 5, h + 1, rng, 2, 0);
                TestMap src(ss), dst(ds);
                src.randomize(rng);
                // Plenty of key-0 pixels and of the alphas 0 and 255.
                for (int y = 0; y < ss.h; ++y)
                    for (int x = 0; x < ss.w; ++x) {
                        const uint32_t r = rng() % 8;
                        if (r == 0) std::memset(src.at(x, y), 0, src.bytes());
                        else if (r == 1 && s == T_A565) src.at(x, y)[0] = (rng() & 1) ? 255 : 0;
                        else if (r == 1 && s == T_A8888) src.at(x, y)[3] = (rng() & 1) ? 255 : 0;
                    }
                dst.randomize(rng);
                src.map()->user = user;
                const int sx = static_cast<int>(rng() % 5) - 1, sy = static_cast<int>(rng() % 3) - 1;
                const int dx = static_cast<int>(rng() % 7) - 1, dy = static_cast<int>(rng() % 3) - 1;
                TestMap model(ds);
                model.restore(dst.memory());
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const int px = sx + x, py = sy + y, qx = dx + x, qy = dy + y;
                        if (px < 0 || py < 0 || qx < 0 || qy < 0 || px >= ss.w || py >= ss.h || qx >= ds.w ||
                            qy >= ds.h)
                            continue;
                        RowCtx c;
                        m.ctx(c, *src.map(), px, py);
                        k->ref(src.at(px, py), model.at(qx, qy), 1, c);
                    }
                for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
                    set_simd_level(level);
                    TestMap out(ds);
                    out.restore(dst.memory());
                    m.blit(out.map(), dx, dy, src.map(), sx, sy, w, h);
                    ASSERT_TRUE(out.memory() == model.memory())
                        << s << "->" << d << " user " << user << " w " << w << " h " << h << " at " << sx << ","
                        << sy << " to " << dx << "," << dy << " level " << static_cast<int>(level);
                }
            }
        }
    set_simd_level(SimdLevel::Avx2);
}

}  // namespace pxtest

#endif
