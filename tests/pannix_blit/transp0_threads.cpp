// The two instances of CopyRectTransparent0 on two threads: the second entry starts at once while
// the first is busy, and neither call disturbs the other's result. On the virtual clock a wait
// would show as time passing.
#include <atomic>
#include <thread>

#include "blend_support.h"
#include "vokplat/clock.h"
#include "win32/wintime.h"

using namespace pxblit;
using namespace pxtest;

namespace {

class Transparent0Threads : public ::testing::Test {
protected:
    void SetUp() override { PlatSetVirtualClock(TRUE); }
    void TearDown() override {
        transparent0_busy().force(0);
        PlatSetVirtualClock(FALSE);
    }
};

// A sprite and its expected result over a fresh destination, from the reference rows.
struct Scene {
    TestMap src, dst, want;
    Scene(int s, int d, int w, int h, uint32_t seed)
        : src(MapSpec{s, w, h}), dst(MapSpec{d, w, h}), want(MapSpec{d, w, h}) {
        std::mt19937 rng(seed);
        src.randomize(rng);
        dst.randomize(rng);
        want.restore(dst.memory());
        const PairKernel* k = transparent0_pair(s, d, 0);
        for (int y = 0; y < h; ++y) k->ref(src.at(0, y), want.at(0, y), w, RowCtx{});
    }
    void draw(bool dup) {
        const PxMap* m = src.map();
        if (dup) copy_rect_transp0_dup(dst.map(), 0, 0, m, 0, 0, m->width, m->height);
        else copy_rect_transparent0(dst.map(), 0, 0, m, 0, 0, m->width, m->height);
    }
    bool right() const { return dst.memory() == want.memory(); }
};

TEST_F(Transparent0Threads, DuplicateStartsAtOnceWhileTheFirstIsBusy) {
    // The first instance blends a large picture on a worker; as soon as its flag is up, this thread
    // draws a sprite through the second entry and must be done before the first call ends.
    bool overlapped = false;
    for (int h = 256; h <= 8192 && !overlapped; h *= 2) {
        Scene big(T_A8888, T_565, 640, h, 1);
        Scene sprite(T_565, T_565, 32, 32, 2);
        std::atomic<bool> done{false};
        std::thread first([&] {
            big.draw(false);
            done.store(true);
        });
        while (transparent0_busy().value() == 0 && !done.load()) std::this_thread::yield();
        const bool busy_before = !done.load();
        const ULONGLONG t0 = PlatClockNow();
        sprite.draw(true);
        const bool busy_after = !done.load() && transparent0_busy().value() == 1;
        const ULONGLONG spent = PlatClockNow() - t0;
        first.join();
        EXPECT_TRUE(sprite.right());
        EXPECT_TRUE(big.right());
        EXPECT_EQ(spent, 0u);
        EXPECT_EQ(transparent0_busy().value(), 0);
        overlapped = busy_before && busy_after;
    }
    EXPECT_TRUE(overlapped) << "the first call never stayed busy long enough to overlap";
}

TEST_F(Transparent0Threads, HeldFlagDelaysOnlyTheFirstInstance) {
    // The flag held by a call that does not end: a second call of the first instance waits about
    // 1000 ms and then draws; the second entry, on another thread, draws at once meanwhile.
    Scene a(T_565, T_565, 16, 8, 3), b(T_4444, T_565, 16, 8, 4);
    transparent0_busy().force(1);
    const ULONGLONG t0 = PlatClockNow();
    ULONGLONG dup_spent = 1;
    std::thread worker([&] {
        const ULONGLONG w0 = PlatClockNow();
        b.draw(true);
        dup_spent = PlatClockNow() - w0;
    });
    worker.join();
    EXPECT_EQ(dup_spent, 0u);
    EXPECT_TRUE(b.right());
    a.draw(false);
    const ULONGLONG waited_ms = (PlatClockNow() - t0) / 1000;
    EXPECT_GE(waited_ms, 1000u);
    EXPECT_LE(waited_ms, 1003u);
    EXPECT_TRUE(a.right());
    EXPECT_EQ(transparent0_busy().value(), 0);
}

}  // namespace
