// CopyRectTranspAlpha: the blend of every kind of source checked to the byte, the pairs that draw
// nothing or are reported, the busy flag, whole calls against the per-pixel reference, and the
// vector rows against the reference over every 16-bit input and every alpha.
#include <thread>

#include "blend_support.h"
#include "vokplat/clock.h"
#include "win32/wintime.h"

using namespace pxblit;
using namespace pxtest;

namespace {

Blit alpha_blit(uint32_t alpha) {
    return [alpha](const PxMap* d, int32_t dx, int32_t dy, const PxMap* s, int32_t sx, int32_t sy, int32_t w,
                   int32_t h) { copy_rect_transp_alpha(d, dx, dy, s, sx, sy, w, h, alpha); };
}

struct AlphaCase {
    PixelCase c;
    uint32_t alpha;
};

TEST(TranspAlphaValues, EveryKindOfSource) {
    const AlphaCase cases[] = {
        {{"565 at 255 copies", T_565, w16(0x1234), 0, T_565, w16(0xFFFF), w16(0x1234)}, 255},
        {{"565 at 0 leaves", T_565, w16(0x1234), 0, T_565, w16(0xABCD), w16(0xABCD)}, 0},
        {{"only the low byte counts", T_565, w16(0x1234), 0, T_565, w16(0xABCD), w16(0xABCD)}, 0x1200},
        {{"565 zero left out at 255", T_565, w16(0), 0, T_565, w16(0xABCD), w16(0xABCD)}, 255},
        {{"555 zero left out", T_555, w16(0), 0, T_555, w16(0x1111), w16(0x1111)}, 200},
        {{"555 green doubled into 565", T_555, w16(0x03E0), 0, T_565, w16(0), w16(0x07C0)}, 255},
        {{"565 into bytes loses 1 above 128", T_565, w16(0xF800), 0, T_888, {0, 0, 0}, {0, 0, 247}}, 255},
        {{"565 at 128", T_565, w16(0xFFFF), 0, T_565, w16(0), w16(0x8410)}, 128},
        {{"888 to 888 at 0", T_888, {200, 100, 0}, 0, T_888, {200, 100, 201}, {199, 100, 200}}, 0},
        {{"888 black left out toward 565", T_888, {0, 0, 0}, 0, T_565, w16(0x1234), w16(0x1234)}, 255},
        {{"888 black drawn into 888", T_888, {0, 0, 0}, 0, T_888, {9, 9, 9}, {0, 0, 0}}, 255},
        {{"888 (0,0,4) is not black", T_888, {0, 0, 4}, 0, T_565, w16(0xFFFF), w16(0)}, 255},
        // RGBA: the smaller of the pixel's alpha and the argument.
        {{"RGBA 200 under 128", T_A8888, {200, 100, 50, 200}, 0, T_565, w16(0), w16(0x19AD)}, 128},
        {{"RGBA 50 under 128", T_A8888, {200, 100, 50, 50}, 0, T_565, w16(0), w16(0x08A5)}, 128},
        {{"RGBA into bytes, second form", T_A8888, {0, 255, 128, 255}, 0, T_888, {10, 20, 30}, {1, 255, 128}}, 255},
        {{"RGBA alpha 0 into bytes", T_A8888, {0, 0, 0, 0}, 0, T_X888, {0, 128, 255, 0x77}, {1, 128, 255, 0x77}},
         255},
        {{"RGBA into 555", T_A8888, {255, 255, 255, 255}, 0, T_555, w16(0x8000), w16(0x7FFF)}, 255},
        // Type 10 keeps the destination's alpha byte.
        {{"type 10 at 100", T_A565, {100, 0xFF, 0xFF}, 0, T_A565, {200, 0, 0}, {200, 0x2C, 0x63}}, 255},
        {{"type 10 capped by the argument", T_A565, {255, 0xFF, 0xFF}, 0, T_565, w16(0), w16(0x632C)}, 100},
        {{"type 10 into RGBA keeps byte 3", T_A565, {255, 0x00, 0xF8}, 0, T_A8888, {1, 2, 3, 4}, {0, 0, 247, 4}},
         255},
        // ARGB_4444 on the 0-15 scale.
        {{"4444 alpha 0 over 31 and 0", T_4444, w16(0x0000), 0, T_555, w16(0x7FFF), w16(0x7BDE)}, 255},
        {{"4444 alpha 0 over 0", T_4444, w16(0x0000), 0, T_555, w16(0), w16(0x0421)}, 255},
        {{"4444 green in 565", T_4444, w16(0xF0F0), 0, T_565, w16(0), w16(0x0F41)}, 255},
        {{"4444 capped by argument >> 4", T_4444, w16(0xFFFF), 0, T_555, w16(0), w16(0x0421)}, 0x0F},
        // INDEX_8 ignores the argument.
        {{"index through the palette", T_I8, {1}, kPaletteUser, T_565, w16(0), w16(0xA61C)}, 0},
        {{"index into RGBX whole dword", T_I8, {1}, kPaletteUser, T_X888, {0, 0, 0, 0}, {0xE7, 0xC3, 0xA5, 0x5A}},
         0},
        {{"index 0 left out", T_I8, {0}, kPaletteUser, T_565, w16(0x1234), w16(0x1234)}, 255},
        {{"index without palette", T_I8, {1}, 0, T_565, w16(0x1234), w16(0x1234)}, 255},
        {{"index with a mode code", T_I8, {1}, 3, T_555, w16(0x1234), w16(0x1234)}, 255},
        {{"index to index", T_I8, {7}, 0, T_I8, {3}, {7}}, 0},
        // Accepted pairs that draw nothing.
        {{"888 to RGBX draws nothing", T_888, {1, 2, 3}, 0, T_X888, {9, 9, 9, 9}, {9, 9, 9, 9}}, 255},
        {{"RGBX draws nothing", T_X888, {1, 2, 3, 4}, 0, T_565, w16(0x1234), w16(0x1234)}, 255},
        {{"4444 to 888 draws nothing", T_4444, w16(0xFFFF), 0, T_888, {9, 9, 9}, {9, 9, 9}}, 255},
    };
    for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Avx2}) {
        set_simd_level(level);
        PlatMsgBoxReset();
        for (const AlphaCase& a : cases) run_pixel_case(a.c, alpha_blit(a.alpha));
        EXPECT_EQ(box_log(), "");
    }
}

TEST(TranspAlphaValues, UnsupportedPairsAreReportedAndCopyNothing) {
    struct Pair {
        int s, d;
    };
    for (Pair p : {Pair{T_555, T_A565}, Pair{T_I8, T_A565}, Pair{T_4444, T_A565}, Pair{T_565, T_I8},
                   Pair{T_4444, T_4444}, Pair{T_565, 9}, Pair{2, T_565}}) {
        PlatMsgBoxReset();
        TestMap src(MapSpec{p.s, 2, 2}), dst(MapSpec{p.d, 2, 2});
        src.fill_bytes(0x5C);
        const Bytes before = dst.memory();
        copy_rect_transp_alpha(dst.map(), 0, 0, src.map(), 0, 0, 2, 2, 255);
        EXPECT_TRUE(dst.memory() == before);
        EXPECT_NE(box_log().find(unsupported_text(p.s, p.d, "CopyRectTranspAlpha")), std::string::npos)
            << box_log();
        // The report export names the latest call's pair.
        PlatMsgBoxReset();
        CopyRectTranspAlphaUnsupported();
        EXPECT_NE(box_log().find(unsupported_text(p.s, p.d, "CopyRectTranspAlpha")), std::string::npos);
        EXPECT_EQ(transp_alpha_busy().value(), 0);
    }
    // Clipped to nothing: no box.
    PlatMsgBoxReset();
    TestMap src(MapSpec{T_555, 2, 2}), dst(MapSpec{T_A565, 2, 2});
    copy_rect_transp_alpha(dst.map(), 4, 0, src.map(), 0, 0, 2, 2, 255);
    EXPECT_EQ(box_log(), "");
}

TEST(TranspAlphaDispatch, WholeCallsMatchThePerPixelReference) {
    static uint32_t palette[256];
    std::mt19937 prng(3);
    for (auto& p : palette) p = prng();
    FamilyModel m;
    m.lookup = [](int s, int d, uintptr_t) { return transp_alpha_pair(s, d); };
    m.user = [](int s, int, std::mt19937&) { return s == T_I8 ? reinterpret_cast<uintptr_t>(palette) : 0; };
    uint32_t alpha = 0;
    m.ctx = [&alpha](RowCtx& c, const PxMap& src, int, int) {
        c.alpha = alpha & 0xFF;
        if (src.type == T_I8) c.palette = palette;
    };
    m.blit = [&alpha](const PxMap* d, int32_t dx, int32_t dy, const PxMap* s, int32_t sx, int32_t sy, int32_t w,
                      int32_t h) { copy_rect_transp_alpha(d, dx, dy, s, sx, sy, w, h, alpha); };
    for (uint32_t a : {0x1FFu, 0x80u, 0x13u, 0u}) {
        alpha = a;
        expect_family_matches_model(m, a);
    }
}

class TranspAlphaBusy : public ::testing::Test {
protected:
    void SetUp() override { PlatSetVirtualClock(TRUE); }
    void TearDown() override {
        transp_alpha_busy().force(0);
        copy_rectangle_busy().force(0);
        PlatSetVirtualClock(FALSE);
    }
};

TEST_F(TranspAlphaBusy, OwnFlagIsWaitedForAboutOneSecondOthersAreNot) {
    TestMap src(MapSpec{T_565, 2, 1}), dst(MapSpec{T_565, 2, 1});
    src.set(0, 0, 0x1234);
    // Another dispatcher's flag does not make this one wait.
    copy_rectangle_busy().force(1);
    ULONGLONG t0 = PlatClockNow();
    copy_rect_transp_alpha(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 255);
    EXPECT_EQ(PlatClockNow() - t0, 0u);
    EXPECT_EQ(dst.get(0, 0), 0x1234u);
    copy_rectangle_busy().force(0);
    // Its own flag held: about 1000 ms, then the blend runs anyway.
    transp_alpha_busy().force(1);
    src.set(0, 0, 0x4321);
    t0 = PlatClockNow();
    copy_rect_transp_alpha(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 255);
    const ULONGLONG waited_ms = (PlatClockNow() - t0) / 1000;
    EXPECT_GE(waited_ms, 1000u);
    EXPECT_LE(waited_ms, 1003u);
    EXPECT_EQ(dst.get(0, 0), 0x4321u);
    EXPECT_EQ(transp_alpha_busy().value(), 0);
}

// ---- vector rows --------------------------------------------------------------------------------

struct Row {
    const char* name;
    const PairKernel* k;
    int sb, db;
};

const Row kRows16[] = {
    {"555 to 555", &simd::alpha16[0][0], 2, 2}, {"555 to 565", &simd::alpha16[0][1], 2, 2},
    {"565 to 555", &simd::alpha16[1][0], 2, 2}, {"565 to 565", &simd::alpha16[1][1], 2, 2},
    {"4444 to 555", &simd::alpha4444[0], 2, 2}, {"4444 to 565", &simd::alpha4444[1], 2, 2},
};

Bytes random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes v(n);
    for (auto& x : v) x = static_cast<uint8_t>(rng());
    return v;
}

TEST(TranspAlphaRows, EverySixteenBitSourceAtEveryAlpha) {
    // All 65536 source words in one row, over fresh destination words for each of the 256 alphas.
    Bytes src(65536 * 2);
    for (uint32_t i = 0; i < 65536; ++i) std::memcpy(&src[i * 2], &i, 2);
    for (uint32_t a = 0; a < 256; ++a) {
        const Bytes dst = random_bytes(65536 * 2, a);
        RowCtx c;
        c.alpha = a;
        for (const Row& r : kRows16) expect_rows_match(*r.k, src, dst, 65536, c, r.name);
    }
}

TEST(TranspAlphaRows, RgbaEveryChannelAgainstEveryFieldAndAlpha) {
    // s and A over 0-255 and t over every field value: the blend at every input it can meet.
    Bytes src, dst;
    for (const uint32_t arg : {255u, 100u})
        for (uint32_t s = 0; s < 256; ++s) {
            fill_rgba_cube(s, src, dst);
            RowCtx c;
            c.alpha = arg;
            for (int d = 0; d < 2; ++d)
                expect_rows_match(simd::alpha32[d], src, dst, kRgbaCube, c, d ? "RGBA to 565" : "RGBA to 555");
        }
}

TEST(TranspAlphaRows, TypeTenEveryWordAtEveryAlpha) {
    Bytes src(65536 * 3);
    for (uint32_t a = 0; a < 256; a += 1) {
        for (uint32_t i = 0; i < 65536; ++i) {
            src[i * 3] = static_cast<uint8_t>(a ^ (i & 1 ? 0xFF : 0));  // both ends of the alpha range too
            std::memcpy(&src[i * 3 + 1], &i, 2);
        }
        RowCtx c;
        c.alpha = 255 - (a & 0x7F);
        expect_rows_match(simd::alpha_a565, src, random_bytes(65536 * 2, a), 65536, c, "type 10 to 565");
    }
}

TEST(TranspAlphaRows, NoAccessOutsideTheRow) {
    RowCtx c;
    c.alpha = 0x9A;
    for (const Row& r : kRows16) expect_rows_stay_inside(*r.k, r.sb, r.db, c, r.name);
    expect_rows_stay_inside(simd::alpha32[0], 4, 2, c, "RGBA to 555");
    expect_rows_stay_inside(simd::alpha32[1], 4, 2, c, "RGBA to 565");
    expect_rows_stay_inside(simd::alpha_a565, 3, 2, c, "type 10 to 565");
}

}  // namespace
