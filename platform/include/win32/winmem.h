/* Global, local and process-heap memory. Movable blocks never move here; a movable handle is still
 * distinct from the address GlobalLock answers, so code that mixes the two fails as it would on Win32. */
#ifndef WIN32_WINMEM_H
#define WIN32_WINMEM_H

#include "win32/wintypes.h"

WIN32_BEGIN

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_NOCOMPACT 0x0010u
#define GMEM_NODISCARD 0x0020u
#define GMEM_ZEROINIT 0x0040u
#define GMEM_MODIFY 0x0080u
#define GMEM_DISCARDABLE 0x0100u
#define GMEM_SHARE 0x2000u
#define GMEM_DDESHARE 0x2000u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define HEAP_NO_SERIALIZE 0x0001u
#define HEAP_GENERATE_EXCEPTIONS 0x0004u
#define HEAP_ZERO_MEMORY 0x0008u
#define HEAP_REALLOC_IN_PLACE_ONLY 0x0010u

PLATFORM_API HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
PLATFORM_API HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
PLATFORM_API LPVOID WINAPI GlobalLock(HGLOBAL mem);
PLATFORM_API BOOL WINAPI GlobalUnlock(HGLOBAL mem);
PLATFORM_API HGLOBAL WINAPI GlobalFree(HGLOBAL mem);
PLATFORM_API SIZE_T WINAPI GlobalSize(HGLOBAL mem);
PLATFORM_API HGLOBAL WINAPI GlobalHandle(LPCVOID address);

PLATFORM_API HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
PLATFORM_API LPVOID WINAPI LocalLock(HLOCAL mem);
PLATFORM_API BOOL WINAPI LocalUnlock(HLOCAL mem);
PLATFORM_API HLOCAL WINAPI LocalFree(HLOCAL mem);

PLATFORM_API HANDLE WINAPI GetProcessHeap(void);
PLATFORM_API LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
PLATFORM_API LPVOID WINAPI HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes);
PLATFORM_API BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID mem);
PLATFORM_API SIZE_T WINAPI HeapSize(HANDLE heap, DWORD flags, LPCVOID mem);

typedef struct _MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
} MEMORYSTATUS, *LPMEMORYSTATUS;

PLATFORM_API void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status);

/* Processor and memory-layout facts: page size, allocation granularity (what mapping offsets are
 * rounded to), address range and the processor count. */
typedef struct _SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_AMD_X8664 8664

PLATFORM_API void WINAPI GetSystemInfo(LPSYSTEM_INFO info);

/* The pointer-style helpers: allocate and lock in one step, unlock and free from the address. */
#define GlobalPtrHandle(p) GlobalHandle(p)
#define GlobalLockPtr(p) ((BOOL)(GlobalLock(GlobalPtrHandle(p)) != NULL))
#define GlobalUnlockPtr(p) GlobalUnlock(GlobalPtrHandle(p))
#define GlobalAllocPtr(flags, cb) (GlobalLock(GlobalAlloc((flags), (cb))))
#define GlobalReAllocPtr(p, cb, flags) \
    (GlobalUnlockPtr(p), GlobalLock(GlobalReAlloc(GlobalPtrHandle(p), (cb), (flags))))
#define GlobalFreePtr(p) (GlobalUnlockPtr(p), (BOOL)(ULONG_PTR)GlobalFree(GlobalPtrHandle(p)))

WIN32_END

#endif
