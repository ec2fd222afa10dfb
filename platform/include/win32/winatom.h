/* Global atoms: reference-counted names shared by all of the user's processes, as the main
 * program's single-instance rule needs. Names compare case-insensitively; string atoms have the
 * values 0xC000..0xFFFF; "#123" and MAKEINTATOM(123) are integer atoms (1..0xBFFF) that need no
 * table. The table lives in a file (platform/README.md: VOK_ATOM_DIR) and outlives its processes,
 * as atoms outlive theirs on the original system until deleted. */
#ifndef WIN32_WINATOM_H
#define WIN32_WINATOM_H

#include "win32/wintypes.h"

WIN32_BEGIN

#define MAXINTATOM 0xC000

/* Adds the name or takes one more reference to it; answers the atom, or 0 (last error set). */
PLATFORM_API ATOM WINAPI GlobalAddAtomA(LPCSTR name);
#define GlobalAddAtom GlobalAddAtomA
/* Answers the atom of the name, or 0 with ERROR_FILE_NOT_FOUND. */
PLATFORM_API ATOM WINAPI GlobalFindAtomA(LPCSTR name);
#define GlobalFindAtom GlobalFindAtomA
/* Drops one reference; the name goes with the last. Answers 0 on success, else the atom. */
PLATFORM_API ATOM WINAPI GlobalDeleteAtom(ATOM atom);

WIN32_END

#endif
