// The virtual clock: Sleep moves it exactly, every time call reads the same clock, busy-waits end,
// the millisecond clocks wrap, and switching never runs the clock back.
#include <gtest/gtest.h>

#include <chrono>

#include "vokplat/clock.h"
#include "win32/windows.h"

namespace {

class VirtualClock : public ::testing::Test {
protected:
    void SetUp() override { PlatSetVirtualClock(TRUE); }
    void TearDown() override { PlatSetVirtualClock(FALSE); }
};

LONGLONG qpc() {
    LARGE_INTEGER v;
    EXPECT_TRUE(QueryPerformanceCounter(&v));
    return v.QuadPart;
}

TEST_F(VirtualClock, SleepMovesEveryClockExactly) {
    LARGE_INTEGER freq;
    ASSERT_TRUE(QueryPerformanceFrequency(&freq));
    ASSERT_EQ(freq.QuadPart, 1000000);
    auto real0 = std::chrono::steady_clock::now();
    DWORD t0 = timeGetTime();
    DWORD k0 = GetTickCount();
    LONGLONG q0 = qpc();
    ULONGLONG n0 = PlatClockNow();
    EXPECT_EQ(timeGetTime(), t0);  // nothing moves by itself

    Sleep(250);
    EXPECT_EQ(timeGetTime() - t0, 250u);
    EXPECT_EQ(GetTickCount() - k0, 250u);
    EXPECT_EQ(qpc() - q0, 250000);
    EXPECT_EQ(SleepEx(40, FALSE), 0u);
    EXPECT_EQ(timeGetTime() - t0, 290u);
    Sleep(0);
    EXPECT_EQ(PlatClockNow() - n0, 290000u);
    PlatAdvanceClock(10);
    EXPECT_EQ(timeGetTime() - t0, 300u);
    Sleep(3600 * 1000);  // an hour, at once
    EXPECT_EQ(timeGetTime() - t0, 3600300u);
    EXPECT_LT(std::chrono::steady_clock::now() - real0, std::chrono::seconds(5));
}

TEST_F(VirtualClock, BusyWaitOnTheClockEndsAfterExactlyItsTime) {
    DWORD t0 = timeGetTime();
    while (timeGetTime() - t0 < 15) {
    }
    EXPECT_EQ(timeGetTime() - t0, 15u);
    LONGLONG q0 = qpc();
    while (qpc() - q0 < 2000) {
    }
    EXPECT_EQ(qpc() - q0, 2000);
}

TEST_F(VirtualClock, MillisecondClocksWrapAndUnsignedDifferencesHold) {
    DWORD t0 = timeGetTime();
    LONGLONG q0 = qpc();
    PlatAdvanceClock(0x100000000ull - t0 - 10);
    DWORD before = timeGetTime();
    EXPECT_EQ(before, 0xFFFFFFF6u);
    Sleep(25);
    DWORD after = timeGetTime();
    EXPECT_EQ(after, 15u);
    EXPECT_EQ(after - before, 25u);
    EXPECT_EQ(qpc() - q0, LONGLONG(0x100000000ull - t0 + 15) * 1000);  // the counter does not wrap
}

TEST_F(VirtualClock, TimeOfDayStartsAtAFixedDateAndMovesWithTheClock) {
    ULONGLONG ms = PlatClockNow() / 1000;
    struct _timeb tb;
    _ftime(&tb);
    EXPECT_EQ(tb.time, time_t(978307200 + ms / 1000));
    EXPECT_EQ(tb.millitm, ms % 1000);
    EXPECT_EQ(tb.timezone, 0);
    Sleep(1500);
    struct _timeb later;
    _ftime(&later);
    EXPECT_EQ((later.time - tb.time) * 1000 + later.millitm - tb.millitm, 1500);
}

TEST(Clock, SwitchingNeverRunsTheClockBack) {
    PlatSetVirtualClock(FALSE);
    DWORD real = timeGetTime();
    PlatSetVirtualClock(TRUE);
    EXPECT_TRUE(PlatIsVirtualClock());
    EXPECT_GE(timeGetTime(), real);  // carries on from the real reading
    Sleep(60000);
    DWORD ahead = timeGetTime();
    PlatSetVirtualClock(FALSE);
    EXPECT_FALSE(PlatIsVirtualClock());
    EXPECT_GE(timeGetTime(), ahead);
    Sleep(20);  // real again
    EXPECT_GE(timeGetTime(), ahead + 20);
}

TEST(Clock, RealSleepTakesItsTime) {
    PlatSetVirtualClock(FALSE);
    auto real0 = std::chrono::steady_clock::now();
    DWORD t0 = timeGetTime();
    Sleep(30);
    EXPECT_GE(timeGetTime() - t0, 30u);
    EXPECT_GE(std::chrono::steady_clock::now() - real0, std::chrono::milliseconds(30));
}

}  // namespace
