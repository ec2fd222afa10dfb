// The handle table, unknown types and handles, the command state machine and its notices.
#include <cstring>

#include "media_test.h"
#include "vokplat/debug.h"

using namespace mediatest;

namespace {

class MediaCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeFile::constructed = FakeFile::destroyed = FakeFile::closes = FakeFile::plays = 0;
    }
    // A fake object with this window as notify window.
    MediaHandle open_fake(intptr_t source = 0)
    {
        return MediaOpen(MEDIA_MZI, source, MEDIAPARAM_NOTIFY, window.hwnd());
    }
    FakeFile *fake(MediaHandle h) { return static_cast<FakeFile *>(media::find(h)); }

    FakeKind kind;
    NoticeWindow window;
};

TEST_F(MediaCore, TableHolds2047ObjectsAndReusesTheLowestFreeEntry)
{
    for (MediaHandle expected = 1; expected <= 2047; expected++)
        ASSERT_EQ(MediaOpen(MEDIA_MZI, 0), expected);
    // Full: nothing is built.
    EXPECT_EQ(MediaOpen(MEDIA_MZI, 0), -1);
    EXPECT_EQ(FakeFile::constructed, 2047);

    EXPECT_EQ(CloseMedia(5), 1);
    EXPECT_EQ(CloseMedia(9), 1);
    EXPECT_EQ(MediaOpen(MEDIA_MZI, 0), 5);
    EXPECT_EQ(MediaOpen(MEDIA_MZI, 0), 9);
    EXPECT_EQ(MediaOpen(MEDIA_MZI, 0), -1);

    for (MediaHandle h = 1; h <= 2047; h++)
        ASSERT_EQ(CloseMedia(h), 1);
    EXPECT_EQ(FakeFile::destroyed, FakeFile::constructed);
    EXPECT_EQ(FakeFile::closes, FakeFile::destroyed);
    EXPECT_EQ(MediaOpen(MEDIA_MZI, 0), 1);
    CloseMedia(1);
}

TEST_F(MediaCore, UnknownTypesAndKindsThatCannotBeBuiltGiveMinusOne)
{
    // 4, 9 and above 10 are no type; 0..3 and 6..8 are types whose kinds this build cannot make.
    for (int32_t type : {4, 9, 11, 12, -1, 0x7FFFFFFF, 0, 1, 2, 3, 6, 7, 8})
        EXPECT_EQ(MediaOpen(type, 0, MEDIAPARAM_NOTIFY, window.hwnd()), -1) << type;
    EXPECT_EQ(FakeFile::constructed, 0);
    // A kind that does not become ready is closed and deleted; its handle is not taken.
    EXPECT_EQ(open_fake(1), -1);
    EXPECT_EQ(FakeFile::closes, 1);
    EXPECT_EQ(FakeFile::destroyed, 1);
    MediaHandle h = open_fake();
    EXPECT_EQ(h, 1);
    CloseMedia(h);
}

TEST_F(MediaCore, UnknownHandlesChangeNothing)
{
    MediaHandle open = open_fake();
    MediaHandle closed = open_fake();
    CloseMedia(closed);
    window.take();
    for (MediaHandle h : {-1, -2, 0, closed, 2047, 2048, 5000, -5000}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(PlayMedia(h), 0);
        EXPECT_EQ(PauseMedia(h), 0);
        EXPECT_EQ(ContinueMedia(h), 0);
        EXPECT_EQ(StopMedia(h), 0);
        EXPECT_EQ(CloseMedia(h), 0);
        EXPECT_EQ(GetMediaState(h), MEDIA_STATE_UNKNOWN);
        EXPECT_EQ(GetMediaMsgExtraInfo(h), nullptr);
        int32_t frames = -7;
        EXPECT_EQ(MediaGet(h, MEDIAPARAM_FRAMES, &frames), 0);
        EXPECT_EQ(frames, -7);
        EXPECT_EQ(MediaSet(h, MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY), 0);
    }
    EXPECT_TRUE(window.take().empty());
    EXPECT_EQ(GetMediaState(open), MEDIA_STATE_STOPPED);
    ASSERT_NE(GetMediaMsgExtraInfo(open), nullptr);
    EXPECT_EQ(GetMediaMsgExtraInfo(open), &fake(open)->input);
    CloseMedia(open);
}

TEST_F(MediaCore, EachCommandSendsOneStateNoticeAfterTheKindsOwn)
{
    MediaHandle h = open_fake();
    ASSERT_GT(h, 0);
    const WPARAM w = WPARAM(h);
    EXPECT_EQ(GetMediaState(h), MEDIA_STATE_STOPPED);
    struct Step {
        std::function<int32_t()> run;
        std::vector<Notice> notices;
        int32_t state;
    };
    const std::vector<Step> steps = {
        // The kind's pause does nothing when not playing; the state follows the command all the same.
        {[&] { return PauseMedia(h); }, {{MEDIAMSG_STATE, w, 6}}, 6},
        {[&] { return PlayMedia(h); }, {{MEDIAMSG_STARTED, w, 0}, {MEDIAMSG_STATE, w, 4}}, 4},
        {[&] { return PauseMedia(h); }, {{MEDIAMSG_PAUSED, w, 0}, {MEDIAMSG_STATE, w, 6}}, 6},
        {[&] { return ContinueMedia(h); }, {{MEDIAMSG_CONTINUED, w, 0}, {MEDIAMSG_STATE, w, 4}}, 4},
        {[&] { return StopMedia(h); }, {{MEDIAMSG_STOPPED, w, 0}, {MEDIAMSG_STATE, w, 5}}, 5},
        {[&] { return ContinueMedia(h); }, {{MEDIAMSG_STATE, w, 4}}, 4},
        // Through the list: a value outside 0..3 runs nothing and makes the state unknown.
        {[&] { return MediaSet(h, MEDIAPARAM_COMMAND, 7); }, {{MEDIAMSG_STATE, w, 7}}, 7},
        {[&] { return MediaSet(h, MEDIAPARAM_COMMAND, MEDIA_CMD_PAUSE); }, {{MEDIAMSG_STATE, w, 6}}, 6},
    };
    for (size_t i = 0; i < steps.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(steps[i].run(), 1);
        EXPECT_EQ(window.take(), steps[i].notices);
        EXPECT_EQ(GetMediaState(h), steps[i].state);
        int32_t answered = 0;
        MediaGet(h, MEDIAPARAM_COMMAND, &answered);
        EXPECT_EQ(answered, steps[i].state);
    }
    // Each operation saw the state from before its command.
    EXPECT_EQ(fake(h)->previous_states, (std::vector<int32_t>{5, 6, 4, 6, 4, 5, 7}));
    CloseMedia(h);
}

TEST_F(MediaCore, AnObjectClosedFromItsOwnNoticeIsDeletedAfterTheCommand)
{
    MediaHandle h = open_fake();
    window.hook = [](const Notice &n) {
        if (n.message == MEDIAMSG_STARTED) {
            EXPECT_EQ(CloseMedia(MediaHandle(n.wParam)), 1);
        }
    };
    EXPECT_EQ(PlayMedia(h), 1);
    window.hook = nullptr;
    // The closed object sends nothing more, and is gone once the command is over.
    EXPECT_EQ(window.take(), (std::vector<Notice>{{MEDIAMSG_STARTED, WPARAM(h), 0}}));
    EXPECT_EQ(FakeFile::closes, 1);
    EXPECT_EQ(FakeFile::destroyed, 1);
    EXPECT_EQ(GetMediaState(h), MEDIA_STATE_UNKNOWN);
    EXPECT_EQ(open_fake(), h);

    // Closed by the first command of a list: the rest of the list runs nothing on it.
    window.hook = [](const Notice &n) {
        if (n.message == MEDIAMSG_STARTED)
            CloseMedia(MediaHandle(n.wParam));
    };
    FakeFile::plays = 0;
    EXPECT_EQ(MediaSet(h, MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY, MEDIAPARAM_COMMAND, MEDIA_CMD_PLAY), 1);
    window.hook = nullptr;
    EXPECT_EQ(FakeFile::plays, 1);
    EXPECT_EQ(window.take(), (std::vector<Notice>{{MEDIAMSG_STARTED, WPARAM(h), 0}}));
    EXPECT_EQ(FakeFile::destroyed, 2);
}

TEST_F(MediaCore, NotifyWindowLoopsOnCompletionAndSurvivesAFaultingKind)
{
    MediaHandle h = open_fake();
    FakeFile *object = fake(h);
    HWND notify = CreateWindowExA(0, media::kNotifyWindowClass, "", WS_POPUP, 0, 0, 0, 0, window.hwnd(), nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(notify, nullptr);
    SetWindowLongPtrA(notify, GWL_USERDATA, reinterpret_cast<LONG_PTR>(object));
    struct Case {
        bool loop;
        WPARAM code;
        int plays;
    };
    for (const Case &c : {Case{true, MCI_NOTIFY_SUCCESSFUL, 1}, Case{false, MCI_NOTIFY_SUCCESSFUL, 0},
                          Case{true, MCI_NOTIFY_ABORTED, 0}, Case{true, MCI_NOTIFY_SUPERSEDED, 0}}) {
        FakeFile::plays = 0;
        MediaSet(h, MEDIAPARAM_LOOP, c.loop);
        SendMessageA(notify, MM_MCINOTIFY, c.code, 1);
        EXPECT_EQ(FakeFile::plays, c.plays) << c.loop << " " << c.code;
    }
    PlatDebugOutputClear();
    EXPECT_EQ(SendMessageA(notify, WM_USER + 1, 0, 0), 0);
    char out[256] = {};
    PlatDebugOutput(out, sizeof out);
    EXPECT_STREQ(out, "Baj van!\n");
    DestroyWindow(notify);
    CloseMedia(h);
}

}  // namespace

namespace {

TEST(MediaViewer, EndsTheProcessWhenNoMovieOpens)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // No ".mzi" in the command line, and an .mzi that does not open: a failure, not a success.
    char plain[] = "notes.txt";
    char missing[] = "missing.mzi";
    EXPECT_EXIT(DllPlayMedia(nullptr, nullptr, plain, SW_SHOW), testing::ExitedWithCode(1), "");
    EXPECT_EXIT(DllPlayMedia(nullptr, nullptr, missing, SW_SHOW), testing::ExitedWithCode(1), "");
}

}  // namespace
