// TMZ movies: the header's sizes, chunks around the pixels, repeated frames, movies played from a
// pack in memory, and damaged files refused.
#include <string.h>

#include "movie_support.h"
#include "pannix/ffpack.h"

namespace {

using mvtest::step;

using Tmz = mvtest::Scratch;

std::vector<uint8_t> now(const PMVMOVIE *m)
{
    return mvtest::shot(m).pixels;
}

TEST_F(Tmz, HeaderGivesSizesAndFlags)
{
    struct Case {
        int bits, width, row_bytes, expected_row_bytes;
        bool alpha;
    } cases[] = {
        {16, 100, 0, 200, false}, {24, 100, 0, 300, true},  {15, 100, 0, 200, false},
        {8, 100, 0, 100, false},  {32, 100, 0, 400, true},  {16, 100, 208, 208, true},
    };
    for (const Case &c : cases) {
        movie::TmzWriter w(c.width, 3, c.bits, 25, c.alpha, c.row_bytes);
        w.add_frame(mvtest::raw_frame(size_t(w.frame_size()), 0));
        std::string error;
        ASSERT_TRUE(w.write(path("h.tmz"), error));
        PMVMOVIE *m = OpenMovie(path("h.tmz").c_str(), PMV_KIND_TMZ, PMV_TOPDOWN);
        ASSERT_NE(m, nullptr) << c.bits;
        EXPECT_EQ(m->rowBytes, c.expected_row_bytes) << c.bits;
        EXPECT_EQ(m->frameSize, c.expected_row_bytes * 3);
        EXPECT_EQ(m->bitsPerPixel, c.bits);
        EXPECT_EQ(bool(m->flags & PMV_ALPHA), c.alpha);
        EXPECT_EQ(m->frameTime, 25u);
        EXPECT_EQ(m->firstOffset, 32 + 4);
        EXPECT_EQ(now(m), mvtest::raw_frame(size_t(m->frameSize), 0));
        KillMovie(m);
    }
    // The caller's frame time stays.
    PMVMOVIE *m = OpenMovie(path("h.tmz").c_str(), PMV_KIND_TMZ, PMV_KEEPTIME);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->frameTime, 0u);
    KillMovie(m);
}

TEST_F(Tmz, ChunksAroundThePixelsAreSteppedOverByTheirSize)
{
    movie::TmzWriter w(4, 2, 16, 10);
    const size_t size = size_t(w.frame_size());
    std::vector<std::vector<uint8_t>> f;
    for (int i = 0; i < 4; i++)
        f.push_back(mvtest::raw_frame(size, i));
    w.add_raw({{movie::TmzWriter::kMarker, {}}, {movie::TmzWriter::kPixels, f[0]}});
    // A frame of an unknown chunk only: the next record's pixels become this frame.
    w.add_raw({{0x12345678, std::vector<uint8_t>(10, 0xEE)}}, false);
    w.add_frame(f[1]);
    // A marker that carries bytes, and a pixel chunk longer than a frame.
    std::vector<uint8_t> longer = f[2];
    longer.insert(longer.end(), 6, 0xDD);
    w.add_raw({{0x434D5405, {1, 2, 3, 4}}, {movie::TmzWriter::kPixels, longer}});
    w.add_frame(f[3]);
    std::string error;
    ASSERT_TRUE(w.write(path("c.tmz"), error));

    for (uint32_t mode : {0u, uint32_t(PMV_STREAM)}) {
        PMVMOVIE *m = OpenMovie(path("c.tmz").c_str(), PMV_KIND_TMZ, PMV_TOPDOWN | mode);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(now(m), f[0]);
        for (int i = 1; i < 4; i++) {
            ASSERT_EQ(step(m), 1) << i;
            EXPECT_EQ(now(m), f[size_t(i)]) << i;
        }
        EXPECT_EQ(step(m), 0);
        KillMovie(m);
    }
}

TEST_F(Tmz, RepeatedFramesShareOneBuffer)
{
    movie::TmzWriter w(3, 3, 8, 10);
    w.add_repeat();  // nothing to repeat yet: black
    for (int i = 1; i < 4; i++)
        w.add_frame(mvtest::raw_frame(9, i));
    w.add_repeat();
    w.add_repeat();
    w.add_frame(mvtest::raw_frame(9, 6));
    std::string error;
    ASSERT_TRUE(w.write(path("r.tmz"), error));

    PMVMOVIE *m = OpenMovie(path("r.tmz").c_str(), PMV_KIND_TMZ, PMV_TOPDOWN);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(now(m), std::vector<uint8_t>(9, 0));
    EXPECT_EQ(m->frames[4].pixels, m->frames[3].pixels);
    EXPECT_EQ(m->frames[5].pixels, m->frames[3].pixels);
    EXPECT_NE(m->frames[6].pixels, m->frames[3].pixels);
    for (int i = 1; i < 7; i++)
        ASSERT_EQ(step(m), 1);
    EXPECT_EQ(now(m), mvtest::raw_frame(9, 6));
    KillMovie(m);  // each shared buffer freed once (the sanitizer checks)

    m = OpenMovie(path("r.tmz").c_str(), PMV_KIND_TMZ, PMV_TOPDOWN | PMV_STREAM);
    ASSERT_NE(m, nullptr);
    for (int i = 1; i < 6; i++)
        ASSERT_EQ(step(m), 1);
    EXPECT_EQ(now(m), mvtest::raw_frame(9, 3));
    KillMovie(m);
}

TEST_F(Tmz, PlaysFromAPackInMemory)
{
    movie::TmzWriter w(4, 3, 32, 20, true);
    std::vector<std::vector<uint8_t>> f;
    for (int i = 0; i < 3; i++)
        f.push_back(mvtest::raw_frame(size_t(w.frame_size()), i));
    w.add_frame(f[0]);
    w.add_raw({{movie::TmzWriter::kMarker, {}}, {movie::TmzWriter::kPixels, f[1]}});
    w.add_repeat();
    w.add_frame(f[2]);
    std::vector<uint8_t> tmz = w.bytes();
    pxtest::write_bytes(path("anim.fpk"), pxtest::pack_bytes({{"readme.txt", {'x'}, 0}, {"Anim.TMZ", tmz, 0}}));
    // The same movie cut inside its last frame.
    std::vector<uint8_t> cut(tmz.begin(), tmz.end() - 5);
    pxtest::write_bytes(path("cut.fpk"), pxtest::pack_bytes({{"anim.tmz", cut, 0}}));

    for (uint32_t load : {0u, uint32_t(FF_OPEN_LOAD)}) {
        FFPACKHANDLE *pack = FFOpenPack(path("anim.fpk").c_str(), load);
        ASSERT_NE(pack, nullptr) << GetLastMsgError();
        const auto *entry = static_cast<const uint8_t *>(FFGetFileAddress("anim.tmz"));
        ASSERT_NE(entry, nullptr);

        PMVMOVIE *m = OpenMovie("ANIM.tmz", PMV_KIND_TMZ, PMV_TOPDOWN);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->flags & (PMV_INPACK | PMV_FFFILE | PMV_ALPHA), uint32_t(PMV_INPACK | PMV_FFFILE | PMV_ALPHA));
        EXPECT_EQ(m->packData, entry);
        EXPECT_EQ(m->file, nullptr);
        // Preloaded frames are the pack's own bytes.
        for (int i : {0, 1, 3}) {
            auto *p = static_cast<const uint8_t *>(m->frames[i].pixels);
            EXPECT_TRUE(p > entry && p + m->frameSize <= entry + tmz.size()) << i;
        }
        EXPECT_EQ(m->frames[2].pixels, m->frames[1].pixels);
        PMVMOVIE *s = OpenMovie("anim.tmz", PMV_KIND_TMZ, PMV_TOPDOWN | PMV_STREAM);
        ASSERT_NE(s, nullptr);
        for (int expected : {1, 1, 2}) {
            ASSERT_EQ(step(m), 1);
            ASSERT_EQ(step(s), 1);
            EXPECT_EQ(now(m), f[size_t(expected)]);
            EXPECT_EQ(now(s), f[size_t(expected)]);
        }
        KillMovie(m);
        KillMovie(s);
        FFClosePack(pack);

        // A frame that would reach past the entry is refused, not shown.
        pack = FFOpenPack(path("cut.fpk").c_str(), load);
        ASSERT_NE(pack, nullptr);
        EXPECT_EQ(OpenMovie("anim.tmz", PMV_KIND_TMZ, PMV_TOPDOWN), nullptr);
        s = OpenMovie("anim.tmz", PMV_KIND_TMZ, PMV_TOPDOWN | PMV_STREAM);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(step(s), 1);
        EXPECT_EQ(step(s), 1);
        EXPECT_EQ(step(s), -1);
        KillMovie(s);
        FFClosePack(pack);
    }
}

TEST_F(Tmz, DamagedFilesAreRefused)
{
    movie::TmzWriter w(4, 2, 16, 10);
    w.add_frame(mvtest::raw_frame(16, 0));
    w.add_frame(mvtest::raw_frame(16, 1));
    const std::vector<uint8_t> good = w.bytes();
    const size_t second = 32 + 8 + 32 + 8 + 16;  // where the second frame starts
    const mvtest::Damage cases[] = {
        {"magic T", 0, 'X', false},
        {"magic M", 1, 'm', false},
        {"magic Z", 2, 'z', false},
        {"magic 1", 3, '2', false},
        {"no frames", 8, 0, false},
        {"width 0", 10, 0, false},
        {"height 0", 12, 0, false},
        {"12 bits", 14, 12, false},
        {"row shorter than the width", 16, 6, false},
        {"header cut", 20, -1, false},
        {"frame magic", 40, 0x01, false},
        {"pixel chunk shorter than a frame", 40 + 32 + 4, 15, false},
        {"second frame magic", second, 0x01, true},
        {"second frame cut in its pixels", second + 32 + 8 + 3, -1, true},
        {"second frame cut in its header", second + 10, -1, true},
    };
    for (const mvtest::Damage &d : cases)
        mvtest::expect_refused(path("bad.tmz"), PMV_KIND_TMZ, good, d, mvtest::raw_frame(16, 0));
}

// Every pixel chunk holds a whole frame: a header whose frames could not lie in its file is refused
// before its buffers are made (a 100-byte file used to take half a gigabyte when streamed).
TEST_F(Tmz, AFrameLargerThanTheFileIsRefused)
{
    movie::TmzWriter w(4, 2, 16, 10);
    w.add_frame(mvtest::raw_frame(16, 0));
    std::vector<uint8_t> b = w.bytes();
    b[12] = 0x00, b[13] = 0x10;  // 4096 rows
    b[16] = 0xFF, b[17] = 0xFF;  // of 65535 bytes
    pxtest::write_text(path("large.tmz"), std::string(b.begin(), b.end()));
    for (uint32_t flags : {0u, uint32_t(PMV_STREAM)}) {
        PMVMOVIE *m = OpenMovie(path("large.tmz").c_str(), PMV_KIND_TMZ, flags);
        EXPECT_EQ(m, nullptr) << flags;
        if (m != nullptr)
            KillMovie(m);
    }
}

}  // namespace
