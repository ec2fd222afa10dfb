// CD music over a generated three-track disc (and over no disc): tracks heard through the recorder.
#include <stdlib.h>

#include "fx.h"
#include "media_layer.h"

namespace {

class CdMusic : public fxtest::Framework {
protected:
    void SetUp() override
    {
        Framework::SetUp();
        std::filesystem::create_directories(dir / "cdaudio");
        setenv("VOK_CDAUDIO_DIR", (dir / "cdaudio").c_str(), 1);
    }
    void TearDown() override
    {
        VokKillCD();
        face->inGame = 0;
        unsetenv("VOK_CDAUDIO_DIR");
        Framework::TearDown();
    }
    // Disc tracks of 200, 300 and 400 ms.
    void write_disc()
    {
        for (int t = 1; t <= 3; t++) {
            std::vector<uint8_t> wave = fxtest::level_wave(int16_t(1000 * t), uint32_t(100 + 100 * t));
            write("cdaudio/track0" + std::to_string(t) + ".wav", std::string(wave.begin(), wave.end()));
        }
    }
    // Disc track of each play so far, and whether the last one still plays.
    static std::vector<int32_t> tracks()
    {
        std::vector<int32_t> out;
        for (const VokSoundPlay &p : fxtest::plays())
            out.push_back(p.cd_track);
        return out;
    }
    static bool last_playing()
    {
        const std::vector<VokSoundPlay> p = fxtest::plays();
        return !p.empty() && p.back().playing;
    }
};

TEST_F(CdMusic, TheCurrentTrackIsNotRestartedAndReplayRestartsIt)
{
    write_disc();
    VokInitCD();
    ASSERT_GE(vok::cd_volume(), 0);
    EXPECT_LE(vok::cd_volume(), 255);
    EXPECT_EQ(VokPlayCDtrack(1), 1);
    fxtest::advance_ms(100);
    EXPECT_EQ(VokPlayCDtrack(1), 1);
    fxtest::advance_ms(50);
    EXPECT_EQ(tracks(), (std::vector<int32_t>{2})) << "track n is disc track n + 1, not restarted";
    EXPECT_EQ(VokReplayCDtrack(1), 1);
    fxtest::advance_ms(50);
    EXPECT_EQ(tracks(), (std::vector<int32_t>{2, 2}));
    // Outside Kelpa every track repeats.
    fxtest::advance_ms(300);
    EXPECT_EQ(tracks(), (std::vector<int32_t>{2, 2, 2}));
    EXPECT_TRUE(last_playing());

    // Another track stops this one first.
    EXPECT_EQ(VokPlayCDtrack(0), 0);
    fxtest::advance_ms(50);
    EXPECT_FALSE(last_playing()) << "track 0 only stops";
    EXPECT_EQ(VokPlayCDtrack(2), 2);
    fxtest::advance_ms(50);
    EXPECT_EQ(tracks().back(), 3);
}

TEST_F(CdMusic, KelpasOwnTrackPlaysOnInGameOthersRepeat)
{
    write_disc();
    face = VokGetInterFace(VOK_GAME_KELPA);
    static_cast<KpSettings *>(vok::own_block(3))->cdTrack = 1;
    face->inGame = 1;
    VokInitCD();
    struct Case {
        int track;
        uint64_t ms;
        std::vector<int32_t> heard;
        bool playing;
    } cases[] = {
        {1, 500, {2, 3}, true},      // on into track 3, no repeat of track 2
        {1, 800, {2, 3}, false},     // and then the disc ends
        {2, 500, {3, 3}, true},      // another track repeats
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.track);
        VokReplayCDtrack(c.track);
        VokSoundRecorderReset();
        fxtest::advance_ms(c.ms);
        EXPECT_EQ(tracks(), c.heard);
        EXPECT_EQ(last_playing(), c.playing);
        VokStopCD();
    }
    face->inGame = 0;  // outside the game Kelpa's track repeats too
    VokReplayCDtrack(1);
    VokSoundRecorderReset();
    fxtest::advance_ms(400);
    EXPECT_EQ(tracks(), (std::vector<int32_t>{2, 2}));
}

TEST_F(CdMusic, MusicOffOnlyStopsAndPauseNeedsPlaying)
{
    write_disc();
    VokInitCD();
    VokPauseCD();  // nothing plays: nothing to pause
    VokContinueCD();
    EXPECT_TRUE(tracks().empty());
    VokPlayCDtrack(1);
    fxtest::advance_ms(50);
    VokPauseCD();
    fxtest::advance_ms(50);
    EXPECT_FALSE(last_playing());
    VokContinueCD();
    fxtest::advance_ms(50);
    EXPECT_TRUE(last_playing());

    vok::general().cdMusic = 0;
    EXPECT_EQ(VokPlayCDtrack(2), 0);
    fxtest::advance_ms(50);
    EXPECT_FALSE(last_playing());
    EXPECT_EQ(tracks(), (std::vector<int32_t>{2, 2})) << "the running track stopped, nothing new played";
}

TEST_F(CdMusic, WithoutADiscEveryCallIsWithoutEffect)
{
    VokInitCD();
    EXPECT_EQ(vok::cd_volume(), -1);
    EXPECT_EQ(VokPlayCDtrack(1), 0);
    EXPECT_EQ(VokReplayCDtrack(2), 0);
    VokPauseCD();
    VokContinueCD();
    VokStopCD();
    fxtest::advance_ms(100);
    EXPECT_TRUE(tracks().empty());
    VokKillCD();
    VokKillCD();
}

}  // namespace

namespace {

// A track no disc can hold is refused before its disc track (one past it) is worked out.
TEST_F(CdMusic, TracksNoDiscHoldsAreRefused)
{
    write_disc();
    VokInitCD();
    for (int track : {-1, 99, 2147483647, -2147483647 - 1}) {
        SCOPED_TRACE(track);
        EXPECT_EQ(VokPlayCDtrack(track), 0);
        EXPECT_EQ(VokReplayCDtrack(track), 0);
    }
    fxtest::advance_ms(100);
    EXPECT_TRUE(tracks().empty());
    EXPECT_EQ(VokPlayCDtrack(1), 1);
    fxtest::advance_ms(50);
    EXPECT_EQ(tracks(), (std::vector<int32_t>{2}));
}

}  // namespace
