// The dispatcher's busy flag on the virtual clock: a call that finds the flag held waits up to
// 1000 ms and then copies anyway; the flag is clear after every call.
#include <gtest/gtest.h>

#include <thread>

#include "support.h"
#include "vokplat/clock.h"
#include "win32/wintime.h"

using namespace pxblit;
using pxtest::MapSpec;
using pxtest::TestMap;

namespace {

class BusyFlagTest : public ::testing::Test {
protected:
    void SetUp() override { PlatSetVirtualClock(TRUE); }
    void TearDown() override {
        copy_rectangle_busy().force(0);
        PlatSetVirtualClock(FALSE);
    }
    TestMap src{MapSpec{T_565, 4, 4}}, dst{MapSpec{T_565, 4, 4}};
    void prepare() { src.set(2, 2, 0x1234); }
};

TEST_F(BusyFlagTest, FreeFlagCostsNoTime) {
    // Many blits in a row (the glyphs of a text) do not move the virtual clock.
    prepare();
    const ULONGLONG t0 = PlatClockNow();
    for (int i = 0; i < 1000; ++i) copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 4, 4);
    EXPECT_EQ(PlatClockNow() - t0, 0u);
    EXPECT_EQ(dst.get(2, 2), 0x1234u);
    EXPECT_EQ(copy_rectangle_busy().value(), 0);
}

TEST_F(BusyFlagTest, HeldFlagIsWaitedForAboutOneSecondThenTheCopyRuns) {
    prepare();
    copy_rectangle_busy().force(1);
    const ULONGLONG t0 = PlatClockNow();
    copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 4, 4);
    const ULONGLONG waited_ms = (PlatClockNow() - t0) / 1000;
    EXPECT_GE(waited_ms, 1000u);
    EXPECT_LE(waited_ms, 1003u);
    EXPECT_EQ(dst.get(2, 2), 0x1234u);
    EXPECT_EQ(copy_rectangle_busy().value(), 0);
}

TEST_F(BusyFlagTest, WaiterStartsWhenTheRunningCallEnds) {
    // Another thread holds the flag until the waiter's polling has moved the clock 200 ms.
    prepare();
    copy_rectangle_busy().force(1);
    const ULONGLONG t0 = PlatClockNow();
    std::thread holder([t0] {
        while (PlatClockNow() - t0 < 200000) std::this_thread::yield();
        copy_rectangle_busy().release();
    });
    copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 4, 4);
    const ULONGLONG waited_ms = (PlatClockNow() - t0) / 1000;
    holder.join();
    EXPECT_GE(waited_ms, 200u);
    EXPECT_LT(waited_ms, 1000u);
    EXPECT_EQ(dst.get(2, 2), 0x1234u);
    EXPECT_EQ(copy_rectangle_busy().value(), 0);
}

TEST_F(BusyFlagTest, WaitCountsAcrossTheClockWrap) {
    // Bring timeGetTime close to its 32-bit wrap; the wait still ends after 1000 ms.
    const ULONGLONG now_ms = PlatClockNow() / 1000;
    const ULONGLONG to_wrap = 0x100000000ull - (now_ms & 0xFFFFFFFFull) - 300;
    PlatAdvanceClock(to_wrap);
    prepare();
    copy_rectangle_busy().force(1);
    const ULONGLONG t0 = PlatClockNow();
    copy_rectangle(dst.map(), 0, 0, src.map(), 0, 0, 4, 4);
    const ULONGLONG waited_ms = (PlatClockNow() - t0) / 1000;
    EXPECT_GE(waited_ms, 1000u);
    EXPECT_LE(waited_ms, 1003u);
    EXPECT_EQ(dst.get(2, 2), 0x1234u);
}

}  // namespace
