/* Threads and synchronisation: threads, events, waits, critical sections, interlocked operations.
 *
 * Threads pass a gate at safe points: Sleep, SleepEx, every wait, and PlatThreadSafePoint
 * (vokplat/thread.h). SuspendThread takes effect at the target's next safe point (at once when a
 * thread suspends itself); a thread created CREATE_SUSPENDED does not run its routine until resumed.
 * TerminateThread is a cooperative stop: the thread ends at its next safe point, never while it
 * holds a critical section; a thread blocked in a wait or a Sleep is woken for it. */
#ifndef WIN32_WINSYNC_H
#define WIN32_WINSYNC_H

#include "win32/wintypes.h"

WIN32_BEGIN

#define STILL_ACTIVE 259
#define CREATE_SUSPENDED 0x00000004
#define MAXIMUM_WAIT_OBJECTS 64

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_FAILED 0xFFFFFFFFu
/* WAIT_TIMEOUT (258) is in wintypes.h with the error codes. */

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);

/* Threads. Thread handles are waitable and signalled once the thread has ended. */
PLATFORM_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack_size,
                                        LPTHREAD_START_ROUTINE start, LPVOID parameter,
                                        DWORD flags, LPDWORD thread_id);
PLATFORM_API void WINAPI ExitThread(DWORD exit_code);
/* A pseudo handle meaning "the calling thread"; it needs no CloseHandle. */
PLATFORM_API HANDLE WINAPI GetCurrentThread(void);
/* The Linux thread id. */
PLATFORM_API DWORD WINAPI GetCurrentThreadId(void);
PLATFORM_API DWORD WINAPI GetCurrentProcessId(void);
PLATFORM_API BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
/* Priorities are kept and answered; scheduling is left to the host. */
PLATFORM_API BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
PLATFORM_API int WINAPI GetThreadPriority(HANDLE thread);
/* Both answer the previous suspend count, or (DWORD)-1 on failure. */
PLATFORM_API DWORD WINAPI SuspendThread(HANDLE thread);
PLATFORM_API DWORD WINAPI ResumeThread(HANDLE thread);
/* Asks the thread to stop with exit_code at its next safe point and waits a moment for it. */
PLATFORM_API BOOL WINAPI TerminateThread(HANDLE thread, DWORD exit_code);

/* Waits. Time-outs in milliseconds of the platform clock; INFINITE waits without a limit. */
PLATFORM_API DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
PLATFORM_API DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                                 DWORD milliseconds);

/* Events. A name gives one object per process: a second create answers the same object with
 * ERROR_ALREADY_EXISTS and keeps its first reset mode and state. Names are case-sensitive. */
PLATFORM_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual_reset,
                                        BOOL initial_state, LPCSTR name);
#define CreateEvent CreateEventA
PLATFORM_API BOOL WINAPI SetEvent(HANDLE event);
PLATFORM_API BOOL WINAPI ResetEvent(HANDLE event);
/* Releases the threads waiting at this moment (all of them for a manual-reset event, one for an
 * auto-reset event) and leaves the event unsignalled; with nobody waiting it does nothing. */
PLATFORM_API BOOL WINAPI PulseEvent(HANDLE event);

/* Critical sections: recursive locks owned by a thread. */
typedef struct _CRITICAL_SECTION {
    void* Lock;          /* the platform's lock, made by InitializeCriticalSection */
    DWORD OwningThread;  /* thread id of the owner, 0 when free */
    LONG RecursionCount;
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

PLATFORM_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);

/* Interlocked operations: atomic, full barrier; each answers what Win32's does. */
static inline LONG InterlockedIncrement(LONG volatile* target) {
    return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedDecrement(LONG volatile* target) {
    return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) {
    return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
static inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
static inline PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
static inline PVOID InterlockedCompareExchangePointer(PVOID volatile* target, PVOID exchange,
                                                      PVOID comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

WIN32_END

#endif
