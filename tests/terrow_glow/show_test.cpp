// The preview light show: which show a field gets, the switch to partial hand-offs, an empty field,
// and the producer's stop (run under scripts/tsan.sh as well).
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "scene.h"
#include "terrow/trfx.h"
#include "terrow/trmodule.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"

using glowtest::Scene;

namespace {

struct Frames {
    std::atomic<int> count{0};
    int stopAt = 0;
    int wholeBeforeHandOff = -1;
    std::vector<std::vector<int32_t>> handOffs;
};
Frames g_frames;

// Points over the cube's front face (its own space), `n` of them in rows.
std::vector<float> face_points(int n)
{
    std::vector<float> p;
    for (int i = 0; i < n; i++) {
        p.push_back(-0.95f + 1.9f * float(i % 40) / 39.0f);
        p.push_back(-0.95f + 1.9f * float(i / 40) / 63.0f);
        p.push_back(1.0f);
    }
    return p;
}

TrOverlayHost counting_host(int stopAt)
{
    g_frames.count = 0;
    g_frames.stopAt = stopAt;
    g_frames.wholeBeforeHandOff = -1;
    g_frames.handOffs.clear();
    TrOverlayHost h{};
    h.handOff = [](int32_t x, int32_t y, int32_t w, int32_t hh) {
        if (g_frames.wholeBeforeHandOff < 0)
            g_frames.wholeBeforeHandOff = g_frames.count;
        g_frames.handOffs.push_back({x, y, w, hh});
        g_frames.count++;
    };
    h.presentWhole = [](br_pixelmap *) { g_frames.count++; };
    h.stopRequested = [] { return g_frames.count >= g_frames.stopAt ? 1 : 0; };
    h.sleepMs = [](uint32_t) {};
    return h;
}

int32_t show(br_actor *actor, br_pixelmap *colour, br_pixelmap *depth, br_actor *camera, int n)
{
    const std::vector<float> p = face_points(n);
    return Preview_ShowPoints(actor, colour, depth, camera, reinterpret_cast<const float(*)[3]>(p.data()), n);
}

TEST_F(Scene, ShortShowUpTo310PointsLongFrom311)
{
    struct Case {
        int points, kind;
    } cases[] = {{0, 1}, {1, 1}, {310, 1}, {311, 2}, {2500, 2}};
    for (const Case &c : cases) {
        const TrOverlayHost h = counting_host(3);
        TrSetOverlayHost(&h);
        render();
        show(cube, colour, depth, camera, c.points);
        EXPECT_EQ(Preview_LastKind(), c.kind) << c.points;
        EXPECT_EQ(g_frames.count.load(), 3) << "the stop is seen before the next frame";
    }
}

TEST_F(Scene, HandOffsTurnPartialOnceFramesAreWanted)
{
    // Short show: 5 + 11 + 24 frames, then the swaying plane from its 21st frame on; long show over 311
    // points: 7 batches of four frames, then the twinkle from its 32nd pass on.
    struct Case {
        int points, whole;
    } cases[] = {{310, 61}, {311, 59}};
    for (const Case &c : cases) {
        VokInterFace iface{};
        TrGetModule()->iface = &iface;
        const TrOverlayHost h = counting_host(c.whole + 6);
        TrSetOverlayHost(&h);
        render();
        show(cube, colour, depth, camera, c.points);
        EXPECT_EQ(g_frames.wholeBeforeHandOff, c.whole) << c.points;
        EXPECT_TRUE(VokImgFlags(&iface) & VOK_IMG_WANTED);
        ASSERT_GE(g_frames.handOffs.size(), 2u);
        // The first hand-off holds its own frame's lights; the next one them as well (to wipe them).
        const std::vector<int32_t> &a = g_frames.handOffs[0], &b = g_frames.handOffs[1];
        if (a[2] > 0) {
            EXPECT_LE(b[0], a[0]);
            EXPECT_LE(b[1], a[1]);
            EXPECT_GE(b[0] + b[2], a[0] + a[2]);
            EXPECT_GE(b[1] + b[3], a[1] + a[3]);
        }
        bool lit = false;
        for (const std::vector<int32_t> &r : g_frames.handOffs)
            lit = lit || r[2] > 0;
        EXPECT_TRUE(lit) << c.points;
        TrGetModule()->iface = nullptr;
    }
}

TEST_F(Scene, AnEmptyFieldPlaysTheShortShowUnlit)
{
    VokInterFace iface{};
    TrGetModule()->iface = &iface;
    const TrOverlayHost h = counting_host(70);
    TrSetOverlayHost(&h);
    render();
    const std::vector<uint16_t> before = pixels();
    EXPECT_EQ(Preview_ShowPoints(cube, colour, depth, camera, nullptr, 0), 0);
    EXPECT_EQ(Preview_LastKind(), 1);
    EXPECT_EQ(pixels(), before);
    EXPECT_EQ(g_frames.wholeBeforeHandOff, 61);
    for (const std::vector<int32_t> &r : g_frames.handOffs)
        EXPECT_EQ(r, (std::vector<int32_t>{0, 0, 0, 0}));
    TrGetModule()->iface = nullptr;
}

std::atomic<int> g_threadFrames{0};

TEST_F(Scene, TheProducerStopsWithin100MsOfTheFlag)
{
    for (int points : {310, 600}) {
        g_threadFrames = 0;
        TrOverlayHost h{};
        h.handOff = [](int32_t, int32_t, int32_t, int32_t) { g_threadFrames++; };
        h.presentWhole = [](br_pixelmap *) { g_threadFrames++; };
        TrSetOverlayHost(&h);
        Preview_RequestStop(0);
        render();
        const std::vector<float> p = face_points(points);
        std::thread producer([&] {
            Preview_ShowPoints(cube, colour, depth, camera, reinterpret_cast<const float(*)[3]>(p.data()), points);
        });
        // Well into the partial hand-offs with their 20 ms pauses.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (g_threadFrames.load() < 70 && std::chrono::steady_clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_GE(g_threadFrames.load(), 70) << points;
        const auto asked = std::chrono::steady_clock::now();
        Preview_RequestStop(1);
        producer.join();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
        EXPECT_LT(took.count(), 100) << points;
        Preview_RequestStop(0);
    }
}

}  // namespace
