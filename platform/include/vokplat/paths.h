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

/* A path a command-line tool was given, as its caller meant it: a relative path is taken from the
 * folder the program was started in, also after a library moved the process elsewhere (Media.so's
 * entry enters the program's folder, as the game expects). Absolute paths, "-", "" and NULL come
 * back as they are. The answer stays valid for the life of the process. Every tool passes the
 * paths on its command line through it. */
PLATFORM_API const char* PlatToolPath(const char* arg);
/* The folder the program was started in ("" when it could not be read): the working folder when the
 * platform library was loaded, which for a program linked with it is before any code of its own runs
 * (a program that changes folder and then loads the library with dlopen gets the folder it moved to). */
PLATFORM_API const char* PlatStartFolder(void);

WIN32_END

#endif
