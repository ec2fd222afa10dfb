// Media clips over ikons from a generated .mzi movie: placed at their position, driven by the command
// table, one of a group, and the notifications the scene window takes.
#include <algorithm>

#include "fx.h"
#include "mzi/mziwriter.h"
#include "vokplat/window.h"

namespace {

using Notice = fxtest::Framework::Notice;

constexpr int kWidth = 8, kHeight = 6;

class Clips : public fxtest::Framework {
protected:
    void SetUp() override
    {
        Framework::SetUp();
        mziw::Options o;
        o.fps = 25;
        mziw::Writer w(o);
        const uint8_t colours[3][3] = {{0xF8, 0, 0}, {0, 0xFC, 0}, {0, 0, 0xF8}};
        for (const auto &c : colours) {
            std::vector<uint8_t> px(size_t(kWidth) * kHeight * 2);
            for (size_t i = 0; i < px.size(); i += 2)
                mziw::put_pixel(5, c[0], c[1], c[2], 255, px.data() + i);
            ASSERT_TRUE(w.add_frame(5, kWidth, kHeight, px));
        }
        std::filesystem::create_directories(dir / "Data");
        std::string error;
        ASSERT_TRUE(w.write((dir / "Data" / "spin.mzi").string(), error)) << error;
    }
    void TearDown() override
    {
        vok::clip_free(clip);
        Framework::TearDown();
    }
    // The window's pixel at (x, y), children composed over it.
    uint32_t pixel(int x, int y)
    {
        int w = 0, h = 0;
        VokCaptureWindow(window, nullptr, 0, &w, &h);
        std::vector<uint32_t> px(size_t(w) * h);
        VokCaptureWindow(window, px.data(), int(px.size()), &w, &h);
        return px[size_t(y) * w + x] & 0xFFFFFF;
    }
    static std::vector<LPARAM> drawn()
    {
        std::vector<LPARAM> out;
        for (const Notice &n : notices())
            if (n.message == MEDIAMSG_FRAMEDRAWN)
                out.push_back(n.lParam);
        return out;
    }
    static bool seen(UINT message, LPARAM value)
    {
        return std::any_of(notices().begin(), notices().end(),
                           [&](const Notice &n) { return n.message == message && n.lParam == value; });
    }
    int32_t frame()
    {
        int32_t f = -1;
        MediaGet(clip->handle, MEDIAPARAM_FRAME, &f);
        return f;
    }

    int scene = 0, session = 0, ikon = 0;  // stand-ins whose addresses travel with the clip
    vok::MediaClip *clip = nullptr;
};

TEST_F(Clips, AClipOverAnIkonIsDrawnAtItsPlaceAndFollowsTheCommands)
{
    clip = vok::clip_for_ikon("spin.mzi", 100, 50, &scene, &session, &ikon);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->frames, 3);
    EXPECT_EQ(clip->width, kWidth);
    EXPECT_EQ(clip->height, kHeight);
    EXPECT_EQ(clip->rangeEnd, 3);
    void *words[3] = {};
    MediaGet(clip->handle, MEDIAPARAM_USER1, &words[0], MEDIAPARAM_USER2, &words[1], MEDIAPARAM_USER3, &words[2]);
    EXPECT_EQ(words[0], &scene);
    EXPECT_EQ(words[2], &ikon);

    ASSERT_EQ(vok::clip_command(vok::kClipPlay, clip, 1), 1);
    ASSERT_TRUE(fxtest::pump_until([] { return !drawn().empty(); }));
    const uint32_t inside = pixel(100 + kWidth / 2, 50 + kHeight / 2);
    EXPECT_NE(inside, 0u) << "a frame is drawn at the clip's place";
    EXPECT_EQ(pixel(99, 49), 0u);
    EXPECT_EQ(pixel(100 + kWidth, 50 + kHeight), 0u);

    // Pause: the window hears it and learns the clip's owners.
    ASSERT_EQ(vok::clip_command(vok::kClipPause, clip, 1), 1);
    ASSERT_TRUE(fxtest::pump_until([] { return seen(MEDIAMSG_STATE, MEDIA_STATE_PAUSED); }));
    EXPECT_EQ(vok::clip_notices().scene, &scene);
    EXPECT_EQ(vok::clip_notices().session, &session);
    EXPECT_EQ(vok::clip_notices().ikon, &ikon);

    // Save the position and stop; restore it and go on.
    MediaSet(clip->handle, MEDIAPARAM_FRAME, 2);
    ASSERT_EQ(vok::clip_command(vok::kClipSave, clip, 1), 1);
    EXPECT_EQ(clip->savedPosition, 2);
    EXPECT_TRUE(clip->flags & vok::kClipStopped);
    ASSERT_EQ(vok::clip_command(vok::kClipRestore, clip, 1), 1);
    EXPECT_FALSE(clip->flags & vok::kClipStopped);
    ASSERT_EQ(vok::clip_command(vok::kClipPauseRewind, clip, 1), 1);
    EXPECT_EQ(frame(), 0);
    ASSERT_EQ(vok::clip_command(vok::kClipContinue, clip, 1), 1);
    EXPECT_EQ(GetMediaState(clip->handle), MEDIA_STATE_PLAYING);

    EXPECT_EQ(vok::clip_command(16, clip, 1), 0) << "no such command";
    ASSERT_EQ(vok::clip_command(vok::kClipClose, clip, 1), 1);
    EXPECT_EQ(clip->handle, MEDIA_BAD_HANDLE);
    EXPECT_EQ(vok::clip_command(vok::kClipPlay, clip, 1), 0) << "a closed clip";
    ASSERT_EQ(vok::clip_command(vok::kClipOpen, clip, 1), 1) << "opened again from its record";
}

TEST_F(Clips, RangeOnceRunsForwardRangeSwingTurnsAtTheEnd)
{
    struct Case {
        int command;
        uint8_t swing;
        LPARAM afterLast;  // the frame drawn after frame 2
    } cases[] = {{vok::kClipRangeOnce, 0, 0}, {vok::kClipRangeSwing, 1, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        clip = vok::clip_for_ikon("spin.mzi", 10, 10, &scene, &session, &ikon);
        ASSERT_NE(clip, nullptr);
        ASSERT_EQ(vok::clip_command(c.command, clip, 1), 1);
        uint8_t swing = 9, loop = 9;
        int32_t end = -1;
        MediaGet(clip->handle, MEDIAPARAM_PINGPONG, &swing, MEDIAPARAM_LOOP, &loop, MEDIAPARAM_RANGEEND, &end);
        EXPECT_EQ(swing, c.swing);
        EXPECT_EQ(loop, 1);
        EXPECT_EQ(end, 3);
        notices().clear();
        ASSERT_EQ(vok::clip_command(vok::kClipPlay, clip, 1), 1);
        ASSERT_TRUE(fxtest::pump_until([] { return drawn().size() >= 6; }));
        vok::clip_command(vok::kClipStop, clip, 1);
        const std::vector<LPARAM> d = drawn();
        auto two = std::find(d.begin(), d.end(), 2);
        ASSERT_TRUE(two != d.end() && two + 1 != d.end());
        EXPECT_EQ(*(two + 1), c.afterLast);
        vok::clip_free(clip);
        clip = nullptr;
    }
}

TEST_F(Clips, OneClipOfAGroupRunsTheOthersRestAtTheirStart)
{
    vok::MediaClip group[3];
    for (int i = 0; i < 3; i++) {
        snprintf(group[i].file, sizeof group[i].file, "spin.mzi");
        group[i].x = 20 * i;
        group[i].rangeEnd = 3;
    }
    ASSERT_EQ(vok::clip_command(vok::kClipOpen, group, 3), 1);
    ASSERT_EQ(vok::clip_command(vok::kClipPlay, group, 3), 1);
    // All paused first, so that the chosen one has something to continue from.
    ASSERT_EQ(vok::clip_command(vok::kClipPause, group, 3), 1);
    ASSERT_TRUE(fxtest::pump_until([&] {
        return std::all_of(std::begin(group), std::end(group),
                           [](const vok::MediaClip &c) { return GetMediaState(c.handle) == MEDIA_STATE_PAUSED; });
    }));
    // The chosen clip is continued (it may reach its end and hold there soon after); the others are
    // paused at frame 0 without a range.
    auto continued = [](const vok::MediaClip &c) {
        return std::count_if(notices().begin(), notices().end(), [&](const Notice &n) {
            return n.message == MEDIAMSG_CONTINUED && n.wParam == WPARAM(c.handle);
        });
    };
    int current = -1;
    notices().clear();
    vok::clip_select(group, 3, &current, 1);
    EXPECT_EQ(current, 1);
    ASSERT_TRUE(fxtest::pump_until([&] { return continued(group[1]) == 1; }));
    for (int i = 0; i < 3; i++) {
        int32_t frame = -1, end = -1;
        uint8_t loop = 9;
        MediaGet(group[i].handle, MEDIAPARAM_FRAME, &frame, MEDIAPARAM_RANGEEND, &end, MEDIAPARAM_LOOP, &loop);
        EXPECT_EQ(end, i == 1 ? 3 : 0) << i;
        EXPECT_EQ(loop, 0) << i;
        if (i != 1) {
            EXPECT_EQ(GetMediaState(group[i].handle), MEDIA_STATE_PAUSED) << i;
            EXPECT_EQ(frame, 0) << i;
            EXPECT_EQ(continued(group[i]), 0) << i;
        }
    }
    vok::clip_select(group, 3, &current, 1);  // the same index again does nothing
    vok::clip_select(group, 3, &current, 5);  // past the end: the first
    EXPECT_EQ(current, 0);
    ASSERT_TRUE(fxtest::pump_until([&] { return continued(group[0]) == 1; }));
    EXPECT_EQ(continued(group[1]), 1);
    for (vok::MediaClip &c : group) {
        vok::clip_free(&c);  // not the engine's: only cleared
        EXPECT_EQ(c.handle, MEDIA_BAD_HANDLE);
        EXPECT_EQ(c.file[0], '\0');
    }
}

TEST_F(Clips, FailedOpensKeepNothingAndTheWindowTakesTheWholeNoticeRange)
{
    vok::clip_notices() = {};
    PlatMsgBoxPushAnswer(IDCANCEL);  // a missing clip asks for the data disc
    EXPECT_EQ(vok::clip_for_ikon("gone.mzi", 0, 0, &scene, &session, &ikon), nullptr);
    EXPECT_EQ(vok::clip_for_ikon(nullptr, 0, 0, &scene, &session, &ikon), nullptr);
    EXPECT_EQ(vok::clip_command(vok::kClipPlay, nullptr, 1), 0);

    struct Case {
        UINT message;
        LPARAM value;
        bool taken;
        intptr_t wait;
    } cases[] = {
        {0x13FF, 5, false, 0},       {MEDIAMSG_FRAMEDECODED, 77, true, 77}, {MEDIAMSG_LASTFRAME, 2, true, 10000},
        {MEDIAMSG_FRAMEDRAWN, 1, true, 10000}, {MEDIAMSG_KEY, 0, true, 10000}, {0x140D, 0, false, 10000},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(vok::clip_notification(window, c.message, 0, c.value), c.taken) << std::hex << c.message;
        EXPECT_EQ(vok::clip_notices().waitTime, c.wait) << std::hex << c.message;
    }
    EXPECT_TRUE(vok::clip_notification(window, MEDIAMSG_MOUSE, 0, 1234));
    EXPECT_EQ(vok::clip_notices().mouse, 1234);
}

}  // namespace
