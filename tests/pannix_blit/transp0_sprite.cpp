// CopyRectTransparent0 and its second entry CopyRectTransp0dup: every value case and every whole
// call runs against both, which must agree byte for byte; the vector rows against the reference.
#include "blend_support.h"

using namespace pxblit;
using namespace pxtest;

namespace {

struct Instance {
    const char* name;
    Blit blit;
};

const Instance kInstances[] = {
    {"first", [](const PxMap* d, int32_t dx, int32_t dy, const PxMap* s, int32_t sx, int32_t sy, int32_t w,
                 int32_t h) { copy_rect_transparent0(d, dx, dy, s, sx, sy, w, h); }},
    {"dup", [](const PxMap* d, int32_t dx, int32_t dy, const PxMap* s, int32_t sx, int32_t sy, int32_t w,
               int32_t h) { copy_rect_transp0_dup(d, dx, dy, s, sx, sy, w, h); }},
};

TEST(Transparent0Values, EveryKindOfPixelInBothInstances) {
    const PixelCase cases[] = {
        {"565 zero left out", T_565, w16(0), 0, T_565, w16(0xABCD), w16(0xABCD)},
        {"565 one written", T_565, w16(1), 0, T_565, w16(0xABCD), w16(1)},
        {"RGBX all zero left out", T_X888, {0, 0, 0, 0}, 0, T_565, w16(0xABCD), w16(0xABCD)},
        {"RGBX FF000000 is black", T_X888, {0, 0, 0, 0xFF}, 0, T_565, w16(0xABCD), w16(0)},
        {"RGBX to RGBA whole dword", T_X888, {1, 2, 3, 0x44}, 0, T_A8888, {9, 9, 9, 9}, {1, 2, 3, 0x44}},
        {"RGBX to type 10 is opaque", T_X888, {0xFF, 0, 0, 0x44}, 0, T_A565, {7, 0, 0}, {255, 0x1F, 0}},
        {"888 (0,0,4) tested before narrowing", T_888, {0, 0, 4}, 0, T_565, w16(0xFFFF), w16(0)},
        {"888 to RGBX clears byte 3", T_888, {1, 2, 3}, 0, T_X888, {9, 9, 9, 9}, {1, 2, 3, 0}},
        {"888 to type 10", T_888, {0xFF, 0xFF, 0xFF}, 0, T_A565, {7, 0, 0}, {255, 0xFF, 0xFF}},
        {"555 to 565", T_555, w16(0xFFFF), 0, T_565, w16(0), w16(0xFFDF)},
        {"555 to RGBA", T_555, w16(0x7FFF), 0, T_A8888, {9, 9, 9, 9}, {0xF8, 0xF8, 0xF8, 0}},
        {"index through the palette", T_I8, {1}, kPaletteUser, T_555, w16(0), w16(0x531C)},
        {"index to RGBX whole dword", T_I8, {1}, kPaletteUser, T_X888, {9, 9, 9, 9}, {0xE7, 0xC3, 0xA5, 0x5A}},
        {"index without palette", T_I8, {1}, 0, T_888, {9, 9, 9}, {9, 9, 9}},
        {"index zero left out", T_I8, {0}, 0, T_I8, {9}, {9}},
        // RGBA blend: the destination widened, ((s*A + t*(255-A)) >> 8) + 1, narrowed.
        {"RGBA alpha 0 over 565", T_A8888, {0xFF, 0xFF, 0xFF, 0}, 0, T_565, w16(0x1234), w16(0x1234)},
        {"RGBA alpha 0 over 555", T_A8888, {0xFF, 0xFF, 0xFF, 0}, 0, T_555, w16(0x7C1F), w16(0x7C1F)},
        {"RGBA alpha 0 raises 888 zero", T_A8888, {0xFF, 0xFF, 0xFF, 0}, 0, T_888, {0, 5, 255}, {1, 5, 255}},
        {"RGBA alpha 255 writes 0 as 1", T_A8888, {0, 0x80, 0xFF, 255}, 0, T_888, {9, 9, 9}, {1, 0x80, 0xFF}},
        {"RGBA keeps byte 3", T_A8888, {0, 0, 0, 255}, 0, T_A8888, {9, 9, 9, 0x66}, {1, 1, 1, 0x66}},
        {"RGBA into type 10", T_A8888, {0xFF, 0xFF, 0xFF, 128}, 0, T_A565, {200, 0, 0}, {200, 0x10, 0x84}},
        {"RGBA raises type 10 alpha", T_A8888, {0, 0, 0, 128}, 0, T_A565, {100, 0, 0}, {128, 0, 0}},
        // ARGB_4444: weight A4 * 17.
        {"4444 F00F over 565", T_4444, w16(0xF00F), 0, T_565, w16(0xFFFF), w16(0x001E)},
        {"4444 F00F over 565 zero", T_4444, w16(0xF00F), 0, T_565, w16(0), w16(0x001E)},
        {"4444 alpha 0 over 888", T_4444, w16(0x0FFF), 0, T_888, {255, 255, 0}, {254, 254, 0}},
        {"4444 opaque into type 10 alpha F0", T_4444, w16(0xFFFF), 0, T_A565, {3, 0, 0}, {0xF0, 0x9E, 0xF7}},
        {"4444 into 555", T_4444, w16(0xF0F0), 0, T_555, w16(0), w16(0x03C0)},
        // Type 10: weight a.
        {"type 10 alpha 100 over type 10 alpha 200", T_A565, {100, 0xFF, 0xFF}, 0, T_A565, {200, 0, 0},
         {200, 0x2C, 0x63}},
        {"type 10 alpha 0 over 565", T_A565, {0, 0xFF, 0xFF}, 0, T_565, w16(0x1234), w16(0x1234)},
        {"type 10 alpha 255 over 565", T_A565, {255, 0x34, 0x12}, 0, T_565, w16(0xFFFF), w16(0x1234)},
        {"type 10 into 555 drops green's low bit", T_A565, {255, 0xE0, 0x07}, 0, T_555, w16(0), w16(0x03E0)},
        {"type 10 into 888", T_A565, {255, 0x00, 0xF8}, 0, T_888, {0, 0, 0}, {0, 0, 247}},
        // RGB_565 user words.
        {"half brightness", T_565, w16(0xFFFF), 4, T_565, w16(0), w16(0x7BEF)},
        {"half brightness leaves 0 out", T_565, w16(0), 4, T_565, w16(0x1234), w16(0x1234)},
        {"word 4 converts into 555 as 0 does", T_565, w16(0xFFFF), 4, T_555, w16(0), w16(0x7FFF)},
        {"word 4 converts into 888 as 0 does", T_565, w16(0xFFFF), 4, T_888, {0, 0, 0}, {0xF8, 0xFC, 0xF8}},
        {"word 2 copies 0 and keeps the alpha", T_565, w16(0), 2, T_A565, {77, 0x34, 0x12}, {77, 0, 0}},
        {"word 2 copies colours", T_565, w16(0xBEEF), 2, T_A565, {77, 0, 0}, {77, 0xEF, 0xBE}},
        {"word 0 into type 10 is opaque", T_565, w16(0xBEEF), 0, T_A565, {77, 0, 0}, {255, 0xEF, 0xBE}},
        {"word 0 into type 10 leaves 0 out", T_565, w16(0), 0, T_A565, {77, 1, 2}, {77, 1, 2}},
        {"word 3 into type 10 as word 0", T_565, w16(0xBEEF), 3, T_A565, {77, 0, 0}, {255, 0xEF, 0xBE}},
        {"word 4 into type 10 as word 0", T_565, w16(0), 4, T_A565, {77, 1, 2}, {77, 1, 2}},
    };
    for (const Instance& inst : kInstances)
        for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Avx2}) {
            SCOPED_TRACE(inst.name);
            set_simd_level(level);
            PlatMsgBoxReset();
            for (const PixelCase& c : cases) run_pixel_case(c, inst.blit);
            EXPECT_EQ(box_log(), "");
        }
}

// A source of 6 x 3 RGB_565 pixels 0xFFFF with a mask of rows padded to 8 bytes; mask byte
// (x, y) = 40 * y + 20 * x + 1, padding 0xEE.
struct MaskedSource {
    alignas(4) uint8_t mask[3 * 8];
    TestMap src{MapSpec{T_565, 6, 3}};
    MaskedSource() {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 8; ++x) mask[y * 8 + x] = x < 6 ? static_cast<uint8_t>(40 * y + 20 * x + 1) : 0xEE;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x) src.set(x, y, 0xFFFF);
        src.map()->user = reinterpret_cast<uintptr_t>(mask);
    }
};

TEST(Transparent0Mask, RowsStartAtPaddedOffsetsForEveryDestination) {
    for (const Instance& inst : kInstances)
        for (int d : {T_555, T_565, T_A565}) {
            SCOPED_TRACE(std::string(inst.name) + " to " + std::to_string(d));
            MaskedSource m;
            TestMap dst(MapSpec{d, 6, 3});
            if (d == T_A565) {
                for (int y = 0; y < 3; ++y)
                    for (int x = 0; x < 6; ++x) dst.at(x, y)[0] = 100;
            }
            inst.blit(dst.map(), 0, 0, m.src.map(), 0, 0, 6, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 6; ++x) {
                    const uint32_t k = 40 * y + 20 * x + 1;
                    const uint32_t r = blend_weighted(31, 0, k), g6 = blend_weighted(63, 0, k);
                    const uint32_t want = d == T_555 ? r | blend_weighted(31, 0, k) << 5 | r << 10
                                                     : r | g6 << 5 | r << 11;
                    const uint32_t word = d == T_A565 ? ld16(dst.at(x, y) + 1) : dst.get(x, y);
                    EXPECT_EQ(word, want) << x << "," << y;
                    if (d == T_A565) {
                        EXPECT_EQ(dst.at(x, y)[0], std::max<uint32_t>(100, k));
                    }
                }
            EXPECT_TRUE(dst.guards_ok());
        }
}

TEST(Transparent0Mask, GoldenValueAndClippedStarts) {
    for (const Instance& inst : kInstances) {
        SCOPED_TRACE(inst.name);
        // Mask byte 128: 0xFFFF over 0 gives 0x8410.
        alignas(4) uint8_t half[4] = {128, 128, 128, 128};
        TestMap src(MapSpec{T_565, 1, 1}), dst(MapSpec{T_565, 1, 1});
        src.set(0, 0, 0xFFFF);
        src.map()->user = reinterpret_cast<uintptr_t>(half);
        inst.blit(dst.map(), 0, 0, src.map(), 0, 0, 1, 1);
        EXPECT_EQ(dst.get(0, 0), 0x8410u);
        // A rectangle from (sx, sy) reads mask row sy + r, column sx + c; also when the clip moves
        // the start (a negative dx moves sx on).
        MaskedSource m;
        TestMap out(MapSpec{T_565, 4, 2});
        inst.blit(out.map(), -2, 0, m.src.map(), 1, 1, 5, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const uint32_t k = 40 * (y + 1) + 20 * (x + 3) + 1;
                const uint32_t r = blend_weighted(31, 0, k);
                EXPECT_EQ(out.get(x, y), r | blend_weighted(63, 0, k) << 5 | r << 11) << x << "," << y;
            }
        EXPECT_EQ(out.get(3, 0), 0u);
    }
}

TEST(Transparent0Rows, ZeroPixelInTheMiddleKeepsTheStride) {
    for (const Instance& inst : kInstances) {
        TestMap src(MapSpec{T_X888, 3, 1}), dst(MapSpec{T_888, 3, 1});
        src.set(0, 0, 0x00112233);
        src.set(2, 0, 0x00445566);
        dst.fill_bytes(0x99);
        inst.blit(dst.map(), 0, 0, src.map(), 0, 0, 3, 1);
        EXPECT_EQ(dst.get(0, 0), 0x112233u) << inst.name;
        EXPECT_EQ(dst.get(1, 0), 0x999999u) << inst.name;
        EXPECT_EQ(dst.get(2, 0), 0x445566u) << inst.name;
    }
}

TEST(Transparent0Values, UnsupportedPairsAreReportedByBothInstances) {
    struct Pair {
        int s, d;
    };
    for (const Instance& inst : kInstances)
        for (Pair p : {Pair{T_555, T_A565}, Pair{T_565, T_I8}, Pair{T_I8, T_A565}, Pair{T_565, T_4444},
                       Pair{T_A8888, 9}, Pair{19, T_565}}) {
            PlatMsgBoxReset();
            TestMap src(MapSpec{p.s, 2, 2}), dst(MapSpec{p.d, 2, 2});
            src.fill_bytes(0x5C);
            const Bytes before = dst.memory();
            inst.blit(dst.map(), 0, 0, src.map(), 0, 0, 2, 2);
            EXPECT_TRUE(dst.memory() == before);
            const std::string log = box_log();
            EXPECT_NE(log.find(unsupported_text(p.s, p.d, "CopyRectTransparent0")), std::string::npos)
                << inst.name << ": " << log;
            EXPECT_EQ(transparent0_busy().value(), 0);
        }
    // The report export names the latest call of the first instance.
    TestMap src(MapSpec{T_555, 1, 1}), dst(MapSpec{T_A565, 1, 1});
    copy_rect_transparent0(dst.map(), 0, 0, src.map(), 0, 0, 1, 1);
    PlatMsgBoxReset();
    CopyRectTransparent0Unsupported();
    EXPECT_NE(box_log().find(unsupported_text(T_555, T_A565, "CopyRectTransparent0")), std::string::npos);
}

TEST(Transparent0Dispatch, WholeCallsMatchThePerPixelReferenceInBothInstances) {
    static uint32_t palette[256];
    std::mt19937 prng(5);
    for (auto& p : palette) p = prng();
    // A mask large enough for every source the model makes (up to 78 x 6 pixels).
    alignas(4) static uint8_t mask[80 * 8];
    for (auto& b : mask) b = static_cast<uint8_t>(prng());
    for (const Instance& inst : kInstances) {
        SCOPED_TRACE(inst.name);
        FamilyModel m;
        m.lookup = [](int s, int d, uintptr_t user) { return transparent0_pair(s, d, user); };
        m.user = [](int s, int, std::mt19937& rng) -> uintptr_t {
            if (s == T_I8) return reinterpret_cast<uintptr_t>(palette);
            if (s != T_565) return 0;
            const uintptr_t words[] = {0, 2, 4, 3, reinterpret_cast<uintptr_t>(mask)};
            return words[rng() % 5];
        };
        m.ctx = [](RowCtx& c, const PxMap& src, int x, int y) {
            c.mode = src.user;
            if (src.type == T_I8) c.palette = palette;
            if (src.type == T_565 && src.user > 6) c.mask = mask + y * ((src.width + 3) & ~3) + x;
        };
        m.blit = inst.blit;
        expect_family_matches_model(m, 11);
    }
}

// ---- vector rows --------------------------------------------------------------------------------

TEST(Transparent0Rows, EverySixteenBitSourceOverEveryFieldValue) {
    // All 65536 ARGB_4444 words over destinations whose fields take every value in turn.
    Bytes src(65536 * 2);
    for (uint32_t i = 0; i < 65536; ++i) std::memcpy(&src[i * 2], &i, 2);
    for (uint32_t t = 0; t < 64; ++t) {
        Bytes dst(65536 * 2);
        for (uint32_t i = 0; i < 65536; ++i) {
            const uint32_t w = ((t + i) & 31) | ((t * 7 + i) & 63) << 5 | ((t * 3 + (i >> 3)) & 31) << 11;
            std::memcpy(&dst[i * 2], &w, 2);
        }
        RowCtx c;
        expect_rows_match(simd::sprite4444[0], src, dst, 65536, c, "4444 to 555");
        expect_rows_match(simd::sprite4444[1], src, dst, 65536, c, "4444 to 565");
    }
}

TEST(Transparent0Rows, RgbaEveryChannelAgainstEveryFieldAndAlpha) {
    Bytes src, dst;
    for (uint32_t s = 0; s < 256; ++s) {
        fill_rgba_cube(s, src, dst);
        expect_rows_match(simd::sprite32[0], src, dst, kRgbaCube, RowCtx{}, "RGBA to 555");
        expect_rows_match(simd::sprite32[1], src, dst, kRgbaCube, RowCtx{}, "RGBA to 565");
    }
}

TEST(Transparent0Rows, TypeTenEveryWordAtEveryAlpha) {
    Bytes src(65536 * 3), dst(65536 * 2);
    std::mt19937 rng(8);
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t i = 0; i < 65536; ++i) {
            src[i * 3] = static_cast<uint8_t>(a);
            std::memcpy(&src[i * 3 + 1], &i, 2);
            const uint16_t w = static_cast<uint16_t>(rng());
            std::memcpy(&dst[i * 2], &w, 2);
        }
        expect_rows_match(simd::sprite_a565, src, dst, 65536, RowCtx{}, "type 10 to 565");
    }
}

TEST(Transparent0Rows, NoAccessOutsideTheRow) {
    const RowCtx c;
    expect_rows_stay_inside(simd::sprite4444[0], 2, 2, c, "4444 to 555");
    expect_rows_stay_inside(simd::sprite4444[1], 2, 2, c, "4444 to 565");
    expect_rows_stay_inside(simd::sprite32[0], 4, 2, c, "RGBA to 555");
    expect_rows_stay_inside(simd::sprite32[1], 4, 2, c, "RGBA to 565");
    expect_rows_stay_inside(simd::sprite_a565, 3, 2, c, "type 10 to 565");
}

}  // namespace
