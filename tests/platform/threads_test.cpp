// Threads: exit codes, waiting for a thread, suspended start, the suspend gate, cooperative stop,
// priorities, critical sections and interlocked operations.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "vokplat/thread.h"
#include "win32/process.h"
#include "win32/windows.h"

namespace {

void real_sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Shared {
    HANDLE event = nullptr;
    std::atomic<int> counter{0};
    std::atomic<bool> flag{false};
    std::atomic<bool> unwound{false};
    std::atomic<DWORD> tid{0};
    CRITICAL_SECTION cs;
};

// Sets `unwound` when the thread's stack is unwound, however the thread ends.
struct UnwindMark {
    Shared* s;
    ~UnwindMark() { s->unwound = true; }
};

void exit_from_deep_inside(Shared* s) {
    UnwindMark mark{s};
    ExitThread(7);
}

TEST(Threads, ExitCodeAndWaitableHandle) {
    Shared s;
    s.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD tid = 0;
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            s->tid = GetCurrentThreadId();
            WaitForSingleObject(s->event, INFINITE);
            return 42;
        },
        &s, 0, &tid);
    ASSERT_NE(t, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(t, 0), (DWORD)WAIT_TIMEOUT);
    SetEvent(s.event);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);  // stays signalled
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(s.tid.load(), tid);
    EXPECT_NE(tid, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(t));
    CloseHandle(s.event);
}

TEST(Threads, ExitThreadAndRuntimeStartsUnwindAndKeepTheirCodes) {
    Shared s;
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            exit_from_deep_inside(static_cast<Shared*>(p));
            return 1;  // never reached
        },
        &s, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(s.unwound.load());
    CloseHandle(t);

    unsigned tid = 0;
    auto h = (HANDLE)_beginthreadex(
        nullptr, 0, [](void*) -> unsigned { _endthreadex(5); return 0; }, nullptr, 0, &tid);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(tid, 0u);
    EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    GetExitCodeThread(h, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(h);

    s.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    uintptr_t r = _beginthread(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            s->flag = true;
            SetEvent(s->event);
        },
        0, &s);
    EXPECT_NE(r, uintptr_t(-1));
    EXPECT_EQ(WaitForSingleObject(s.event, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(s.flag.load());
    while (GetExitCodeThread((HANDLE)r, &code)) std::this_thread::yield();  // closes itself at its end
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseHandle(s.event);
}

DWORD WINAPI count_forever(LPVOID p) {
    auto* s = static_cast<Shared*>(p);
    for (;;) {
        PlatThreadSafePoint();
        ++s->counter;
    }
}

TEST(Threads, SuspendedStartAndTheSuspendGate) {
    Shared s;
    HANDLE t = CreateThread(nullptr, 0, count_forever, &s, CREATE_SUSPENDED, nullptr);
    real_sleep_ms(30);
    EXPECT_EQ(s.counter.load(), 0);  // not started before it is resumed
    EXPECT_EQ(ResumeThread(t), 1u);
    while (s.counter.load() < 100) std::this_thread::yield();

    EXPECT_EQ(SuspendThread(t), 0u);
    EXPECT_EQ(SuspendThread(t), 1u);
    real_sleep_ms(20);  // reaches its gate
    int held = s.counter.load();
    real_sleep_ms(30);
    EXPECT_EQ(s.counter.load(), held);
    EXPECT_EQ(ResumeThread(t), 2u);
    real_sleep_ms(20);
    EXPECT_EQ(s.counter.load(), held);  // one resume of two
    EXPECT_EQ(ResumeThread(t), 1u);
    while (s.counter.load() < held + 100) std::this_thread::yield();
    EXPECT_EQ(ResumeThread(t), 0u);  // not suspended: nothing to undo

    EXPECT_TRUE(TerminateThread(t, 3));
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 3u);
    CloseHandle(t);
}

TEST(Threads, ThreadSuspendsItselfUntilResumed) {
    Shared s;
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            SuspendThread(GetCurrentThread());
            s->flag = true;
            return 0;
        },
        &s, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 50), (DWORD)WAIT_TIMEOUT);
    EXPECT_FALSE(s.flag.load());
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(s.flag.load());
    CloseHandle(t);
}

TEST(Threads, StopEndsAWaitingThreadAndAThreadNeverStarted) {
    Shared s;
    s.event = CreateEventA(nullptr, FALSE, FALSE, "activise");
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            UnwindMark mark{s};
            for (;;) WaitForSingleObject(s->event, INFINITE);
        },
        &s, 0, nullptr);
    while (PlatCountWaiters(s.event) != 1) std::this_thread::yield();
    EXPECT_TRUE(TerminateThread(worker, 9));
    EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(worker, &code);
    EXPECT_EQ(code, 9u);
    EXPECT_TRUE(s.unwound.load());
    CloseHandle(worker);

    HANDLE never = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            static_cast<Shared*>(p)->flag = true;
            return 0;
        },
        &s, CREATE_SUSPENDED, nullptr);
    EXPECT_TRUE(TerminateThread(never, 4));
    EXPECT_EQ(WaitForSingleObject(never, 10000), WAIT_OBJECT_0);
    GetExitCodeThread(never, &code);
    EXPECT_EQ(code, 4u);
    EXPECT_FALSE(s.flag.load());
    CloseHandle(never);
    CloseHandle(s.event);
}

TEST(Threads, StopWaitsUntilTheThreadHoldsNoCriticalSection) {
    Shared s;
    InitializeCriticalSection(&s.cs);
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            EnterCriticalSection(&s->cs);
            s->counter = 1;
            while (!s->flag.load()) Sleep(1);  // safe points, but the section is held
            s->counter = 2;
            LeaveCriticalSection(&s->cs);
            for (;;) Sleep(1);
        },
        &s, 0, nullptr);
    while (s.counter.load() != 1) std::this_thread::yield();
    EXPECT_TRUE(TerminateThread(t, 6));
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_FALSE(TryEnterCriticalSection(&s.cs));
    s.flag = true;
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 6u);
    EXPECT_EQ(s.counter.load(), 2);
    EXPECT_TRUE(TryEnterCriticalSection(&s.cs));  // left free
    LeaveCriticalSection(&s.cs);
    CloseHandle(t);
    DeleteCriticalSection(&s.cs);
}

TEST(Threads, PrioritiesAreKept) {
    HANDLE t = CreateThread(nullptr, 0, count_forever, nullptr, CREATE_SUSPENDED, nullptr);
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_NORMAL);
    EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_TIME_CRITICAL);
    SetLastError(0);
    EXPECT_FALSE(SetThreadPriority(t, 7));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(GetThreadPriority((HANDLE)(uintptr_t)0x999), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(SuspendThread((HANDLE)(uintptr_t)0x999), (DWORD)-1);
    TerminateThread(t, 0);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    CloseHandle(t);
}

TEST(CriticalSections, ExcludeOtherThreadsAndNest) {
    Shared s;
    InitializeCriticalSection(&s.cs);
    static int plain = 0;
    plain = 0;
    auto body = [](LPVOID p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&s->cs);
            EnterCriticalSection(&s->cs);  // recursive
            int v = plain;
            plain = v + 1;
            LeaveCriticalSection(&s->cs);
            LeaveCriticalSection(&s->cs);
        }
        return 0;
    };
    HANDLE ts[4];
    for (HANDLE& t : ts) t = CreateThread(nullptr, 0, body, &s, 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(4, ts, TRUE, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(plain, 80000);
    for (HANDLE t : ts) CloseHandle(t);

    EnterCriticalSection(&s.cs);
    HANDLE probe = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            BOOL got = TryEnterCriticalSection(&s->cs);
            if (got) LeaveCriticalSection(&s->cs);
            return DWORD(got);
        },
        &s, 0, nullptr);
    WaitForSingleObject(probe, 10000);
    DWORD got = 1;
    GetExitCodeThread(probe, &got);
    EXPECT_EQ(got, 0u);
    CloseHandle(probe);
    LeaveCriticalSection(&s.cs);
    DeleteCriticalSection(&s.cs);
}

TEST(Interlocked, AnswersAndAtomicity) {
    LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 10), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 3), 10);
    EXPECT_EQ(v, 13);
    EXPECT_EQ(InterlockedCompareExchange(&v, 20, 99), 13);  // no match: unchanged
    EXPECT_EQ(InterlockedCompareExchange(&v, 20, 13), 13);
    EXPECT_EQ(v, 20);
    int a = 0, b = 0;
    PVOID p = &a;
    EXPECT_EQ(InterlockedExchangePointer(&p, &b), (PVOID)&a);
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &a, &a), (PVOID)&b);
    EXPECT_EQ(p, (PVOID)&b);

    static LONG shared = 0;
    shared = 0;
    HANDLE ts[4];
    for (HANDLE& t : ts)
        t = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                for (int i = 0; i < 50000; ++i) InterlockedIncrement(&shared);
                return 0;
            },
            nullptr, 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(4, ts, TRUE, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(shared, 200000);
    for (HANDLE t : ts) CloseHandle(t);
}

}  // namespace
