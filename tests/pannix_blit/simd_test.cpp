// The vector rows against the scalar reference: every 16-bit input (and every 8-bit key and
// pixel), every 24-bit colour for the 32-bit sources, every short width; rows placed against
// inaccessible pages so that a load or store past either end of a row faults.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "pixel_ops.h"
#include "simd.h"
#include "support.h"

using namespace pxblit;

namespace {

struct Variant {
    const char* name;
    const PairKernel* k;
    int sb, db;
    uintptr_t mode;
    uint32_t key;
};

const Variant kVariants[] = {
    {"565 to 565", &simd::k565_565, 2, 2, 0, 0},
    {"565 to 565 half", &simd::k565_565, 2, 2, 4, 0},
    {"555 to 565", &simd::k555_565, 2, 2, 0, 0},
    {"565 to 555", &simd::k565_555, 2, 2, 0, 0},
    {"32 to 565", &simd::k32_565, 4, 2, 0, 0},
    {"32 to 555", &simd::k32_555, 4, 2, 0, 0},
    {"transparent 8 key 0", &simd::transp8, 1, 1, 0, 0},
    {"transparent 8 key 0x9C", &simd::transp8, 1, 1, 0, 0x9C},
    {"transparent 8 key above a byte", &simd::transp8, 1, 1, 0, 0x100},
    {"transparent 16 key 0", &simd::transp16, 2, 2, 0, 0},
    {"transparent 16 key 0xF81F", &simd::transp16, 2, 2, 0, 0xF81F},
    {"transparent 16 key above a word", &simd::transp16, 2, 2, 0, 0x10000},
    {"transparent 32 key 0", &simd::transp32, 4, 4, 0, 0},
    {"transparent 32 key FF00FF", &simd::transp32, 4, 4, 0, 0x00FF00FF},
};

// Runs one row through ref and fast on copies of the same destination and compares.
void compare_row(const Variant& v, RowFn fast, const std::vector<uint8_t>& src, const std::vector<uint8_t>& dst0,
                 int w) {
    RowCtx c;
    c.mode = v.mode;
    c.key = v.key;
    std::vector<uint8_t> a = dst0, b = dst0;
    v.k->ref(src.data(), a.data(), w, c);
    fast(src.data(), b.data(), w, c);
    ASSERT_TRUE(a == b) << v.name << " width " << w;
}

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& x : v) x = static_cast<uint8_t>(rng());
    return v;
}

TEST(BlitSimd, EverySixteenBitInput) {
    // All 65536 source words in one row; destination words random and key-valued in turn.
    std::vector<uint8_t> src(65536 * 2);
    for (uint32_t i = 0; i < 65536; ++i) std::memcpy(&src[i * 2], &i, 2);
    for (const Variant& v : kVariants) {
        if (v.sb != 2) continue;
        std::vector<uint8_t> dst0 = random_bytes(65536 * v.db, 7);
        for (RowFn fast : pxtest::fast_rows(*v.k)) compare_row(v, fast, src, dst0, 65536);
    }
}

TEST(BlitSimd, EveryByteAgainstEveryByteKey) {
    std::vector<uint8_t> src(256 * 3);
    for (int i = 0; i < 256 * 3; ++i) src[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> dst0 = random_bytes(src.size(), 3);
    for (uint32_t key = 0; key < 256; ++key) {
        Variant v{"transparent 8", &simd::transp8, 1, 1, 0, key};
        for (RowFn fast : pxtest::fast_rows(*v.k)) compare_row(v, fast, src, dst0, 256 * 3);
    }
}

TEST(BlitSimd, EveryColourOfThirtyTwoBitSources) {
    // Every combination of the bits a 16-bit result keeps (top 5, 6, 5 of red, green, blue), each
    // with four draws of random low bits and fourth byte.
    constexpr int kRow = 65536;
    std::vector<uint8_t> src(kRow * 4), dst0 = random_bytes(kRow * 2, 11);
    std::mt19937 rng(5);
    for (int round = 0; round < 4; ++round) {
        for (uint32_t i = 0; i < kRow; ++i) {
            const uint32_t r = (i >> 11) << 3, g = ((i >> 5) & 0x3F) << 2, b = (i & 0x1F) << 3;
            const uint32_t low = rng();
            const uint32_t v = ((r | (low & 7)) << 16) | ((g | ((low >> 3) & 3)) << 8) | (b | ((low >> 5) & 7)) |
                               (low & 0xFF000000u);
            std::memcpy(&src[i * 4], &v, 4);
        }
        for (const Variant& v : kVariants) {
            if (v.sb != 4 || v.db != 2) continue;
            for (RowFn fast : pxtest::fast_rows(*v.k)) compare_row(v, fast, src, dst0, kRow);
        }
    }
}

TEST(BlitSimd, TransparentBlocksOfKeyOnlyAndMixedRuns) {
    // Runs of the key of every length between opaque pixels.
    for (const Variant& v : kVariants) {
        if (v.k != &simd::transp16 && v.k != &simd::transp8 && v.k != &simd::transp32) continue;
        std::vector<uint8_t> src;
        std::mt19937 rng(9);
        for (int run = 0; run < 80; ++run) {
            for (int i = 0; i < run; ++i) src.insert(src.end(), reinterpret_cast<const uint8_t*>(&v.key),
                                                     reinterpret_cast<const uint8_t*>(&v.key) + v.sb);
            for (int i = 0; i < 80 - run; ++i) {
                const uint32_t p = rng() | 1;
                src.insert(src.end(), reinterpret_cast<const uint8_t*>(&p), reinterpret_cast<const uint8_t*>(&p) + v.sb);
            }
        }
        const int w = static_cast<int>(src.size() / v.sb);
        const std::vector<uint8_t> dst0 = random_bytes(src.size(), 1);
        for (RowFn fast : pxtest::fast_rows(*v.k)) compare_row(v, fast, src, dst0, w);
    }
}

TEST(BlitSimd, NoAccessOutsideTheRow) {
    for (const Variant& v : kVariants)
        for (bool after : {true, false})
            for (int w = 0; w <= 70; ++w) {
                const size_t sbytes = static_cast<size_t>(w) * v.sb, dbytes = static_cast<size_t>(w) * v.db;
                pxtest::FencedRow s(sbytes, after), d(dbytes, after);
                std::vector<uint8_t> src = random_bytes(sbytes, w);
                for (size_t i = 0; i < sbytes; i += 3) src[i] = static_cast<uint8_t>(v.key);  // some keys
                if (sbytes) std::memcpy(s.row(), src.data(), sbytes);
                const std::vector<uint8_t> dst0 = random_bytes(dbytes, w + 100);
                RowCtx c;
                c.mode = v.mode;
                c.key = v.key;
                std::vector<uint8_t> want = dst0;
                v.k->ref(src.data(), want.data(), w, c);
                for (RowFn fast : pxtest::fast_rows(*v.k)) {
                    if (dbytes) std::memcpy(d.row(), dst0.data(), dbytes);
                    fast(s.row(), d.row(), w, c);
                    ASSERT_TRUE(dbytes == 0 || std::memcmp(d.row(), want.data(), dbytes) == 0) << v.name << " width " << w;
                }
            }
}

}  // namespace
