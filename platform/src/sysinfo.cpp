// GetSystemInfo: the host's page size and processor count. The allocation granularity is 64 KB, the
// value programs written for Win32 round mapping offsets to; it is a multiple of every host page size.
#include <unistd.h>

#include <cstring>

#include "win32/winmem.h"

extern "C" PLATFORM_API void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
    if (!info) return;
    std::memset(info, 0, sizeof *info);
    long page = sysconf(_SC_PAGESIZE);
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    if (page <= 0) page = 4096;
    if (cpus <= 0) cpus = 1;
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info->dwPageSize = DWORD(page);
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t(0x10000));
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t(0x7FFFFFFEFFFFull));
    info->dwNumberOfProcessors = DWORD(cpus);
    info->dwActiveProcessorMask = cpus >= 64 ? ~DWORD_PTR(0) : (DWORD_PTR(1) << cpus) - 1;
    info->dwProcessorType = PROCESSOR_AMD_X8664;
    info->dwAllocationGranularity = 0x10000;
    info->wProcessorLevel = 6;
}
