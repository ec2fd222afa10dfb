// Global, local and heap blocks. Every block carries a small header in front of its bytes (size, kind,
// lock count); a movable block is reached through a separate handle record so that the handle and the
// locked address differ as they do on Win32.
#include <sys/sysinfo.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "win32/winmem.h"

namespace {

constexpr uint32_t kFixedMagic = 0x4B584946u;    // block handed out by address
constexpr uint32_t kMovableMagic = 0x4B564F4Du;  // block reached through a handle record
constexpr uint32_t kHandleMagic = 0x4C444E48u;
constexpr DWORD kErrorNotLocked = 158;

struct Movable;
struct alignas(16) Header {
    uint32_t magic;
    uint32_t locks;
    size_t size;
    Movable* handle;
};
struct Movable {
    uint32_t magic;
    Header* hdr;
};

std::mutex g_mutex;
std::unordered_set<Movable*> g_movables;

void* data_of(Header* h) { return h + 1; }
Header* header_of(const void* p) { return const_cast<Header*>(static_cast<const Header*>(p)) - 1; }

Header* new_block(size_t bytes, bool zero, uint32_t magic) {
    if (bytes > SIZE_MAX - sizeof(Header)) return nullptr;
    void* raw = zero ? std::calloc(1, sizeof(Header) + bytes) : std::malloc(sizeof(Header) + bytes);
    if (!raw) return nullptr;
    Header* h = static_cast<Header*>(raw);
    h->magic = magic;
    h->locks = 0;
    h->size = bytes;
    h->handle = nullptr;
    return h;
}

// Grows or shrinks a block; new bytes are zeroed on request. The header may move.
Header* resize_block(Header* h, size_t bytes, bool zero) {
    if (bytes > SIZE_MAX - sizeof(Header)) return nullptr;
    size_t old = h->size;
    Header* n = static_cast<Header*>(std::realloc(h, sizeof(Header) + bytes));
    if (!n) return nullptr;
    if (zero && bytes > old) std::memset(static_cast<char*>(data_of(n)) + old, 0, bytes - old);
    n->size = bytes;
    return n;
}

void free_block(Header* h) {
    h->magic = 0;
    std::free(h);
}

// The movable record behind a handle, or null when the handle is not one (caller holds g_mutex).
Movable* as_movable(HGLOBAL mem) {
    Movable* m = static_cast<Movable*>(mem);
    return g_movables.count(m) ? m : nullptr;
}

// The header of a block handed out by address, or null (an unknown pointer is the caller's fault, as on Win32).
Header* as_fixed(const void* p) {
    if (!p || reinterpret_cast<uintptr_t>(p) % alignof(Header) != 0) return nullptr;
    Header* h = header_of(p);
    return h->magic == kFixedMagic ? h : nullptr;
}

HGLOBAL mem_alloc(UINT flags, SIZE_T bytes) {
    bool zero = flags & GMEM_ZEROINIT;
    if (!(flags & GMEM_MOVEABLE)) {
        Header* h = new_block(bytes, zero, kFixedMagic);
        if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return h ? data_of(h) : nullptr;
    }
    Header* h = new_block(bytes, zero, kMovableMagic);
    Movable* m = h ? new (std::nothrow) Movable{kHandleMagic, h} : nullptr;
    if (!m) {
        if (h) free_block(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    h->handle = m;
    std::lock_guard lock(g_mutex);
    g_movables.insert(m);
    return m;
}

LPVOID mem_lock(HGLOBAL mem) {
    std::lock_guard lock(g_mutex);
    if (Movable* m = as_movable(mem)) {
        m->hdr->locks++;
        return data_of(m->hdr);
    }
    if (as_fixed(mem)) return mem;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL mem_unlock(HGLOBAL mem) {
    std::lock_guard lock(g_mutex);
    if (Movable* m = as_movable(mem)) {
        if (m->hdr->locks == 0) {
            SetLastError(kErrorNotLocked);
            return FALSE;
        }
        if (--m->hdr->locks == 0) {
            SetLastError(NO_ERROR);
            return FALSE;
        }
        return TRUE;
    }
    if (as_fixed(mem)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

HGLOBAL mem_free(HGLOBAL mem) {
    if (!mem) return nullptr;
    std::lock_guard lock(g_mutex);
    if (Movable* m = as_movable(mem)) {
        g_movables.erase(m);
        free_block(m->hdr);
        m->magic = 0;
        delete m;
        return nullptr;
    }
    if (Header* h = as_fixed(mem)) {
        free_block(h);
        return nullptr;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
}

}  // namespace

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) { return mem_alloc(flags, bytes); }
LPVOID WINAPI GlobalLock(HGLOBAL mem) { return mem_lock(mem); }
BOOL WINAPI GlobalUnlock(HGLOBAL mem) { return mem_unlock(mem); }
HGLOBAL WINAPI GlobalFree(HGLOBAL mem) { return mem_free(mem); }

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    std::lock_guard lock(g_mutex);
    bool zero = flags & GMEM_ZEROINIT;
    if (Movable* m = as_movable(mem)) {
        if (flags & GMEM_MODIFY) return mem;
        Header* n = resize_block(m->hdr, bytes, zero);
        if (!n) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        m->hdr = n;
        return mem;
    }
    Header* h = as_fixed(mem);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (flags & GMEM_MODIFY) return mem;
    // A fixed block may only move when the caller allows it.
    if (bytes > h->size && !(flags & GMEM_MOVEABLE)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (bytes <= h->size && !(flags & GMEM_MOVEABLE)) {
        h->size = bytes;
        return mem;
    }
    Header* n = resize_block(h, bytes, zero);
    if (!n) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return data_of(n);
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
    std::lock_guard lock(g_mutex);
    if (Movable* m = as_movable(mem)) return m->hdr->size;
    if (Header* h = as_fixed(mem)) return h->size;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID address) {
    if (!address || reinterpret_cast<uintptr_t>(address) % alignof(Header) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    Header* h = header_of(address);
    if (h->magic == kFixedMagic) return const_cast<LPVOID>(address);
    if (h->magic == kMovableMagic && h->handle && g_movables.count(h->handle)) return h->handle;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) { return mem_alloc(flags, bytes); }
LPVOID WINAPI LocalLock(HLOCAL mem) { return mem_lock(mem); }
BOOL WINAPI LocalUnlock(HLOCAL mem) { return mem_unlock(mem); }
HLOCAL WINAPI LocalFree(HLOCAL mem) { return mem_free(mem); }

// There is one heap, the process heap; its handle only has to be recognisable.
static int g_process_heap;

HANDLE WINAPI GetProcessHeap(void) { return &g_process_heap; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != &g_process_heap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    Header* h = new_block(bytes, flags & HEAP_ZERO_MEMORY, kFixedMagic);
    if (!h) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return data_of(h);
}

LPVOID WINAPI HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes) {
    Header* h = heap == &g_process_heap ? as_fixed(mem) : nullptr;
    if (!h) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (flags & HEAP_REALLOC_IN_PLACE_ONLY) {
        if (bytes > h->size) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        h->size = bytes;
        return mem;
    }
    Header* n = resize_block(h, bytes, flags & HEAP_ZERO_MEMORY);
    if (!n) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return data_of(n);
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID mem) {
    if (heap != &g_process_heap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!mem) return TRUE;
    Header* h = as_fixed(mem);
    if (!h) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    free_block(h);
    return TRUE;
}

SIZE_T WINAPI HeapSize(HANDLE heap, DWORD flags, LPCVOID mem) {
    Header* h = heap == &g_process_heap ? as_fixed(mem) : nullptr;
    if (!h) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return (SIZE_T)-1;
    }
    return h->size;
}

void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status) {
    if (!status) return;
    struct sysinfo si {};
    sysinfo(&si);
    uint64_t unit = si.mem_unit ? si.mem_unit : 1;
    uint64_t total = uint64_t(si.totalram) * unit;
    uint64_t avail = uint64_t(si.freeram + si.bufferram) * unit;
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = total ? DWORD(100 - avail * 100 / total) : 0;
    status->dwTotalPhys = total;
    status->dwAvailPhys = avail;
    status->dwTotalPageFile = total + uint64_t(si.totalswap) * unit;
    status->dwAvailPageFile = avail + uint64_t(si.freeswap) * unit;
    // The address space of a 64-bit process is practically unlimited; answer a generous fixed figure.
    status->dwTotalVirtual = SIZE_T(1) << 47;
    status->dwAvailVirtual = SIZE_T(1) << 46;
}

}  // extern "C"
