// The module's entry callback and its two exports, StartKelpa and PlayKp. These live in the module
// itself (not the archive) so that they leave it under their names.
#include "kelpa/kelpa.h"
#include "vokplat/export.h"
#include "vokplat/module.h"

BOOL WINAPI KpDllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    kpModule().moduleInstance = instance;
    if (reason == DLL_PROCESS_DETACH)
        KpModuleDetach();
    return reason <= 3 ? TRUE : FALSE;
}
VOK_DLL_ENTRY(KpDllMain)

VOK_EXPORT int StartKelpa(void)
{
    return KpStartKelpa();
}

VOK_EXPORT int PlayKp(HWND parent, int ignored, const char *replay)
{
    return KpPlayKp(parent, ignored, replay);
}
