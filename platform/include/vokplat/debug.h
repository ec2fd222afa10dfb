/* What OutputDebugStringA wrote, for tests. */
#ifndef VOKPLAT_DEBUG_H
#define VOKPLAT_DEBUG_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* Copies the captured debug output (NUL-ended, cut to fit) and answers its full length. The capture
 * keeps the last megabyte. */
PLATFORM_API size_t PlatDebugOutput(char* out, size_t out_size);
PLATFORM_API void PlatDebugOutputClear(void);

WIN32_END

#endif
