// A test module: reports its entry calls through the debug output and reaches the static counter.
#include <cstdio>

#include "vokplat/export.h"
#include "vokplat/module.h"
#include "win32/winmisc.h"

extern "C" int PlatTestCounterBump(void);

namespace {
HINSTANCE g_instance = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    char line[128];
    snprintf(line, sizeof line, "%s reason=%u instance=%p\n", MODULE_NAME, reason, static_cast<void*>(instance));
    OutputDebugStringA(line);
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
#ifdef REFUSE_ATTACH
    if (reason == DLL_PROCESS_ATTACH) return FALSE;
#endif
    return TRUE;
}
VOK_DLL_ENTRY(DllMain)

VOK_EXPORT int ModBump(void) { return PlatTestCounterBump(); }
VOK_EXPORT HINSTANCE ModInstance(void) { return g_instance; }
