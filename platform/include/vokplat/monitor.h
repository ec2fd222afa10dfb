/* A monitor for code that waits on its own conditions: one lock and one condition, with timed waits
 * on the platform clock (so they follow the virtual clock like every kernel wait). */
#ifndef VOKPLAT_MONITOR_H
#define VOKPLAT_MONITOR_H

#include "win32/wintypes.h"

WIN32_BEGIN

typedef struct PlatMonitor PlatMonitor;

PLATFORM_API PlatMonitor* PlatMonitorCreate(void);
PLATFORM_API void PlatMonitorDestroy(PlatMonitor* monitor);
/* Not recursive. */
PLATFORM_API void PlatMonitorEnter(PlatMonitor* monitor);
PLATFORM_API void PlatMonitorLeave(PlatMonitor* monitor);
/* Wakes every wait; call it after changing what their conditions read. */
PLATFORM_API void PlatMonitorNotifyAll(PlatMonitor* monitor);
/* With the monitor entered: waits, leaving it meanwhile, until ready(arg) answers TRUE or `timeout_ms`
 * milliseconds of the platform clock have passed (INFINITE: no limit). Answers ready(arg). */
PLATFORM_API BOOL PlatMonitorWait(PlatMonitor* monitor, DWORD timeout_ms, BOOL (*ready)(void*), void* arg);

WIN32_END

#endif
