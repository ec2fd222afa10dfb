// The game's screens by their result table, inside a running game with the framework's screens
// replaced by a script of answers.
#include <string.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <thread>

#include "kelpa/kprules.h"
#include "support.h"
#include "vokplat/sound.h"
#include "vokplat/window.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokloading.h"

using namespace kptest;

namespace {

unsigned g_shown = 0;
int g_answer = 0;
VokInterFace *g_face = nullptr;

int fakeScreen(unsigned id)
{
    g_shown = id;
    g_face->popupResult = g_answer;
    return 1;
}

}  // namespace

TEST_F(Game, PopupResultTable)
{
    g_face = face;
    KpSetPopupScreen(fakeScreen);
    const struct {
        int type, answer;
        int setupPending;  // -1: not checked
        bool closes;
    } cases[] = {
        {3, 1, 0, false},  {34, 2, 0, false}, {2, 1, 1, false}, {2, 0, 0, false},
        {4, 2, 1, false},  {5, 1, 1, false},  {6, 2, 1, false}, {7, 1, 1, false},
        {3, -1, -1, true}, {6, -1, -1, true},
    };
    for (const auto &c : cases) {
        hostLog() = HostLog();
        int pending = -2;
        long closes = 0;
        hostLog().onMessage = [&](UINT m, WPARAM) {
            if (m == WM_USER + 12) {
                g_answer = c.answer;
                g_shown = 0;
                KpShowPopup(c.type);
                pending = kpObjects().setupPending;
                // The closes waiting: the run's own and any the screen's answer posted.
                MSG msg;
                while (PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE))
                    closes++;
                PostMessageA(host, WM_CLOSE, 0, 0);
            }
        };
        EXPECT_EQ(run({{WM_USER + 12, 0}}), 0);
        EXPECT_EQ(g_shown, unsigned(c.type)) << c.type;
        if (c.setupPending >= 0) {
            EXPECT_EQ(pending, c.setupPending) << c.type << " " << c.answer;
        }
        // The run's own close, and one more when the answer is -1.
        EXPECT_EQ(closes, c.closes ? 2 : 1) << c.type << " " << c.answer;
        kpModule() = KpModule();
        kpSwitches() = KpSwitches();
    }
    KpSetPopupScreen(nullptr);
}

TEST_F(Game, ResultsScreenHandsOverTheReplayRoutineInKind100)
{
    g_face = face;
    KpSetPopupScreen(fakeScreen);
    face->gameKind = 100;
    face->levelFamily = 0;
    face->levelNumber = 0;
    VokReplayProc handed = nullptr;
    uint32_t flags = 0;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m == WM_USER + 13) {
            g_answer = 1;
            face->imgFlags = 0;
            KpShowPopup(6);
            handed = face->replayProc;
            flags = face->imgFlags;
            KpShowPopup(3);
        }
    };
    EXPECT_EQ(run({{WM_USER + 13, 0}}), 0);
    EXPECT_EQ(handed, &KpAssembleReplay);
    EXPECT_NE(flags & 0x20u, 0u);
    // Any other screen hands over nothing.
    EXPECT_EQ(face->replayProc, nullptr);
    EXPECT_EQ(face->imgThreadProc, nullptr);
    KpSetPopupScreen(nullptr);
}

namespace {

uint64_t pictureHash(const br_pixelmap *p)
{
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < p->height; y++) {
        const uint8_t *row = static_cast<const uint8_t *>(p->pixels) + ptrdiff_t(p->base_y + y) * p->row_bytes;
        for (int x = 0; x < p->width * 2; x++)
            h = (h ^ row[x]) * 1099511628211ull;
    }
    return h;
}

uint32_t nowMs()
{
    return timeGetTime();
}

}  // namespace

// The test is the framework: it takes each picture the producer hands over, pauses it and stops it.
TEST_F(Game, PreviewProducerHandsOverOnePictureAtATimeRestsWhenPausedAndStops)
{
    long firstLit = 0;
    int pictures = 0, small = 0, large = 0, oddRects = 0, changedInFlight = 0, drawnWhilePaused = 0;
    uint32_t stopTook = 0;
    bool stopped = false;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 14)
            return;
        auto rules = std::make_unique<KpRules>();
        rules->pathCount = 4;
        for (int q = 0; q < 4; q++)
            rules->pathCells[q][0] = 5, rules->pathCells[q][1] = q;
        KpKeepPath(*rules);
        VokImgFlagsStore(face, 0);
        std::thread producer(KpImageProducer, nullptr);
        auto take = [&]() {
            const VokImgRect r = face->imgRect;
            if (r.width == 160 && r.height == 160)
                small++;
            else if (r.width == 400 && r.height == 400)
                large++;
            else if (r.width != 0 || r.height != 0)
                oddRects++;
            VokImgFlagsClear(face, VOK_IMG_READY);
            PulseEvent(face->imgDoneEvent);
            pictures++;
        };
        auto awaitPicture = [&]() {
            for (int i = 0; i < 100 && !(VokImgFlags(face) & VOK_IMG_READY); i++)
                WaitForSingleObject(face->imgReadyEvent, 50);
            return (VokImgFlags(face) & VOK_IMG_READY) != 0;
        };
        while (pictures < 40 && awaitPicture()) {
            if (pictures == 4) {
                // A trail picture carries the rendered board, not only its glows.
                const br_pixelmap *p = face->screenPix;
                for (int y = 0; y < p->height; y++)
                    for (int x = 0; x < p->width; x++)
                        firstLit += static_cast<const uint16_t *>(p->pixels)[(p->base_y + y) * (p->row_bytes / 2) + p->base_x + x] != 0;
            }
            // While a picture is in flight the producer leaves it alone, also past its 100 ms looks.
            if (pictures % 10 == 3) {
                const uint64_t before = pictureHash(face->screenPix);
                Sleep(250);
                if (pictureHash(face->screenPix) != before)
                    changedInFlight++;
            }
            if (pictures == 20) {
                VokImgFlagsSet(face, VOK_IMG_PAUSE);
                take();
                const uint64_t before = pictureHash(face->screenPix);
                Sleep(600);
                if ((VokImgFlags(face) & VOK_IMG_READY) || pictureHash(face->screenPix) != before)
                    drawnWhilePaused++;
                VokImgFlagsClear(face, VOK_IMG_PAUSE);
                continue;
            }
            take();
        }
        awaitPicture();
        const uint32_t t0 = nowMs();
        VokImgFlagsStore(face, VOK_IMG_STOP);
        while ((VokImgFlags(face) & VOK_IMG_STOP) && nowMs() - t0 <= 2000)
            Sleep(1);
        stopTook = nowMs() - t0;
        stopped = !(VokImgFlags(face) & VOK_IMG_STOP);
        producer.join();
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 14, 0}}), 0);
    EXPECT_EQ(pictures, 40);
    EXPECT_GT(firstLit, 640L * 480 / 2);
    // A path of four cells: nine trail pictures, then the flash in and out.
    EXPECT_GT(small, 0);
    EXPECT_GT(large, 0);
    EXPECT_EQ(oddRects, 0);
    EXPECT_EQ(changedInFlight, 0);
    EXPECT_EQ(drawnWhilePaused, 0);
    EXPECT_TRUE(stopped);
    EXPECT_LT(stopTook, 1000u);
}

// A level set up anew forgets the last level's path: its preview shows no flash over an old exit.
TEST_F(Game, PreviewProducerForgetsTheLastLevelsPath)
{
    int pictures = 0, large = 0;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 14)
            return;
        auto rules = std::make_unique<KpRules>();
        rules->pathCount = 4;
        for (int q = 0; q < 4; q++)
            rules->pathCells[q][0] = 5, rules->pathCells[q][1] = q;
        KpKeepPath(*rules);
        KpLevelSetup();
        VokImgFlagsStore(face, 0);
        std::thread producer(KpImageProducer, nullptr);
        while (pictures < 20) {
            for (int i = 0; i < 100 && !(VokImgFlags(face) & VOK_IMG_READY); i++)
                WaitForSingleObject(face->imgReadyEvent, 50);
            if (!(VokImgFlags(face) & VOK_IMG_READY))
                break;
            large += face->imgRect.width == 400;
            VokImgFlagsClear(face, VOK_IMG_READY);
            PulseEvent(face->imgDoneEvent);
            pictures++;
        }
        VokImgFlagsStore(face, VOK_IMG_STOP);
        producer.join();
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 14, 0}}), 0);
    EXPECT_EQ(pictures, 20);
    EXPECT_EQ(large, 0);
}

// Before its first picture the producer slides the wide picture in, straight to the window: the
// pictures move sideways and end on the one the screen then takes, nothing is drawn while paused,
// and the screen's own picture (the framework holds it) keeps its place and size.
TEST_F(Game, PreviewSlidesInFromTheWideBackdropBeforeItsFirstPicture)
{
    std::vector<std::vector<uint32_t>> frames;
    std::vector<uint32_t> handed;
    bool pausedStill = false, samePicture = true, wideBackdrop = false, endsOnIt = true;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 15)
            return;
        wideBackdrop = kpResources().backdrops[3] != nullptr && kpResources().backdrops[3]->width > 640;
        auto rules = std::make_unique<KpRules>();
        rules->pathCount = 4;
        for (int q = 0; q < 4; q++)
            rules->pathCells[q][0] = 5, rules->pathCells[q][1] = q;
        KpKeepPath(*rules);
        const br_pixelmap *screen = kpRenderer().screen->colour;
        face->screenPix = kpRenderer().screen->colour;
        HWND window = kpModule().gameWindow;
        std::vector<uint32_t> px(640 * 480);
        int w = 0, h = 0;
        auto capture = [&]() {
            VokCaptureWindow(window, px.data(), int(px.size()), &w, &h);
            return px;
        };
        VokImgFlagsStore(face, VOK_IMG_PAUSE);
        std::thread producer(KpImageProducer, nullptr);
        Sleep(300);
        const auto before = capture();
        Sleep(400);
        pausedStill = capture() == before;
        VokImgFlagsClear(face, VOK_IMG_PAUSE);
        for (int i = 0; i < 4000 && !(VokImgFlags(face) & VOK_IMG_READY); i++) {
            const auto now = capture();
            if (frames.empty() || now != frames.back())
                frames.push_back(now);
            Sleep(2);
        }
        handed = capture();
        if (handed != frames.back())
            frames.push_back(handed);
        // The window shows the picture handed over.
        const br_pixelmap *p = face->screenPix;
        for (int y = 0; y < 480 && endsOnIt; y++)
            for (int x = 0; x < 640 && endsOnIt; x++) {
                const uint16_t c = static_cast<const uint16_t *>(p->pixels)[(p->base_y + y) * (p->row_bytes / 2) + p->base_x + x];
                const uint32_t q = handed[size_t(y) * 640 + x];
                endsOnIt = (c >> 11) == ((q >> 19) & 31) && ((c >> 5) & 63) == ((q >> 10) & 63) && (c & 31) == ((q >> 3) & 31);
            }
        samePicture = face->screenPix == screen && kpRenderer().screen->colour == screen && screen->width == 640 &&
                      screen->height == 480;
        VokImgFlagsStore(face, VOK_IMG_STOP);
        producer.join();
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 15, 0}}), 0);
    ASSERT_TRUE(wideBackdrop);
    EXPECT_TRUE(pausedStill);
    EXPECT_TRUE(samePicture);
    ASSERT_GE(frames.size(), 10u);
    // The slide ends on the picture handed over; an earlier frame is that picture moved right by an
    // even number of pixels up to 160 (rows over the board, clear of the overlay).
    EXPECT_TRUE(endsOnIt);
    int shifted = 0;
    for (size_t f = 0; f + 1 < frames.size(); f++) {
        const auto &a = frames[f];
        for (int k = 2; k <= 160; k += 2) {
            bool same = true;
            for (int y = 120; y < 380 && same; y += 4)
                for (int x = 0; x + k < 640 && same; x++)
                    same = a[size_t(y) * 640 + x + k] == handed[size_t(y) * 640 + x];
            if (same) {
                shifted++;
                break;
            }
        }
    }
    EXPECT_GT(shifted, 5);
}

// A results screen closed while the preview still slides in: the producer stops within a second,
// hands over nothing, and leaves the renderer's own layers and the screen's size as they were, so
// the next results screen starts a producer that slides in and hands over again.
TEST_F(Game, PreviewStoppedDuringItsSlideLeavesTheRendererForTheNext)
{
    int stoppedInTime = 0, handedWhileSliding = 0, handedAfterStop = 0, layersKept = 0, handedAfter = 0;
    const int cycles = 3;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 16)
            return;
        auto rules = std::make_unique<KpRules>();
        rules->pathCount = 4;
        for (int q = 0; q < 4; q++)
            rules->pathCells[q][0] = 5, rules->pathCells[q][1] = q;
        KpKeepPath(*rules);
        face->screenPix = kpRenderer().screen->colour;
        for (int cycle = 0; cycle < cycles; cycle++) {
            const br_pixelmap *colour = kpRenderer().savedColour, *depth = kpRenderer().savedDepth;
            const br_pixelmap *screen = kpRenderer().screen->colour;
            VokImgFlagsStore(face, 0);
            std::thread producer(KpImageProducer, nullptr);
            Sleep(40 + 60 * cycle);
            handedWhileSliding += (VokImgFlags(face) & VOK_IMG_READY) != 0;
            const uint32_t t0 = nowMs();
            VokImgFlagsStore(face, VOK_IMG_STOP);
            while ((VokImgFlags(face) & VOK_IMG_STOP) && nowMs() - t0 <= 2000)
                Sleep(1);
            stoppedInTime += nowMs() - t0 < 1000 && !(VokImgFlags(face) & VOK_IMG_STOP);
            handedAfterStop += (VokImgFlags(face) & VOK_IMG_READY) != 0;
            producer.join();
            layersKept += kpRenderer().savedColour == colour && kpRenderer().savedDepth == depth &&
                          kpRenderer().screen->colour == screen && screen->width == 640 && screen->height == 480;
        }
        // Started again and left to run, it hands over its pictures.
        VokImgFlagsStore(face, 0);
        std::thread producer(KpImageProducer, nullptr);
        for (int i = 0; i < 100 && !(VokImgFlags(face) & VOK_IMG_READY); i++)
            WaitForSingleObject(face->imgReadyEvent, 50);
        handedAfter = (VokImgFlags(face) & VOK_IMG_READY) != 0;
        VokImgFlagsStore(face, VOK_IMG_STOP);
        producer.join();
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 16, 0}}), 0);
    EXPECT_EQ(stoppedInTime, cycles);
    EXPECT_EQ(handedWhileSliding, 0);
    EXPECT_EQ(handedAfterStop, 0);
    EXPECT_EQ(layersKept, cycles);
    EXPECT_EQ(handedAfter, 1);
}

namespace {

// A mono 16-bit wave of `ms` milliseconds at 8000 Hz.
std::string waveOf(uint32_t ms)
{
    const uint32_t data = 16 * ms;
    std::string w = "RIFF";
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; i++)
            w.push_back(char(v >> (8 * i)));
    };
    put(36 + data, 4);
    w += "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2), put(8000, 4), put(16000, 4), put(2, 2), put(16, 2);
    w += "data";
    put(data, 4);
    w.append(data, '\x10');
    return w;
}

}  // namespace

// The game's CD track starts over after every screen but the speed screen (type 3).
TEST_F(Game, PopupsRestartTheCdTrackButTheSpeedScreen)
{
    const std::filesystem::path disc = std::filesystem::temp_directory_path() / ("kelpa_cd_" + std::to_string(getpid()));
    std::filesystem::create_directories(disc);
    for (int t = 1; t <= 3; t++)
        std::ofstream(disc / ("track0" + std::to_string(t) + ".wav"), std::ios::binary) << waveOf(5000);
    setenv("VOK_CDAUDIO_DIR", disc.c_str(), 1);
    g_face = face;
    KpSetPopupScreen(fakeScreen);
    std::vector<size_t> startsAfter;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 17)
            return;
        VokInitCD();
        face->generalSettings->cdMusic = 2;
        kpSettings().cdTrack = 1;
        VokPlayCDtrack(1);
        VokSoundRecorderReset();
        g_answer = 1;
        for (int type : {3, 3, 34, 2}) {
            KpShowPopup(type);
            VokSoundSync();
            size_t cd = 0;
            std::vector<VokSoundPlay> plays(VokSoundGetPlays(nullptr, 0));
            VokSoundGetPlays(plays.data(), plays.size());
            for (const VokSoundPlay &p : plays)
                cd += p.cd_track == 2;
            startsAfter.push_back(cd);
        }
        VokKillCD();
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 17, 0}}), 0);
    unsetenv("VOK_CDAUDIO_DIR");
    KpSetPopupScreen(nullptr);
    std::filesystem::remove_all(disc);
    // The track playing on: still one play after the speed screens, a new one after each other.
    EXPECT_EQ(startsAfter, (std::vector<size_t>{1, 1, 2, 3}));
}
