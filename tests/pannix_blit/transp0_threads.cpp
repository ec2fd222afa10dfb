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
        set_transparent0_busy_hook(nullptr);
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

// The first call, once its flag is up, stays busy until the test lets it go on.
std::atomic<bool> g_first_busy{false}, g_let_first_go{false};
void hold_first_call() {
    g_first_busy.store(true);
    while (!g_let_first_go.load()) std::this_thread::yield();
}

TEST_F(Transparent0Threads, DuplicateStartsAtOnceWhileTheFirstIsBusy) {
    // A worker's first-instance call is held busy; meanwhile this thread draws through the second
    // entry, which must neither wait (the clock stays) nor need the first call to end.
    Scene big(T_A8888, T_565, 640, 64, 1);
    Scene sprite(T_565, T_565, 32, 32, 2);
    g_first_busy = false;
    g_let_first_go = false;
    set_transparent0_busy_hook(hold_first_call);
    std::thread first([&] { big.draw(false); });
    while (!g_first_busy.load()) std::this_thread::yield();
    EXPECT_EQ(transparent0_busy().value(), 1);
    const ULONGLONG t0 = PlatClockNow();
    sprite.draw(true);
    EXPECT_EQ(PlatClockNow() - t0, 0u);
    EXPECT_TRUE(sprite.right());
    EXPECT_EQ(transparent0_busy().value(), 1);  // the first call is still running
    g_let_first_go = true;
    first.join();
    set_transparent0_busy_hook(nullptr);
    EXPECT_TRUE(big.right());
    EXPECT_EQ(transparent0_busy().value(), 0);
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
