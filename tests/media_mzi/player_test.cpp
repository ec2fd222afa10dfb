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
    // Caller frames need a size, and one whose buffers stay reasonable.
    EXPECT_EQ(MediaOpen(MEDIA_MZI_FRAME24, 0, MEDIAPARAM_PARENT, win.hwnd()), MEDIA_BAD_HANDLE);
    EXPECT_EQ(MediaOpen(MEDIA_MZI_FRAME24, 0, MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_WIDTH, 8192,
                        MEDIAPARAM_HEIGHT, 8192),
              MEDIA_BAD_HANDLE);
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
        // Every notice of the end: the player's thread sends them one after another, and the test must
        // not look at the list between two of them.
        return values(s, MEDIAMSG_FRAMEDRAWN).size() >= want && (c.loop || ending(s).size() > c.end.size());
    }));
    if (c.loop) {
        StopMedia(movie);
        wait_for(MEDIAMSG_STOPPED);
    }
    // The state follows the last notice on the player's thread.
    pump_until([&] { return GetMediaState(movie) == c.state; });
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

namespace {

TEST_F(MziPlayerTest, PauseWhilePlayingThenContinueStopAndPlayAgain)
{
    ASSERT_NE(open(mzitest::save(mzitest::numbered(40), "pause.mzi")), MEDIA_BAD_HANDLE);
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_FRAMEDRAWN, 3));
    PauseMedia(movie);
    // Once from the command, once from the thread as it stops, both at the frame it stopped on.
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED, 2));
    std::vector<LPARAM> paused = values(seen, MEDIAMSG_PAUSED);
    EXPECT_EQ(paused[0], paused[1]);
    EXPECT_EQ(GetMediaState(movie), MEDIA_STATE_PAUSED);
    const LPARAM held = paused[0];
    EXPECT_EQ(values(seen, MEDIAMSG_FRAMEDRAWN).back(), held);
    PlatAdvanceClock(1000);
    pump_for(100);
    EXPECT_EQ(count(win.take(), MEDIAMSG_FRAMEDRAWN), 0);

    // Continue goes on from there; a frame set while playing is the next one drawn.
    seen.clear();
    ContinueMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_FRAMEDRAWN, 1));
    EXPECT_EQ(values(seen, MEDIAMSG_CONTINUED), std::vector<LPARAM>{held});
    EXPECT_EQ(values(seen, MEDIAMSG_FRAMEDRAWN).front(), held + 1);
    MediaSet(movie, MEDIAPARAM_FRAME, 30);
    ASSERT_TRUE(collect_until([](const std::vector<Notice> &s) {
        std::vector<LPARAM> v = values(s, MEDIAMSG_FRAMEDRAWN);
        return std::find(v.begin(), v.end(), 30) != v.end();
    }));

    StopMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_STOPPED));
    EXPECT_EQ(GetMediaState(movie), MEDIA_STATE_STOPPED);
    mediatest::pump();
    EXPECT_FALSE(IsWindowVisible(player(movie)->window()));

    seen.clear();
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_FRAMEDRAWN, 2));
    EXPECT_EQ(values(seen, MEDIAMSG_STARTED), std::vector<LPARAM>{0});
    EXPECT_EQ(values(seen, MEDIAMSG_FRAMEDRAWN), (std::vector<LPARAM>{0, 1}));
    EXPECT_TRUE(IsWindowVisible(player(movie)->window()));
}

// Tracks start at their frame and stop at the last one, on the recorder's clock: 100 ms a frame.
TEST_F(MziPlayerTest, SoundTracksPlayFromTheirFrame)
{
    mziw::Writer w = mzitest::numbered(12, 10);
    mziw::Track heard, never, bad;
    heard.data = mziw::tone(440, 2000, heard.rate, 1);
    heard.start_frame = 3;
    never.data = mziw::tone(220, 100, never.rate, 1);
    never.start_frame = 50;
    bad.format_tag = 2;  // not PCM: that track is silent, the movie plays
    bad.data.assign(400, 0);
    w.add_track(heard);
    w.add_track(never);
    w.add_track(bad);
    const std::string path = mzitest::save(w, "sound.mzi");

    ASSERT_NE(open(path), MEDIA_BAD_HANDLE);
    const auto &tracks = player(movie)->tracks();
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_TRUE(tracks[0]->audible());
    EXPECT_TRUE(tracks[1]->audible());
    EXPECT_FALSE(tracks[2]->audible());
    const uint32_t heard_serial = VokSoundBufferSerial(tracks[0]->buffer());
    const uint32_t never_serial = VokSoundBufferSerial(tracks[1]->buffer());
    VokSoundRecorderReset();
    const uint64_t t0 = PlatClockNow();
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_STOPPED));
    VokSoundSync();

    std::vector<VokSoundPlay> plays(16);
    plays.resize(VokSoundGetPlays(plays.data(), plays.size()));
    std::vector<VokSoundPlay> mine;
    for (const VokSoundPlay &p : plays) {
        EXPECT_NE(p.buffer, never_serial);
        if (p.buffer == heard_serial)
            mine.push_back(p);
    }
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_FALSE(mine[0].playing);
    EXPECT_NEAR(double(mine[0].start_us - t0) / 1000.0, 300.0, 15.0);
    EXPECT_NEAR(double(mine[0].end_us - t0) / 1000.0, 1100.0, 15.0);
    CloseMedia(movie);

    // Without sound hardware the tracks are silent and the movie is the same.
    setenv("VOK_AUDIO_DEVICE", "none", 1);
    ASSERT_NE(open(path), MEDIA_BAD_HANDLE);
    unsetenv("VOK_AUDIO_DEVICE");
    for (const auto &t : player(movie)->tracks())
        EXPECT_FALSE(t->audible());
    seen.clear();
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_STOPPED));
    EXPECT_EQ(values(seen, MEDIAMSG_FRAMEDRAWN).size(), 12u);
}

// An alpha movie over a 5-6-5 background: nothing is drawn until the background is copied; then
// each pixel is blended with the background pixel under it.
TEST_F(MziPlayerTest, AlphaFramesBlendOverTheCopiedBackground)
{
    // Bottom row: opaque red, transparent, half white, opaque white; top row: alpha 1, 64, 200, 255.
    const uint8_t alphas[2][4] = {{255, 0, 128, 255}, {1, 64, 200, 255}};
    const uint16_t colours[2][4] = {{0x7C00, 0x7C00, 0x7FFF, 0x7FFF}, {0x7FFF, 0x03E0, 0x001F, 0x1234}};
    std::vector<uint8_t> px;
    for (int r = 0; r < 2; r++)
        for (int x = 0; x < 4; x++)
            px.insert(px.end(), {alphas[r][x], uint8_t(colours[r][x]), uint8_t(colours[r][x] >> 8)});
    mziw::Writer w(mziw::Options{});
    w.add_frame(10, 4, 2, px);
    ASSERT_NE(open(mzitest::save(w, "alpha.mzi"), MEDIAPARAM_HOLDATEND, 1, MEDIAPARAM_LEFT, 2, MEDIAPARAM_TOP, 3),
              MEDIA_BAD_HANDLE);
    uint8_t blend = 0;
    MediaGet(movie, MEDIAPARAM_BLEND, &blend);
    EXPECT_EQ(blend, 1);

    // Paused from stopped with the draw gate closed: the thread waits, nothing is drawn.
    PauseMedia(movie);
    pump_for(60);
    for (const Notice &n : win.take())
        seen.push_back(n);
    EXPECT_EQ(count(seen, MEDIAMSG_FRAMEDRAWN), 0);

    // A 10x8 background whose pixel (x, y) is x << 11 | y << 5 | 7.
    std::vector<uint16_t> store(10 * 8);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 10; x++)
            store[y * 10 + x] = uint16_t(x << 11 | y << 5 | 7);
    br_pixelmap map{};
    map.pixels = store.data();
    map.row_bytes = 20;
    map.width = 10;
    map.height = 8;
    map.type = BR_PMT_RGB_565;
    MediaSet(movie, MEDIAPARAM_BACKGROUND, &map, MEDIAPARAM_COPYBACKGROUND, 1);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED, 2));
    EXPECT_EQ(values(seen, MEDIAMSG_FRAMEDRAWN), std::vector<LPARAM>{0});

    intptr_t shown = 0;
    MediaGet(movie, MEDIAPARAM_PIXELS, &shown);
    ASSERT_NE(shown, 0);
    const auto *buffer = reinterpret_cast<const uint16_t *>(shown);  // 4 pixels a row, bottom row first
    for (int r = 0; r < 2; r++) {
        for (int x = 0; x < 4; x++) {
            // The movie sits at (2, 3): its bottom row lies on background row 4.
            uint16_t background = store[(4 - r) * 10 + 2 + x];
            EXPECT_EQ(buffer[r * 4 + x], media::mzi::blend_pixel(colours[r][x], alphas[r][x], background))
                << "row " << r << " x " << x;
        }
    }
    EXPECT_EQ(pixel(0, 1), 0xFF0000u);  // opaque red, bottom row
}

// With headers of their own, alpha frames blend at their place within the union over a fresh copy of
// the background: a 3x2 union, the last frame one opaque pixel at left 2, top 1 (the bottom row).
TEST_F(MziPlayerTest, PlacedAlphaFramesBlendWhereTheyLie)
{
    mziw::Options o;
    o.per_frame_flag = 1;
    mziw::Writer w(o);
    w.add_frame(10, 2, 2, mzitest::solid(10, 2, 2, 0, 0, 0, 0), 0, 0);
    w.add_frame(10, 1, 1, std::vector<uint8_t>{255, 0x00, 0x7C}, 1, 2);  // opaque 5-5-5 red
    ASSERT_NE(open(mzitest::save(w, "placed_alpha.mzi"), MEDIAPARAM_HOLDATEND, 1), MEDIA_BAD_HANDLE);
    std::vector<uint16_t> store = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666};  // 3x2, top row first
    br_pixelmap map{};
    map.pixels = store.data();
    map.row_bytes = 6;
    map.width = 3;
    map.height = 2;
    MediaSet(movie, MEDIAPARAM_BACKGROUND, &map, MEDIAPARAM_COPYBACKGROUND, 1);
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
    intptr_t shown = 0;
    MediaGet(movie, MEDIAPARAM_PIXELS, &shown);
    ASSERT_NE(shown, 0);
    const auto *buffer = reinterpret_cast<const uint16_t *>(shown);  // rows of 4 pixels, bottom row first
    EXPECT_EQ((std::vector<uint16_t>{buffer[0], buffer[1], buffer[2], buffer[4], buffer[5], buffer[6]}),
              (std::vector<uint16_t>{0x4444, 0x5555, 0xF800, 0x1111, 0x2222, 0x3333}));
}

TEST_F(MziPlayerTest, AlphaFramesWithoutBackgroundAreScaled)
{
    std::vector<uint8_t> px;
    for (int i = 0; i < 4; i++)
        px.insert(px.end(), {uint8_t(i * 85), 0xFF, 0x7F});  // 0x7FFF at alpha 0, 85, 170, 255
    mziw::Writer w(mziw::Options{});
    w.add_frame(10, 4, 1, px);
    ASSERT_NE(open(mzitest::save(w, "scaled.mzi"), MEDIAPARAM_HOLDATEND, 1), MEDIA_BAD_HANDLE);
    PlayMedia(movie);  // opens the draw gate
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
    intptr_t shown = 0;
    MediaGet(movie, MEDIAPARAM_PIXELS, &shown);
    const auto *buffer = reinterpret_cast<const uint16_t *>(shown);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(buffer[i], media::mzi::alpha_scale(0x7FFF, uint8_t(i * 85))) << i;
    EXPECT_EQ(pixel(0, 0), 0u);
    EXPECT_EQ(pixel(3, 0) & 0xF8F8F8, 0xF8F8F8u);
}

// Caller frames: 16-bit pixels the caller owns, read at every redraw (rows of an odd width are not
// skewed), and alpha frames that have pixel memory of their own.
TEST_F(MziPlayerTest, CallerFrames)
{
    // 3x2, bottom row red, top row blue, 5-6-5, rows of 6 bytes.
    std::vector<uint16_t> pixels = {0xF800, 0xF800, 0xF800, 0x001F, 0x001F, 0x001F};
    movie = MediaOpen(MEDIA_MZI_FRAME16, pixels.data(), MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_WIDTH, 3,
                      MEDIAPARAM_HEIGHT, 2);
    ASSERT_NE(movie, MEDIA_BAD_HANDLE);
    int32_t frames = 0;
    uint16_t fps = 0;
    MediaGet(movie, MEDIAPARAM_FRAMES, &frames, MEDIAPARAM_FPS, &fps);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(fps, 16);
    PauseMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED, 2));
    EXPECT_EQ(pixel(2, 0), 0x0000FFu);
    EXPECT_EQ(pixel(2, 1), 0xFF0000u);
    pixels[5] = 0x07E0;  // top right turns green
    seen.clear();
    MediaSet(movie, MEDIAPARAM_REDRAW, 1);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
    EXPECT_EQ(pixel(2, 0), 0x00FF00u);
    CloseMedia(movie);

    movie = MediaOpen(MEDIA_MZI_FRAME24, 0, MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_WIDTH, 2, MEDIAPARAM_HEIGHT, 2);
    ASSERT_NE(movie, MEDIA_BAD_HANDLE);
    std::vector<uint16_t> store = {0x1111, 0x2222, 0x3333, 0x4444};
    br_pixelmap map{};
    map.pixels = store.data();
    map.row_bytes = 4;
    map.width = 2;
    map.height = 2;
    seen.clear();
    PauseMedia(movie);
    MediaSet(movie, MEDIAPARAM_BACKGROUND, &map, MEDIAPARAM_COPYBACKGROUND, 1);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED, 2));
    intptr_t shown = 0;
    MediaGet(movie, MEDIAPARAM_PIXELS, &shown);
    const auto *buffer = reinterpret_cast<const uint16_t *>(shown);
    // A frame of alpha 0 shows the background, bottom row first.
    EXPECT_EQ((std::vector<uint16_t>(buffer, buffer + 4)), (std::vector<uint16_t>{0x3333, 0x4444, 0x1111, 0x2222}));
}

// Movies carried by a module, by number: this program carries an 8x6 three-frame clip (5-6-5, a tone
// from frame 1) as number 7 and a text as number 9.
TEST_F(MziPlayerTest, MoviesFromAModulesResources)
{
    HMODULE program = GetModuleHandleA(nullptr);
    movie = MediaOpen(MEDIA_MZI, 7, MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_MODULE, program,
                      MEDIAPARAM_HOLDATEND, 1);
    ASSERT_NE(movie, MEDIA_BAD_HANDLE);
    int32_t frames = 0, source[4] = {};
    MediaGet(movie, MEDIAPARAM_FRAMES, &frames, MEDIAPARAM_SOURCERECT, source);
    EXPECT_EQ(frames, 3);
    EXPECT_EQ((std::vector<int32_t>(source, source + 4)), (std::vector<int32_t>{0, 0, 8, 6}));
    ASSERT_EQ(player(movie)->tracks().size(), 1u);
    EXPECT_TRUE(player(movie)->tracks()[0]->audible());
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
    EXPECT_EQ(values(seen, MEDIAMSG_FRAMEDRAWN), (std::vector<LPARAM>{0, 1, 2}));
    EXPECT_EQ(pixel(7, 0), 0xFF0000u);  // the progress bar along the top is full at the last frame
    CloseMedia(movie);

    for (intptr_t number : {9, 8}) {  // not a movie; no such resource
        movie = MediaOpen(MEDIA_MZI, number, MEDIAPARAM_PARENT, win.hwnd(), MEDIAPARAM_MODULE, program);
        EXPECT_EQ(movie, MEDIA_BAD_HANDLE) << number;
    }
}

TEST_F(MziPlayerTest, MouseAndKeysReachTheNotifyWindow)
{
    mziw::Writer w(mziw::Options{});
    w.add_frame(5, 8, 8, mzitest::solid(5, 8, 8, 0, 0, 0));
    ASSERT_NE(open(mzitest::save(w, "input.mzi"), MEDIAPARAM_HOLDATEND, 1, MEDIAPARAM_LEFT, 10, MEDIAPARAM_TOP, 20),
              MEDIA_BAD_HANDLE);
    PlayMedia(movie);
    ASSERT_TRUE(wait_for(MEDIAMSG_PAUSED));
    VokMouseButton(win.hwnd(), 0, TRUE, 12, 23);
    ASSERT_TRUE(wait_for(MEDIAMSG_MOUSE));
    MediaInputRecord *record = GetMediaMsgExtraInfo(movie);
    EXPECT_EQ(values(seen, MEDIAMSG_MOUSE).back(), reinterpret_cast<LPARAM>(record));
    EXPECT_EQ(record->message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(record->lParam, MAKELPARAM(12, 23));  // in the notify window's coordinates

    SendMessageA(player(movie)->window(), WM_KEYDOWN, 'A', 0x1E0001);
    ASSERT_TRUE(wait_for(MEDIAMSG_KEY));
    EXPECT_EQ(record->message, UINT(WM_KEYDOWN));
    EXPECT_EQ(record->wParam, WPARAM('A'));
    EXPECT_EQ(record->lParam, 0x1E0001);
}

TEST_F(MziPlayerTest, ClosedFromItsOwnNotification)
{
    ASSERT_NE(open(mzitest::save(mzitest::numbered(20), "close.mzi")), MEDIA_BAD_HANDLE);
    const MediaHandle h = movie;
    win.hook = [&](const Notice &n) {
        if (n.message == MEDIAMSG_FRAMEDRAWN && n.lParam == 2 && movie != MEDIA_BAD_HANDLE) {
            CloseMedia(movie);
            movie = MEDIA_BAD_HANDLE;
        }
    };
    PlayMedia(h);
    ASSERT_TRUE(pump_until([&] { return movie == MEDIA_BAD_HANDLE; }));
    EXPECT_EQ(GetMediaState(h), MEDIA_STATE_UNKNOWN);
    // Closed from inside a command's own notice too.
    ASSERT_NE(open(mzitest::save(mzitest::numbered(20), "close.mzi")), MEDIA_BAD_HANDLE);
    win.hook = [&](const Notice &n) {
        if (n.message == MEDIAMSG_STARTED && movie != MEDIA_BAD_HANDLE) {
            CloseMedia(movie);
            movie = MEDIA_BAD_HANDLE;
        }
    };
    PlayMedia(movie);
    EXPECT_EQ(movie, MEDIA_BAD_HANDLE);
    pump_for(50);
    win.hook = nullptr;
}

}  // namespace

// The picture id copies the frame shown, scaled, into the caller's 5-6-5 picture; a record without
// pixels is left alone.
TEST_F(MziPlayerTest, PictureIsTheFrameShownScaled)
{
    ASSERT_NE(open(mzitest::save(mzitest::numbered(3), "picture.mzi")), MEDIA_BAD_HANDLE);
    MediaSet(movie, MEDIAPARAM_FRAME, 2);
    std::vector<uint16_t> px(8 * 4, 0xFFFF);
    MediaPicture p{px.data(), 8, 4, 16};
    MediaGet(movie, MEDIAPARAM_PICTURE, &p);
    const uint16_t want = uint16_t((80 >> 3) << 11 | (16 >> 2) << 5 | (32 >> 3));
    for (uint16_t v : px)
        EXPECT_EQ(v, want);
    MediaPicture none{nullptr, 8, 4, 16};
    MediaGet(movie, MEDIAPARAM_PICTURE, &none);
}
