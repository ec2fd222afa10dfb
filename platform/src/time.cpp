// The public time calls over the platform clock (clock.h).
#include <sys/time.h>

#include <thread>

#include "clock.h"
#include "kernel.h"
#include "win32/wintime.h"

namespace {

// Time of day of the virtual clock at its zero: 2001-01-01 00:00:00 UTC.
constexpr time_t kVirtualEpoch = 978307200;

}  // namespace

extern "C" {

DWORD WINAPI timeGetTime(void) { return DWORD(plat::clock_read_us() / 1000); }

DWORD WINAPI GetTickCount(void) { return DWORD(plat::clock_read_us() / 1000); }

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = LONGLONG(plat::clock_read_us());
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000;
    return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) {
    plat::thread_safe_point();
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else if (plat::clock_is_virtual() && milliseconds != INFINITE) {
        plat::clock_sleep_ms(milliseconds);
    } else {
        // A kernel wait, so that a stop request ends the sleep early.
        std::unique_lock lk(plat::kernel_mutex());
        plat::clock_wait_until(lk, plat::kernel_cv(), plat::clock_deadline_us(milliseconds),
                               [] { return plat::thread_stop_due(); });
    }
    plat::thread_safe_point();
}

DWORD WINAPI SleepEx(DWORD milliseconds, BOOL alertable) {
    Sleep(milliseconds);
    return 0;
}

void _ftime(struct _timeb* out) {
    if (!out) return;
    if (plat::clock_is_virtual()) {
        uint64_t ms = plat::clock_now_us() / 1000;
        out->time = kVirtualEpoch + time_t(ms / 1000);
        out->millitm = (unsigned short)(ms % 1000);
    } else {
        struct timeval tv;
        gettimeofday(&tv, nullptr);
        out->time = tv.tv_sec;
        out->millitm = (unsigned short)(tv.tv_usec / 1000);
    }
    out->timezone = 0;
    out->dstflag = 0;
}

}
