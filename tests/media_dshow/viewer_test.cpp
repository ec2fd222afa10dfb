// The stand-alone viewer: its navigation, counter text and layout rules, and a viewer built around a
// generated movie in a window of the test's, driven by menu commands and keys.
#include <gtest/gtest.h>

#include "clips.h"
#include "media_test.h"
#include "viewer.h"

namespace {

using media::viewer_counter_text;
using media::viewer_target_frame;

TEST(ViewerRules, NavigationAsksForTheNeighbouringOrEndFrames)
{
    const struct {
        int command;
        int32_t current;
        std::optional<int32_t> frame;
    } cases[] = {
        {media::kViewerNext, 3, 4},  {media::kViewerNext, 9, 10},   // past the end: the movie ignores it
        {media::kViewerPrev, 3, 2},  {media::kViewerPrev, 0, -1},   // before the start: ignored too
        {media::kViewerFirst, 7, 0}, {media::kViewerLast, 2, 9},
        {media::kViewerPlay, 3, std::nullopt}, {media::kViewerStop, 3, std::nullopt},
        {media::kViewerExit, 3, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(viewer_target_frame(c.command, c.current, 10), c.frame) << c.command << " at " << c.current;
}

TEST(ViewerRules, CounterTextShowsFramesAndSeconds)
{
    EXPECT_EQ(viewer_counter_text(0, 1, 25), "000 / 000  (   0.0000 /   0.0000 )");
    EXPECT_EQ(viewer_counter_text(7, 100, 25), "007 / 099  (   0.2800 /   3.9600 )");
    EXPECT_EQ(viewer_counter_text(1234, 2000, 10), "1234 / 1999  ( 123.4000 / 199.9000 )");
}

TEST(ViewerRules, WindowLeavesRoomForThePanelsAndStaysOnTheWorkArea)
{
    // Movie 250 x 50 in a frame of 8 x 27: 250 + 250 right, 50 + 150 below.
    SIZE s = media::viewer_window_size(250, 50, 8, 27);
    EXPECT_EQ(s.cx, 508);
    EXPECT_EQ(s.cy, 227);
    EXPECT_EQ(media::viewer_window_size(100, 10, 0, 0).cx, 400);  // at least 400 wide
    const RECT work{0, 0, 1000, 600};
    POINT p = media::viewer_window_place(SIZE{500, 200}, work);
    EXPECT_EQ(p.x, 250);
    EXPECT_EQ(p.y, 200);
    p = media::viewer_window_place(SIZE{1200, 700}, RECT{100, 50, 1000, 600});  // larger: top-left kept
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 50);
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "viewer_host";
        RegisterClassA(&wc);
        host = CreateWindowExA(WS_EX_TOOLWINDOW, "viewer_host", "", WS_OVERLAPPED | WS_CAPTION, 0, 0, 320, 240,
                               nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        media::viewer_stop(viewer);
        if (IsWindow(host))
            DestroyWindow(host);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    std::string text(int item)
    {
        char buf[128] = {};
        GetWindowTextA(media::viewer_item(viewer, item), buf, sizeof buf);
        return buf;
    }
    int32_t frame()
    {
        int32_t f = -1;
        MediaGet(media::viewer_movie(viewer), MEDIAPARAM_FRAME, &f);
        return f;
    }

    HWND host = nullptr;
    media::Viewer *viewer = nullptr;
};

TEST_F(ViewerTest, CommandLineWithoutAMovieBuildsNoViewer)
{
    const std::string picture = mzitest::save(mzitest::numbered(2), "picture.bmp");
    EXPECT_EQ(media::viewer_start(host, nullptr, picture.c_str(), SW_SHOW), nullptr);
    EXPECT_EQ(media::viewer_start(host, nullptr, "missing.mzi", SW_SHOW), nullptr);
    EXPECT_EQ(GetWindowLongPtrA(host, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(DefWindowProcA));
}

TEST_F(ViewerTest, PlaysToTheLastFrameAndNavigatesWithTheMenuCommands)
{
    const std::string path = mzitest::save(mzitest::numbered(5, 10), "view.mzi");
    viewer = media::viewer_start(host, nullptr, path.c_str(), SW_SHOW);
    ASSERT_NE(viewer, nullptr);
    const MediaHandle movie = media::viewer_movie(viewer);
    char title[512] = {};
    GetWindowTextA(host, title, sizeof title);
    EXPECT_EQ(std::string(title), path);
    EXPECT_EQ(text(media::kViewerAlpha), "Alpha : No");
    // The panels sit right of and below the movie, widened to 250.
    RECT control{}, info{};
    GetWindowRect(media::viewer_item(viewer, media::kViewerControlPanel), &control);
    GetWindowRect(media::viewer_item(viewer, media::kViewerInfoPanel), &info);
    EXPECT_EQ(control.right - control.left, 250);
    EXPECT_EQ(info.right - info.left, 250);
    EXPECT_EQ(info.bottom - info.top, 150);

    // Held on its last frame at the end.
    PlayMedia(movie);
    ASSERT_TRUE(mediatest::pump_until([&] { return GetMediaState(movie) == MEDIA_STATE_PAUSED; }));
    EXPECT_EQ(frame(), 4);
    ASSERT_TRUE(mediatest::pump_until([&] { return text(media::kViewerCounter) == "004 / 004  (   0.4000 /   0.4000 )"; }))
        << text(media::kViewerCounter);
    EXPECT_EQ(text(media::kViewerFullSize), "W:004, H:002");
    EXPECT_EQ(text(media::kViewerSize), "X:000, Y:000, W:004, H:002");

    const struct {
        int command;
        int32_t frame;
    } steps[] = {{media::kViewerNext, 4}, {media::kViewerFirst, 0}, {media::kViewerPrev, 0},
                 {media::kViewerNext, 1}, {media::kViewerLast, 4},  {media::kViewerPrev, 3}};
    for (const auto &s : steps) {
        SendMessageA(host, WM_COMMAND, WPARAM(s.command), 0);
        const std::string counter = viewer_counter_text(s.frame, 5, 10);
        EXPECT_TRUE(mediatest::pump_until([&] { return frame() == s.frame && text(media::kViewerCounter) == counter; }))
            << s.command << ": frame " << frame() << ", " << text(media::kViewerCounter);
        EXPECT_EQ(GetMediaState(movie), MEDIA_STATE_PAUSED);
    }
    // The keys of the menu letters do the same.
    SendMessageA(host, WM_KEYDOWN, 'F', 0);
    EXPECT_TRUE(mediatest::pump_until([&] { return frame() == 0; }));

    // Escape closes the window.
    SendMessageA(host, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(IsWindow(host));
}

}  // namespace
