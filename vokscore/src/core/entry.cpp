// Library entry: the framework's root folder is the folder of the library itself.
#include <string.h>

#include "state.h"
#include "vokplat/module.h"
#include "win32/winfile.h"

namespace {

void set_root_of(const char *path)
{
    size_t cut = 0;
    for (size_t i = 0; path[i] != '\0'; i++)
        if (path[i] == '\\' || path[i] == '/')
            cut = i + 1;
    if (cut >= VOK_PATH_SIZE)
        cut = 0;
    vok::FrameworkState &s = vok::state();
    memcpy(s.root, path, cut);
    s.root[cut] = '\0';
}

}  // namespace

static BOOL WINAPI VokScoreEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH: {
        vok::state().module = (HMODULE)instance;
        char path[VOK_PATH_SIZE] = {};
        DWORD n = GetModuleFileNameA((HMODULE)instance, path, sizeof path);
        path[n < sizeof path ? n : sizeof path - 1] = '\0';
        set_root_of(path);
        return TRUE;
    }
    case DLL_PROCESS_DETACH:
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
        return TRUE;
    default:
        return FALSE;
    }
}

VOK_DLL_ENTRY(VokScoreEntry)
