// The DirectShow kinds over the stand-in graph and stream: open failures with their debugger lines,
// movie commands and the end of a movie, the graph that only keeps its state, and the stream that
// blits its frames onto the caller's surface. Headless on the virtual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "clips.h"
#include "dshow.h"
#include "dsplayer.h"
#include "media_test.h"
#include "vokplat/debug.h"
#include "win32/ddraw.h"

using mediatest::Notice;
using mediatest::NoticeWindow;

namespace {

std::string debug_output()
{
    std::string text(PlatDebugOutput(nullptr, 0) + 1, '\0');
    PlatDebugOutput(text.data(), text.size());
    text.resize(std::strlen(text.c_str()));
    return text;
}

// The notices without the frame-by-frame ones.
std::vector<Notice> commands_of(const std::vector<Notice> &seen)
{
    std::vector<Notice> out;
    for (const Notice &n : seen)
        if (n.message <= MEDIAMSG_STATE || n.message == MEDIAMSG_LASTFRAME)
            out.push_back(n);
    return out;
}

// The frame a numbered clip shows in a pixel: its red level is frame * 40.
int frame_of(uint32_t rgb)
{
    return int((((rgb >> 16) & 0xFF) + 20) / 40);
}

class DsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ShowWindow(win.hwnd(), SW_SHOW);
        PlatDebugOutputClear();
    }
    void TearDown() override
    {
        if (movie != MEDIA_BAD_HANDLE)
            CloseMedia(movie);
    }
    bool wait_for(UINT message, int times = 1)
    {
        return mediatest::pump_until([&] {
            for (const Notice &n : win.take())
                seen.push_back(n);
            return std::count_if(seen.begin(), seen.end(), [&](const Notice &n) { return n.message == message; }) >=
                   times;
        });
    }
    std::vector<Notice> take()
    {
        mediatest::pump();
        for (const Notice &n : win.take())
            seen.push_back(n);
        std::vector<Notice> out = commands_of(seen);
        seen.clear();
        return out;
    }
    // The parent's pixel (children composed) as 0xRRGGBB.
    uint32_t pixel(int x, int y)
    {
        int w = 0, h = 0;
        VokCaptureWindow(win.hwnd(), nullptr, 0, &w, &h);
        std::vector<uint32_t> px(size_t(w) * h);
        VokCaptureWindow(win.hwnd(), px.data(), int(px.size()), &w, &h);
        return px[size_t(y) * w + x] & 0xFFFFFF;
    }
    int32_t frame()
    {
        int32_t f = -1;
        MediaGet(movie, MEDIAPARAM_FRAME, &f);
        return f;
    }

    NoticeWindow win;
    MediaHandle movie = MEDIA_BAD_HANDLE;
    std::vector<Notice> seen;
};

TEST_F(DsTest, OpenFailuresWriteTheStepThatFailed)
{
    const std::string clip = mzitest::save(mzitest::numbered(3), "clip.dat");
    const std::string text = mzitest::save_bytes(std::vector<uint8_t>(300, 'x'), "notmovie.dat");
    const std::string missing = ::testing::TempDir() + "missing.dat";
    // A movie cut short inside its frames, and a file shorter than any header.
    std::ifstream whole(clip, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 5u);
    bytes.erase(bytes.end() - 5, bytes.end());
    const std::string cut = mzitest::save_bytes(bytes, "cut.dat");
    const std::string tiny = mzitest::save_bytes({0x01, 0x00}, "tiny.dat");
    const HWND parent = win.hwnd(), bogus = reinterpret_cast<HWND>(intptr_t(0x7777));
    struct Case {
        int32_t type;
        std::string path;
        HWND parent;
        const char *line;  // null: no debugger line at all
    } cases[] = {
        {MEDIA_DSHOW_WINDOW, clip, bogus, nullptr},
        {MEDIA_DSHOW_WINDOW, clip, nullptr, nullptr},
        {MEDIA_DSHOW_FULLSCREEN, clip, bogus, nullptr},
        {MEDIA_DSHOW_WINDOW, text, parent,
         "Error: No combination of intermediate filters could be found to make the connection. ( 80040218 ) in 117\n"},
        {MEDIA_DSHOW_WINDOW, missing, parent, "Error: The system cannot find the file specified. ( 80070002 ) in 117\n"},
        {MEDIA_DSHOW_FILTER, text, parent, "( 80040218 ) in 79\n"},
        {MEDIA_DSHOW_STREAM, text, parent, "( 80040218 ) in 455\n"},
        {MEDIA_DSHOW_WINDOW, cut, parent, "( 80040218 ) in 117\n"},
        {MEDIA_DSHOW_STREAM, tiny, parent, "( 80040218 ) in 455\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path + " type " + std::to_string(c.type));
        PlatDebugOutputClear();
        EXPECT_EQ(MediaOpen(c.type, c.path.c_str(), MEDIAPARAM_PARENT, c.parent), MEDIA_BAD_HANDLE);
        const std::string out = debug_output();
        if (c.line == nullptr)
            EXPECT_EQ(out.find("Error:"), std::string::npos) << out;
        else
            EXPECT_NE(out.find(c.line), std::string::npos) << out;
    }
    EXPECT_TRUE(win.take().empty());

    // Without the graph component every movie fails at its first step.
    PlatRegisterComClass(media::ds::CLSID_FilterGraph, nullptr);
    PlatDebugOutputClear();
    EXPECT_EQ(MediaOpen(MEDIA_DSHOW_WINDOW, clip.c_str(), MEDIAPARAM_PARENT, parent), MEDIA_BAD_HANDLE);
    media::ds::register_classes();
    EXPECT_NE(debug_output().find("Error: Class not registered. ( 80040154 ) in 107\n"), std::string::npos);
}

TEST_F(DsTest, MovieOfAnyNameEndsStoppedOnItsLastFrameAndPlaysAgain)
{
    // Recognised by its header, not its name.
    const std::string path = mzitest::save(mzitest::numbered(4, 25), "kp.dat");
    movie = MediaOpen(MEDIA_DSHOW_WINDOW, path.c_str(), MEDIAPARAM_PARENT, win.hwnd());
    ASSERT_NE(movie, MEDIA_BAD_HANDLE) << debug_output();
    int32_t frames = 0, source[4] = {}, rect[4] = {};
    MediaGet(movie, MEDIAPARAM_FRAMES, &frames, MEDIAPARAM_SOURCERECT, source, MEDIAPARAM_RECT, rect);
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(std::vector<int32_t>(source, source + 4), (std::vector<int32_t>{0, 0, 4, 2}));
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 4, 2}));

    for (int run = 0; run < 2; run++) {
        SCOPED_TRACE(run);
        ASSERT_EQ(PlayMedia(movie), 1);
        ASSERT_TRUE(wait_for(MEDIAMSG_LASTFRAME));
        const std::vector<Notice> expected = {{MEDIAMSG_STARTED, WPARAM(movie), 0},
                                              {MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_PLAYING},
                                              {MEDIAMSG_STOPPED, WPARAM(movie), 3},
                                              {MEDIAMSG_LASTFRAME, WPARAM(movie), 3}};
        EXPECT_EQ(take(), expected);
        EXPECT_EQ(GetMediaState(movie), MEDIA_STATE_STOPPED);
        // The picture stays on the last frame.
        EXPECT_EQ(frame_of(pixel(1, 1)), 3);
    }
}

TEST_F(DsTest, MovieCommandsPauseContinueAndStop)
{
    const std::string path = mzitest::save(mzitest::numbered(6, 10, 5, 8, 4), "long.dat");
    movie = MediaOpen(MEDIA_DSHOW_WINDOW, path.c_str(), MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_FRAME, 2);
    ASSERT_NE(movie, MEDIA_BAD_HANDLE);
    EXPECT_EQ(StopMedia(movie), 1);  // from stopped: only the state
    EXPECT_EQ(take(), (std::vector<Notice>{{MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_STOPPED}}));

    // Play starts at the frame the list gave; a pause holds the graph where it is.
    PlayMedia(movie);
    ASSERT_TRUE(mediatest::pump_until([&] { return frame() >= 3; }));
    PauseMedia(movie);
    const int32_t held = frame();
    std::vector<Notice> got = take();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], (Notice{MEDIAMSG_STARTED, WPARAM(movie), 2}));
    EXPECT_EQ(got[2].message, UINT(MEDIAMSG_PAUSED));
    EXPECT_EQ(got[3], (Notice{MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_PAUSED}));
    Sleep(500);
    mediatest::pump();
    EXPECT_EQ(frame(), held);
    EXPECT_EQ(frame_of(pixel(1, 1)), held);

    // Continue plays on from there: the play's notice, then its own, then the state.
    ContinueMedia(movie);
    EXPECT_EQ(take(), (std::vector<Notice>{{MEDIAMSG_STARTED, WPARAM(movie), held},
                                           {MEDIAMSG_CONTINUED, WPARAM(movie), held},
                                           {MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_PLAYING}}));
    ASSERT_TRUE(mediatest::pump_until([&] { return frame() > held; }));
    StopMedia(movie);
    got = take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, UINT(MEDIAMSG_STOPPED));
    EXPECT_GT(got[0].lParam, held);

    // Seeking by the two halves of a 64-bit position.
    MediaSet(movie, MEDIAPARAM_POSLOW, 4, MEDIAPARAM_POSHIGH, 0);
    int32_t high = -1, low = -1;
    MediaGet(movie, MEDIAPARAM_POSHIGH, &high, MEDIAPARAM_POSLOW, &low);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(low, 4);
    EXPECT_EQ(frame(), 4);
}

TEST_F(DsTest, FilterGraphCommandsChangeOnlyTheState)
{
    const std::string path = mzitest::save(mzitest::numbered(3), "filter.dat");
    movie = MediaOpen(MEDIA_DSHOW_FILTER, path.c_str(), MEDIAPARAM_PARENT, win.hwnd());
    ASSERT_NE(movie, MEDIA_BAD_HANDLE) << debug_output();
    const struct {
        int32_t (*command)(MediaHandle);
        int32_t state;
    } steps[] = {{PlayMedia, MEDIA_STATE_PLAYING},
                 {PauseMedia, MEDIA_STATE_PAUSED},
                 {ContinueMedia, MEDIA_STATE_PLAYING},
                 {StopMedia, MEDIA_STATE_STOPPED}};
    for (const auto &s : steps) {
        EXPECT_EQ(s.command(movie), 1);
        EXPECT_EQ(take(), (std::vector<Notice>{{MEDIAMSG_STATE, WPARAM(movie), s.state}}));
        EXPECT_EQ(GetMediaState(movie), s.state);
    }
}

// A 16-bit target surface of the caller's, read back through Lock.
class Target {
public:
    Target(HWND window, DWORD w, DWORD h)
    {
        EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = w;
        desc.dwHeight = h;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
    }
    ~Target()
    {
        if (surface != nullptr)
            surface->Release();
        if (dd != nullptr)
            dd->Release();
    }
    uint32_t pixel(int x, int y)
    {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
            return 0xDEADBEEF;
        uint16_t v;
        std::memcpy(&v, static_cast<uint8_t *>(desc.lpSurface) + y * desc.lPitch + x * 2, 2);
        surface->Unlock(desc.lpSurface);
        return uint32_t(v >> 11) << 19 | uint32_t((v >> 5) & 63) << 10 | uint32_t(v & 31) << 3;
    }

    IDirectDraw *dd = nullptr;
    IDirectDrawSurface *surface = nullptr;
};

TEST_F(DsTest, StreamWithoutAudioHardwareBlitsItsFramesOntoTheTarget)
{
    const std::string path = mzitest::save(mzitest::numbered(4, 10), "stream.dat");
    Target target(win.hwnd(), 8, 4);
    setenv("VOK_AUDIO_DEVICE", "none", 1);
    movie = MediaOpen(MEDIA_DSHOW_STREAM, path.c_str(), MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_DIRECTDRAW,
                      target.dd, MEDIAPARAM_SURFACE, target.surface, MEDIAPARAM_STREAMWORD2, 77);
    unsetenv("VOK_AUDIO_DEVICE");
    ASSERT_NE(movie, MEDIA_BAD_HANDLE) << debug_output();
    EXPECT_EQ(debug_output().find("Error:"), std::string::npos);
    int32_t rect[4] = {};
    intptr_t surface = 0, word = 0;
    MediaGet(movie, MEDIAPARAM_RECT, rect, MEDIAPARAM_SURFACE, &surface, MEDIAPARAM_STREAMWORD2, &word);
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 4, 2}));  // the sample's
    EXPECT_EQ(surface, reinterpret_cast<intptr_t>(target.surface));
    EXPECT_EQ(word, 77);

    // Moved to 3, 1 of the target; nothing is drawn before Play.
    MediaSet(movie, MEDIAPARAM_LEFT, 3, MEDIAPARAM_TOP, 1);
    Sleep(300);
    EXPECT_EQ(target.pixel(3, 1), 0u);
    PlayMedia(movie);
    EXPECT_EQ(take(), (std::vector<Notice>{{MEDIAMSG_STARTED, WPARAM(movie), 0},
                                           {MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_PLAYING}}));
    // Every frame reaches the target in turn, inside the destination only.
    int last = -1;
    ASSERT_TRUE(mediatest::pump_until([&] {
        const uint32_t c = target.pixel(6, 2);
        if (c != 0)
            last = std::max(last, frame_of(c));
        return last == 3;
    }));
    EXPECT_EQ(target.pixel(2, 1), 0u);
    EXPECT_EQ(target.pixel(3, 0), 0u);
    EXPECT_EQ((target.pixel(3, 1) >> 8) & 0xFF, 16u);  // the clip's green level

    StopMedia(movie);
    EXPECT_EQ(take(), (std::vector<Notice>{{MEDIAMSG_STOPPED, WPARAM(movie), 0},
                                           {MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_STOPPED}}));
    // Play from stopped starts the stream at its beginning again: the target, left at the last frame,
    // shows an earlier one. Each frame stays only a moment of real time, so any earlier one will do.
    ASSERT_EQ(frame_of(target.pixel(3, 1)), 3);
    PlayMedia(movie);
    ASSERT_TRUE(mediatest::pump_until([&] { return frame_of(target.pixel(3, 1)) < 3; }));
    ASSERT_EQ(CloseMedia(movie), 1);
    movie = MEDIA_BAD_HANDLE;
}

TEST_F(DsTest, StreamTargetSwappedAndReleasedWhileABlitWaitsForIt)
{
    const std::string path = mzitest::save(mzitest::numbered(4, 10), "swap.dat");
    Target first(win.hwnd(), 4, 2), second(win.hwnd(), 4, 2);
    movie = MediaOpen(MEDIA_DSHOW_STREAM, path.c_str(), MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_DIRECTDRAW,
                      first.dd, MEDIAPARAM_SURFACE, first.surface);
    ASSERT_NE(movie, MEDIA_BAD_HANDLE) << debug_output();
    // The host holds the first target locked, so the blit thread waits for it.
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(first.surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    PlayMedia(movie);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // real time for the thread to get there
    // It moves the stream to the second target and lets go of the first at once.
    MediaSet(movie, MEDIAPARAM_SURFACE, second.surface);
    first.surface->Unlock(desc.lpSurface);
    first.surface->Release();
    first.surface = nullptr;
    ASSERT_TRUE(mediatest::pump_until([&] { return second.pixel(0, 0) != 0; }));
    ASSERT_EQ(CloseMedia(movie), 1);
    movie = MEDIA_BAD_HANDLE;
}

TEST_F(DsTest, MoviesClosedAtAnyPointAndOpenedAgain)
{
    const std::string path = mzitest::save(mzitest::numbered(3, 25), "cycle.dat");
    enum How { FromEndNotice, WhilePlaying, WhilePaused, StreamWhilePaused };
    for (How how : {FromEndNotice, WhilePlaying, WhilePaused, StreamWhilePaused, FromEndNotice}) {
        SCOPED_TRACE(int(how));
        Target target(win.hwnd(), 4, 2);
        movie = how == StreamWhilePaused
                    ? MediaOpen(MEDIA_DSHOW_STREAM, path.c_str(), MEDIAPARAM_PARENT, win.hwnd(),
                                MEDIAPARAM_DIRECTDRAW, target.dd, MEDIAPARAM_SURFACE, target.surface)
                    : MediaOpen(MEDIA_DSHOW_WINDOW, path.c_str(), MEDIAPARAM_PARENT, win.hwnd());
        ASSERT_NE(movie, MEDIA_BAD_HANDLE) << debug_output();
        const MediaHandle h = movie;
        bool closed = false;
        if (how == FromEndNotice)
            win.hook = [&](const Notice &n) {
                if (n.message == MEDIAMSG_STOPPED && !closed)
                    closed = CloseMedia(h) == 1;
            };
        PlayMedia(movie);
        if (how == FromEndNotice) {
            ASSERT_TRUE(mediatest::pump_until([&] { return closed; }));
        } else {
            ASSERT_TRUE(mediatest::pump_until([&] { return how == StreamWhilePaused ? target.pixel(0, 0) != 0 : frame() >= 1; }));
            if (how != WhilePlaying)
                PauseMedia(movie);
            EXPECT_EQ(CloseMedia(movie), 1);
        }
        win.hook = nullptr;
        movie = MEDIA_BAD_HANDLE;
        EXPECT_EQ(GetMediaState(h), MEDIA_STATE_UNKNOWN);
        Sleep(200);
        mediatest::pump();
        // Nothing arrives after the close, not even the end of the movie.
        for (const Notice &n : win.take())
            EXPECT_NE(n.message, UINT(MEDIAMSG_LASTFRAME)) << n;
    }
}

TEST_F(DsTest, FullScreenMovieRunsAndStopsTheGraphOnly)
{
    const std::string path = mzitest::save(mzitest::numbered(3, 25), "full.dat");
    movie = MediaOpen(MEDIA_DSHOW_FULLSCREEN, path.c_str(), MEDIAPARAM_PARENT, win.hwnd());
    ASSERT_NE(movie, MEDIA_BAD_HANDLE) << debug_output();
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_LASTFRAME));
    EXPECT_EQ(take(), (std::vector<Notice>{{MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_PLAYING},
                                           {MEDIAMSG_STOPPED, WPARAM(movie), 2},
                                           {MEDIAMSG_LASTFRAME, WPARAM(movie), 2}}));
}

}  // namespace
