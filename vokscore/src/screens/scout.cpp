// The outside browser: loaded by name from the write folder for one call and unloaded again.
#include "vokscore/vokpath.h"
#include "vokscore/vokscout.h"
#include "state.h"
#include "win32/windows.h"

namespace {

const char kProductKey[] = "Software\\Ostrel Interactive\\Velmo's Games\\";
bool g_busy = false;

}  // namespace

VOK_EXPORT int VokLaunchScoutview(HWND window)
{
    if (g_busy) {
        MessageBeep(UINT(-1));
        return 1;
    }
    g_busy = true;
    int result = 0;
    const char *path = VokMakeWritePath(nullptr, "Scoutview.dll");
    if (HMODULE module = path ? LoadLibraryA(path) : nullptr) {
        if (auto start = reinterpret_cast<VokStartBrowserProc>(GetProcAddress(module, "StartBrowser")))
            result = start(window, kProductKey, vok::iface().directDraw);
        FreeLibrary(module);
        BringWindowToTop(window);
    }
    g_busy = false;
    return result;
}
