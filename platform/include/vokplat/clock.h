/* Test switches of the platform clock. The environment variable VOK_VIRTUAL_CLOCK=1 turns the
 * virtual clock on from the start; platform/README.md describes its rules. */
#ifndef VOKPLAT_CLOCK_H
#define VOKPLAT_CLOCK_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* Virtual clock on or off; the reading carries on from where it was, never backwards. */
PLATFORM_API void PlatSetVirtualClock(BOOL on);
PLATFORM_API BOOL PlatIsVirtualClock(void);
/* Moves the virtual clock forward by ms milliseconds (no effect on the real clock). */
PLATFORM_API void PlatAdvanceClock(ULONGLONG ms);
/* Microseconds since the platform started: the clock behind every time call and time-out. */
PLATFORM_API ULONGLONG PlatClockNow(void);

WIN32_END

#endif
