/* Message boxes, beeps, debug output and process services. */
#ifndef WIN32_WINMISC_H
#define WIN32_WINMISC_H

#include "win32/wintypes.h"

/* Button sets (low four bits of the style). */
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
/* Icons. */
#define MB_ICONHAND 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
/* Default button: the first unless one of these names another. */
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
/* Modality and placement: accepted; every box is modal to the caller here. */
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

/* Answers. */
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#ifndef ERROR_INVALID_MSGBOX_STYLE
#define ERROR_INVALID_MSGBOX_STYLE 1438L
#endif

/* FormatMessageA: where the text comes from and how it is written. */
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu

#ifndef ERROR_MR_MID_NOT_FOUND
#define ERROR_MR_MID_NOT_FOUND 317L
#endif

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

WIN32_BEGIN

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

/* Shows a box and waits for the answer (one of the box's buttons). Callable from any thread; the
 * owner window is not needed. Headless runs answer from the queue of vokplat/msgbox.h or with the
 * default button. 0 with ERROR_INVALID_MSGBOX_STYLE for an unknown button set. */
PLATFORM_API int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
/* Logged, no sound. 0xFFFFFFFF is the default beep. */
PLATFORM_API BOOL WINAPI MessageBeep(UINT type);
PLATFORM_API BOOL WINAPI Beep(DWORD frequency, DWORD duration_ms);

/* Captured for tests (vokplat/debug.h); also written to stderr when VOK_DEBUG_OUTPUT=1. */
PLATFORM_API void WINAPI OutputDebugStringA(LPCSTR text);

/* The system's text for an error code or a COM result (FORMAT_MESSAGE_FROM_SYSTEM; inserts are
 * never expanded), ended by "\r\n" as the system writes it. With FORMAT_MESSAGE_ALLOCATE_BUFFER,
 * `buffer` is the address of an LPSTR that receives a LocalAlloc block (free it with LocalFree) and
 * `size` the least number of bytes to allocate. Answers the characters written without the
 * terminator, or 0: ERROR_MR_MID_NOT_FOUND for a code without a text, ERROR_INSUFFICIENT_BUFFER when
 * the text does not fit, ERROR_INVALID_PARAMETER for other sources. */
PLATFORM_API DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                         LPSTR buffer, DWORD size, void *arguments);

/* Runs the detach entries of the loaded modules and ends the process with that code. */
PLATFORM_API void WINAPI ExitProcess(UINT code) __attribute__((noreturn));
/* The program name and its arguments, quoted as a Windows command line. */
PLATFORM_API LPSTR WINAPI GetCommandLineA(void);
/* Reports an NT system of version 5.1. Fails with ERROR_INSUFFICIENT_BUFFER unless
 * dwOSVersionInfoSize holds sizeof(OSVERSIONINFOA). */
PLATFORM_API BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);

WIN32_END

#endif
