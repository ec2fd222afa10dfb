// Module entry of Media.so: the library starts when the module is loaded and stops when it is unloaded.
#include "library.h"
#include "vokplat/module.h"

static BOOL WINAPI MediaEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        media::library_start(instance, media::StartOptions{});
        break;
    case DLL_PROCESS_DETACH:
        media::library_stop();
        break;
    default:
        break;
    }
    return TRUE;
}

VOK_DLL_ENTRY(MediaEntry)
