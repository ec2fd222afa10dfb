// The movie player on the virtual clock: opening takes frame 0, frames come when due, holds, loop
// ranges and seeking, the end of a movie, and preloaded and streamed playback showing the same frames.
#include <string.h>

#include "movie_support.h"

namespace {

using mvtest::shot;
using mvtest::Shot;
using mvtest::step;

// Preloaded (0) or streamed (PMV_STREAM).
class Player : public mvtest::Scratch, public ::testing::WithParamInterface<uint32_t> {
protected:
    // A 16-bit TMZ movie of `n` frames, 40 ms each; its frames in `frames`.
    std::string tmz(int n)
    {
        movie::TmzWriter w(5, 3, 16, 40);
        for (int i = 0; i < n; i++) {
            frames.push_back(mvtest::raw_frame(size_t(w.frame_size()), i));
            w.add_frame(frames.back());
        }
        std::string error, name = path("anim.tmz");
        EXPECT_TRUE(w.write(name, error)) << error;
        return name;
    }
    std::vector<uint8_t> now(const PMVMOVIE *m) const { return shot(m).pixels; }

    std::vector<std::vector<uint8_t>> frames;
};

INSTANTIATE_TEST_SUITE_P(Modes, Player, ::testing::Values(0u, uint32_t(PMV_STREAM)),
                         [](const auto &info) { return info.param ? "Streamed" : "Preloaded"; });

TEST_P(Player, FramesComeWhenDueAndTheLastOneStays)
{
    PMVMOVIE *m = OpenMovie(tmz(5).c_str(), PMV_KIND_TMZ, PMV_TOPDOWN | GetParam());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->currentFrame, 1);
    EXPECT_EQ(m->frameTime, 40u);
    EXPECT_TRUE(m->flags & PMV_ACTIVE);
    EXPECT_FALSE(m->flags & PMV_NOFRAME);
    EXPECT_EQ(now(m), frames[0]);

    // Within one frame time of the open nothing new comes.
    EXPECT_EQ(PlayMovie(m), 1);
    EXPECT_TRUE(m->flags & PMV_NOFRAME);
    PlatAdvanceClock(39);
    EXPECT_EQ(PlayMovie(m), 1);
    EXPECT_TRUE(m->flags & PMV_NOFRAME);
    EXPECT_EQ(m->currentFrame, 1);
    PlatAdvanceClock(1);
    EXPECT_EQ(PlayMovie(m), 1);
    EXPECT_FALSE(m->flags & PMV_NOFRAME);
    EXPECT_EQ(now(m), frames[1]);

    for (int i = 2; i < 5; i++) {
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(now(m), frames[size_t(i)]);
    }
    // The end: 0 whenever a frame falls due, 1 in between, the last frame stays.
    EXPECT_EQ(step(m), 0);
    PlatAdvanceClock(10);
    EXPECT_EQ(PlayMovie(m), 1);
    EXPECT_EQ(step(m), 0);
    EXPECT_TRUE(m->flags & PMV_NOFRAME);
    EXPECT_EQ(now(m), frames[4]);
    EXPECT_EQ(KillMovie(m), nullptr);
}

TEST_P(Player, HeldAndInactiveMoviesTakeNoFrame)
{
    PMVMOVIE *m = OpenMovie(tmz(3).c_str(), PMV_KIND_TMZ, PMV_TOPDOWN | PMV_HOLD | GetParam());
    ASSERT_NE(m, nullptr);
    for (uint32_t hold : {PMV_HOLD, PMV_HOLD2}) {
        m->flags = (m->flags & ~uint32_t(PMV_HOLD | PMV_HOLD2)) | hold;
        EXPECT_EQ(step(m), 1);
        EXPECT_TRUE(m->flags & PMV_NOFRAME);
        EXPECT_EQ(m->currentFrame, 1);
        EXPECT_EQ(now(m), frames[0]);
    }
    m->flags &= ~uint32_t(PMV_HOLD | PMV_HOLD2);
    EXPECT_EQ(PlayMovie(m), 1);
    EXPECT_EQ(now(m), frames[1]);

    m->flags &= ~uint32_t(PMV_ACTIVE);
    EXPECT_EQ(step(m), -1);
    EXPECT_EQ(PlayMovie(nullptr), -1);
    KillMovie(m);
}

TEST_P(Player, LoopsWithinItsRangeAndSeeksBack)
{
    PMVMOVIE *m = OpenMovie(tmz(5).c_str(), PMV_KIND_TMZ, PMV_TOPDOWN | PMV_LOOP | GetParam());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(SetLoopFrames(m, 1, 3), 1);
    for (int expected : {1, 2, 1, 2, 1}) {
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(now(m), frames[size_t(expected)]);
    }
    // Seeking back from the middle of the range shows the loop-start frame.
    PmvSeekToLoop(m);
    EXPECT_EQ(m->currentFrame, 1);
    EXPECT_EQ(now(m), frames[1]);
    ASSERT_EQ(step(m), 1);
    EXPECT_EQ(now(m), frames[1]);

    // A range that starts beyond the frames played so far.
    SetLoopFrames(m, 3, 5);
    PmvSeekToLoop(m);
    EXPECT_EQ(now(m), frames[3]);
    for (int expected : {3, 4, 3}) {
        ASSERT_EQ(step(m), 1);
        EXPECT_EQ(now(m), frames[size_t(expected)]);
    }
    // Without the loop flag the range's end is the end.
    m->flags &= ~uint32_t(PMV_LOOP);
    EXPECT_EQ(step(m), 1);
    EXPECT_EQ(step(m), 0);
    EXPECT_EQ(now(m), frames[4]);
    KillMovie(m);
}

TEST_P(Player, KeepsItsOwnNameAndOnlyTheCallersFlags)
{
    std::string name = tmz(2);
    std::vector<char> given(name.begin(), name.end());
    given.push_back('\0');
    PMVMOVIE *m = OpenMovie(given.data(), PMV_KIND_TMZ, GetParam() | PMV_PALETTE | PMV_INPACK | PMV_NOFRAME);
    ASSERT_NE(m, nullptr);
    memset(given.data(), 'x', given.size() - 1);
    EXPECT_EQ(std::string(m->name), name);
    EXPECT_EQ(m->flags & ~uint32_t(PMV_STREAM), uint32_t(PMV_ACTIVE | PMV_FFFILE));
    KillMovie(m);
}

TEST(PlayerLoopRange, IsHeldInsideTheMovie)
{
    struct Case {
        int start, end, loop_start, loop_end;
    } cases[] = {
        {0, -5, 0, 1}, {7, 5, 4, 5}, {-3, 4, 0, 4}, {2, 99, 2, 6}, {0, 0, 0, 1}, {6, 6, 5, 6},
    };
    PMVMOVIE m{};
    m.frameCount = 6;
    m.currentFrame = 3;
    for (const Case &c : cases) {
        EXPECT_EQ(SetLoopFrames(&m, c.start, c.end), 3);
        EXPECT_EQ(m.loopStart, c.loop_start) << c.start << "," << c.end;
        EXPECT_EQ(m.loopEnd, c.loop_end) << c.start << "," << c.end;
    }
    EXPECT_EQ(KillMovie(nullptr), nullptr);
}

TEST(PlayerOpen, RefusesWhatItCannotPlay)
{
    EXPECT_EQ(OpenMovie(nullptr, PMV_KIND_FLC, 0), nullptr);
    EXPECT_EQ(OpenMovie("nothere.flc", PMV_KIND_FLC, 0), nullptr);
    EXPECT_EQ(OpenMovie("nothere.tmz", PMV_KIND_TMZ, PMV_STREAM), nullptr);
    std::string name = std::string(VOK_SOURCE_DIR) + "/tests/pannix_movie/CMakeLists.txt";
    for (int kind : {0, 5, -1})
        EXPECT_EQ(OpenMovie(name.c_str(), kind, 0), nullptr) << kind;
    for (int kind : {1, 2, 3, 4})
        EXPECT_EQ(OpenMovie(name.c_str(), kind, 0), nullptr) << kind;
}

// An FLC movie of every frame chunk kind, palettes changing on the way: both modes show each
// frame as the writer made it, also across loops whose first frame is a delta.
class PlayerFlc : public mvtest::Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        const int w = 24, h = 12;
        movie::FlcWriter flc(w, h, 30);
        using Code = movie::FlcWriter::Code;
        auto add = [&](int picture, const movie::Palette *pal, Code code, bool six = false) {
            std::vector<uint8_t> p = picture < 0 ? std::vector<uint8_t>(size_t(w) * h, 0) : mvtest::picture(w, h, picture);
            ASSERT_TRUE(flc.add_frame(p, pal, code, six));
            expected.push_back({flc.picture(), mvtest::colours_of(flc.colours())});
        };
        movie::Palette first = mvtest::palette(0), second = first, third = first;
        for (int i = 40; i < 60; i++)
            second[3 * size_t(i)] = uint8_t(i * 3);
        for (int i = 200; i < 256; i++)
            third[3 * size_t(i) + 1] = uint8_t(i / 2);
        add(0, &first, Code::ByteRun);
        add(1, nullptr, Code::DeltaFlc);
        add(2, &second, Code::DeltaFli);
        flc.add_repeat();
        expected.push_back(expected.back());
        add(3, nullptr, Code::DeltaFlc);
        add(-1, &third, Code::Black, true);
        add(4, nullptr, Code::Copy);
        add(2, nullptr, Code::DeltaFli);
        std::string error;
        ASSERT_TRUE(flc.write(path("all.flc"), error)) << error;
    }
    std::vector<Shot> expected;
};

TEST_F(PlayerFlc, PreloadedAndStreamedShowTheFramesTheWriterMade)
{
    std::vector<std::vector<Shot>> seen(2);
    for (int mode = 0; mode < 2; mode++) {
        PMVMOVIE *m = OpenMovie(path("all.flc").c_str(), PMV_KIND_FLC, PMV_TOPDOWN | PMV_LOOP | (mode ? PMV_STREAM : 0));
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(m->frameCount, int32_t(expected.size()));
        EXPECT_TRUE(m->flags & PMV_PALETTE);
        EXPECT_EQ(SetLoopFrames(m, 2, 6), 1);  // starts at a delta frame with a palette
        std::vector<int> order = {0, 1, 2, 3, 4, 5, 2, 3, 4, 5, 2};
        seen[size_t(mode)].push_back(shot(m));
        for (size_t k = 1; k < order.size(); k++) {
            ASSERT_EQ(step(m), 1) << k;
            seen[size_t(mode)].push_back(shot(m));
        }
        // A seek shows the loop-start frame at once (its pixels and palette); the next frame taken
        // is that one again. Then a range whose first frame (a repeat of a delta) the player has not
        // marked yet, and one from the first frame.
        for (auto [first, end] : {std::pair{2, 6}, std::pair{3, 5}, std::pair{0, 2}}) {
            SetLoopFrames(m, first, end);
            PmvSeekToLoop(m);
            EXPECT_EQ(m->currentFrame, first);
            order.push_back(first);
            seen[size_t(mode)].push_back(shot(m));
            for (int i = 0; i < 3; i++) {
                order.push_back(first + i % (end - first));
                ASSERT_EQ(step(m), 1);
                seen[size_t(mode)].push_back(shot(m));
            }
        }
        for (size_t k = 0; k < order.size(); k++)
            EXPECT_TRUE(seen[size_t(mode)][k] == expected[size_t(order[k])])
                << (mode ? "streamed" : "preloaded") << ": step " << k << " frame " << order[k];
        KillMovie(m);
    }
}

}  // namespace
