// Events and waits: reset modes, pulses, named events, time-outs, waiting for several objects.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "vokplat/clock.h"
#include "vokplat/thread.h"
#include "win32/windows.h"

namespace {

// A thread that waits once on an event and keeps what the wait answered.
struct Waiter {
    HANDLE event = nullptr;
    DWORD timeout = 10000;
    std::atomic<DWORD> result{0xDEAD};
    HANDLE thread = nullptr;

    void start(HANDLE ev) {
        event = ev;
        thread = CreateThread(nullptr, 0, &Waiter::run, this, 0, nullptr);
        ASSERT_NE(thread, nullptr);
    }
    static DWORD WINAPI run(LPVOID self) {
        auto* w = static_cast<Waiter*>(self);
        w->result = WaitForSingleObject(w->event, w->timeout);
        return 0;
    }
    bool done(DWORD ms = 0) { return WaitForSingleObject(thread, ms) == WAIT_OBJECT_0; }
    ~Waiter() {
        if (thread) CloseHandle(thread);
    }
};

// Blocks until `n` waits are in place on the object, so that a pulse meets them all.
void await_waiters(HANDLE object, UINT n) {
    while (PlatCountWaiters(object) != n) std::this_thread::yield();
}

int finished(std::vector<Waiter>& ws) {
    int n = 0;
    for (Waiter& w : ws) n += w.done() ? 1 : 0;
    return n;
}

TEST(Events, AutoResetReleasesOneWaitPerSignal) {
    HANDLE ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(ev, nullptr);
    EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(ev));
    EXPECT_TRUE(SetEvent(ev));  // a second set while signalled adds nothing
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);

    std::vector<Waiter> ws(2);
    for (Waiter& w : ws) w.start(ev);
    await_waiters(ev, 2);
    SetEvent(ev);
    while (PlatCountWaiters(ev) != 1) std::this_thread::yield();
    EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);  // taken by the released waiter
    SetEvent(ev);
    for (Waiter& w : ws) {
        EXPECT_TRUE(w.done(10000));
        EXPECT_EQ(w.result.load(), WAIT_OBJECT_0);
    }
    EXPECT_TRUE(CloseHandle(ev));
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
    HANDLE ev = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(ev));
    EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);

    std::vector<Waiter> ws(3);
    for (Waiter& w : ws) w.start(ev);
    await_waiters(ev, 3);
    SetEvent(ev);
    for (Waiter& w : ws) EXPECT_TRUE(w.done(10000));
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    CloseHandle(ev);
}

TEST(Events, PulseReleasesTheWaitersOfItsMomentAndLatchesNothing) {
    for (BOOL manual : {TRUE, FALSE}) {
        SCOPED_TRACE(manual ? "manual reset" : "auto reset");
        HANDLE ev = CreateEventA(nullptr, manual, FALSE, nullptr);
        EXPECT_TRUE(PulseEvent(ev));  // nobody waits: nothing happens
        EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);

        std::vector<Waiter> ws(3);
        for (Waiter& w : ws) w.start(ev);
        await_waiters(ev, 3);
        PulseEvent(ev);
        if (manual) {
            for (Waiter& w : ws) EXPECT_TRUE(w.done(10000));  // every waiter of that moment
        } else {
            await_waiters(ev, 2);  // exactly one left
            EXPECT_EQ(PlatCountWaiters(ev), 2u);
        }
        EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);  // left unsignalled
        if (!manual) {
            PulseEvent(ev);
            await_waiters(ev, 1);
            PulseEvent(ev);
            for (Waiter& w : ws) EXPECT_TRUE(w.done(10000));
            EXPECT_EQ(finished(ws), 3);
        }
        for (Waiter& w : ws) EXPECT_EQ(w.result.load(), WAIT_OBJECT_0);
        CloseHandle(ev);
    }
}

TEST(Events, NamedEventIsOneObjectPerName) {
    SetLastError(0);
    HANDLE a = CreateEventA(nullptr, FALSE, FALSE, "VokImgDone");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    HANDLE b = CreateEventA(nullptr, TRUE, TRUE, "VokImgDone");  // mode and state of the first
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(b, 0), (DWORD)WAIT_TIMEOUT);
    SetEvent(a);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), (DWORD)WAIT_TIMEOUT);  // auto reset, as first made

    HANDLE other = CreateEventA(nullptr, TRUE, TRUE, "vokimgdone");  // names are case-sensitive
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);

    CloseHandle(a);
    CloseHandle(b);
    CloseHandle(other);
    HANDLE again = CreateEventA(nullptr, TRUE, TRUE, "VokImgDone");  // the last handle took it away
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0);
    CloseHandle(again);
}

TEST(Events, BadHandlesFail) {
    HANDLE ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(ev);
    struct {
        HANDLE h;
    } cases[] = {{ev}, {nullptr}, {INVALID_HANDLE_VALUE}, {(HANDLE)(uintptr_t)0x12345}};
    for (auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(c.h, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        EXPECT_FALSE(SetEvent(c.h));
        EXPECT_FALSE(PulseEvent(c.h));
        EXPECT_FALSE(ResetEvent(c.h));
    }
    EXPECT_FALSE(CloseHandle(ev));
}

TEST(Waits, TimeOutOnTheRealClock) {
    PlatSetVirtualClock(FALSE);
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD t0 = timeGetTime();
    EXPECT_EQ(WaitForSingleObject(ev, 60), (DWORD)WAIT_TIMEOUT);
    EXPECT_GE(timeGetTime() - t0, 60u);
    CloseHandle(ev);
}

TEST(Waits, TimeOutOnTheVirtualClockMovesItToTheDeadline) {
    PlatSetVirtualClock(TRUE);
    HANDLE ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE both[] = {ev, ev};
    auto real0 = std::chrono::steady_clock::now();
    ULONGLONG t0 = PlatClockNow();
    EXPECT_EQ(WaitForSingleObject(ev, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(PlatClockNow(), t0);  // a poll costs no time
    EXPECT_EQ(WaitForSingleObject(ev, 100000), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(PlatClockNow(), t0 + 100000 * 1000ull);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 250), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(PlatClockNow(), t0 + 100250 * 1000ull);
    // A signal that is there in time is taken without moving the clock.
    SetEvent(ev);
    EXPECT_EQ(WaitForSingleObject(ev, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(PlatClockNow(), t0 + 100250 * 1000ull);
    EXPECT_LT(std::chrono::steady_clock::now() - real0, std::chrono::seconds(5));
    CloseHandle(ev);
    PlatSetVirtualClock(FALSE);
}

TEST(Waits, AnyAnswersTheLowestSignalledAndTakesOnlyIt) {
    HANDLE e[3];
    for (HANDLE& h : e) h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), (DWORD)WAIT_TIMEOUT);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);
    SetEvent(e[1]);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(e[2], 0), WAIT_OBJECT_0);  // still set: not taken above
    for (HANDLE h : e) CloseHandle(h);
}

TEST(Waits, AllWaitsForEveryObjectAndTakesThemTogether) {
    HANDLE e[2] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                   CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    SetEvent(e[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, e, TRUE, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(e[0], 0), WAIT_OBJECT_0);  // a failed wait-all took nothing

    struct Ctx {
        HANDLE* e;
        std::atomic<DWORD> result{0xDEAD};
    } ctx{e};
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* c = static_cast<Ctx*>(p);
            c->result = WaitForMultipleObjects(2, c->e, TRUE, INFINITE);
            return 0;
        },
        &ctx, 0, nullptr);
    await_waiters(e[0], 1);
    SetEvent(e[0]);
    EXPECT_EQ(WaitForSingleObject(t, 30), (DWORD)WAIT_TIMEOUT);  // one of two is not enough
    EXPECT_EQ(PlatCountWaiters(e[1]), 1u);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ctx.result.load(), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e[0], 0), (DWORD)WAIT_TIMEOUT);  // auto reset one taken
    EXPECT_EQ(WaitForSingleObject(e[1], 0), WAIT_OBJECT_0);        // manual one stays
    CloseHandle(t);
    for (HANDLE h : e) CloseHandle(h);
}

TEST(Waits, RefusesBadArguments) {
    HANDLE ev = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE dup[] = {ev, ev};
    HANDLE bad[] = {ev, (HANDLE)(uintptr_t)0x777};
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
    for (HANDLE& h : many) h = ev;
    struct Case {
        DWORD count;
        const HANDLE* handles;
        BOOL all;
        DWORD error;
    } cases[] = {
        {0, dup, FALSE, ERROR_INVALID_PARAMETER},
        {1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, ERROR_INVALID_PARAMETER},
        {2, dup, TRUE, ERROR_INVALID_PARAMETER},  // one object twice in a wait-all
        {2, bad, FALSE, ERROR_INVALID_HANDLE},
        {2, bad, TRUE, ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.all, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(WaitForMultipleObjects(2, dup, FALSE, 0), WAIT_OBJECT_0);  // twice is fine for "any"
    CloseHandle(ev);
}

}  // namespace
