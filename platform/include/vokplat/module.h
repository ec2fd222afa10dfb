/* Module entry: how a shared object gets its process attach and detach calls.
 *
 *   BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { ... return TRUE; }
 *   VOK_DLL_ENTRY(DllMain)
 *
 * The entry is called with DLL_PROCESS_ATTACH while the module is being loaded, whether the program
 * was linked against it, another module needs it, or LoadLibraryA loads it; and with
 * DLL_PROCESS_DETACH when it is unloaded: by the FreeLibrary that drops its last reference, or at
 * process exit (ExitProcess included). Each happens once per load. An attach that answers FALSE makes
 * LoadLibraryA fail with ERROR_DLL_INIT_FAILED (the detach still follows, as the module unloads).
 * The entry runs among the module's static initialisers: C++ globals defined above the macro in the
 * same file are ready; keep the state the entry touches there or in plain data. */
#ifndef VOKPLAT_MODULE_H
#define VOKPLAT_MODULE_H

#include "win32/winmod.h"

WIN32_BEGIN

typedef BOOL(WINAPI* PlatDllEntryProc)(HINSTANCE instance, DWORD reason, LPVOID reserved);

/* Called by VOK_DLL_ENTRY; `anchor` is any address inside the module. */
PLATFORM_API void PlatModuleEntryAttach(const void* anchor, PlatDllEntryProc entry);
PLATFORM_API void PlatModuleEntryDetach(const void* anchor, PlatDllEntryProc entry);

WIN32_END

#ifdef __cplusplus
#define VOK_DLL_ENTRY(fn)                                                  \
    namespace {                                                            \
    struct VokDllEntryHook {                                               \
        VokDllEntryHook() { PlatModuleEntryAttach(this, fn); }             \
        ~VokDllEntryHook() { PlatModuleEntryDetach(this, fn); }            \
        VokDllEntryHook(const VokDllEntryHook&) = delete;                  \
        VokDllEntryHook& operator=(const VokDllEntryHook&) = delete;       \
    } vok_dll_entry_hook;                                                  \
    }
#endif

#endif
