// Monitors: a mutex and a condition variable whose timed waits go through the platform clock.
#include "vokplat/monitor.h"

#include <condition_variable>
#include <mutex>

#include "clock.h"

struct PlatMonitor {
    std::mutex mu;
    std::condition_variable cv;
};

WIN32_BEGIN

PlatMonitor* PlatMonitorCreate(void) { return new PlatMonitor; }

void PlatMonitorDestroy(PlatMonitor* monitor) { delete monitor; }

void PlatMonitorEnter(PlatMonitor* monitor) { monitor->mu.lock(); }

void PlatMonitorLeave(PlatMonitor* monitor) { monitor->mu.unlock(); }

void PlatMonitorNotifyAll(PlatMonitor* monitor) { monitor->cv.notify_all(); }

BOOL PlatMonitorWait(PlatMonitor* monitor, DWORD timeout_ms, BOOL (*ready)(void*), void* arg) {
    std::unique_lock<std::mutex> lk(monitor->mu, std::adopt_lock);
    bool done = plat::clock_wait_until(lk, monitor->cv, plat::clock_deadline_us(timeout_ms),
                                       [&] { return ready(arg) != FALSE; });
    lk.release();  // the caller still holds the monitor
    return done ? TRUE : FALSE;
}

WIN32_END
