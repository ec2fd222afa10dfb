/* C streams for code that reads and writes with stdio: the name is resolved like every other file name. */
#ifndef VOKPLAT_STDIO_H
#define VOKPLAT_STDIO_H

#include <stdio.h>

#include "win32/wintypes.h"

WIN32_BEGIN

/* fopen with the platform's name resolution ("Data\\Kelpa\\x.klv" finds data/kelpa/X.KLV). The "t"
 * mode letter of the Windows runtime is accepted and means nothing here: readers accept CRLF. */
PLATFORM_API FILE* PlatFopen(const char* name, const char* mode);

/* Replaces the file `name` (resolved like PlatFopen) with `size` bytes through the platform's atomic
 * write: a temporary file in the same folder renamed over the old one, so the name never holds a
 * half-written file. FALSE (errno set) when it cannot; the old file is then untouched. */
PLATFORM_API BOOL PlatWriteFileAtomic(const char* name, const void* data, size_t size);

WIN32_END

#endif
