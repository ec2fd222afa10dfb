// Media from more than one thread and from inside its own notices: commands in the open's list for
// every kind, a movie opened and played on a thread of its own, parameter lists set again from a
// notice handler, the player thread's priority, and two threads opening, playing and closing handles
// at once (run under ThreadSanitizer by scripts/tsan.sh).
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "clips.h"
#include "media_test.h"
#include "mziplayer.h"
#include "vokplat/sound.h"
#include "win32/ddraw.h"

using mediatest::Notice;
using mediatest::NoticeWindow;

namespace {

int count(const std::vector<Notice> &seen, UINT message)
{
    return int(std::count_if(seen.begin(), seen.end(), [&](const Notice &n) { return n.message == message; }));
}

// A caller's DirectDraw and a 16-bit target surface for the stream kind.
struct Target {
    explicit Target(HWND window)
    {
        EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = 8;
        desc.dwHeight = 4;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
    }
    ~Target()
    {
        surface->Release();
        dd->Release();
    }
    IDirectDraw *dd = nullptr;
    IDirectDrawSurface *surface = nullptr;
};

// A one-second CD track of 8-bit mono samples in the drive folder the platform reads.
class CdFolder {
public:
    CdFolder() : dir_(std::filesystem::temp_directory_path() / ("vok_media_threads_" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(dir_);
        std::ofstream f(dir_ / "track01.wav", std::ios::binary);
        auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
        auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
        f.write("RIFF", 4);
        u32(36 + 8000);
        f.write("WAVEfmt ", 8);
        u32(16);
        u16(1);
        u16(1);
        u32(8000);
        u32(8000);
        u16(1);
        u16(8);
        f.write("data", 4);
        u32(8000);
        f << std::string(8000, char(0xC0));
        setenv("VOK_CDAUDIO_DIR", dir_.c_str(), 1);
    }
    ~CdFolder()
    {
        unsetenv("VOK_CDAUDIO_DIR");
        std::filesystem::remove_all(dir_);
    }

private:
    std::filesystem::path dir_;
};

class Threads : public ::testing::Test {
protected:
    void SetUp() override { ShowWindow(win.hwnd(), SW_SHOW); }
    bool wait_for(UINT message, int times = 1)
    {
        return mediatest::pump_until([&] {
            for (const Notice &n : win.take())
                seen.push_back(n);
            return count(seen, message) >= times;
        });
    }

    NoticeWindow win;
    std::vector<Notice> seen;
};

// A play command in the open's list runs once the object is whole: every kind opens, reports
// playing, and its notices carry the handle the open answered.
TEST_F(Threads, PlayInTheOpenListForEveryKind)
{
    const std::string clip = mzitest::save(mzitest::numbered(3, 25), "open28.dat");
    Target target(win.hwnd());
    CdFolder cd;
    std::vector<uint16_t> pixels(6, 0xF800);
    struct Case {
        int32_t type;
        intptr_t source;
        UINT plays;  // a notice that shows it really plays (0: the state only)
    } cases[] = {
        {MEDIA_DSHOW_FULLSCREEN, intptr_t(clip.c_str()), MEDIAMSG_LASTFRAME},
        {MEDIA_DSHOW_WINDOW, intptr_t(clip.c_str()), MEDIAMSG_LASTFRAME},
        {MEDIA_DSHOW_FILTER, intptr_t(clip.c_str()), 0},
        {MEDIA_DSHOW_STREAM, intptr_t(clip.c_str()), MEDIAMSG_STARTED},
        {MEDIA_MZI, intptr_t(clip.c_str()), MEDIAMSG_LASTFRAME},
        {MEDIA_MZI_FRAME16, intptr_t(pixels.data()), MEDIAMSG_LASTFRAME},  // one frame: it ends
        {MEDIA_MZI_FRAME24, 0, MEDIAMSG_LASTFRAME},
        {MEDIA_CDAUDIO, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        seen.clear();
        setenv("VOK_AUDIO_DEVICE", "none", 1);  // the stream kind without sound hardware
        const MediaHandle h =
            MediaOpen(c.type, c.source, MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_NOTIFY, win.hwnd(),
                      MEDIAPARAM_DIRECTDRAW, target.dd, MEDIAPARAM_SURFACE, target.surface, MEDIAPARAM_WIDTH, 3,
                      MEDIAPARAM_HEIGHT, 2, MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY);
        unsetenv("VOK_AUDIO_DEVICE");
        ASSERT_NE(h, MEDIA_BAD_HANDLE);
        ASSERT_TRUE(wait_for(MEDIAMSG_STATE));
        if (c.plays != 0) {
            EXPECT_TRUE(wait_for(c.plays)) << std::hex << c.plays;
        }
        for (const Notice &n : seen) {
            EXPECT_EQ(n.wParam, WPARAM(h)) << n;
        }
        // One state notice: playing, or for a movie that may already have ended, stopped.
        const bool may_end = c.plays == MEDIAMSG_LASTFRAME;
        EXPECT_EQ(count(seen, MEDIAMSG_STATE), 1);
        for (const Notice &n : seen) {
            if (n.message == MEDIAMSG_STATE && !(may_end && n.lParam == MEDIA_STATE_STOPPED)) {
                EXPECT_EQ(n.lParam, MEDIA_STATE_PLAYING);
            }
        }
        if (!may_end) {
            EXPECT_EQ(GetMediaState(h), MEDIA_STATE_PLAYING);
        }
        EXPECT_EQ(CloseMedia(h), 1);
    }
    // The sound kind never becomes ready: its command never runs.
    seen.clear();
    EXPECT_EQ(MediaOpen(MEDIA_SOUND, 0, MEDIAPARAM_NOTIFY, win.hwnd(), MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY),
              MEDIA_BAD_HANDLE);
    mediatest::pump();
    EXPECT_TRUE(win.take().empty());
}

// A movie with a sound track opened and played by a thread that is not the one that loaded the
// library: COM is started for it, so its track is made and heard.
TEST_F(Threads, MovieOpenedAndPlayedOnASecondThreadIsHeard)
{
    mziw::Writer w = mzitest::numbered(6, 25);
    mziw::Track track;
    track.data = mziw::tone(440, 400, track.rate, 1);
    track.start_frame = 1;
    w.add_track(track);
    const std::string path = mzitest::save(w, "thread.mzi");
    VokSoundRecorderReset();
    MediaHandle h = MEDIA_BAD_HANDLE;
    uint32_t serial = 0;
    bool audible = false;
    std::thread([&] {
        h = MediaOpen(MEDIA_MZI, path.c_str(), MEDIAPARAM_PARENT, win.hwnd());
        if (h == MEDIA_BAD_HANDLE)
            return;
        const auto *player = dynamic_cast<media::MediaMziPlayer *>(media::find(h));
        audible = player->tracks().size() == 1 && player->tracks()[0]->audible();
        serial = audible ? VokSoundBufferSerial(player->tracks()[0]->buffer()) : 0;
        PlayMedia(h);
    }).join();
    ASSERT_NE(h, MEDIA_BAD_HANDLE);
    EXPECT_TRUE(audible);
    ASSERT_TRUE(wait_for(MEDIAMSG_STOPPED));
    VokSoundSync();
    std::vector<VokSoundPlay> plays(16);
    plays.resize(VokSoundGetPlays(plays.data(), plays.size()));
    EXPECT_EQ(std::count_if(plays.begin(), plays.end(), [&](const VokSoundPlay &p) { return p.buffer == serial; }), 1);
    EXPECT_EQ(CloseMedia(h), 1);
}

// A notice handler that sets parameters of the stream that sent it, from inside the list whose
// command sent the notice.
TEST_F(Threads, StreamParametersSetAgainFromItsOwnNotice)
{
    const std::string clip = mzitest::save(mzitest::numbered(3, 25), "reenter.dat");
    Target target(win.hwnd());
    setenv("VOK_AUDIO_DEVICE", "none", 1);
    const MediaHandle h = MediaOpen(MEDIA_DSHOW_STREAM, clip.c_str(), MEDIAPARAM_PARENT, win.hwnd(),
                                    MEDIAPARAM_DIRECTDRAW, target.dd, MEDIAPARAM_SURFACE, target.surface);
    unsetenv("VOK_AUDIO_DEVICE");
    ASSERT_NE(h, MEDIA_BAD_HANDLE);
    int handled = 0;
    win.hook = [&](const Notice &n) {
        if (n.message == MEDIAMSG_STARTED || n.message == MEDIAMSG_STOPPED)
            handled += MediaSet(h, MEDIAPARAM_LEFT, 2, MEDIAPARAM_USER1, 5);
    };
    EXPECT_EQ(MediaSet(h, MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY), 1);
    EXPECT_EQ(MediaSet(h, MEDIAPARAM_COMMAND, MEDIA_CMD_STOP), 1);
    mediatest::pump();
    EXPECT_EQ(handled, 2);
    int32_t left = 0;
    intptr_t user = 0;
    MediaGet(h, MEDIAPARAM_LEFT, &left, MEDIAPARAM_USER1, &user);
    EXPECT_EQ(left, 2);
    EXPECT_EQ(user, 5);
    // And a handler that closes it from there.
    win.hook = [&](const Notice &n) {
        if (n.message == MEDIAMSG_STARTED)
            CloseMedia(h);
    };
    EXPECT_EQ(MediaSet(h, MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY), 1);
    win.hook = nullptr;
    EXPECT_EQ(GetMediaState(h), MEDIA_STATE_UNKNOWN);
}

// Id 6 sets the player thread's priority and reads the thread's own: a value the platform refuses
// leaves it as it was.
TEST_F(Threads, PriorityIsThePlayerThreads)
{
    const std::string clip = mzitest::save(mzitest::numbered(3, 25), "priority.dat");
    const MediaHandle h =
        MediaOpen(MEDIA_MZI, clip.c_str(), MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_PRIORITY, THREAD_PRIORITY_LOWEST);
    ASSERT_NE(h, MEDIA_BAD_HANDLE);
    int32_t priority = 99;
    MediaGet(h, MEDIAPARAM_PRIORITY, &priority);
    EXPECT_EQ(priority, THREAD_PRIORITY_LOWEST);
    MediaSet(h, MEDIAPARAM_PRIORITY, THREAD_PRIORITY_HIGHEST);
    MediaGet(h, MEDIAPARAM_PRIORITY, &priority);
    EXPECT_EQ(priority, THREAD_PRIORITY_HIGHEST);
    MediaSet(h, MEDIAPARAM_PRIORITY, 7);  // no priority
    MediaGet(h, MEDIAPARAM_PRIORITY, &priority);
    EXPECT_EQ(priority, THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(CloseMedia(h), 1);
}

// Two threads (a game's preview producer and its main thread) open, play, read and close handles
// at the same time.
TEST_F(Threads, TwoThreadsOpenPlayAndCloseHandles)
{
    const std::string clip = mzitest::save(mzitest::numbered(3, 50), "both.dat");
    std::atomic<int> opened{0};
    auto work = [&] {
        for (int i = 0; i < 20; i++) {
            const MediaHandle h = MediaOpen(MEDIA_MZI, clip.c_str(), MEDIAPARAM_PARENT, win.hwnd());
            if (h == MEDIA_BAD_HANDLE)
                continue;
            opened++;
            PlayMedia(h);
            MediaSet(h, MEDIAPARAM_USER1, i);
            int32_t frame = 0;
            MediaGet(h, MEDIAPARAM_FRAME, &frame);
            GetMediaState(h);
            PauseMedia(h);
            CloseMedia(h);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    mediatest::pump();
    EXPECT_EQ(opened, 40);
}

// A thread that moves a movie window the main thread owns waits for the main thread to take the
// move; the main thread meanwhile calling in must still take it instead of waiting for the table.
TEST_F(Threads, MovingAnotherThreadsWindowWhileItCallsIn)
{
    const std::string clip = mzitest::save(mzitest::numbered(3, 50), "cross.dat");
    const MediaHandle h = MediaOpen(MEDIA_MZI, clip.c_str(), MEDIAPARAM_PARENT, win.hwnd());
    ASSERT_NE(h, MEDIA_BAD_HANDLE);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !done; i++)
            usleep(50000);
        if (!done) {
            fprintf(stderr, "the two threads locked up\n");
            _exit(3);
        }
    });
    std::thread mover([&] {
        for (int i = 0; i < 50; i++)
            MediaSet(h, MEDIAPARAM_LEFT, i % 2 != 0 ? 10 : 20);
        done = true;
    });
    while (!done)
        GetMediaState(h);
    mover.join();
    watchdog.join();
    int32_t left = 0;
    MediaGet(h, MEDIAPARAM_LEFT, &left);
    EXPECT_EQ(left, 10);  // the last move
    EXPECT_EQ(CloseMedia(h), 1);
}

// The main thread's movie window takes its messages while another thread calls on the same handle.
TEST_F(Threads, MovieWindowMessagesWhileAnotherThreadCallsIn)
{
    const std::string clip = mzitest::save(mzitest::numbered(3, 50), "window.dat");
    const MediaHandle h = MediaOpen(MEDIA_MZI, clip.c_str(), MEDIAPARAM_PARENT, win.hwnd());
    ASSERT_NE(h, MEDIA_BAD_HANDLE);
    const HWND movie = dynamic_cast<media::MediaMziPlayer *>(media::find(h))->window();
    ASSERT_NE(movie, nullptr);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 300; i++) {
            int32_t frame = 0;
            MediaGet(h, MEDIAPARAM_FRAME, &frame);
        }
        done = true;
    });
    while (!done)
        SendMessageA(movie, WM_ERASEBKGND, 0, 0);
    reader.join();
    EXPECT_EQ(CloseMedia(h), 1);
}

}  // namespace
