// The preview hand-off between a game's producer thread and the results screen: first picture,
// pictures flagged by the bit alone, partial and whole redraws, prepared frames, the click that asks
// for frames, and a producer that never acknowledges its stop.
#include <atomic>
#include <chrono>
#include <thread>

#include "preview.h"
#include "scene_support.h"
#include "vokplat/thread.h"

namespace {

using vstest::kBlue;
using vstest::kGreen;
using vstest::kGrey;
using vstest::kRed;
using vstest::rgb_of;

// Backdrop session 2 (the preview picture); session 3 is the frame and button session.
const char *kResults = R"(screen 7
dataPack "t"
session 1
  background "bg"
session 2
  flags plain
  rect 0 0 640 480
  fillColour 0
  initRoutine VokPreviewInit
session 3
  flags plain
  rect 400 300 200 100
  afterBuildRoutine VokPreviewSessionInit
  ikon 0
    id 22
    rect 0 0 30 10
    picture "green"
  ikon 0
    id 9
    rect 40 0 30 10
    picture "green"
)";

std::atomic<int> g_pictures{0};
std::atomic<uint16_t> g_colour{0};

VokInterFace *f()
{
    return &vok::iface();
}

// Keeps the contract: draws while 0x01 is clear, hands over, waits for the framework, stops on 0x02.
void good_producer(void *)
{
    VokInterFace *face = f();
    while (!(VokImgFlags(face) & VOK_IMG_STOP)) {
        if (!(VokImgFlags(face) & VOK_IMG_READY) && g_colour.load()) {
            PxFillPix(face->screenPix, g_colour.exchange(0));
            face->imgRect = VokImgRect{};
            VokImgFlagsSet(face, VOK_IMG_READY);
            PulseEvent(face->imgReadyEvent);
            g_pictures++;
            while (WaitForSingleObject(face->imgDoneEvent, 100) != WAIT_OBJECT_0 &&
                   (VokImgFlags(face) & VOK_IMG_READY) && !(VokImgFlags(face) & VOK_IMG_STOP)) {
            }
        } else {
            Sleep(10);
        }
    }
    VokImgFlagsClear(face, VOK_IMG_STOP);
}

// Never looks at the stop bit; blocks without moving the clock until the test lets it go.
HANDLE g_release = nullptr;
void deaf_producer(void *)
{
    WaitForSingleObject(g_release, INFINITE);
}

class PreviewTest : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        write_data();
        write_pack_file("Data/winvn.fpk", {{"vnsav0", vstest::solid565(200, 100, kGrey)},
                                       {"green", vstest::solid565(30, 10, kGreen)}});
        VokInitInterFace(window);
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        PxFillPix(screen, kBlue);
        face->screenPix = screen;
        face->gameId = VOK_GAME_VARNEL;
        VokImgFlagsStore(face, 0);
        g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_pictures = 0;
        g_colour = 0;
    }
    void TearDown() override
    {
        SetEvent(g_release);
        while (VokGetCurScene())
            KillCurScene(0);
        vok::preview_join();
        CloseHandle(g_release);
        face->screenPix = nullptr;
        face->imgThreadProc = nullptr;
        face->imgFrameList = nullptr;
        VokCloseInterFace();
        SceneTest::TearDown();
        PxFreePix(screen);
    }
    VokScene *start()
    {
        VokScene *s = parse(kResults);
        EXPECT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
        return s;
    }
    // One pass of the scene loop.
    void frame()
    {
        MnuBuildScene();
        MnuPaintScreen(VokGetCurScene(), 0);
    }
    uint32_t now() { return uint32_t(PlatClockNow() / 1000); }
    br_pixelmap *screen = nullptr;
};

TEST_F(PreviewTest, ProducerPicturesReachTheScreenAndTheStopIsAcknowledged)
{
    face->imgThreadProc = good_producer;
    VokScene *s = start();
    ASSERT_TRUE(s);
    EXPECT_FALSE(VokImgFlags(face) & VOK_IMG_WANTED) << "a producer is set";
    EXPECT_TRUE(s->sessions[2].flags & 0x100) << "buttons held until the first picture";
    EXPECT_TRUE(FindIkon(&s->sessions[2], 22)->state & VOK_IST_HIDDEN) << "no replay to save";
    frame();
    EXPECT_EQ(pixel(10, 10), rgb_of(kGrey)) << "the backdrop waits for the first picture";
    g_colour = kRed;
    for (int i = 0; i < 200 && g_pictures < 1; i++)
        Sleep(5);
    for (int i = 0; i < 50 && (VokImgFlags(face) & VOK_IMG_READY) == 0; i++)
        Sleep(5);
    frame();
    EXPECT_EQ(pixel(10, 10), rgb_of(kRed));
    EXPECT_FALSE(s->sessions[2].flags & 0x100);
    g_colour = kGreen;
    for (int i = 0; i < 200 && g_pictures < 2; i++)
        Sleep(5);
    for (int i = 0; i < 50 && (VokImgFlags(face) & VOK_IMG_READY) == 0; i++)
        Sleep(5);
    frame();
    EXPECT_EQ(pixel(10, 10), rgb_of(kGreen));
    uint32_t t0 = now();
    KillCurScene(0);
    EXPECT_LT(now() - t0, 1000u) << "the producer acknowledged";
    EXPECT_EQ(VokImgFlags(face) & VOK_IMG_STOP, 0u);
    EXPECT_EQ(face->imgThreadProc, nullptr);
}

// Hands one red picture over once 1500 virtual ms have passed, then only waits for the stop.
std::atomic<uint32_t> g_handedAt{0};
void late_producer(void *)
{
    VokInterFace *face = f();
    while (PlatClockNow() / 1000 < 1500 && !(VokImgFlags(face) & VOK_IMG_STOP))
        Sleep(10);
    if (!(VokImgFlags(face) & VOK_IMG_STOP)) {
        PxFillPix(face->screenPix, kRed);
        face->imgRect = VokImgRect{};
        g_handedAt = uint32_t(PlatClockNow() / 1000);
        VokImgFlagsSet(face, VOK_IMG_READY);
        PulseEvent(face->imgReadyEvent);
    }
    while (!(VokImgFlags(face) & VOK_IMG_STOP))
        Sleep(0);
    VokImgFlagsClear(face, VOK_IMG_STOP);
}

// The real pump with nobody at the keyboard or mouse: the picture still reaches the screen at once.
TEST_F(PreviewTest, AnIdleLoopShowsAHandedPictureWithinAFrame)
{
    face->imgThreadProc = late_producer;
    g_handedAt = 0;
    VokScene *s = start();
    ASSERT_TRUE(s);
    static VokSession *backdrop;
    static uint32_t shownAt;
    backdrop = &s->sessions[1];
    shownAt = 0;
    ASSERT_TRUE(AddProcToSession(&s->sessions[0], nullptr, nullptr, [](VokSessionProc *) {
        uint32_t now = uint32_t(PlatClockNow() / 1000);
        if (reinterpret_cast<uint16_t *>(backdrop->pix->pixels)[0] == kRed && !shownAt)
            shownAt = now;
        if (shownAt || now > 5000)
            vok::engine().abort = true;
        return 1;
    }, nullptr));
    RunCurScene();
    ASSERT_NE(g_handedAt.load(), 0u);
    ASSERT_NE(shownAt, 0u) << "the picture waited for input";
    EXPECT_LE(shownAt - g_handedAt.load(), 50u);
    EXPECT_EQ(VokImgFlags(face) & VOK_IMG_READY, 0u);
}

// Looking through the screen tables for the page's entry leaves the last-error text alone.
TEST_F(PreviewTest, FindingThePagesEntryKeepsTheLastError)
{
    ASSERT_TRUE(start());
    SetLastMsgError("%s", "an earlier error");
    ASSERT_EQ(VokPreviewInit(nullptr), 1);  // the test's page is in no table: every entry is passed
    EXPECT_STREQ(GetLastMsgError(), "an earlier error");
}

TEST_F(PreviewTest, AProducerThatNeverStopsIsAbandonedAfterASecondAndJoinedLater)
{
    face->imgThreadProc = deaf_producer;
    face->imgEndProc = [] {};
    face->replayProc = [] { return 1; };
    face->imgRect = VokImgRect{1, 2, 3, 4};
    ASSERT_TRUE(start());
    uint32_t t0 = now();
    KillCurScene(0);
    uint32_t waited = now() - t0;
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 1100u);
    EXPECT_EQ(face->imgThreadProc, nullptr);
    EXPECT_EQ(face->imgEndProc, nullptr);
    EXPECT_EQ(face->replayProc, nullptr);
    EXPECT_EQ(face->imgRect.x + face->imgRect.y + face->imgRect.width + face->imgRect.height, 0);
    EXPECT_EQ(VokImgFlags(face), VOK_IMG_STOP);
    SetEvent(g_release);
    vok::preview_join();  // returns once the thread has ended
}

std::atomic<int> g_live{0}, g_maxLive{0};
void counted_producer(void *)
{
    int n = ++g_live;
    for (int m = g_maxLive.load(); n > m && !g_maxLive.compare_exchange_weak(m, n);) {
    }
    good_producer(nullptr);
    --g_live;
}

// A page whose end never ran (its button session was never built) leaves its producer running: the
// next page's start and the interface's close stop and join it rather than leave it on freed events.
TEST_F(PreviewTest, AProducerWhosePageNeverEndedIsStoppedBeforeTheNextAndAtClose)
{
    g_live = g_maxLive = 0;
    for (int page = 0; page < 2; page++) {
        face->imgThreadProc = counted_producer;
        ASSERT_EQ(VokPreviewInit(nullptr), 1);
        for (int i = 0; i < 200 && g_live.load() == 0; i++)
            Sleep(1);
    }
    EXPECT_EQ(g_maxLive.load(), 1) << "one producer at a time";
    vok::preview_join();  // what the interface's close does
    EXPECT_EQ(g_live.load(), 0);
    EXPECT_EQ(VokImgFlags(face) & VOK_IMG_STOP, 0u) << "the producer acknowledged";
}

TEST_F(PreviewTest, BitOnlyPicturesAndTheirRectangles)
{
    VokScene *s = start();
    ASSERT_TRUE(s);
    EXPECT_TRUE(VokImgFlags(face) & VOK_IMG_WANTED) << "no producer: frames are wanted";
    frame();
    EXPECT_EQ(pixel(10, 10), 0u) << "the backdrop shows its own fill until a picture comes";
    struct Case {
        uint16_t colour;
        VokImgRect rect;
        uint32_t inside, outside;
    } cases[] = {
        {kRed, {0, 0, 20, 20}, rgb_of(kRed), 0},                  // only the rectangle
        {kGreen, {0, 0, 0, 0}, rgb_of(kGreen), rgb_of(kGreen)},   // w = h = 0: all of it
        {kRed, {0, 100, 0, 20}, rgb_of(kRed), rgb_of(kGreen)},    // w = 0: a band of full width
    };
    for (const Case &c : cases) {
        PxFillPix(screen, c.colour);
        face->imgRect = c.rect;
        VokImgFlagsSet(face, VOK_IMG_READY);  // no event
        frame();
        EXPECT_EQ(VokImgFlags(face) & VOK_IMG_READY, 0u);
        EXPECT_EQ(pixel(c.rect.x + 5, c.rect.y + 5), c.inside);
        EXPECT_EQ(pixel(300, 250), c.outside);
    }
    // Without a screen picture a ready picture is only acknowledged.
    face->screenPix = nullptr;
    VokImgFlagsSet(face, VOK_IMG_READY);
    frame();
    EXPECT_EQ(VokImgFlags(face) & VOK_IMG_READY, 0u);
}

TEST_F(PreviewTest, ClickAsksForFrames)
{
    face->imgThreadProc = good_producer;
    ASSERT_TRUE(start());
    frame();
    EXPECT_FALSE(VokImgFlags(face) & VOK_IMG_WANTED);
    MnuMouseHandler(window, WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    frame();
    EXPECT_TRUE(VokImgFlags(face) & VOK_IMG_WANTED);
}

std::atomic<bool> g_stopCounting{false};
std::atomic<int> g_donePulses{0};
DWORD WINAPI count_done(LPVOID)
{
    while (true) {
        WaitForSingleObject(vok::iface().imgDoneEvent, INFINITE);
        if (g_stopCounting)
            return 0;
        g_donePulses++;
    }
}

TEST_F(PreviewTest, PreparedFramesPlayAtFiftyMillisecondStepsThenPulseDoneOnce)
{
    br_pixelmap *frames[3];
    uint16_t colours[3] = {kRed, kGreen, kGrey};
    for (int i = 0; i < 3; i++) {
        frames[i] = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        PxFillPix(frames[i], colours[i]);
    }
    g_stopCounting = false;
    g_donePulses = 0;
    HANDLE counter = CreateThread(nullptr, 0, count_done, nullptr, 0, nullptr);
    while (PlatCountWaiters(face->imgDoneEvent) < 1)
        Sleep(0);
    face->imgFrameList = frames;
    face->imgFrameCount = 3;
    VokScene *s = start();
    ASSERT_TRUE(s);
    VokSession *b = &s->sessions[1];
    auto shown = [&] { return reinterpret_cast<uint16_t *>(b->backgroundPix->pixels)[0]; };
    uint32_t t0 = now();
    std::vector<uint32_t> changes;
    uint16_t last = shown();
    for (int i = 0; i < 40 && face->imgFrameList; i++) {
        frame();
        if (VokImgFlags(face) & VOK_IMG_FRAMES || face->imgFrameList == nullptr) {
            if (shown() != last) {
                changes.push_back(now() - t0);
                last = shown();
            }
        }
        PlatAdvanceClock(10);
    }
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_GT(changes[0], 50u);
    for (size_t i = 1; i < changes.size(); i++)
        EXPECT_GT(changes[i] - changes[i - 1], 50u) << i;
    EXPECT_EQ(last, kGrey);
    EXPECT_EQ(face->imgFrameList, nullptr);
    EXPECT_EQ(VokImgFlags(face) & (VOK_IMG_READY | VOK_IMG_FRAMES), 0u);
    // The woken counter runs on the machine's time, not the virtual clock: give it up to a second.
    for (int i = 0; i < 1000 && g_donePulses == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(g_donePulses.load(), 1);
    g_stopCounting = true;
    SetEvent(face->imgDoneEvent);
    WaitForSingleObject(counter, INFINITE);
    CloseHandle(counter);
    for (br_pixelmap *p : frames)
        PxFreePix(p);
}

}  // namespace
