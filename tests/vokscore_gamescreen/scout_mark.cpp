// A browser module for the tests: writes the registry key it was given to the file the environment
// names, and answers 3.
#include <stdio.h>
#include <stdlib.h>

#include "win32/windows.h"

extern "C" __attribute__((visibility("default"))) int StartBrowser(HWND, const char *key, void *)
{
    if (const char *mark = getenv("VOK_TEST_SCOUT_MARK"))
        if (FILE *f = fopen(mark, "wb")) {
            fputs(key ? key : "", f);
            fclose(f);
        }
    return 3;
}
