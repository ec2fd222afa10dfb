/* Whole-file saves that a failure or a kill cannot leave half-written. */
#ifndef VOKPLAT_SAVE_H
#define VOKPLAT_SAVE_H

#include <stddef.h>

#include "win32/wintypes.h"

WIN32_BEGIN

/* Replaces the file at the host path `path` (a system name goes through PlatResolvePath first) with
 * `size` bytes in one step: they go to a temporary file beside it, flushed to disk, which is then
 * renamed over it, and the folder is flushed after the rename, so a failed or killed save leaves the
 * old file whole and a save that succeeded survives a power cut. A link is written through (the
 * link stays, the file it leads to is replaced); the file keeps its owner and mode; a read-only file, a
 * folder or a device is refused. Temporary files that killed writers left beside it are removed.
 * FALSE on failure, with errno and the last error set. */
PLATFORM_API BOOL PlatWriteFileAtomic(const char* path, const void* data, size_t size);

WIN32_END

#endif
