// Scenes with media: a ".mzi" ikon's clip drawn at its place with its notifications reaching the scene
// window, and the menu sound of a focus the mouse moves, heard through the recorder.
#include "fx.h"
#include "mzi/mziwriter.h"
#include "scene_support.h"

namespace {

using vstest::kWhite;
using vstest::rgb_of;

constexpr int kClipW = 8, kClipH = 6;

class SceneMedia : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        write_data();
    }
    void TearDown() override
    {
        for (int uses = IfInitSound(); uses > 0; uses--)
            IfKillSound();
        VokReleaseDirectSound();
        SceneTest::TearDown();
    }
    // Data/spin.mzi: three frames, red, green and blue.
    void write_clip()
    {
        mziw::Options o;
        o.fps = 25;
        mziw::Writer w(o);
        const uint8_t colours[3][3] = {{0xF8, 0, 0}, {0, 0xFC, 0}, {0, 0, 0xF8}};
        for (const auto &c : colours) {
            std::vector<uint8_t> px(size_t(kClipW) * kClipH * 2);
            for (size_t i = 0; i < px.size(); i += 2)
                mziw::put_pixel(5, c[0], c[1], c[2], 255, px.data() + i);
            ASSERT_TRUE(w.add_frame(5, kClipW, kClipH, px));
        }
        std::string error;
        ASSERT_TRUE(w.write(path("Data/spin.mzi"), error)) << error;
    }
    uint32_t rgb(int x, int y) { return pixel(x, y) & 0xFFFFFF; }
};

TEST_F(SceneMedia, MziIkonPlaysAtItsPlaceAndItsNoticesReachTheScene)
{
    write_clip();
    // The clip sits in page session 2 (placed at 300, 100); a clip that does not open leaves its
    // ikon unbuilt.
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
session 2
  rect 300 100 200 100
  background "white"
  ikon 0
    id 1
    flags act
    rect 20 30 0 0
    picture ".mzi"
    text "spin.mzi"
  ikon 0
    id 2
    flags act
    rect 60 30 0 0
    picture ".MZI"
    text "gone.mzi"
)");
    PlatMsgBoxPushAnswer(IDCANCEL);  // the missing clip asks for the data disc
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    VokSession *page = &s->sessions[1];
    VokIkon *k = &page->ikons[0];
    auto *clip = static_cast<vok::MediaClip *>(k->clip);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(k->placeRect.width, kClipW);
    EXPECT_EQ(k->placeRect.height, kClipH);
    EXPECT_EQ(k->shownText, nullptr) << "the file name is not drawn";
    EXPECT_EQ(page->ikons[1].clip, nullptr);
    EXPECT_FALSE(page->ikons[1].state & VOK_IST_SETUP);
    MnuPaintScreen(s, 1);

    const int cx = 320, cy = 130;
    // A frame is a single primary colour: neither the white session nor black.
    auto shows_frame = [&] {
        const uint32_t c = rgb(cx + kClipW / 2, cy + kClipH / 2);
        return c != rgb_of(kWhite) && c != 0 && ((c & 0xFF0000) == 0) + ((c & 0xFF00) == 0) + ((c & 0xFF) == 0) == 2;
    };
    ASSERT_EQ(vok::clip_command(vok::kClipPlay, clip, 1), 1);
    ASSERT_TRUE(fxtest::pump_until(shows_frame));
    EXPECT_EQ(rgb(cx - 1, cy - 1), rgb_of(kWhite)) << "the session around the clip";
    EXPECT_EQ(rgb(cx + kClipW, cy + kClipH), rgb_of(kWhite));

    // The window hears the clip's end and its pause through the scene's procedure.
    ASSERT_TRUE(fxtest::pump_until([] { return vok::clip_notices().waitTime == 10000; }));
    ASSERT_EQ(vok::clip_command(vok::kClipPause, clip, 1), 1);
    ASSERT_TRUE(fxtest::pump_until([&] { return vok::clip_notices().ikon == k; }));
    EXPECT_EQ(vok::clip_notices().scene, s);
    EXPECT_EQ(vok::clip_notices().session, page);
    EXPECT_EQ(vok::clip_command(vok::kClipBackground, clip, 1), 1) << "the scene gave a background";

    // Ending the scene closes the clip: the window shows the scene's last picture again.
    KillCurScene(0);
    fxtest::pump();
    EXPECT_EQ(rgb(cx + kClipW / 2, cy + kClipH / 2), rgb_of(kWhite));
}

TEST_F(SceneMedia, AFocusTheMouseMovesPlaysMenuSoundEight)
{
    // Menu sound k lasts 100 * (k + 1) ms.
    const std::vector<uint8_t> pack = vokpack::build_pack(fxtest::level_sounds(10));
    write("mnusound.pck", std::string(pack.begin(), pack.end()));
    ASSERT_EQ(VokCreateDirectSound(window), 1);
    vok::general().soundEffects = 3;
    ASSERT_EQ(IfInitSound(), 1);
    VokScene *s = parse(R"(screen 5
dataPack "t"
session 1
  background "bg"
  focusId 1
  ikon 0
    id 1
    flags act
    rect 10 10 40 20
    picture "red40"
  ikon 0
    id 2
    flags act
    rect 10 40 40 20
    picture "red40"
  ikon 0
    id 3
    flags act1
    rect 10 70 40 20
    picture "red40"
  ikon 0
    id 4
    flags act
    rect 10 100 40 20
    picture "red40"
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    VokSession *first = &s->sessions[0];
    ASSERT_EQ(first->focused, &first->ikons[0]);
    struct Case {
        UINT message;
        int y;
        int focused;     // index of the focused ikon afterwards
        size_t sounds;   // menu sounds heard so far
    } cases[] = {
        {WM_MOUSEMOVE, 15, 0, 0},    // over the focused ikon: nothing
        {WM_MOUSEMOVE, 45, 1, 1},    // the focus moves: sound 8
        {WM_MOUSEMOVE, 48, 1, 1},    // still on it
        {WM_MOUSEMOVE, 75, 1, 1},    // one action bit: only hovered
        {WM_LBUTTONDOWN, 105, 3, 1}, // a press takes the focus without the sound
    };
    VokSoundRecorderReset();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.y);
        MnuMouseHandler(window, c.message, c.message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, at(20, c.y));
        if (c.message == WM_LBUTTONDOWN)
            MnuMouseHandler(window, WM_LBUTTONUP, 0, at(20, c.y));
        EXPECT_EQ(first->focused, &first->ikons[c.focused]);
        EXPECT_EQ(fxtest::plays().size(), c.sounds);
    }
    VokSoundAdvanceUs(1000000);
    const std::vector<VokSoundPlay> p = fxtest::plays();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NEAR(double(p[0].end_us - p[0].start_us), 900000, 1000) << "sound 8 of the menu set";

    // With sound effects off the move is silent.
    vok::general().soundEffects = 0;
    MnuMouseHandler(window, WM_MOUSEMOVE, 0, at(20, 45));
    EXPECT_EQ(first->focused, &first->ikons[1]);
    EXPECT_EQ(fxtest::plays().size(), 1u);
}

}  // namespace
