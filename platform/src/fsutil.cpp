#include "fsutil.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "paths.h"
#include "win32/winfile.h"

namespace plat {

DWORD win32_error(int err, const std::string& host_path) {
    switch (err) {
    case ENOENT: {
        size_t slash = host_path.find_last_of('/');
        std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : host_path.substr(0, slash);
        struct stat st;
        return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBADF: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    default: return ERROR_INVALID_FUNCTION;
    }
}

BOOL fail_errno(const std::string& host_path) {
    SetLastError(win32_error(errno, host_path));
    return FALSE;
}

BOOL fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

bool resolve(const char* name, std::string& host) { return resolve_path(name, host); }

bool is_read_only(const struct stat& st) { return !(st.st_mode & S_IWUSR); }

DWORD attributes_of(const std::string& host, struct stat* out) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
    if (out) *out = st;
    DWORD attr = 0;
    if (S_ISLNK(st.st_mode)) {
        attr |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat target;
        if (stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) attr |= FILE_ATTRIBUTE_DIRECTORY;
        else attr |= FILE_ATTRIBUTE_ARCHIVE;
        return attr;
    }
    if (S_ISDIR(st.st_mode)) attr |= FILE_ATTRIBUTE_DIRECTORY;
    else attr |= FILE_ATTRIBUTE_ARCHIVE;
    if (is_read_only(st)) attr |= FILE_ATTRIBUTE_READONLY;
    return attr;
}

std::string to_system(const std::string& host) {
    std::string s = host;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

DWORD copy_out(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || text.size() + 1 > size) return DWORD(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = '\0';
    return DWORD(text.size());
}

FILETIME filetime_from(const struct timespec& ts) {
    // 100 ns ticks since 1601-01-01.
    uint64_t ticks = (uint64_t(ts.tv_sec) + 11644473600ull) * 10000000ull + uint64_t(ts.tv_nsec) / 100;
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

std::string config_dir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.config";
    else base = "/tmp";
    return base + "/velmos-games";
}

bool make_dirs(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !make_dirs(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool write_atomic(const std::string& path, const std::string& data) {
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    bool ok = done == data.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) {
        // Keep the old file's permissions, so a read-only settings file stays read-only.
        struct stat st;
        if (stat(path.c_str(), &st) == 0) chmod(tmp.c_str(), st.st_mode & 07777);
        ok = rename(tmp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        int saved = errno;
        unlink(tmp.c_str());
        errno = saved;
    }
    return ok;
}

bool read_all(const std::string& path, std::string& data) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    data.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        data.append(buf, size_t(n));
    }
    close(fd);
    return true;
}

std::string percent_encode(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool percent_decode(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        int hi = hex_digit(text[i + 1]), lo = hex_digit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        bytes += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

FileLock::FileLock(const std::string& path, bool exclusive) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return;
    int r;
    while ((r = flock(fd_, exclusive ? LOCK_EX : LOCK_SH)) != 0 && errno == EINTR) {
    }
    held_ = r == 0;
}

FileLock::~FileLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
}

}  // namespace plat
