/* The thread gate for code that loops without calling Sleep or a wait. */
#ifndef VOKPLAT_THREAD_H
#define VOKPLAT_THREAD_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* A safe point of the calling thread: blocks here while the thread is suspended (SuspendThread),
 * and ends the thread here when TerminateThread asked it to stop and it holds no critical section.
 * Call it in a loop that neither sleeps nor waits, outside any lock of your own. */
PLATFORM_API void PlatThreadSafePoint(void);

/* How many waits are blocked on this object now (events, threads): lets a test pulse an event
 * only once its waiters are in place. */
PLATFORM_API UINT PlatCountWaiters(HANDLE object);

WIN32_END

#endif
