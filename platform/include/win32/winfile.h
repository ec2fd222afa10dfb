/* Files, folders, searches and file mappings over the host file system. Every name goes through the
 * platform's path resolver ("\" or "/", case-insensitive where the exact name is missing). Paths the
 * platform hands back (module, current, temporary folders) are host paths written with "\", so that code
 * cutting at the last backslash works; the resolver takes them back unchanged. */
#ifndef WIN32_WINFILE_H
#define WIN32_WINFILE_H

#include "win32/wintypes.h"

WIN32_BEGIN

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)

#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define PAGE_WRITECOPY 0x08u
#define FILE_MAP_COPY 0x0001u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif
#ifndef ERROR_FILE_INVALID
#define ERROR_FILE_INVALID 1006L
#endif
#ifndef ERROR_MAPPED_ALIGNMENT
#define ERROR_MAPPED_ALIGNMENT 1132L
#endif

typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA, WIN32_FIND_DATA, *LPWIN32_FIND_DATA;

/* Sharing modes are accepted and not enforced: the host has no mandatory locks. Overlapped records
 * only give a position (the call completes before it returns). */
PLATFORM_API HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                       DWORD disposition, DWORD flags_and_attributes, HANDLE template_file);
PLATFORM_API BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read,
                                  LPOVERLAPPED overlapped);
PLATFORM_API BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written,
                                   LPOVERLAPPED overlapped);
PLATFORM_API DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);
PLATFORM_API BOOL WINAPI SetEndOfFile(HANDLE file);
PLATFORM_API BOOL WINAPI FlushFileBuffers(HANDLE file);
PLATFORM_API DWORD WINAPI GetFileSize(HANDLE file, LPDWORD size_high);

PLATFORM_API HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect,
                                              DWORD size_high, DWORD size_low, LPCSTR name);
PLATFORM_API LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high,
                                         DWORD offset_low, SIZE_T bytes);
PLATFORM_API BOOL WINAPI UnmapViewOfFile(LPCVOID address);

/* "." and ".." are reported like any other entry the pattern matches. */
PLATFORM_API HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
PLATFORM_API BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
PLATFORM_API BOOL WINAPI FindClose(HANDLE find);

PLATFORM_API BOOL WINAPI CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa);
PLATFORM_API BOOL WINAPI RemoveDirectoryA(LPCSTR name);
PLATFORM_API BOOL WINAPI DeleteFileA(LPCSTR name);
PLATFORM_API BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR new_name);
PLATFORM_API BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_name, BOOL fail_if_exists);
/* Read-only is the owner's write permission; the other attributes are not stored. */
PLATFORM_API DWORD WINAPI GetFileAttributesA(LPCSTR name);
PLATFORM_API BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes);

PLATFORM_API DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
PLATFORM_API BOOL WINAPI SetCurrentDirectoryA(LPCSTR name);
PLATFORM_API DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer);
PLATFORM_API UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR out);
/* NULL: the program itself. Otherwise a module handle (the handle LoadLibraryA answers) or any
 * address inside a loaded module. */
PLATFORM_API DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

#define CreateFile CreateFileA
#define CreateFileMapping CreateFileMappingA
#define FindFirstFile FindFirstFileA
#define FindNextFile FindNextFileA
#define CreateDirectory CreateDirectoryA
#define RemoveDirectory RemoveDirectoryA
#define DeleteFile DeleteFileA
#define MoveFile MoveFileA
#define CopyFile CopyFileA
#define GetFileAttributes GetFileAttributesA
#define SetFileAttributes SetFileAttributesA
#define GetCurrentDirectory GetCurrentDirectoryA
#define SetCurrentDirectory SetCurrentDirectoryA
#define GetTempPath GetTempPathA
#define GetTempFileName GetTempFileNameA
#define GetModuleFileName GetModuleFileNameA

/* Drives. This system has one fixed drive, its root "\". */
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6
#define SEM_FAILCRITICALERRORS 0x0001u
#define SEM_NOOPENFILEERRORBOX 0x8000u
PLATFORM_API DWORD WINAPI GetLogicalDrives(void);
PLATFORM_API DWORD WINAPI GetLogicalDriveStringsA(DWORD size, LPSTR buffer);
PLATFORM_API UINT WINAPI GetDriveTypeA(LPCSTR root);
PLATFORM_API BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD serial,
                                               LPDWORD maxName, LPDWORD flags, LPSTR fsName, DWORD fsNameSize);
PLATFORM_API UINT WINAPI SetErrorMode(UINT mode);

#define GetLogicalDriveStrings GetLogicalDriveStringsA
#define GetDriveType GetDriveTypeA
#define GetVolumeInformation GetVolumeInformationA

WIN32_END

#endif
