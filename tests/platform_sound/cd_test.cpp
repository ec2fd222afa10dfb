#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sound_test_util.h"
#include "win32/mmsystem.h"
#include "win32/winuser.h"

using namespace soundtest;
namespace fs = std::filesystem;

namespace {

void put16(std::string& s, uint16_t v) { s.append({char(v & 0xFF), char(v >> 8)}); }
void put32(std::string& s, uint32_t v) {
    put16(s, uint16_t(v & 0xFFFF));
    put16(s, uint16_t(v >> 16));
}

// A WAVE file of `seconds` of one repeated frame.
void write_wav(const fs::path& path, uint16_t channels, uint16_t bits, uint32_t rate, double seconds,
               const std::string& frame) {
    uint32_t frames = uint32_t(rate * seconds);
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) data += frame;
    uint16_t block = uint16_t(channels * bits / 8);
    std::string f = "RIFF";
    put32(f, uint32_t(4 + 12 + 8 + 16 + 8 + data.size()));
    f += "WAVE";
    f += "LIST";  // a chunk the reader skips
    put32(f, 3);
    f += std::string("abc") + '\0';
    f += "fmt ";
    put32(f, 16);
    put16(f, 1);
    put16(f, channels);
    put32(f, rate);
    put32(f, rate * block);
    put16(f, block);
    put16(f, bits);
    f += "data";
    put32(f, uint32_t(data.size()));
    f += data;
    std::ofstream(path, std::ios::binary) << f;
}

HWND window() { return reinterpret_cast<HWND>(uintptr_t(0x4321)); }

class CdAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vok_cd_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("VOK_CDAUDIO_DIR", dir.c_str(), 1);
        VokSoundRecorderReset();
        t0 = VokSoundRecordStartUs();
    }
    void TearDown() override {
        if (id) mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0);
        fs::remove_all(dir);
        unsetenv("VOK_CDAUDIO_DIR");
    }
    // Track 1: 1 s of 8-bit mono at 22050 Hz (value 0xC0); track 2: 2 s of 16-bit stereo (3000, -3000).
    void two_tracks() {
        write_wav(dir / "track01.wav", 1, 8, 22050, 1.0, std::string(1, char(0xC0)));
        write_wav(dir / "track02.wav", 2, 16, 44100, 2.0, std::string("\xB8\x0B\x48\xF4", 4));
    }
    MCIERROR open(DWORD flags = MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE | MCI_WAIT, const char* type = "CDAudio") {
        MCI_OPEN_PARMSA p{};
        p.lpstrDeviceType = type;
        MCIERROR e = mciSendCommandA(0, MCI_OPEN, flags, DWORD_PTR(&p));
        if (e == 0) id = p.wDeviceID;
        return e;
    }
    MCIERROR set_format(DWORD fmt) {
        MCI_SET_PARMS p{};
        p.dwTimeFormat = fmt;
        return mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&p));
    }
    DWORD_PTR status(DWORD item, DWORD track = 0) {
        MCI_STATUS_PARMS p{};
        p.dwItem = item;
        p.dwTrack = track;
        EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | (track ? MCI_TRACK : 0), DWORD_PTR(&p)), 0u);
        return p.dwReturn;
    }
    MCIERROR play(DWORD from, DWORD to, DWORD flags = MCI_NOTIFY | MCI_FROM | MCI_TO) {
        MCI_PLAY_PARMS p{};
        p.dwCallback = DWORD_PTR(window());
        p.dwFrom = from;
        p.dwTo = to;
        return mciSendCommandA(id, MCI_PLAY, flags, DWORD_PTR(&p));
    }
    fs::path dir;
    MCIDEVICEID id = 0;
    uint64_t t0 = 0;
};

TEST_F(CdAudioTest, NoTracksFailsLikeAMachineWithoutADrive) {
    write_wav(dir / "notes.wav", 1, 8, 22050, 0.1, "x");
    std::ofstream(dir / "track02.wav") << "not the first";
    for (const char* folder : {"", "/nonexistent/vok"}) {
        if (*folder) setenv("VOK_CDAUDIO_DIR", folder, 1);
        EXPECT_EQ(open(), MCIERROR(MCIERR_INVALID_DEVICE_NAME)) << folder;
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(auxGetNumDevs(), 0u);
        AUXCAPSA caps;
        EXPECT_EQ(auxGetDevCapsA(0, &caps, sizeof caps), MMRESULT(MMSYSERR_BADDEVICEID));
    }
    char text[256] = "";
    EXPECT_TRUE(mciGetErrorStringA(MCIERR_INVALID_DEVICE_NAME, text, sizeof text));
    EXPECT_GT(std::strlen(text), 10u);
    char tiny[5];
    EXPECT_TRUE(mciGetErrorStringA(MCIERR_INVALID_DEVICE_NAME, tiny, sizeof tiny));
    EXPECT_EQ(std::strlen(tiny), 4u);
    EXPECT_FALSE(mciGetErrorStringA(12345, text, sizeof text));
}

TEST_F(CdAudioTest, DamagedTrackFiles) {
    // A format chunk longer than the file: no disc.
    std::ofstream(dir / "track01.wav", std::ios::binary) << std::string("RIFF\x40\0\0\0WAVEfmt \x40\0\0\0\1\0", 22);
    write_wav(dir / "track02.wav", 1, 8, 22050, 0.1, "x");
    EXPECT_EQ(open(), MCIERROR(MCIERR_INVALID_DEVICE_NAME));

    // Not PCM: no disc.
    write_wav(dir / "track01.wav", 1, 8, 22050, 1.0, "x");
    {
        std::fstream f(dir / "track01.wav", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(12 + 12 + 8);
        f.put(3);  // format tag
    }
    EXPECT_EQ(open(), MCIERROR(MCIERR_INVALID_DEVICE_NAME));

    // Sample data cut short: the track is as long as the whole frames present; a damaged later track
    // ends the disc before it.
    write_wav(dir / "track01.wav", 1, 16, 22050, 1.0, "ab");
    fs::resize_file(dir / "track01.wav", fs::file_size(dir / "track01.wav") - 22050 + 1);
    std::ofstream(dir / "track02.wav", std::ios::binary) << "RIFF";
    ASSERT_EQ(open(), 0u);
    EXPECT_EQ(status(MCI_STATUS_NUMBER_OF_TRACKS), 1u);
    EXPECT_EQ(status(MCI_STATUS_LENGTH, 1), MCI_MAKE_MSF(0, 0, 38));  // 11025 frames: 37.5 CD frames
}

TEST_F(CdAudioTest, PlaysTrackOneToTwoAndNotifiesTheWindow) {
    two_tracks();
    ASSERT_EQ(open(), 0u);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(set_format(MCI_FORMAT_TMSF), 0u);
    EXPECT_EQ(status(MCI_STATUS_NUMBER_OF_TRACKS), 2u);
    EXPECT_EQ(status(MCI_STATUS_LENGTH, 1), MCI_MAKE_MSF(0, 1, 0));
    EXPECT_EQ(status(MCI_STATUS_LENGTH, 2), MCI_MAKE_MSF(0, 2, 0));
    EXPECT_EQ(status(MCI_STATUS_POSITION, 2), MCI_MAKE_TMSF(2, 0, 0, 0));
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_STOP));

    ASSERT_EQ(play(MCI_MAKE_TMSF(1, 0, 0, 0), MCI_MAKE_TMSF(2, 0, 0, 0)), 0u);
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_PLAY));
    VokSoundAdvanceUs(500000);
    EXPECT_EQ(status(MCI_STATUS_POSITION), MCI_MAKE_TMSF(1, 0, 0, 37));
    EXPECT_EQ(status(MCI_STATUS_CURRENT_TRACK), 1u);
    EXPECT_TRUE(cd_notifies().empty());

    VokSoundAdvanceUs(600000);
    auto n = cd_notifies();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].window, window());
    EXPECT_EQ(n[0].code, uint32_t(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(n[0].device, id);
    EXPECT_NEAR(double(n[0].at_us - t0), 1000000.0, 100.0);
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_STOP));
    EXPECT_EQ(status(MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 0, 0));

    auto p = plays();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].cd_track, 1);
    EXPECT_EQ(p[0].buffer, 0u);
    EXPECT_NEAR(double(p[0].frames), 44100.0, 2.0);
    EXPECT_EQ(mix_at_us(250000).l, 16384);
    EXPECT_EQ(mix_at_us(250000).r, 16384);
    EXPECT_EQ(mix_at_us(1050000).l, 0);
}

TEST_F(CdAudioTest, PlayRunsAcrossTracksAndStopAborts) {
    two_tracks();
    ASSERT_EQ(open(), 0u);
    ASSERT_EQ(set_format(MCI_FORMAT_TMSF), 0u);
    // From the middle of track 1 to the end of the disc.
    ASSERT_EQ(play(MCI_MAKE_TMSF(1, 0, 0, 30), 0, MCI_NOTIFY | MCI_FROM), 0u);
    VokSoundAdvanceUs(1000000);
    EXPECT_EQ(status(MCI_STATUS_CURRENT_TRACK), 2u);
    EXPECT_EQ(status(MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 0, 30));
    EXPECT_EQ(mix_at_us(800000).l, 3000);
    EXPECT_EQ(mix_at_us(800000).r, -3000);
    auto p = plays();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].cd_track, 1);
    EXPECT_EQ(p[1].cd_track, 2);
    EXPECT_EQ(p[0].playing, 0);
    EXPECT_NEAR(double(p[0].end_us - t0), 600000.0, 100.0);

    ASSERT_EQ(mciSendCommandA(id, MCI_STOP, MCI_WAIT, 0), 0u);
    auto n = cd_notifies();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].code, uint32_t(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_STOP));
    EXPECT_EQ(status(MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 0, 30));

    // Playing on from there (no "from") reaches the end of the disc.
    ASSERT_EQ(play(0, 0, MCI_NOTIFY), 0u);
    VokSoundAdvanceUs(2000000);
    n = cd_notifies();
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[1].code, uint32_t(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_NEAR(double(n[1].at_us - t0), 2600000.0, 100.0);
    EXPECT_EQ(status(MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 2, 0));

    // A new play while one plays aborts the first notification.
    ASSERT_EQ(play(MCI_MAKE_TMSF(1, 0, 0, 0), MCI_MAKE_TMSF(2, 0, 0, 0)), 0u);
    ASSERT_EQ(play(MCI_MAKE_TMSF(2, 0, 0, 0), MCI_MAKE_TMSF(2, 0, 1, 0)), 0u);
    n = cd_notifies();
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[2].code, uint32_t(MCI_NOTIFY_ABORTED));
    // Seeking stops playing.
    MCI_SEEK_PARMS seek{};
    seek.dwTo = MCI_MAKE_TMSF(1, 0, 0, 10);
    ASSERT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_TO | MCI_WAIT, DWORD_PTR(&seek)), 0u);
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_STOP));
    EXPECT_EQ(status(MCI_STATUS_POSITION), MCI_MAKE_TMSF(1, 0, 0, 10));
    EXPECT_EQ(cd_notifies().size(), 4u);
}

TEST_F(CdAudioTest, TimeFormatsAndErrors) {
    two_tracks();
    ASSERT_EQ(open(), 0u);
    EXPECT_EQ(status(MCI_STATUS_TIME_FORMAT), DWORD_PTR(MCI_FORMAT_MSF));
    EXPECT_EQ(status(MCI_STATUS_POSITION, 2), MCI_MAKE_MSF(0, 1, 0));
    EXPECT_EQ(status(MCI_STATUS_LENGTH), MCI_MAKE_MSF(0, 3, 0));
    ASSERT_EQ(set_format(MCI_FORMAT_MILLISECONDS), 0u);
    EXPECT_EQ(status(MCI_STATUS_POSITION, 2), 1000u);
    EXPECT_EQ(status(MCI_STATUS_LENGTH, 2), 2000u);

    EXPECT_EQ(set_format(3), MCIERROR(MCIERR_BAD_TIME_FORMAT));
    ASSERT_EQ(set_format(MCI_FORMAT_TMSF), 0u);
    struct Case {
        const char* what;
        MCIERROR got, expect;
    } cases[] = {
        {"play track 3", play(MCI_MAKE_TMSF(3, 0, 0, 0), 0, MCI_FROM), MCIERR_OUTOFRANGE},
        {"play past the end", play(MCI_MAKE_TMSF(2, 0, 3, 0), 0, MCI_FROM), MCIERR_OUTOFRANGE},
        {"play backwards", play(MCI_MAKE_TMSF(2, 0, 0, 0), MCI_MAKE_TMSF(1, 0, 0, 0)), MCIERR_OUTOFRANGE},
        {"frame 75", play(MCI_MAKE_TMSF(1, 0, 0, 75), 0, MCI_FROM), MCIERR_OUTOFRANGE},
        {"status without item", mciSendCommandA(id, MCI_STATUS, 0, DWORD_PTR(&cases)), MCIERR_MISSING_PARAMETER},
        {"status of no record", mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, 0), MCIERR_NULL_PARAMETER_BLOCK},
        {"seek nowhere", mciSendCommandA(id, MCI_SEEK, MCI_WAIT, 0), MCIERR_MISSING_PARAMETER},
        {"unknown device id", mciSendCommandA(id + 100, MCI_STOP, MCI_WAIT, 0), MCIERR_INVALID_DEVICE_ID},
        {"unknown command", mciSendCommandA(id, 0x0899, 0, 0), MCIERR_UNRECOGNIZED_COMMAND},
        {"not exclusive", open(MCI_OPEN_TYPE | MCI_WAIT), MCIERR_MUST_USE_SHAREABLE},
        {"other device", open(MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE, "waveaudio"), MCIERR_INVALID_DEVICE_NAME},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expect) << c.what;
    EXPECT_TRUE(cd_notifies().empty());
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_STOP));

    // A second shareable open gets its own id and its own time format.
    MCIDEVICEID first = id;
    ASSERT_EQ(open(), 0u);
    EXPECT_NE(id, first);
    EXPECT_EQ(status(MCI_STATUS_TIME_FORMAT), DWORD_PTR(MCI_FORMAT_MSF));
    EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0), 0u);
    EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0), MCIERROR(MCIERR_INVALID_DEVICE_ID));
    id = first;
}

TEST_F(CdAudioTest, AuxVolumeScalesTheCdLine) {
    two_tracks();
    ASSERT_EQ(auxGetNumDevs(), 1u);
    AUXCAPSA caps{};
    ASSERT_EQ(auxGetDevCapsA(0, &caps, sizeof caps), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_EQ(caps.wTechnology, AUXCAPS_CDAUDIO);
    EXPECT_TRUE(caps.dwSupport & AUXCAPS_LRVOLUME);
    EXPECT_EQ(auxGetDevCapsA(1, &caps, sizeof caps), MMRESULT(MMSYSERR_BADDEVICEID));
    DWORD v = 0;
    ASSERT_EQ(auxGetVolume(0, &v), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    ASSERT_EQ(auxSetVolume(0, 0x80004000u), MMRESULT(MMSYSERR_NOERROR));
    ASSERT_EQ(auxGetVolume(0, &v), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_EQ(v, 0x80004000u);
    EXPECT_EQ(auxGetVolume(0, nullptr), MMRESULT(MMSYSERR_INVALPARAM));

    ASSERT_EQ(open(), 0u);
    ASSERT_EQ(set_format(MCI_FORMAT_TMSF), 0u);
    ASSERT_EQ(play(MCI_MAKE_TMSF(2, 0, 0, 0), 0, MCI_FROM), 0u);
    VokSoundAdvanceUs(100000);
    ASSERT_EQ(auxSetVolume(0, 0xFFFF0000u), MMRESULT(MMSYSERR_NOERROR));  // right only, while playing
    VokSoundAdvanceUs(100000);
    EXPECT_NEAR(mix_at_us(50000).l, 3000 * 0x4000 / 65535.0, 1.0);
    EXPECT_NEAR(mix_at_us(50000).r, -3000 * 0x8000 / 65535.0, 1.0);
    EXPECT_EQ(mix_at_us(150000).l, 0);
    EXPECT_EQ(mix_at_us(150000).r, -3000);
}

TEST_F(CdAudioTest, LastCloseStopsTheDriveAndWaitingPlayEnds) {
    two_tracks();
    ASSERT_EQ(open(), 0u);
    ASSERT_EQ(set_format(MCI_FORMAT_TMSF), 0u);
    // A play that waits returns once it is over (the virtual clock moves while it waits).
    ASSERT_EQ(play(MCI_MAKE_TMSF(1, 0, 0, 60), MCI_MAKE_TMSF(2, 0, 0, 0), MCI_FROM | MCI_TO | MCI_WAIT), 0u);
    EXPECT_EQ(status(MCI_STATUS_MODE), DWORD_PTR(MCI_MODE_STOP));
    EXPECT_GE(VokSoundRecordedFrames(), size_t(44100 * 15 / 75));

    ASSERT_EQ(play(MCI_MAKE_TMSF(2, 0, 0, 0), 0, MCI_FROM | MCI_NOTIFY), 0u);
    ASSERT_EQ(mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0), 0u);
    id = 0;
    auto p = plays();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.back().playing, 0);
    auto n = cd_notifies();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].code, uint32_t(MCI_NOTIFY_ABORTED));
    // The disc is read again at the next open.
    fs::remove(dir / "track02.wav");
    ASSERT_EQ(open(), 0u);
    EXPECT_EQ(status(MCI_STATUS_NUMBER_OF_TRACKS), 1u);
}

// The notification reaches a real window's queue.
TEST_F(CdAudioTest, CompletionIsPostedToTheWindow) {
    two_tracks();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "CdNotifyTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND w = CreateWindowExA(0, "CdNotifyTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(w);
    ASSERT_EQ(open(), 0u);
    ASSERT_EQ(set_format(MCI_FORMAT_TMSF), 0u);
    MCI_PLAY_PARMS p{};
    p.dwCallback = DWORD_PTR(w);
    p.dwFrom = MCI_MAKE_TMSF(1, 0, 0, 0);
    p.dwTo = MCI_MAKE_TMSF(2, 0, 0, 0);
    ASSERT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO, DWORD_PTR(&p)), 0u);
    MSG m{};
    VokSoundAdvanceUs(500000);
    EXPECT_FALSE(PeekMessageA(&m, w, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE));
    VokSoundAdvanceUs(600000);
    ASSERT_TRUE(PeekMessageA(&m, w, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE));
    EXPECT_EQ(m.wParam, WPARAM(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(m.lParam, LPARAM(id));
    EXPECT_FALSE(PeekMessageA(&m, w, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE));
    DestroyWindow(w);
}

}  // namespace
