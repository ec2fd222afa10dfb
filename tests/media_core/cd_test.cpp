// CD audio over the platform's track-folder drive: two generated tracks (1 s and 2 s), or none.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "media_test.h"
#include "vokplat/clock.h"
#include "vokplat/debug.h"
#include "vokplat/sound.h"

using namespace mediatest;
namespace fs = std::filesystem;

namespace {

// A WAVE file of 8-bit mono samples at 8000 Hz holding one value for `seconds`.
void write_track(const fs::path &path, double seconds)
{
    const uint32_t rate = 8000, samples = uint32_t(rate * seconds);
    auto u32 = [](std::ofstream &f, uint32_t v) {
        for (int i = 0; i < 4; i++)
            f.put(char(v >> (8 * i)));
    };
    auto u16 = [](std::ofstream &f, uint16_t v) {
        f.put(char(v));
        f.put(char(v >> 8));
    };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    u32(f, 36 + samples);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);     // PCM
    u16(f, 1);     // mono
    u32(f, rate);
    u32(f, rate);  // bytes per second
    u16(f, 1);     // block
    u16(f, 8);     // bits
    f.write("data", 4);
    u32(f, samples);
    f << std::string(samples, char(0xC0));
}

constexpr uint64_t kTolUs = 20000;  // a little over one CD frame

class MediaCd : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("vok_media_cd_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("VOK_CDAUDIO_DIR", dir.c_str(), 1);
        write_track(dir / "track01.wav", 1.0);
        write_track(dir / "track02.wav", 2.0);
        auxSetVolume(0, 0xFFFFFFFF);
        VokSoundRecorderReset();
    }
    void TearDown() override
    {
        if (h > 0)
            CloseMedia(h);
        fs::remove_all(dir);
        unsetenv("VOK_CDAUDIO_DIR");
    }
    // As the framework opens it: first track 2, only a parent window.
    MediaHandle open_cd() { return MediaOpen(MEDIA_CDAUDIO, 2, MEDIAPARAM_PARENT, window.hwnd()); }
    void advance_ms(uint64_t ms)
    {
        VokSoundAdvanceUs(ms * 1000);
        pump();
    }
    static std::vector<int32_t> tracks_played()
    {
        std::vector<VokSoundPlay> plays(VokSoundGetPlays(nullptr, 0));
        VokSoundGetPlays(plays.data(), plays.size());
        std::vector<int32_t> tracks;
        for (const VokSoundPlay &p : plays)
            tracks.push_back(p.cd_track);
        return tracks;
    }
    // Clock times of the plays that completed.
    static std::vector<uint64_t> completions()
    {
        std::vector<VokSoundCdNotify> all(VokSoundGetCdNotifies(nullptr, 0));
        VokSoundGetCdNotifies(all.data(), all.size());
        std::vector<uint64_t> at;
        for (const VokSoundCdNotify &n : all)
            if (n.code == MCI_NOTIFY_SUCCESSFUL)
                at.push_back(n.at_us);
        return at;
    }
    // The drive takes a non-shareable open only when no device of the library is left open.
    static bool drive_free()
    {
        MCI_OPEN_PARMSA p{};
        p.lpstrDeviceType = "cdaudio";
        if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_WAIT, DWORD_PTR(&p)) != 0)
            return false;
        mciSendCommandA(p.wDeviceID, MCI_CLOSE, MCI_WAIT, 0);
        return true;
    }

    fs::path dir;
    NoticeWindow window;
    MediaHandle h = -1;
};

TEST_F(MediaCd, WithoutTracksTheOpenFailsAndLeavesNothing)
{
    fs::remove(dir / "track01.wav");
    testing::internal::CaptureStdout();
    h = open_cd();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No suitable output device is available to play CD music.\n");
    EXPECT_EQ(h, -1);
    // Other test programs may have CD windows of their own; none may be ours.
    HWND left = FindWindowA(media::kNotifyWindowClass, nullptr);
    DWORD pid = 0;
    if (left != nullptr)
        GetWindowThreadProcessId(left, &pid);
    EXPECT_NE(pid, DWORD(getpid()));
    EXPECT_TRUE(window.take().empty());
    // What the framework does next does nothing.
    EXPECT_EQ(PlayMedia(h), 0);
    int32_t volume = -3;
    MediaGet(h, MEDIAPARAM_VOLUME, &volume);
    EXPECT_EQ(volume, -3);
}

TEST_F(MediaCd, VolumeIsReadAtOpenAndSetOnBothChannels)
{
    auxSetVolume(0, 0x12348034);  // bits 8..15 hold 0x80
    h = open_cd();
    ASSERT_GT(h, 0);
    int32_t volume = 0;
    MediaGet(h, MEDIAPARAM_VOLUME, &volume);
    EXPECT_EQ(volume, 0x80);
    DWORD line = 0;
    auxGetVolume(0, &line);
    EXPECT_EQ(line, 0x80008000u);
    struct Case {
        int32_t set;
        DWORD line;
    };
    for (const Case &c : {Case{300, 0xFF00FF00}, Case{0, 0}, Case{255, 0xFF00FF00}, Case{17, 0x11001100}}) {
        MediaSet(h, MEDIAPARAM_VOLUME, c.set);
        MediaGet(h, MEDIAPARAM_VOLUME, &volume);
        auxGetVolume(0, &line);
        EXPECT_EQ(volume, c.set);
        EXPECT_EQ(line, c.line) << c.set;
    }
}

TEST_F(MediaCd, PlaysToTheNextTrackOrToTheEndOfTheDisc)
{
    h = open_cd();
    ASSERT_GT(h, 0);
    struct Case {
        int32_t track;
        bool to_last;
        uint64_t end_ms;
        std::vector<int32_t> tracks;
    };
    // The last track has no "to"; with the to-last flag a play from the track before the last runs
    // to the end of the disc rather than an empty stretch.
    for (const Case &c : {Case{1, false, 1000, {1}}, Case{2, false, 2000, {2}}, Case{1, true, 3000, {1, 2}},
                          Case{2, true, 2000, {2}}}) {
        SCOPED_TRACE(testing::Message() << "track " << c.track << " to-last " << c.to_last);
        MediaSet(h, MEDIAPARAM_TRACK, c.track, MEDIAPARAM_TOLAST, c.to_last);
        VokSoundRecorderReset();
        PlatDebugOutputClear();
        window.take();
        uint64_t t0 = PlatClockNow();
        EXPECT_EQ(PlayMedia(h), 1);
        // The parent gets the state notices when no notify window was named.
        EXPECT_EQ(window.take(), (std::vector<Notice>{{MEDIAMSG_STATE, WPARAM(h), MEDIA_STATE_PLAYING}}));
        char debug[64] = {};
        PlatDebugOutput(debug, sizeof debug);
        EXPECT_EQ(std::string(debug), "Track: " + std::to_string(c.track) + "\n");
        advance_ms(3500);
        EXPECT_EQ(tracks_played(), c.tracks);
        std::vector<uint64_t> done = completions();
        ASSERT_EQ(done.size(), 1u);
        EXPECT_NEAR(double(done[0] - t0), double(c.end_ms * 1000), double(kTolUs));
        EXPECT_EQ(StopMedia(h), 1);
    }
}

TEST_F(MediaCd, LoopReplaysTheTrackUntilStopped)
{
    h = open_cd();
    ASSERT_GT(h, 0);
    MediaSet(h, MEDIAPARAM_TRACK, 1, MEDIAPARAM_LOOP, 1);
    uint8_t loop = 0;
    MediaGet(h, MEDIAPARAM_LOOP, &loop);
    EXPECT_EQ(loop, 1);
    PlayMedia(h);
    advance_ms(1100);
    advance_ms(1000);
    EXPECT_EQ(tracks_played(), (std::vector<int32_t>{1, 1, 1}));
    StopMedia(h);  // aborts the play: no replay
    advance_ms(1500);
    EXPECT_EQ(tracks_played(), (std::vector<int32_t>{1, 1, 1}));

    MediaSet(h, MEDIAPARAM_LOOP, 0);
    VokSoundRecorderReset();
    PlayMedia(h);
    advance_ms(2500);
    EXPECT_EQ(tracks_played(), (std::vector<int32_t>{1}));
}

TEST_F(MediaCd, PauseAndContinueActOnlyInTheirStates)
{
    h = open_cd();
    ASSERT_GT(h, 0);
    const WPARAM w = WPARAM(h);
    window.take();
    // Nothing plays: pause and continue only change the reported state.
    PauseMedia(h);
    ContinueMedia(h);
    EXPECT_EQ(window.take(), (std::vector<Notice>{{MEDIAMSG_STATE, w, 6}, {MEDIAMSG_STATE, w, 4}}));
    advance_ms(100);
    EXPECT_TRUE(tracks_played().empty());

    StopMedia(h);
    MediaSet(h, MEDIAPARAM_TRACK, 2);
    PlayMedia(h);
    advance_ms(500);
    PauseMedia(h);
    EXPECT_EQ(GetMediaState(h), MEDIA_STATE_PAUSED);
    advance_ms(1000);
    std::vector<VokSoundPlay> plays(VokSoundGetPlays(nullptr, 0));
    VokSoundGetPlays(plays.data(), plays.size());
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_FALSE(plays[0].playing);
    EXPECT_TRUE(completions().empty());

    // A second pause does not move the saved position; continue plays the rest of the track.
    PauseMedia(h);
    uint64_t resumed = PlatClockNow();
    ContinueMedia(h);
    advance_ms(2000);
    EXPECT_EQ(tracks_played(), (std::vector<int32_t>{2, 2}));
    std::vector<uint64_t> done = completions();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_NEAR(double(done[0] - resumed), 1500000.0, double(kTolUs));
    EXPECT_EQ(window.take().size(), 5u);  // one state notice per command, nothing else
}

TEST_F(MediaCd, NoDeviceIsLeftOpen)
{
    h = open_cd();
    ASSERT_GT(h, 0);
    // Playing on to the last track twice over, then stopping.
    MediaSet(h, MEDIAPARAM_TRACK, 1, MEDIAPARAM_TOLAST, 1);
    PlayMedia(h);
    advance_ms(200);
    PlayMedia(h);
    StopMedia(h);
    EXPECT_TRUE(drive_free());

    // Closing while playing.
    PlayMedia(h);
    HWND hidden = media::find(h)->notify_side_window;
    EXPECT_TRUE(IsWindow(hidden));
    EXPECT_EQ(CloseMedia(h), 1);
    h = -1;
    EXPECT_FALSE(IsWindow(hidden));
    EXPECT_TRUE(drive_free());
}

}  // namespace

namespace {

TEST_F(MediaCd, StoppingTheLibraryClosesAPlayingDiscAndItStartsAgain)
{
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        h = open_cd();
        ASSERT_EQ(h, 1);
        MediaSet(h, MEDIAPARAM_LOOP, 1);
        PlayMedia(h);
        advance_ms(100);
        HWND hidden = media::find(h)->notify_side_window;
        media::library_stop();
        EXPECT_FALSE(IsWindow(hidden));
        EXPECT_TRUE(drive_free());
        EXPECT_EQ(media::find(h), nullptr);
        media::library_start(GetModuleHandleA(nullptr), media::StartOptions{false});
        h = -1;
        // The stopped play's completion, had it been queued, reaches nobody.
        VokSoundRecorderReset();
        advance_ms(3000);
        EXPECT_TRUE(tracks_played().empty());
    }
}

}  // namespace

namespace {

// A looping play of a track the disc does not have used to end at once and start again from its own
// finish notice, for ever: such a track, and one that holds no sound, is refused.
TEST_F(MediaCd, ATrackOutsideTheDiscOrEmptyIsRefusedAndNeverLoops)
{
    write_track(dir / "track03.wav", 0.0);
    h = open_cd();
    ASSERT_GT(h, 0);
    for (int32_t track : {0, -1, 4, 99, 2147483647, 3}) {
        SCOPED_TRACE(track);
        VokSoundRecorderReset();
        MediaSet(h, MEDIAPARAM_TRACK, track, MEDIAPARAM_LOOP, 1);
        PlayMedia(h);
        advance_ms(100);
        advance_ms(100);
        EXPECT_TRUE(tracks_played().empty());
        EXPECT_TRUE(completions().empty());
    }
    // The disc's own tracks still play.
    MediaSet(h, MEDIAPARAM_TRACK, 2, MEDIAPARAM_LOOP, 0);
    PlayMedia(h);
    advance_ms(100);
    EXPECT_EQ(tracks_played(), (std::vector<int32_t>{2}));
}

}  // namespace
