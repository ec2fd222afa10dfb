/* Whole-file saves for modules that keep small files of their own (player lists, best times). */
#ifndef VOKPLAT_SAVEFILE_H
#define VOKPLAT_SAVEFILE_H

#include <stddef.h>

#include "win32/wintypes.h"

WIN32_BEGIN

/* Replaces the file `name` (resolved like every file name) with `size` bytes: they are written to a
 * temporary file in the same folder, flushed to disk, which is then renamed over the old file (the
 * folder flushed after), so a failed save leaves the old file whole and no half-written file under the
 * name. A read-only file is refused with
 * ERROR_ACCESS_DENIED (errno EACCES). TRUE on success; on failure the last error and errno are set. */
PLATFORM_API BOOL PlatSaveFile(const char* name, const void* data, size_t size);

/* The lock every process of the user takes around a read, change and write of the files in the folder
 * of `name` (resolved like every file name); the profile files take the same one. It is held until
 * PlatUnlockFolder; a crashed holder's lock goes with it. NULL, with the last error set, when the
 * folder cannot be opened or locked. */
typedef struct PlatFolderLock PlatFolderLock;
PLATFORM_API PlatFolderLock* PlatLockFolderOf(const char* name);
PLATFORM_API void PlatUnlockFolder(PlatFolderLock* lock);

WIN32_END

#endif
