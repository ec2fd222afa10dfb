// FLI and FLC movies: header fields, each chunk kind's packets on hand-made data, rows bottom-up,
// records between frames, writes kept inside the frame, and damaged files refused.
#include "movie_support.h"

namespace {

using mvtest::shot;
using mvtest::step;
using Code = movie::FlcWriter::Code;
using Chunks = std::vector<std::pair<uint16_t, std::vector<uint8_t>>>;

class Flc : public mvtest::Scratch {
protected:
    // Writes the movie and plays it in both modes; the shots of every frame (the same in both).
    std::vector<mvtest::Shot> play(const movie::FlcWriter &w, uint32_t flags = PMV_TOPDOWN)
    {
        std::string error;
        EXPECT_TRUE(w.write(path("m.flc"), error)) << error;
        std::vector<std::vector<mvtest::Shot>> seen(2);
        for (int mode = 0; mode < 2; mode++) {
            PMVMOVIE *m = OpenMovie(path("m.flc").c_str(), PMV_KIND_FLC, flags | (mode ? PMV_STREAM : 0));
            EXPECT_NE(m, nullptr);
            if (m == nullptr)
                return {};
            seen[size_t(mode)].push_back(shot(m));
            for (int i = 1; i < m->frameCount; i++) {
                EXPECT_EQ(step(m), 1) << i;
                seen[size_t(mode)].push_back(shot(m));
            }
            KillMovie(m);
        }
        EXPECT_TRUE(seen[0] == seen[1]) << "preloaded and streamed differ";
        return seen[0];
    }
};

std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (int v : list)
        out.push_back(uint8_t(v));
    return out;
}

TEST_F(Flc, HeaderGivesFrameTimeAndKind)
{
    struct Case {
        bool fli;
        uint32_t speed, flags, frame_time;
        int kind;
    } cases[] = {
        {true, 5, 0, 71, PMV_KIND_FLI},        {true, 70, 0, 1000, PMV_KIND_FLI},
        {false, 40, 0, 40, PMV_KIND_FLC3},     {false, 40, PMV_KEEPTIME, 0, PMV_KIND_FLC3},
        {true, 5, PMV_KEEPTIME, 0, PMV_KIND_FLI},
    };
    for (const Case &c : cases) {
        movie::FlcWriter w(6, 4, c.speed, c.fli);
        w.add_frame(mvtest::picture(6, 4, 0), nullptr, Code::ByteRun);
        std::string error;
        ASSERT_TRUE(w.write(path("h.flc"), error));
        PMVMOVIE *m = OpenMovie(path("h.flc").c_str(), PMV_KIND_FLC3, c.flags);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->frameTime, c.frame_time) << c.speed;
        EXPECT_EQ(m->kind, c.kind);
        EXPECT_EQ(m->bitsPerPixel, 8);
        EXPECT_EQ(m->rowBytes, 6);
        EXPECT_EQ(m->frameSize, 24);
        EXPECT_EQ(m->firstOffset, 128);
        KillMovie(m);
    }
}

TEST_F(Flc, DeltaFlcLineWordsAndPackets)
{
    const int w = 8, h = 5;
    movie::FlcWriter flc(w, h, 10);
    std::vector<uint8_t> base(w * h, 1);
    flc.add_frame(base, nullptr, Code::Copy);
    // Two lines: skip two rows, then row 2 gets 0x1234 three times from column 2; row 3 two packets.
    flc.add_raw({{7, bytes({2, 0, 0xFE, 0xFF, 1, 0, 2, 0xFD, 0x34, 0x12,  //
                            2, 0, 0, 1, 0xAB, 0xCD, 2, 1, 0xEE, 0xFF})}});
    // A last-pixel word sets the row's last byte and its packet count follows; a line of no
    // packets is a line (the chunk's one line here, so nothing after it is read).
    flc.add_raw({{7, bytes({2, 0, 0x55, 0x80, 1, 0, 0, 1, 9, 9})}});
    flc.add_raw({{7, bytes({1, 0, 0, 0, 0, 1, 7, 7})}});
    std::vector<mvtest::Shot> shots = play(flc);
    ASSERT_EQ(shots.size(), 4u);
    std::vector<uint8_t> expected = base;
    for (int x = 2; x < 8; x++)
        expected[2 * w + x] = x % 2 == 0 ? 0x34 : 0x12;
    expected[3 * w + 0] = 0xAB;
    expected[3 * w + 1] = 0xCD;
    expected[3 * w + 4] = 0xEE;
    expected[3 * w + 5] = 0xFF;
    EXPECT_EQ(shots[1].pixels, expected);
    expected[0] = expected[1] = 9;
    expected[7] = 0x55;
    EXPECT_EQ(shots[2].pixels, expected);
    EXPECT_EQ(shots[3].pixels, expected);
}

TEST_F(Flc, DeltaFliPackets)
{
    const int w = 8, h = 4;
    movie::FlcWriter flc(w, h, 10, true);
    std::vector<uint8_t> base(w * h, 1);
    flc.add_frame(base, nullptr, Code::Copy);
    // From line 1, two lines. A packet of size 0 reads one byte and writes none.
    flc.add_raw({{12, bytes({1, 0, 2, 0,  //
                             2, 1, 2, 9, 8, 1, 0xFD, 7,  //
                             2, 0, 0, 0x55, 0, 1, 0x66})}});
    std::vector<mvtest::Shot> shots = play(flc);
    ASSERT_EQ(shots.size(), 2u);
    std::vector<uint8_t> expected = base;
    expected[w + 1] = 9;
    expected[w + 2] = 8;
    expected[w + 4] = expected[w + 5] = expected[w + 6] = 7;
    expected[2 * w] = 0x66;
    EXPECT_EQ(shots[1].pixels, expected);
}

TEST_F(Flc, PalettePacketsStayWithinTheTable)
{
    movie::FlcWriter flc(4, 2, 10);
    const movie::Palette first = mvtest::palette(1);
    std::vector<uint8_t> black(8, 0);
    flc.add_frame(black, &first, Code::Black);
    std::vector<uint8_t> two = {2, 0, 0, 16}, past = {1, 0, 250, 10}, six = {1, 0, 100, 3, 63, 0, 32, 1, 2, 3, 63, 63, 63};
    two.insert(two.end(), 48, 0x11);
    two.insert(two.end(), {32, 16});
    two.insert(two.end(), 48, 0x22);
    past.insert(past.end(), 30, 0x77);
    flc.add_raw({{4, two}, {13, {}}});
    flc.add_raw({{11, six}, {13, {}}});
    flc.add_raw({{4, past}, {13, {}}});
    std::vector<mvtest::Shot> shots = play(flc);
    ASSERT_EQ(shots.size(), 4u);

    std::vector<uint8_t> colours = mvtest::colours_of(first);
    EXPECT_EQ(shots[0].colours, colours);
    auto set = [&](int entry, int r, int g, int b) {
        colours[4 * size_t(entry)] = uint8_t(b);
        colours[4 * size_t(entry) + 1] = uint8_t(g);
        colours[4 * size_t(entry) + 2] = uint8_t(r);
    };
    for (int i = 0; i < 16; i++) {
        set(i, 0x11, 0x11, 0x11);
        set(48 + i, 0x22, 0x22, 0x22);
    }
    EXPECT_EQ(shots[1].colours, colours);
    set(100, 255, 0, 130);  // levels 0-63 widened
    set(101, 4, 8, 12);
    set(102, 255, 255, 255);
    EXPECT_EQ(shots[2].colours, colours);
    for (int i = 250; i < 256; i++)
        set(i, 0x77, 0x77, 0x77);
    EXPECT_EQ(shots[3].colours, colours);  // entries 0-3 not written over
}

TEST_F(Flc, ByteRunRowsEndAtTheirWidth)
{
    const int w = 6, h = 3;
    movie::FlcWriter flc(w, h, 10);
    flc.add_frame(std::vector<uint8_t>(w * h, 1), nullptr, Code::Copy);
    // Row 0: packets until the row is full; row 1: a run longer than the row; row 2: one packet.
    flc.add_raw({{15, bytes({0, 4, 'a', 0xFE, 'b', 'c', 0, 10, 'd', 1, 2, 'e'})}});
    std::vector<mvtest::Shot> shots = play(flc);
    ASSERT_EQ(shots.size(), 2u);
    std::vector<uint8_t> expected = {'a', 'a', 'a', 'a', 'b', 'c', 'd', 'd', 'd', 'd', 'd', 'd', 'e', 'e', 1, 1, 1, 1};
    EXPECT_EQ(shots[1].pixels, expected);
}

TEST_F(Flc, RowsRunBottomUpWithoutTheTopDownFlag)
{
    const int w = 12, h = 7;
    for (Code code : {Code::Copy, Code::ByteRun, Code::DeltaFli, Code::DeltaFlc, Code::Black}) {
        movie::FlcWriter flc(w, h, 10);
        std::vector<std::vector<uint8_t>> pictures = {mvtest::picture(w, h, 0), mvtest::picture(w, h, 1)};
        if (code == Code::Black)
            pictures[1].assign(w * h, 0);
        ASSERT_TRUE(flc.add_frame(pictures[0], nullptr, Code::ByteRun));
        ASSERT_TRUE(flc.add_frame(pictures[1], nullptr, code));
        std::vector<mvtest::Shot> shots = play(flc, 0);
        ASSERT_EQ(shots.size(), 2u);
        for (size_t i = 0; i < 2; i++)
            for (int y = 0; y < h; y++)
                EXPECT_TRUE(std::equal(pictures[i].begin() + y * w, pictures[i].begin() + (y + 1) * w,
                                       shots[i].pixels.begin() + (h - 1 - y) * w))
                    << "code " << int(code) << " frame " << i << " row " << y;
    }
}

TEST_F(Flc, RecordsBetweenFramesAndAPadByte)
{
    const int w = 10, h = 6;
    movie::FlcWriter flc(w, h, 10);
    const movie::Palette pal = mvtest::palette(3);
    flc.add_frame(mvtest::picture(w, h, 0), &pal, Code::ByteRun);
    flc.add_raw({{4, bytes({1, 0, 5, 1, 1, 2, 3})}}, false);  // a palette only: no frame
    flc.add_extra_chunk(movie::flc::kStamp, std::vector<uint8_t>(20, 0x5A));
    flc.add_frame(mvtest::picture(w, h, 1), nullptr, Code::DeltaFlc);
    flc.add_raw({{99, std::vector<uint8_t>(7, 1)}}, false);  // an unknown chunk only
    flc.add_frame(mvtest::picture(w, h, 2), nullptr, Code::DeltaFli);
    std::vector<uint8_t> file = flc.bytes();
    // A record that is no frame before the first, and a pad byte after the first frame.
    std::vector<uint8_t> prefix = {24, 0, 0, 0, 0x00, 0xF1, 0, 0};
    prefix.resize(24, 0);
    uint32_t first_size = file[128] | file[129] << 8;
    file.insert(file.begin() + 128 + first_size, 0);
    file.insert(file.begin() + 128, prefix.begin(), prefix.end());
    pxtest::write_bytes(path("m.flc"), file);

    for (uint32_t mode : {0u, uint32_t(PMV_STREAM)}) {
        PMVMOVIE *m = OpenMovie(path("m.flc").c_str(), PMV_KIND_FLC, PMV_TOPDOWN | mode);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(shot(m).pixels, mvtest::picture(w, h, 0));
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(shot(m).pixels, mvtest::picture(w, h, 1));
        std::vector<uint8_t> colours = mvtest::colours_of(pal);
        colours[20] = 3, colours[21] = 2, colours[22] = 1;
        EXPECT_EQ(shot(m).colours, colours);
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(shot(m).pixels, mvtest::picture(w, h, 2));
        EXPECT_EQ(step(m), 0);
        KillMovie(m);
    }
}

TEST_F(Flc, WritesStayInsideTheFrame)
{
    const int w = 5, h = 3;
    movie::FlcWriter flc(w, h, 10);
    std::vector<uint8_t> base(w * h, 1);
    flc.add_frame(base, nullptr, Code::Copy);
    // DELTA_FLI from row 2 over three lines, a packet running past the row's end.
    flc.add_raw({{12, bytes({2, 0, 3, 0, 1, 3, 4, 7, 7, 7, 7, 1, 0, 2, 8, 8, 1, 0, 0xF0, 9})}});
    // DELTA_FLC skipping beyond the last row, then a line there.
    flc.add_raw({{7, bytes({1, 0, 0x9C, 0xFF, 1, 0, 0, 0x81, 6, 6})}});
    // BYTE_RUN copying more than a row holds; a chunk that claims more than its frame holds.
    flc.add_raw({{15, bytes({1, 0xEC, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20})}});
    std::vector<uint8_t> file = flc.bytes();
    // FLI_COPY of a row and a half in a chunk whose size runs past the end of the file.
    std::vector<uint8_t> copy = {0, 0, 0, 0, 0xFA, 0xF1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                 0xFF, 0, 0, 0, 16, 0, 3, 3, 3, 3, 3, 4, 4};
    file.insert(file.end(), copy.begin(), copy.end());
    file[6] = 5;  // five frames
    uint32_t last = uint32_t(file.size() - copy.size());
    file[last] = uint8_t(copy.size());
    pxtest::write_bytes(path("m.flc"), file);

    for (uint32_t mode : {0u, uint32_t(PMV_STREAM)}) {
        PMVMOVIE *m = OpenMovie(path("m.flc").c_str(), PMV_KIND_FLC, PMV_TOPDOWN | mode);
        ASSERT_NE(m, nullptr);
        std::vector<uint8_t> expected = base;
        expected[2 * w + 3] = expected[2 * w + 4] = 7;
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(shot(m).pixels, expected);
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(shot(m).pixels, expected);
        ASSERT_EQ(step(m), 1);
        for (int x = 0; x < w; x++)
            expected[x] = uint8_t(x + 1);
        EXPECT_EQ(shot(m).pixels, expected);
        ASSERT_EQ(step(m), 1);
        for (int x = 0; x < w; x++)
            expected[x] = 3;
        expected[w] = expected[w + 1] = 4;
        EXPECT_EQ(shot(m).pixels, expected);
        KillMovie(m);
    }
}

TEST_F(Flc, DamagedFilesAreRefused)
{
    movie::FlcWriter flc(8, 4, 10);
    flc.add_frame(mvtest::picture(8, 4, 0), nullptr, Code::ByteRun);
    flc.add_frame(mvtest::picture(8, 4, 1), nullptr, Code::ByteRun);
    const std::vector<uint8_t> good = flc.bytes();
    const size_t second = 128 + (good[128] | good[129] << 8);
    const mvtest::Damage cases[] = {
        {"file type", 4, 0x34, false},
        {"header cut", 100, -1, false},
        {"no frames", 6, 0, false},
        {"width 0", 8, 0, false},
        {"first frame beyond the file", 83, 0x10, false},
        {"frame size below its header", 128, 8, false},
        {"chunk size below its header", 144, 3, false},
        {"chunk header cut", 144 + 3, -1, false},
        {"neither a frame nor a record", 132, 0x00, false, 128, 3},
        {"second frame header cut", second + 5, -1, true},
        {"second frame's chunk header past its frame", second, 18, true},
    };
    for (const mvtest::Damage &d : cases)
        mvtest::expect_refused(path("bad.flc"), PMV_KIND_FLC, good, d, mvtest::picture(8, 4, 0));
}

}  // namespace
