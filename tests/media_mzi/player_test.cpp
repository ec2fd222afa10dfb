// The .mzi player through the library's calls: notices, states, drawn pixels and sound, headless on
// the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "brondel/brpixmap.h"
#include "clips.h"
#include "media_test.h"
#include "mziplayer.h"
#include "mzipixels.h"
#include "vokplat/clock.h"
#include "vokplat/sound.h"

using mediatest::Notice;
using mediatest::NoticeWindow;

namespace {

// Pumps the test thread's messages until `done` holds or five seconds of real time have passed.
bool pump_until(const std::function<bool()> &done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        mediatest::pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Pumps for `ms` milliseconds of real time.
void pump_for(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    pump_until([&] { return std::chrono::steady_clock::now() >= end; });
}

media::MediaMziPlayer *player(MediaHandle h)
{
    return dynamic_cast<media::MediaMziPlayer *>(media::find(h));
}

int count(const std::vector<Notice> &seen, UINT message)
{
    return int(std::count_if(seen.begin(), seen.end(), [&](const Notice &n) { return n.message == message; }));
}

std::vector<LPARAM> values(const std::vector<Notice> &seen, UINT message)
{
    std::vector<LPARAM> out;
    for (const Notice &n : seen)
        if (n.message == message)
            out.push_back(n.lParam);
    return out;
}

// The notices of the end of a run, from the first STOPPED or PAUSED on, without frame notices.
std::vector<Notice> ending(const std::vector<Notice> &seen)
{
    std::vector<Notice> out;
    for (const Notice &n : seen)
        if (n.message == MEDIAMSG_STOPPED || n.message == MEDIAMSG_PAUSED || n.message == MEDIAMSG_STATE)
            out.push_back(n);
    return out;
}

// A test window that collects everything; the movie is its child.
class MziPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { ShowWindow(win.hwnd(), SW_SHOW); }
    void TearDown() override
    {
        if (movie != MEDIA_BAD_HANDLE)
            CloseMedia(movie);
    }
    template <class... Words>
    MediaHandle open(const std::string &path, Words... words)
    {
        movie = MediaOpen(MEDIA_MZI, path.c_str(), MEDIAPARAM_PARENT, win.hwnd(), words...);
        return movie;
    }
    // Collects notices until `done` holds for them.
    bool collect_until(const std::function<bool(const std::vector<Notice> &)> &done)
    {
        return pump_until([&] {
            for (const Notice &n : win.take())
                seen.push_back(n);
            return done(seen);
        });
    }
    bool wait_for(UINT message, int times = 1)
    {
        return collect_until([&](const std::vector<Notice> &s) { return count(s, message) >= times; });
    }
    // The movie window's pixel at (x, y) as 0xRRGGBB.
    uint32_t pixel(int x, int y)
    {
        HWND w = player(movie)->window();
        int cw = 0, ch = 0;
        VokCaptureWindow(w, nullptr, 0, &cw, &ch);
        std::vector<uint32_t> px(size_t(cw) * ch);
        VokCaptureWindow(w, px.data(), int(px.size()), &cw, &ch);
        return x < cw && y < ch ? px[size_t(y) * cw + x] & 0xFFFFFF : 0xDEADBEEF;
    }

    NoticeWindow win;
    MediaHandle movie = MEDIA_BAD_HANDLE;
    std::vector<Notice> seen;
};

TEST_F(MziPlayerTest, MalformedOrMissingFilesAndBadFramesDoNotOpen)
{
    std::vector<uint8_t> zero_fps = mzitest::numbered(2).bytes();
    zero_fps[6] = zero_fps[7] = 0;
    std::vector<uint8_t> cut = mzitest::numbered(2).bytes();
    cut.resize(cut.size() - 3);
    EXPECT_EQ(open(mzitest::save_bytes(zero_fps, "zero_fps.mzi")), MEDIA_BAD_HANDLE);
    EXPECT_EQ(open(mzitest::save_bytes(cut, "cut.mzi")), MEDIA_BAD_HANDLE);
    EXPECT_EQ(open(::testing::TempDir() + "no_such.mzi"), MEDIA_BAD_HANDLE);
    // Without a parent the movie has no window to live in.
    EXPECT_EQ(MediaOpen(MEDIA_MZI, mzitest::save(mzitest::numbered(2), "ok.mzi").c_str()), MEDIA_BAD_HANDLE);
    // Caller frames need a size.
    EXPECT_EQ(MediaOpen(MEDIA_MZI_FRAME24, 0, MEDIAPARAM_PARENT, win.hwnd()), MEDIA_BAD_HANDLE);
    // The sound kind never becomes ready (and leaks nothing on the way).
    EXPECT_EQ(MediaOpen(MEDIA_SOUND, 0, MEDIAPARAM_PARENT, win.hwnd()), MEDIA_BAD_HANDLE);
    movie = MEDIA_BAD_HANDLE;
}

TEST_F(MziPlayerTest, OpenDescribesTheMovie)
{
    mziw::Options o;
    o.fps = 12;
    o.per_frame_flag = 1;
    mziw::Writer w(o);
    w.add_frame(5, 4, 2, mzitest::solid(5, 4, 2, 8, 8, 8), 3, 1);
    w.add_frame(5, 2, 2, mzitest::solid(5, 2, 2, 8, 8, 8), 0, 6);
    ASSERT_NE(open(mzitest::save(w, "describe.mzi"), MEDIAPARAM_LEFT, 30, MEDIAPARAM_TOP, 40), MEDIA_BAD_HANDLE);
    int32_t source[4], frames = 0, state = 0;
    uint16_t fps = 0;
    MediaGet(movie, MEDIAPARAM_SOURCERECT, source, MEDIAPARAM_FRAMES, &frames, MEDIAPARAM_FPS, &fps,
             MEDIAPARAM_COMMAND, &state);
    EXPECT_EQ((std::vector<int32_t>(source, source + 4)), (std::vector<int32_t>{1, 0, 8, 5}));
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(fps, 12);
    EXPECT_EQ(state, MEDIA_STATE_STOPPED);
    RECT r;
    GetWindowRect(player(movie)->window(), &r);
    MapWindowPoints(nullptr, win.hwnd(), reinterpret_cast<POINT *>(&r), 2);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<LONG>{30, 40, 7, 5}));
    EXPECT_FALSE(IsWindowVisible(player(movie)->window()));
}

// Each stored format drawn: 8-bit as grey, 5-5-5, 5-6-5 (not read as 5-5-5), 32-bit.
TEST_F(MziPlayerTest, FormatsDrawTheirColours)
{
    struct Case {
        uint32_t format;
        uint8_t r, g, b;
        uint32_t shown;
    } cases[] = {
        {3, 0x80, 0x80, 0x80, 0x808080},
        {4, 0xF8, 0x00, 0x00, 0xFF0000},
        {5, 0x00, 0xFC, 0x00, 0x00FF00},
        {5, 0xF8, 0x00, 0x00, 0xFF0000},
        {8, 0x12, 0x34, 0x56, 0x123456},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format);
        mziw::Writer w(mziw::Options{});
        // 5 pixels wide, so rows of 16-bit frames are not whole 4-byte words.
        w.add_frame(c.format, 5, 3, mzitest::solid(c.format, 5, 3, c.r, c.g, c.b));
        ASSERT_NE(open(mzitest::save(w, "format.mzi"), MEDIAPARAM_HOLDATEND, 1), MEDIA_BAD_HANDLE);
        seen.clear();
        PlayMedia(movie);
        ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
        EXPECT_EQ(pixel(0, 0), c.shown);
        EXPECT_EQ(pixel(4, 2), c.shown);
        CloseMedia(movie);
        movie = MEDIA_BAD_HANDLE;
    }
}

// Frames with headers of their own are drawn at their place within the union of all frames.
TEST_F(MziPlayerTest, PerFrameHeadersPlaceEachFrame)
{
    mziw::Options o;
    o.per_frame_flag = 1;
    mziw::Writer w(o);
    w.add_frame(4, 2, 2, mzitest::solid(4, 2, 2, 0xF8, 0, 0), 0, 0);
    w.add_frame(4, 2, 2, mzitest::solid(4, 2, 2, 0, 0, 0xF8), 2, 4);
    ASSERT_NE(open(mzitest::save(w, "placed.mzi"), MEDIAPARAM_HOLDATEND, 1), MEDIA_BAD_HANDLE);
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
    EXPECT_EQ(pixel(0, 0), 0xFF0000u);  // first frame, still there
    EXPECT_EQ(pixel(5, 3), 0x0000FFu);  // second frame at left 4, top 2
    int32_t rect[4];
    MediaGet(movie, MEDIAPARAM_FRAMERECT, rect);
    EXPECT_EQ((std::vector<int32_t>(rect, rect + 4)), (std::vector<int32_t>{4, 2, 6, 4}));
}

struct EndCase {
    const char *name;
    int frames;
    uint8_t hold, loop, ping_pong;
    int32_t range_start, range_end;
    std::vector<LPARAM> drawn;   // FRAMEDRAWN values, in order
    std::vector<Notice> end;     // STOPPED/PAUSED/STATE notices after the STARTED of the command
    int32_t state;
    bool visible;
};

void PrintTo(const EndCase &c, std::ostream *os)
{
    *os << c.name;
}

class MziEndTest : public MziPlayerTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(MziEndTest, EndOfMovie)
{
    const EndCase &c = GetParam();
    ASSERT_NE(open(mzitest::save(mzitest::numbered(c.frames), "end.mzi"), MEDIAPARAM_HOLDATEND, c.hold,
                   MEDIAPARAM_LOOP, c.loop, MEDIAPARAM_PINGPONG, c.ping_pong, MEDIAPARAM_RANGESTART, c.range_start,
                   MEDIAPARAM_RANGEEND, c.range_end),
              MEDIA_BAD_HANDLE);
    PlayMedia(movie);
    const size_t want = c.drawn.size();
    ASSERT_TRUE(collect_until([&](const std::vector<Notice> &s) {
        return values(s, MEDIAMSG_FRAMEDRAWN).size() >= want && (c.loop || ending(s).size() > 1);
    }));
    if (c.loop) {
        StopMedia(movie);
        wait_for(MEDIAMSG_STOPPED);
    }
    std::vector<LPARAM> drawn = values(seen, MEDIAMSG_FRAMEDRAWN);
    drawn.resize(std::min(drawn.size(), want));
    EXPECT_EQ(drawn, c.drawn);
    const Notice started{MEDIAMSG_STATE, WPARAM(movie), MEDIA_STATE_PLAYING};
    std::vector<Notice> end = ending(seen);
    ASSERT_FALSE(end.empty());
    EXPECT_EQ(end.front(), started);
    end.erase(end.begin());
    std::vector<Notice> expected = c.end;
    for (size_t i = 0; i < expected.size() && i < end.size(); i++) {
        expected[i].wParam = WPARAM(movie);
        if (expected[i].lParam == -1)  // any frame
            expected[i].lParam = end[i].lParam;
    }
    EXPECT_EQ(end, expected);
    EXPECT_EQ(GetMediaState(movie), c.state);
    mediatest::pump();
    EXPECT_EQ(IsWindowVisible(player(movie)->window()) != FALSE, c.visible);
    if (!c.loop) {
        // The thread stays where it ended.
        PlatAdvanceClock(500);
        pump_for(100);
        EXPECT_TRUE(win.take().empty());
    }
}

const Notice kPaused0{MEDIAMSG_PAUSED, 0, 0};
const Notice kStopped0{MEDIAMSG_STOPPED, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, MziEndTest,
    ::testing::Values(
        EndCase{"plain", 4, 0, 0, 0, 0, 0, {0, 1, 2, 3}, {kStopped0, kPaused0}, MEDIA_STATE_STOPPED, false},
        EndCase{"hold", 4, 1, 0, 0, 0, 0, {0, 1, 2, 3}, {kPaused0, {MEDIAMSG_STATE, 0, MEDIA_STATE_PAUSED}},
                MEDIA_STATE_PAUSED, true},
        // Forward to the range end, back to its start, paused there.
        EndCase{"pingpong_range", 6, 0, 0, 1, 1, 3, {0, 1, 2, 3, 2, 1},
                {{MEDIAMSG_PAUSED, 0, 1}, {MEDIAMSG_STATE, 0, MEDIA_STATE_PAUSED}}, MEDIA_STATE_PAUSED, true},
        // Without a range: to the last frame and back to the first.
        EndCase{"pingpong", 3, 0, 0, 1, 0, 0, {0, 1, 2, 1, 0},
                {{MEDIAMSG_PAUSED, 0, 0}, {MEDIAMSG_STATE, 0, MEDIA_STATE_PAUSED}}, MEDIA_STATE_PAUSED, true},
        // Loop within the range, from its start, until stopped.
        EndCase{"loop_range", 6, 0, 1, 0, 2, 3, {2, 3, 2, 3, 2, 3},
                {{MEDIAMSG_STOPPED, 0, -1}, {MEDIAMSG_STATE, 0, MEDIA_STATE_STOPPED}}, MEDIA_STATE_STOPPED, false}),
    [](const ::testing::TestParamInfo<EndCase> &info) { return std::string(info.param.name); });

}  // namespace
