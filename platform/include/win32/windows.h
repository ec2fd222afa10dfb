/* Umbrella header of the Win32 subset: every area header that exists is pulled in. */
#ifndef WIN32_WINDOWS_H
#define WIN32_WINDOWS_H

#include "win32/wintypes.h"

#if __has_include("win32/winmem.h")
#include "win32/winmem.h"
#endif
#if __has_include("win32/winfile.h")
#include "win32/winfile.h"
#endif
#if __has_include("win32/wintime.h")
#include "win32/wintime.h"
#endif
#if __has_include("win32/winsync.h")
#include "win32/winsync.h"
#endif
#if __has_include("win32/winatom.h")
#include "win32/winatom.h"
#endif
#if __has_include("win32/winreg.h")
#include "win32/winreg.h"
#endif
#if __has_include("win32/winmod.h")
#include "win32/winmod.h"
#endif
#if __has_include("win32/winmisc.h")
#include "win32/winmisc.h"
#endif
#if __has_include("win32/winuser.h")
#include "win32/winuser.h"
#endif
#if __has_include("win32/wingdi.h")
#include "win32/wingdi.h"
#endif
#if __has_include("win32/commdlg.h")
#include "win32/commdlg.h"
#endif
#if __has_include("win32/mmsystem.h")
#include "win32/mmsystem.h"
#endif

#endif
