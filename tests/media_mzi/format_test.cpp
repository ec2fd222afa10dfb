// The .mzi reader and the pixel rules of the player, without a player.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "brondel/brpixmap.h"
#include "clips.h"
#include "mzifile.h"
#include "mziplayer.h"
#include "mzipixels.h"

using namespace media;

namespace {

// Three 2x1 frames of a distinct first byte each, written with per-frame headers or without.
std::vector<uint8_t> three_frames(uint16_t version, uint16_t flag8, uint16_t flag10)
{
    mziw::Options o;
    o.version = version;
    o.per_frame_flag = flag8;
    o.second_flag = flag10;
    mziw::Writer w(o);
    for (int n = 0; n < 3; n++)
        w.add_frame(4, 2, 1, std::vector<uint8_t>{uint8_t(0xA0 + n), 0, 0, 0}, 10 * n, 5 * n);
    return w.bytes();
}

TEST(MziReader, VersionDecidesWhetherTheFrameHeaderFlagsCount)
{
    struct Case {
        uint16_t version, flag8, flag10;
        bool per_frame;
        size_t size;  // header + frame headers + 3 frames of 4 bytes
    } cases[] = {
        {8191, 1, 0, false, 256 + 24 + 12},
        {8191, 0, 1, false, 256 + 24 + 12},
        {8192, 0, 0, false, 256 + 24 + 12},
        {8192, 1, 0, true, 256 + 3 * 24 + 12},
        {8192, 0, 1, true, 256 + 3 * 24 + 12},
        {9000, 7, 7, true, 256 + 3 * 24 + 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " flags " << c.flag8 << "/" << c.flag10);
        std::vector<uint8_t> bytes = three_frames(c.version, c.flag8, c.flag10);
        // A file written the other way round must not read as this one: put the flags in by hand.
        bytes[8] = uint8_t(c.flag8);
        bytes[10] = uint8_t(c.flag10);
        ASSERT_EQ(bytes.size(), c.size);
        mzi::Movie m;
        std::string why;
        ASSERT_TRUE(mzi::parse(bytes.data(), bytes.size(), m, why)) << why;
        EXPECT_EQ(m.per_frame_headers, c.per_frame);
        ASSERT_EQ(m.frames.size(), 3u);
        for (int n = 0; n < 3; n++)
            EXPECT_EQ(bytes[m.frames[n].pixels], 0xA0 + n) << "frame " << n;
        if (c.per_frame) {
            // Union of the frame rectangles: left 0..10+2, top 0..20+1.
            EXPECT_EQ((std::vector<int32_t>{m.left, m.top, m.right, m.bottom}), (std::vector<int32_t>{0, 0, 12, 21}));
        } else {
            EXPECT_EQ((std::vector<int32_t>{m.left, m.top, m.right, m.bottom}), (std::vector<int32_t>{0, 0, 2, 1}));
        }
    }
}

TEST(MziReader, PixelFormats)
{
    struct Case {
        uint32_t format;
        int stored, drawn;
    } cases[] = {{3, 1, 8}, {4, 2, 16}, {5, 2, 16}, {8, 4, 32}, {10, 3, 16}, {6, 0, 0}, {0, 0, 0}, {11, 0, 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(mzi::stored_bytes(c.format), c.stored) << c.format;
        EXPECT_EQ(mzi::drawn_bits(c.format), c.drawn) << c.format;
    }
}

TEST(MziReader, TracksComeBeforeTheFrames)
{
    mziw::Writer w = mzitest::numbered(2);
    mziw::Track t;
    t.data.assign(100, 0x55);
    t.start_frame = 1;
    w.add_track(t);
    t.data.assign(6, 0x66);
    t.start_frame = 7;
    w.add_track(t);
    std::vector<uint8_t> bytes = w.bytes();
    mzi::Movie m;
    std::string why;
    ASSERT_TRUE(mzi::parse(bytes.data(), bytes.size(), m, why)) << why;
    ASSERT_EQ(m.tracks.size(), 2u);
    EXPECT_EQ(m.tracks[0].data_offset, 256u + 28);
    EXPECT_EQ(m.tracks[0].length, 100u);
    EXPECT_EQ(m.tracks[1].data_offset, 256u + 28 + 100 + 28);
    EXPECT_EQ(m.tracks[1].start_frame, 7u);
    EXPECT_EQ(mzi::get16(m.tracks[0].format), 1);  // PCM
    EXPECT_EQ(m.frames[0].pixels, 256u + 2 * 28 + 106 + 24);
    EXPECT_EQ(m.fps, 25);
}

// Every way a file can claim more than it holds, and the other refusals.
TEST(MziReader, MalformedFilesAreRefused)
{
    const std::vector<uint8_t> good = [] {
        mziw::Writer w = mzitest::numbered(3);
        mziw::Track t;
        t.data.assign(40, 1);
        w.add_track(t);
        return w.bytes();
    }();
    const size_t track = 256, frame = 256 + 28 + 40;
    using Bytes = std::vector<uint8_t>;
    auto set16 = [](size_t at, uint16_t v) {
        return [=](Bytes &b) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
    };
    auto set32 = [](size_t at, uint32_t v) {
        return [=](Bytes &b) {
            for (int i = 0; i < 4; i++)
                b[at + i] = uint8_t(v >> (8 * i));
        };
    };
    const std::vector<std::pair<const char *, std::function<void(Bytes &)>>> cases = {
        {"shorter than the header", [](Bytes &b) { b.resize(200); }},
        {"0 frames per second", set16(6, 0)},
        {"no frames", set16(4, 0)},
        {"more frames than stored", set16(4, 4)},
        {"last frame cut short", [](Bytes &b) { b.pop_back(); }},
        {"track longer than the file", set32(track + 20, 0xFFFFFFF0u)},
        {"more tracks than stored", set16(2, 200)},
        {"rows shorter than their pixels", set32(frame + 20, 7)},
        {"negative row length", set32(frame + 20, 0xFFFFFFF8u)},
        {"row length past the data", set32(frame + 20, 0x40000000u)},
        {"unknown pixel format", set32(frame + 16, 6)},
        {"empty frame", set16(frame, 0)},
        {"per-frame headers walk past the end", set16(8, 1)},
    };
    mzi::Movie m;
    std::string why;
    ASSERT_TRUE(mzi::parse(good.data(), good.size(), m, why)) << why;
    for (const auto &[name, change] : cases) {
        Bytes bad = good;
        change(bad);
        EXPECT_FALSE(mzi::parse(bad.data(), bad.size(), m, why)) << name;
    }
}

TEST(MziReader, FramesOfDifferentFormatsOrHugeExtentAreRefused)
{
    mziw::Options o;
    o.per_frame_flag = 1;
    mziw::Writer mixed(o);
    mixed.add_frame(4, 2, 1, std::vector<uint8_t>(4));
    mixed.add_frame(5, 2, 1, std::vector<uint8_t>(4));
    mziw::Writer far(o);
    far.add_frame(4, 2, 1, std::vector<uint8_t>(4), 0, 0);
    far.add_frame(4, 2, 1, std::vector<uint8_t>(4), 0, 100000);
    // Two tiny frames at opposite corners: each side is allowed, the buffers their union needs are not.
    mziw::Writer spread(o);
    spread.add_frame(4, 1, 1, std::vector<uint8_t>(2), 0, 0);
    spread.add_frame(4, 1, 1, std::vector<uint8_t>(2), 16000, 16000);
    mzi::Movie m;
    std::string why;
    for (const mziw::Writer *w : {&mixed, &far, &spread}) {
        std::vector<uint8_t> b = w->bytes();
        EXPECT_FALSE(mzi::parse(b.data(), b.size(), m, why));
    }
}

TEST(MziPixels, BlendRule)
{
    struct Case {
        uint16_t s;
        uint8_t a;
        uint16_t b, expected;
    } cases[] = {
        {0x7FFF, 255, 0x0000, 0xFFDF},  // widened, green's low bit clear
        {0x7C00, 255, 0x1234, 0xF800},
        {0x7FFF, 0, 0x1234, 0x1234},    // background
        {0x1234, 200, 0x1234, 0x1234},  // equal raw values: background
        // red 31 at 128 over red 0: 31*128/255 = 15; green 2*31 over 0: 62*128/255 = 31; blue 0 over 31:
        // 31*128/255 = 15
        {0x7FE0, 128, 0x001F, uint16_t(15 << 11 | 31 << 5 | 15)},
        // white at 1 over white: (31 + 31*255)/255 = 31, (62 + 63*255)/255 = 63
        {0x7FFF, 1, 0xFFFF, 0xFFFF},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mzi::blend_pixel(c.s, c.a, c.b), c.expected) << std::hex << c.s << " a " << std::dec << int(c.a);
}

TEST(MziPixels, AlphaScalingWithoutBackground)
{
    EXPECT_EQ(mzi::alpha_scale(0x7FFF, 255), 0xFFDF);
    EXPECT_EQ(mzi::alpha_scale(0x7FFF, 0), 0);
    // 31 * 128 / 255 = 15 in each channel; green goes to the upper five green bits.
    EXPECT_EQ(mzi::alpha_scale(0x7FFF, 128), uint16_t(15 << 11 | 15 << 6 | 15));
}

TEST(MziPixels, RoundWait)
{
    struct Case {
        uint16_t fps;
        uint32_t start, now, wait;
    } cases[] = {
        {25, 1000, 1000, 40}, {25, 1000, 1015, 25}, {25, 1000, 1030, 10}, {25, 1000, 1900, 10},
        {16, 0, 2, 60},       {1, 0, 0, 1000},      {25, 0xFFFFFFF0u, 5, 19},  // the clock wrapped
    };
    for (const Case &c : cases)
        EXPECT_EQ(round_wait_ms(c.fps, c.start, c.now), c.wait) << c.fps << " " << c.start << " " << c.now;
}

// The background rectangle is clipped to the pixel map and to the buffer; rows go bottom-up.
TEST(MziPixels, CopyBackgroundClips)
{
    // A 4x3 map of 16-bit pixels x + 16 * y, stored inverted (negative row bytes) to check both signs.
    for (int inverted = 0; inverted < 2; inverted++) {
        std::vector<uint16_t> store(4 * 3);
        br_pixelmap map{};
        map.width = 4;
        map.height = 3;
        map.row_bytes = int16_t(inverted ? -8 : 8);
        map.pixels = inverted ? static_cast<void *>(&store[8]) : static_cast<void *>(store.data());
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 4; x++) {
                uint16_t v = uint16_t(x + 16 * y);
                std::memcpy(static_cast<uint8_t *>(map.pixels) + y * map.row_bytes + x * 2, &v, 2);
            }
        // A 3x3 buffer (stride 8) under a rectangle hanging off the map's left and bottom.
        std::vector<uint16_t> buf(4 * 3, 0xEEEE);
        RECT r{-1, 1, 2, 4};
        mzi::copy_background(map, r, reinterpret_cast<uint8_t *>(buf.data()), 3, 3, 8);
        // Buffer row 0 = map row 3 (outside), row 1 = map row 2, row 2 = map row 1; column 0 = x -1.
        std::vector<uint16_t> want = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE,  //
                                      0xEEEE, 32,     33,     0xEEEE,  //
                                      0xEEEE, 16,     17,     0xEEEE};
        EXPECT_EQ(buf, want) << "inverted " << inverted;
    }
}

}  // namespace
