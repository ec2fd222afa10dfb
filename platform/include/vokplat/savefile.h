/* Whole-file saves for modules that keep small files of their own (player lists, best times). */
#ifndef VOKPLAT_SAVEFILE_H
#define VOKPLAT_SAVEFILE_H

#include <stddef.h>

#include "win32/wintypes.h"

WIN32_BEGIN

/* Replaces the file `name` (resolved like every file name) with `size` bytes: they are written to a
 * temporary file in the same folder, which is then renamed over the old file, so a failed save leaves
 * the old file whole and no half-written file under the name. A read-only file is refused with
 * ERROR_ACCESS_DENIED (errno EACCES). TRUE on success; on failure the last error and errno are set. */
PLATFORM_API BOOL PlatSaveFile(const char* name, const void* data, size_t size);

WIN32_END

#endif
