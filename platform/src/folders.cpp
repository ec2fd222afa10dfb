// Name-level file operations: delete, move, copy, folders, attributes, current and temporary folders.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "fsutil.h"
#include "win32/winfile.h"

using namespace plat;

namespace {

// Copies one regular file's bytes and permissions; the target is replaced when it exists.
bool copy_bytes(const std::string& from, const std::string& to, mode_t mode) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        int saved = errno;
        close(in);
        errno = saved;
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buf + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    int saved = errno;
    close(in);
    if (close(out) != 0) ok = false;
    if (ok) fchmodat(AT_FDCWD, to.c_str(), mode & 07777, 0);
    errno = saved;
    return ok;
}

}  // namespace

extern "C" {

BOOL WINAPI DeleteFileA(LPCSTR name) {
    std::string host;
    if (!resolve(name, host)) return FALSE;
    struct stat st;
    DWORD attr = attributes_of(host, &st);
    if (attr == INVALID_FILE_ATTRIBUTES) return fail_errno(host);
    // Folders (and links to folders) are not files; read-only files are refused as on Win32.
    if (attr & FILE_ATTRIBUTE_DIRECTORY) return fail(ERROR_ACCESS_DENIED);
    if (attr & FILE_ATTRIBUTE_READONLY) return fail(ERROR_ACCESS_DENIED);
    if (unlink(host.c_str()) != 0) return fail_errno(host);
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa) {
    std::string host;
    if (!resolve(name, host)) return FALSE;
    if (mkdir(host.c_str(), 0777) != 0) return fail_errno(host);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR name) {
    std::string host;
    if (!resolve(name, host)) return FALSE;
    struct stat st;
    DWORD attr = attributes_of(host, &st);
    if (attr == INVALID_FILE_ATTRIBUTES) return fail_errno(host);
    if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) return fail(ERROR_DIRECTORY);
    // A link to a folder is removed itself, never what it leads to.
    if (attr & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (unlink(host.c_str()) != 0) return fail_errno(host);
        return TRUE;
    }
    if (rmdir(host.c_str()) != 0) {
        if (errno == EEXIST) errno = ENOTEMPTY;
        return fail_errno(host);
    }
    return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR new_name) {
    std::string from, to;
    if (!resolve(existing, from) || !resolve(new_name, to)) return FALSE;
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return fail_errno(from);
    if (lstat(to.c_str(), &st) == 0) return fail(ERROR_ALREADY_EXISTS);
    if (rename(from.c_str(), to.c_str()) != 0) {
        if (errno == EXDEV) return fail(ERROR_NOT_SUPPORTED);
        return fail_errno(to);
    }
    return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_name, BOOL fail_if_exists) {
    std::string from, to;
    if (!resolve(existing, from) || !resolve(new_name, to)) return FALSE;
    struct stat src;
    if (stat(from.c_str(), &src) != 0) return fail_errno(from);
    if (S_ISDIR(src.st_mode)) return fail(ERROR_ACCESS_DENIED);
    struct stat dst;
    if (stat(to.c_str(), &dst) == 0) {
        if (fail_if_exists) return fail(ERROR_FILE_EXISTS);
        if (S_ISDIR(dst.st_mode) || is_read_only(dst)) return fail(ERROR_ACCESS_DENIED);
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) return fail(ERROR_SHARING_VIOLATION);
    }
    if (!copy_bytes(from, to, src.st_mode)) return fail_errno(to);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR name) {
    std::string host;
    if (!resolve(name, host)) return INVALID_FILE_ATTRIBUTES;
    DWORD attr = attributes_of(host);
    if (attr == INVALID_FILE_ATTRIBUTES) fail_errno(host);
    return attr;
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes) {
    std::string host;
    if (!resolve(name, host)) return FALSE;
    struct stat st;
    DWORD attr = attributes_of(host, &st);
    if (attr == INVALID_FILE_ATTRIBUTES) return fail_errno(host);
    // The attributes of a link are its own: never change what it leads to.
    if (S_ISLNK(st.st_mode)) return TRUE;
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY) mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (is_read_only(st)) mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && chmod(host.c_str(), mode) != 0) return fail_errno(host);
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) {
        fail_errno(".");
        return 0;
    }
    std::string dir = to_system(cwd);
    std::free(cwd);
    return copy_out(dir, buffer, size);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR name) {
    std::string host;
    if (!resolve(name, host)) return FALSE;
    if (chdir(host.c_str()) != 0) {
        if (errno == ENOENT) return fail(ERROR_FILE_NOT_FOUND);
        if (errno == ENOTDIR) return fail(ERROR_DIRECTORY);
        return fail_errno(host);
    }
    return TRUE;
}

DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp == '/' ? tmp : "/tmp";
    if (dir.back() != '/') dir += '/';
    return copy_out(to_system(dir), buffer, size);
}

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR out) {
    std::string dir;
    if (!path || !out || !resolve(path, dir)) {
        if (!path || !out) SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    if (dir.back() != '/') dir += '/';
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
    auto name_for = [&](UINT n) {
        char tail[16];
        snprintf(tail, sizeof tail, "%X.tmp", n & 0xFFFFu);
        return dir + pre + tail;
    };
    unique &= 0xFFFFu;
    if (unique) {
        // A given number only builds the name; nothing is created.
        std::string full = to_system(name_for(unique));
        if (full.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        std::memcpy(out, full.c_str(), full.size() + 1);
        return unique;
    }
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    UINT start = UINT((ts.tv_nsec / 1000 + getpid()) & 0xFFFF);
    if (!start) start = 1;
    UINT n = start;
    do {
        std::string host = name_for(n);
        std::string full = to_system(host);
        if (full.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            std::memcpy(out, full.c_str(), full.size() + 1);
            return n;
        }
        if (errno != EEXIST) {
            fail_errno(host);
            return 0;
        }
        n = n == 0xFFFF ? 1 : n + 1;
    } while (n != start);
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

}  // extern "C"
