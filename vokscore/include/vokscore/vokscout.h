/* The outside browser: a module the delivery does not carry, started from the general screen. */
#ifndef VOKSCORE_VOKSCOUT_H
#define VOKSCORE_VOKSCOUT_H

#include "win32/wintypes.h"
#include "vokplat/export.h"

/* The browser module's one export: the window, the product's registry key, the display object. */
typedef int (*VokStartBrowserProc)(HWND window, const char *registryKey, void *directDraw);

/* Loads "Scoutview.dll" from the write folder, runs its StartBrowser and unloads it: its result, 0
 * when the module or the export is missing (no message). A call while one runs beeps and answers 1. */
VOK_EXPORT int VokLaunchScoutview(HWND window);

#endif
