/* Starts a program written against WinMain:
 *
 *   int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);
 *   VOK_WINMAIN(WinMain)
 *
 * WinMain gets the program's instance (GetModuleHandleA(NULL)), no previous instance, the arguments
 * after the program name quoted as a Windows command line, and SW_SHOWNORMAL. */
#ifndef VOKPLAT_WINMAIN_H
#define VOKPLAT_WINMAIN_H

#include "win32/winmisc.h"
#include "win32/winmod.h"

WIN32_BEGIN

typedef int(WINAPI* PlatWinMainProc)(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

PLATFORM_API int PlatRunWinMain(int argc, char** argv, PlatWinMainProc win_main);

WIN32_END

#define VOK_WINMAIN(fn) \
    int main(int argc, char** argv) { return PlatRunWinMain(argc, argv, fn); }

#endif
