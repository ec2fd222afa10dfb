// CopyRectangle's conversions: one pixel per supported pair, checked to the byte, with every other
// byte of the destination block and the guards around it unchanged.
#include <gtest/gtest.h>

#include <string>

#include "pannix/pxblit.h"
#include "support.h"
#include "vokplat/msgbox.h"

using namespace pxblit;
using pxtest::MapSpec;
using pxtest::TestMap;

namespace {

// Palette entry 1 carries a non-zero top byte, which lands in the fourth byte of 32-bit results.
uint32_t g_palette[256];
constexpr uint32_t kP1 = 0x5AA5C3E7;  // R A5, G C3, B E7

struct Case {
    int src;
    std::vector<uint8_t> in;  // source pixel bytes
    uintptr_t user;           // 1 stands for "the test palette"
    int dst;
    std::vector<uint8_t> out;
};

std::vector<uint8_t> w16(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

const std::vector<Case>& cases() {
    static const std::vector<Case> c = {
        // INDEX_8 through the palette.
        {T_I8, {1}, 1, T_I8, {1}},
        {T_I8, {1}, 1, T_555, w16(0x531C)},
        {T_I8, {1}, 1, T_565, w16(0xA61C)},
        {T_I8, {1}, 1, T_888, {0xE7, 0xC3, 0xA5}},
        {T_I8, {1}, 1, T_X888, {0xE7, 0xC3, 0xA5, 0x5A}},
        {T_I8, {1}, 1, T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}},
        {T_I8, {1}, 1, T_4444, w16(0xFACE)},
        // RGB_555 0x6553: R 0x19, G 0x0A, B 0x13.
        {T_555, w16(0x6553), 0, T_555, w16(0x6553)},
        {T_555, w16(0x6553), 0, T_565, w16(0xCA93)},
        {T_555, w16(0x6553), 0, T_888, {0x98, 0x50, 0xC8}},
        {T_555, w16(0x6553), 0, T_X888, {0x98, 0x50, 0xC8, 0}},
        {T_555, w16(0x6553), 0, T_A8888, {0x98, 0x50, 0xC8, 0}},
        {T_555, w16(0x6553), 0, T_A565, {0xFF, 0x93, 0xCA}},
        {T_555, w16(0x6553), 0, T_4444, w16(0xFC59)},
        {T_555, w16(0x7FFF), 0, T_888, {0xF8, 0xF8, 0xF8}},
        {T_555, w16(0xFFFF), 0, T_565, w16(0xFFDF)},  // bit 15 falls off the top
        // RGB_565 0xCDB3: R 0x19, G 0x2D, B 0x13.
        {T_565, w16(0xCDB3), 0, T_555, w16(0x66D3)},
        {T_565, w16(0xCDB3), 0, T_565, w16(0xCDB3)},
        {T_565, w16(0xCDB3), 4, T_565, w16(0x62C9)},  // half brightness
        {T_565, w16(0xCDB3), 3, T_565, w16(0xCDB3)},
        {T_565, w16(0xCDB3), 0, T_888, {0x98, 0xB4, 0xC8}},
        {T_565, w16(0xCDB3), 0, T_X888, {0x98, 0xB4, 0xC8, 0}},
        {T_565, w16(0xCDB3), 0, T_A8888, {0x98, 0xB4, 0xC8, 0}},
        {T_565, w16(0xCDB3), 0, T_A565, {0xFF, 0xB3, 0xCD}},
        {T_565, w16(0xCDB3), 0, T_4444, w16(0xFCB9)},
        // RGB_888 B E7, G C3, R A5.
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_555, w16(0x531C)},
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_565, w16(0xA61C)},
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_888, {0xE7, 0xC3, 0xA5}},
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_X888, {0xE7, 0xC3, 0xA5, 0}},
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_A8888, {0xE7, 0xC3, 0xA5, 0}},
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_A565, {0xFF, 0x1C, 0xA6}},
        {T_888, {0xE7, 0xC3, 0xA5}, 0, T_4444, w16(0xFACE)},
        // RGBX_888 with a pad byte 5A.
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_555, w16(0x531C)},
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_565, w16(0xA61C)},
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_888, {0xE7, 0xC3, 0xA5}},
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_X888, {0xE7, 0xC3, 0xA5, 0x5A}},
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}},
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_A565, {0x5A, 0x1C, 0xA6}},
        {T_X888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_4444, w16(0xFACE)},
        // RGBA_8888 with alpha 5A.
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_555, w16(0x531C)},
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_565, w16(0xA61C)},
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_888, {0xE7, 0xC3, 0xA5}},
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_X888, {0xE7, 0xC3, 0xA5, 0}},
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}},
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_A565, {0x5A, 0x1C, 0xA6}},
        {T_A8888, {0xE7, 0xC3, 0xA5, 0x5A}, 0, T_4444, w16(0x5ACE)},
        {T_A8888, {64, 128, 255, 128}, 0, T_4444, w16(0x8F84)},
        // RGB565_ALPHA8: alpha 77, word CDB3.
        {T_A565, {0x77, 0xB3, 0xCD}, 0, T_555, w16(0x66D3)},
        {T_A565, {0x77, 0xB3, 0xCD}, 0, T_565, w16(0xCDB3)},
        {T_A565, {0x77, 0xB3, 0xCD}, 0, T_888, {0x98, 0xB4, 0xC8}},
        {T_A565, {0x77, 0xB3, 0xCD}, 0, T_X888, {0x98, 0xB4, 0xC8, 0}},
        {T_A565, {0x77, 0xB3, 0xCD}, 0, T_A8888, {0x98, 0xB4, 0xC8, 0x77}},
        {T_A565, {0x77, 0xB3, 0xCD}, 0, T_A565, {0x77, 0xB3, 0xCD}},
        // ARGB_4444 0x7A5C.
        {T_4444, w16(0x7A5C), 0, T_555, w16(0x5158)},
        {T_4444, w16(0x7A5C), 0, T_565, w16(0xA298)},
        {T_4444, w16(0x7A5C), 0, T_888, {0xC0, 0x50, 0xA0}},
        {T_4444, w16(0x7A5C), 0, T_X888, {0xC0, 0x50, 0xA0, 0}},
        {T_4444, w16(0x7A5C), 0, T_A8888, {0xC0, 0x50, 0xA0, 0x70}},
        {T_4444, w16(0x7A5C), 0, T_4444, w16(0x7A5C)},
    };
    return c;
}

std::string name(const Case& c) { return std::to_string(c.src) + "->" + std::to_string(c.dst); }

// Copies one pixel into the middle of a 3x3 destination filled with CD bytes.
void run_case(const Case& c, bool bottom_up, SimdLevel level) {
    g_palette[1] = kP1;
    set_simd_level(level);
    TestMap src(MapSpec{c.src, 3, 1});
    std::memcpy(src.at(1, 0), c.in.data(), c.in.size());
    src.map()->user = c.user == 1 ? reinterpret_cast<uintptr_t>(g_palette) : c.user;
    TestMap dst(MapSpec{c.dst, 3, 3, 3, bottom_up});
    dst.fill_bytes(0xCD);
    auto before = dst.snapshot();
    copy_rectangle(dst.map(), 1, 1, src.map(), 1, 0, 1, 1);
    const size_t at = dst.offset(1, 1);
    ASSERT_EQ(c.out.size(), static_cast<size_t>(dst.bytes())) << name(c);
    for (size_t i = 0; i < c.out.size(); ++i) {
        EXPECT_EQ(dst.memory()[at + i], c.out[i]) << name(c) << " byte " << i;
        before[at + i] = c.out[i];
    }
    EXPECT_TRUE(dst.memory() == before) << name(c) << ": bytes beside the pixel changed";
    EXPECT_TRUE(dst.guards_ok()) << name(c);
}

class CopyRectangleConvert : public ::testing::Test {
protected:
    void TearDown() override { set_simd_level(SimdLevel::Avx2); }
};

TEST_F(CopyRectangleConvert, EverySupportedPairToTheByte) {
    for (const Case& c : cases())
        for (bool bottom_up : {false, true})
            for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Avx2}) run_case(c, bottom_up, level);
}

TEST_F(CopyRectangleConvert, TheTableListsExactlyTheSupportedPairs) {
    int covered = 0;
    for (int s = 0; s < 24; ++s)
        for (int d = 0; d < 24; ++d) {
            bool listed = false;
            for (const Case& c : cases()) listed |= c.src == s && c.dst == d;
            EXPECT_EQ(copy_pair(s, d) != nullptr, listed) << s << "->" << d;
            covered += listed;
        }
    EXPECT_EQ(covered, 54);
}

TEST_F(CopyRectangleConvert, IndexSourceWithoutPaletteWritesNothing) {
    // No palette, or a user word that is a mode code rather than an address.
    for (uintptr_t user : {uintptr_t{0}, uintptr_t{2}, uintptr_t{6}})
        for (int d : {T_555, T_565, T_888, T_X888, T_A8888, T_4444}) {
            TestMap src(MapSpec{T_I8, 4, 2});
            src.fill_bytes(7);
            src.map()->user = user;
            TestMap dst(MapSpec{d, 4, 2});
            dst.fill_bytes(0xCD);
            const auto before = dst.snapshot();
            copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 4, 2);
            EXPECT_TRUE(dst.memory() == before) << "user " << user << " to " << d;
        }
    // INDEX_8 to INDEX_8 needs no palette.
    TestMap src(MapSpec{T_I8, 4, 1});
    src.set(2, 0, 9);
    TestMap dst(MapSpec{T_I8, 4, 1});
    copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 4, 1);
    EXPECT_EQ(dst.get(2, 0), 9u);
}

TEST_F(CopyRectangleConvert, UnsupportedPairsReportAndCopyNothing) {
    int reports = 0;
    for (int s = 0; s < 20; ++s)
        for (int d = 0; d < 20; ++d) {
            if (copy_pair(s, d) != nullptr) continue;
            PlatMsgBoxReset();
            TestMap src(MapSpec{s, 2, 2});
            src.fill_bytes(0x11);
            TestMap dst(MapSpec{d, 2, 2});
            const auto before = dst.snapshot();
            copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 2, 2);
            EXPECT_TRUE(dst.memory() == before) << s << "->" << d;
            char log[512];
            PlatMsgBoxLog(log, sizeof log);
            const std::string want = "caption=\"Warning\" text=\"The combination of pixelmap types (" +
                                     std::to_string(s) + " to " + std::to_string(d) +
                                     ") is not supported by function 'CopyRectangle'\" type=0x30";
            EXPECT_NE(std::string(log).find(want), std::string::npos) << log;
            EXPECT_EQ(copy_rectangle_busy().value(), 0);
            ++reports;
        }
    EXPECT_EQ(reports, 400 - 54);
}

TEST_F(CopyRectangleConvert, ClippedAwayUnsupportedPairDoesNotReport) {
    PlatMsgBoxReset();
    TestMap src(MapSpec{T_565, 2, 2});
    TestMap dst(MapSpec{T_I8, 2, 2});
    copy_rectangle(dst.map(), 5, 5, src.map(), 0, 0, 2, 2);
    char log[64];
    EXPECT_EQ(PlatMsgBoxLog(log, sizeof log), 0u);
}

TEST_F(CopyRectangleConvert, WholeRowsConvertPixelByPixel) {
    // A 565 row of every value against the per-pixel rule, through the whole dispatcher.
    TestMap src(MapSpec{T_565, 256, 256, 6});
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) src.set(x, y, static_cast<uint32_t>(y * 256 + x));
    TestMap dst(MapSpec{T_888, 256, 256, 1, true});
    copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint32_t v = static_cast<uint32_t>(y * 256 + x);
            const uint32_t want = ((v << 3) & 0xF8) | (((v >> 3) & 0xFC) << 8) | (((v >> 8) & 0xF8) << 16);
            ASSERT_EQ(dst.get(x, y), want) << x << "," << y;
        }
    EXPECT_TRUE(dst.guards_ok());
}

TEST_F(CopyRectangleConvert, GetPerfCountsOnlyTheTimedPair) {
    // Other pairs leave the count alone; the RGBX and RGBA to 565 copies set it.
    TestMap a(MapSpec{T_565, 8, 8}), b(MapSpec{T_565, 8, 8});
    const uint32_t before = getPerf();
    copy_rectangle(b.map(), 0, 0, a.map(), 0, 0, 8, 8);
    EXPECT_EQ(getPerf(), before);
    TestMap x(MapSpec{T_X888, 64, 64});
    copy_rectangle(b.map(), 0, 0, x.map(), 0, 0, 8, 8);
    const uint32_t first = getPerf();
    EXPECT_NE(first, 0u);
    TestMap c(MapSpec{T_555, 8, 8});
    copy_rectangle(c.map(), 0, 0, a.map(), 0, 0, 8, 8);
    EXPECT_EQ(getPerf(), first);
}

}  // namespace
