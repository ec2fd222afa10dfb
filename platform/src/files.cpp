// Open files and file mappings: kernel objects behind the handle table over host descriptors.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "fsutil.h"
#include "handles.h"
#include "win32/winfile.h"

namespace plat {
namespace {

struct FileObject : KObject {
    int fd = -1;
    std::string path;
    ~FileObject() override {
        if (fd >= 0) close(fd);
    }
};

struct MappingObject : KObject {
    int fd = -1;
    uint64_t size = 0;
    bool writable = false;
    ~MappingObject() override {
        if (fd >= 0) close(fd);
    }
};

struct View {
    size_t length;
    std::shared_ptr<MappingObject> mapping;  // a view keeps its mapping alive after CloseHandle
};

std::mutex g_views_mutex;
std::map<uintptr_t, View> g_views;

std::shared_ptr<FileObject> file_of(HANDLE h) {
    auto f = handle_get_as<FileObject>(h);
    if (!f) SetLastError(ERROR_INVALID_HANDLE);
    return f;
}

}  // namespace
}  // namespace plat

using namespace plat;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD flags_and_attributes, HANDLE template_file) {
    std::string host;
    if (!resolve(name, host)) return INVALID_HANDLE_VALUE;
    bool want_read = access & (GENERIC_READ | GENERIC_ALL);
    bool want_write = access & (GENERIC_WRITE | GENERIC_ALL);
    int oflags = O_CLOEXEC | (want_write ? (want_read ? O_RDWR : O_WRONLY) : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW: oflags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: oflags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: oflags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!want_write) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        oflags |= O_TRUNC;
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if ((oflags & O_TRUNC) && !want_write) oflags = (oflags & ~(O_RDONLY | O_WRONLY | O_RDWR)) | O_RDWR;

    struct stat st;
    bool existed = stat(host.c_str(), &st) == 0;
    if (existed) {
        if (S_ISDIR(st.st_mode)) {
            SetLastError(disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (disposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        // Enforced here as well, since the owner's permission bits do not stop a privileged process.
        if (is_read_only(st) && (want_write || (oflags & O_TRUNC))) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    }
    mode_t mode = (flags_and_attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = open(host.c_str(), oflags, mode);
    if (fd < 0) {
        DWORD err = win32_error(errno, host);
        SetLastError(err == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : err);
        return INVALID_HANDLE_VALUE;
    }
    auto f = std::make_shared<FileObject>();
    f->fd = fd;
    f->path = host;
    HANDLE h = handle_add(f);
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                       : NO_ERROR);
    return h;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read_out, LPOVERLAPPED overlapped) {
    if (read_out) *read_out = 0;
    auto f = file_of(file);
    if (!f) return FALSE;
    if (!buffer && to_read) return fail(ERROR_INVALID_PARAMETER);
    off_t pos = overlapped ? off_t((uint64_t(overlapped->OffsetHigh) << 32) | overlapped->Offset) : -1;
    DWORD done = 0;
    while (done < to_read) {
        char* dst = static_cast<char*>(buffer) + done;
        ssize_t n = pos >= 0 ? pread(f->fd, dst, to_read - done, pos + done) : read(f->fd, dst, to_read - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read_out) *read_out = done;
            return fail_errno(f->path);
        }
        if (n == 0) break;
        done += DWORD(n);
    }
    if (read_out) *read_out = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written, LPOVERLAPPED overlapped) {
    if (written) *written = 0;
    auto f = file_of(file);
    if (!f) return FALSE;
    if (!buffer && to_write) return fail(ERROR_INVALID_PARAMETER);
    off_t pos = overlapped ? off_t((uint64_t(overlapped->OffsetHigh) << 32) | overlapped->Offset) : -1;
    DWORD done = 0;
    while (done < to_write) {
        const char* src = static_cast<const char*>(buffer) + done;
        ssize_t n = pos >= 0 ? pwrite(f->fd, src, to_write - done, pos + done) : write(f->fd, src, to_write - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = done;
            return fail_errno(f->path);
        }
        done += DWORD(n);
    }
    if (written) *written = done;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
    auto f = file_of(file);
    if (!f) return INVALID_SET_FILE_POINTER;
    // Without a high part the distance is a signed 32-bit value; with one, the two make a signed 64-bit value.
    int64_t move = distance_high ? int64_t((uint64_t(uint32_t(*distance_high)) << 32) | uint32_t(distance))
                                 : int64_t(distance);
    int64_t base;
    switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = lseek(f->fd, 0, SEEK_CUR); break;
    case FILE_END: {
        struct stat st;
        base = fstat(f->fd, &st) == 0 ? int64_t(st.st_size) : -1;
        break;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        fail_errno(f->path);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + move;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the answer has to fit in 32 bits.
    if (!distance_high && target > int64_t(0xFFFFFFFE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(f->fd, off_t(target), SEEK_SET) < 0) {
        fail_errno(f->path);
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high) *distance_high = LONG(uint64_t(target) >> 32);
    SetLastError(NO_ERROR);  // the low part can legitimately equal INVALID_SET_FILE_POINTER
    return DWORD(uint64_t(target));
}

BOOL WINAPI SetEndOfFile(HANDLE file) {
    auto f = file_of(file);
    if (!f) return FALSE;
    off_t pos = lseek(f->fd, 0, SEEK_CUR);
    if (pos < 0 || ftruncate(f->fd, pos) != 0) return fail_errno(f->path);
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
    auto f = file_of(file);
    if (!f) return FALSE;
    if (fsync(f->fd) != 0 && errno != EINVAL) return fail_errno(f->path);
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD size_high) {
    auto f = file_of(file);
    if (!f) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(f->fd, &st) != 0) {
        fail_errno(f->path);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = uint64_t(st.st_size);
    if (size_high) *size_high = DWORD(size >> 32);
    SetLastError(NO_ERROR);
    return DWORD(size);
}

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD size_high,
                                 DWORD size_low, LPCSTR name) {
    // Mappings backed by the page file are not needed by the system; only files are mapped.
    auto f = file_of(file);
    if (!f) return nullptr;
    bool writable;
    switch (protect & 0xFF) {
    case PAGE_READONLY:
    case PAGE_WRITECOPY: writable = false; break;
    case PAGE_READWRITE: writable = true; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
    int mode = fcntl(f->fd, F_GETFL);
    if (mode < 0 || (mode & O_ACCMODE) == O_WRONLY || (writable && (mode & O_ACCMODE) != O_RDWR)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    struct stat st;
    if (fstat(f->fd, &st) != 0) {
        fail_errno(f->path);
        return nullptr;
    }
    uint64_t size = (uint64_t(size_high) << 32) | size_low;
    if (size == 0) size = uint64_t(st.st_size);
    if (size == 0) {
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    if (size > uint64_t(st.st_size)) {
        // A writable mapping larger than the file grows the file; a read-only one cannot.
        if (!writable) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (ftruncate(f->fd, off_t(size)) != 0) {
            fail_errno(f->path);
            return nullptr;
        }
    }
    auto m = std::make_shared<MappingObject>();
    m->fd = dup(f->fd);
    if (m->fd < 0) {
        fail_errno(f->path);
        return nullptr;
    }
    m->size = size;
    m->writable = writable;
    SetLastError(NO_ERROR);
    return handle_add(m);
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, SIZE_T bytes) {
    auto m = handle_get_as<MappingObject>(mapping);
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    uint64_t offset = (uint64_t(offset_high) << 32) | offset_low;
    if (offset % 65536 != 0) {  // the allocation granularity of Win32
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    // FILE_MAP_ALL_ACCESS carries the copy bit too: a view is private only when asked for without write.
    bool write = access & FILE_MAP_WRITE;
    bool copy = (access & FILE_MAP_COPY) && !write;
    if (write && !m->writable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (offset >= m->size || (bytes && bytes > m->size - offset)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    size_t length = bytes ? bytes : size_t(m->size - offset);
    int prot = PROT_READ | (write || copy ? PROT_WRITE : 0);
    void* p = mmap(nullptr, length, prot, copy ? MAP_PRIVATE : MAP_SHARED, m->fd, off_t(offset));
    if (p == MAP_FAILED) {
        SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::lock_guard lock(g_views_mutex);
    g_views[reinterpret_cast<uintptr_t>(p)] = View{length, m};
    return p;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID address) {
    View view;
    {
        std::lock_guard lock(g_views_mutex);
        auto it = g_views.find(reinterpret_cast<uintptr_t>(address));
        if (it == g_views.end()) return fail(ERROR_INVALID_ADDRESS);
        view = std::move(it->second);
        g_views.erase(it);
    }
    munmap(const_cast<LPVOID>(address), view.length);
    return TRUE;
}

}  // extern "C"
