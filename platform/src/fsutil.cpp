#include "fsutil.h"

#include <errno.h>
#include <fcntl.h>
#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "paths.h"
#include "win32/winfile.h"

namespace plat {

DWORD win32_error(int err, const std::string& host_path) {
    switch (err) {
    case ENOENT: {
        struct stat st;
        return stat(folder_of(host_path).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
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
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
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

bool final_target(const std::string& path, std::string& target) {
    std::string cur = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(cur.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = cur;
            return true;
        }
        std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = readlink(cur.c_str(), link.data(), link.size());
        if (n < 0) return false;
        if (size_t(n) >= link.size()) continue;  // grew meanwhile: read it again
        link.resize(size_t(n));
        size_t slash = cur.find_last_of('/');
        if (link[0] == '/' || slash == std::string::npos) cur = link;
        else cur = cur.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

std::string folder_of(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// Removes "<name>.tmp<pid>.<n>" files that writers killed before their rename left beside `target`.
// A temporary file of a process that still runs is left alone: it may be writing right now. Only the
// whole form is taken, so that a file of the user's such as "<name>.tmp2" is never removed.
void remove_stale_temps(const std::string& target) {
    size_t slash = target.find_last_of('/');
    std::string dir = folder_of(target);
    std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        const char* n = e->d_name;
        if (std::strncmp(n, prefix.c_str(), prefix.size()) != 0) continue;
        char* end = nullptr;
        long pid = std::strtol(n + prefix.size(), &end, 10);
        if (end == n + prefix.size() || pid <= 0 || pid == long(getpid())) continue;
        if (*end != '.' || !std::isdigit(static_cast<unsigned char>(end[1]))) continue;
        char* seq_end = nullptr;
        std::strtoul(end + 1, &seq_end, 10);
        if (*seq_end) continue;
        if (kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        unlinkat(dirfd(d), n, 0);
    }
    closedir(d);
}

}  // namespace

bool write_atomic(const std::string& path, const std::string& data) {
    // A link is written through: its target is replaced beside itself and the link stays.
    std::string target;
    if (!final_target(path, target)) return false;
    struct stat st;
    bool exists = lstat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EPERM;
        return false;
    }
    // Read-only holds for a privileged process too, whose writes the permission bits would not stop.
    if (exists && is_read_only(st)) {
        errno = EACCES;
        return false;
    }
    remove_stale_temps(target);

    static std::atomic<unsigned> sequence{0};
    std::string tmp = target + ".tmp" + std::to_string(getpid()) + "." + std::to_string(sequence++);
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    bool ok = true;
    if (exists) {
        // The new file takes the old one's owner (a privileged writer keeps the user's file the user's)
        // and mode; the owner first, since a change of owner drops set-id bits.
        if (st.st_uid != geteuid() || st.st_gid != getegid()) (void)!fchown(fd, st.st_uid, st.st_gid);
        ok = fchmod(fd, st.st_mode & 07777) == 0;
    }
    size_t done = 0;
    while (ok && done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        done += size_t(n);
    }
    ok = ok && fsync(fd) == 0;
    int saved = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlink(tmp.c_str());
        errno = saved;
        return false;
    }
    // The rename lives in the folder: until the folder is flushed too, a power cut can bring the old
    // file back, or none. A file system that does not flush folders (EINVAL) is no failure; an error
    // while flushing is, although the new file is in place.
    int dir = open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        if (fsync(dir) != 0 && errno != EINVAL && errno != EROFS) ok = false, saved = errno;
        close(dir);
    }
    errno = saved;
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

FileLock::FileLock(const std::string& path, bool exclusive, bool folder) {
    // A folder is locked through itself: nothing is created beside the user's files.
    int flags = folder ? O_RDONLY | O_DIRECTORY | O_CLOEXEC : O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    fd_ = open(path.c_str(), flags, 0600);
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
