/* C streams for code that reads and writes with stdio: the name is resolved like every other file name. */
#ifndef VOKPLAT_STDIO_H
#define VOKPLAT_STDIO_H

#include <stdio.h>

#include "win32/wintypes.h"

WIN32_BEGIN

/* fopen with the platform's name resolution ("Data\\Kelpa\\x.klv" finds data/kelpa/X.KLV). The "t"
 * mode letter of the Windows runtime is accepted and means nothing here: readers accept CRLF. A mode
 * that would write ("w", "a" or "+") to a read-only file fails with EACCES, whoever asks. */
PLATFORM_API FILE* PlatFopen(const char* name, const char* mode);

WIN32_END

#endif
