// A browser module for the tests: it asks its window (WM_USER + 7) before answering 7.
#include "win32/windows.h"

extern "C" __attribute__((visibility("default"))) int StartBrowser(HWND window, const char *key, void *display)
{
    SendMessageA(window, WM_USER + 7, reinterpret_cast<WPARAM>(key), reinterpret_cast<LPARAM>(display));
    return 7;
}
