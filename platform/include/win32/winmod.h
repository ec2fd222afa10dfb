/* Modules and module resources. A module is a shared object: "X.dll" names "X.so", and an HMODULE is
 * the loader's handle of that object (the program itself for GetModuleHandleA(NULL)). */
#ifndef WIN32_WINMOD_H
#define WIN32_WINMOD_H

#include "win32/wintypes.h"

/* Reasons passed to a module entry (see vokplat/module.h for how a module declares one). */
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#ifndef ERROR_DLL_INIT_FAILED
#define ERROR_DLL_INIT_FAILED 1114L
#endif

/* Resource types given by number. */
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

WIN32_BEGIN

/* The generic function pointer type: a cast to the export's real type draws no warning. */
typedef void(WINAPI* FARPROC)(void);

/* Loads a module by name. A name with a folder is resolved like any file name; a bare name is looked
 * for in the program's folder, then in the current folder. ".dll" stands for ".so" and a name without
 * extension gets ".so". Loading a loaded module again answers the same handle and counts a reference.
 * Fails with ERROR_MOD_NOT_FOUND (no such file, or a module it needs is missing), ERROR_BAD_EXE_FORMAT
 * (not a loadable object) or ERROR_DLL_INIT_FAILED (its entry refused the attach). */
PLATFORM_API HMODULE WINAPI LoadLibraryA(LPCSTR name);
/* Drops one reference of LoadLibraryA; the module is unloaded (after its detach entry) with the last. */
PLATFORM_API BOOL WINAPI FreeLibrary(HMODULE module);
/* Address of an export of that very module (not of the modules it uses); exports by ordinal do not
 * exist here. NULL with ERROR_PROC_NOT_FOUND when missing. */
PLATFORM_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
/* The program for NULL; otherwise a loaded module by name ("Media.dll", "media", a path), without
 * taking a reference. NULL with ERROR_MOD_NOT_FOUND when no such module is loaded. */
PLATFORM_API HMODULE WINAPI GetModuleHandleA(LPCSTR name);

/* Resources embedded in a module at build time (cmake vok_resources). Names and types are strings
 * (case-insensitive, "#12" stands for 12) or numbers (MAKEINTRESOURCE, RT_*). A NULL module is the
 * program. The data stays valid while the module is loaded; nothing needs freeing. */
PLATFORM_API HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
PLATFORM_API HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC res);
PLATFORM_API DWORD WINAPI SizeofResource(HMODULE module, HRSRC res);
PLATFORM_API LPVOID WINAPI LockResource(HGLOBAL data);
PLATFORM_API BOOL WINAPI FreeResource(HGLOBAL data);

WIN32_END

#endif
