/* Time: the millisecond clocks, the performance counter, sleeping and the runtime's time of day.
 * All of them read the platform clock, so the virtual clock of tests (vokplat/clock.h) drives them. */
#ifndef WIN32_WINTIME_H
#define WIN32_WINTIME_H

#include <time.h>

#include "win32/wintypes.h"

WIN32_BEGIN

/* Milliseconds since the platform started; wraps after 2^32 ms like the originals. */
PLATFORM_API DWORD WINAPI timeGetTime(void);
PLATFORM_API DWORD WINAPI GetTickCount(void);
/* The counter runs at 1,000,000 per second, on the same clock as timeGetTime. */
PLATFORM_API BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
PLATFORM_API BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);

/* Sleep and SleepEx are safe points of the calling thread (see SuspendThread, TerminateThread).
 * There are no asynchronous procedure calls here: SleepEx always answers 0. */
PLATFORM_API void WINAPI Sleep(DWORD milliseconds);
PLATFORM_API DWORD WINAPI SleepEx(DWORD milliseconds, BOOL alertable);

/* The runtime library's time of day. Under the virtual clock it starts at 2001-01-01 00:00:00 UTC
 * and moves with the clock, so runs repeat; zone and daylight fields are 0 (UTC). */
struct _timeb {
    time_t time;
    unsigned short millitm;
    short timezone;
    short dstflag;
};
PLATFORM_API void _ftime(struct _timeb* out);

WIN32_END

#endif
