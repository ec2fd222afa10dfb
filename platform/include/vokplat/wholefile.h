/* Whole-file reads for the tools and the small readers: only a regular file is read, never more than
 * its format allows, and every failure comes back with its reason instead of an exception. */
#ifndef VOKPLAT_WHOLEFILE_H
#define VOKPLAT_WHOLEFILE_H

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vokplat {

/* Reads the file at the host path `path` into `out`. A folder, a device or a pipe, a file larger than
 * `limit` bytes and every read error are refused before or while reading, with `why` set to the
 * reason ("Is a directory", "Permission denied", "larger than N bytes"). */
template <class Bytes>
bool read_whole_file(const std::string& path, Bytes& out, uint64_t limit, std::string& why)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        why = strerror(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? strerror(EISDIR) : "not a regular file";
        close(fd);
        return false;
    }
    if (uint64_t(st.st_size) > limit) {
        why = "larger than " + std::to_string(limit) + " bytes";
        close(fd);
        return false;
    }
    out.clear();
    out.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        // A file that grows while it is read is still held to the limit.
        if (uint64_t(out.size()) + uint64_t(n) > limit) {
            why = "larger than " + std::to_string(limit) + " bytes";
            close(fd);
            return false;
        }
        out.insert(out.end(), buf, buf + n);
    }
    close(fd);
    return true;
}

/* The checks of read_whole_file without keeping the bytes, for a file a loader then opens by name: a
 * regular file of at most `limit` bytes whose first bytes can be read. */
inline bool check_readable_file(const std::string& path, uint64_t limit, std::string& why)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (!ok) {
        why = strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? strerror(EISDIR) : "not a regular file";
        ok = false;
    } else if (uint64_t(st.st_size) > limit) {
        why = "larger than " + std::to_string(limit) + " bytes";
        ok = false;
    } else {
        char first;
        ssize_t n;
        while ((n = read(fd, &first, 1)) < 0 && errno == EINTR) {
        }
        if (n < 0) {
            why = strerror(errno);
            ok = false;
        }
    }
    close(fd);
    return ok;
}

}  // namespace vokplat

#endif
