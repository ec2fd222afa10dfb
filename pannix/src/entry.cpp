// Library entry: the 3D instance Pannix carries lives from load to unload; the data folder starts as
// the library's own folder.
#include <string.h>

#include "brondel/brcore.h"
#include "brondel/brv1db.h"
#include "pannix/pxbase.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "vokplat/module.h"
#include "win32/winfile.h"

namespace {

char g_data_folder[px::kPathMax + 1];
px::ScreenDefaults g_screen;

// Cuts a module path after its last separator; keeps at most kPathMax characters.
void set_folder_of(const char *path)
{
    size_t cut = 0;
    for (size_t i = 0; path[i] != '\0'; i++)
        if (path[i] == '\\' || path[i] == '/')
            cut = i + 1;
    if (cut > px::kPathMax)
        cut = 0;
    memcpy(g_data_folder, path, cut);
    g_data_folder[cut] = '\0';
}

br_error begin_instance()
{
    return BrBegin();
}

void end_instance()
{
    BrEnd();
}

}  // namespace

namespace px {

const char *data_folder()
{
    return g_data_folder;
}

ScreenDefaults &screen_defaults()
{
    return g_screen;
}

}  // namespace px

VOK_EXPORT int InitPannix(const char *path, int32_t width, int32_t height, int32_t bits, int32_t directDraw,
                          int32_t fullScreen)
{
    if (path != nullptr) {
        // A drive, a leading backslash (or slash) makes the path absolute; anything else nests below
        // the current data folder.
        bool absolute = path[0] == '\\' || path[0] == '/' || (path[0] != '\0' && path[1] == ':');
        char folder[px::kPathMax + 1];
        if (absolute)
            snprintf(folder, sizeof folder, "%s", path);
        else
            snprintf(folder, sizeof folder, "%s%s", g_data_folder, path);
        memcpy(g_data_folder, folder, sizeof folder);
    }
    g_screen.width = width;
    g_screen.height = height;
    g_screen.bits = bits;
    g_screen.direct_draw = directDraw;
    g_screen.full_screen = fullScreen;
    return 1;
}

static BOOL WINAPI PannixEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH: {
        char path[px::kPathMax + 1] = {};
        GetModuleFileNameA((HMODULE)instance, path, sizeof path);
        set_folder_of(path);
        begin_instance();
        return TRUE;
    }
    case DLL_PROCESS_DETACH:
        end_instance();
        return TRUE;
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
        return TRUE;
    default:
        return FALSE;
    }
}

VOK_DLL_ENTRY(PannixEntry)
