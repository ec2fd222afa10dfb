// Drives: this system has a single tree, offered as one fixed drive whose root is "\" with an empty
// volume label. There are no critical-error boxes to switch off; the mode is only remembered.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "fsutil.h"
#include "win32/windows.h"

namespace {

UINT g_errorMode = 0;
constexpr DWORD kDriveBit = 1u << 2;  // the drive letter the system's tools expect, 'C'

bool is_root(LPCSTR root)
{
    return root && (!strcmp(root, "\\") || !strcmp(root, "/") || !strcasecmp(root, "C:\\") || !strcasecmp(root, "C:"));
}

}  // namespace

extern "C" {

DWORD WINAPI GetLogicalDrives(void)
{
    return kDriveBit;
}

DWORD WINAPI GetLogicalDriveStringsA(DWORD size, LPSTR buffer)
{
    static const char kList[] = "\\\0";  // "\" and the list's closing NUL
    const DWORD need = sizeof kList;     // 3 characters
    if (!buffer || size < need)
        return need;
    memcpy(buffer, kList, need);
    return need - 1;
}

UINT WINAPI GetDriveTypeA(LPCSTR root)
{
    return !root || is_root(root) ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD serial, LPDWORD maxName,
                                  LPDWORD flags, LPSTR fsName, DWORD fsNameSize)
{
    if (root && !is_root(root)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (label && labelSize)
        label[0] = 0;
    if (serial)
        *serial = 0;
    if (maxName)
        *maxName = 255;
    if (flags)
        *flags = 0;
    if (fsName && fsNameSize)
        snprintf(fsName, fsNameSize, "%s", "native");
    return TRUE;
}

UINT WINAPI SetErrorMode(UINT mode)
{
    UINT old = g_errorMode;
    g_errorMode = mode;
    return old;
}

}  // extern "C"
