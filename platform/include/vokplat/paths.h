/* The platform's path resolver, for modules that open host files themselves. */
#ifndef VOKPLAT_PATHS_H
#define VOKPLAT_PATHS_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* Turns a name as the system writes it ("Data\\Kelpa\\LEVEL01.KLV") into a host path: "\" and "/"
 * both separate, a missing component is matched case-insensitively, new names keep their case.
 * Drive letters and empty names are refused. Answers the length written (without the terminator),
 * or 0 when refused or when out_size is too small (last error set). */
PLATFORM_API size_t PlatResolvePath(const char* name, char* out, size_t out_size);

WIN32_END

#endif
