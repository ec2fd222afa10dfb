// The standard filesystem "Standard IO": C streams, names resolved by the platform, and a search
// along the configured path for bare names. Its raw handles are FILE pointers, so a filesystem that
// copies this record may hand its own streams to the other operations.
//
// A file opened for writing is a stream in memory; its close hands the bytes to the platform's atomic
// write, so the name holds either the old file or the whole new one, never a fragment, and a failed
// or abandoned write leaves the old file as it was.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "brondel/brfile.h"
#include "fwstate.h"
#include "sysconf.h"
#include "vokplat/paths.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"

namespace {

// Reading, writing, text, binary and advance.
const br_uint_32 std_attributes = 0x1f;

// A folder opens as a stream on this host; it is never a file.
FILE *open_file(const char *path, const char *mode)
{
    FILE *fp = PlatFopen(path, mode);
    struct stat st;
    if (fp != nullptr && (fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode))) {
        fclose(fp);
        return nullptr;
    }
    return fp;
}

// Tries each ";"-separated folder of the search path; the path that opened is left in found.
FILE *open_along_path(const char *name, char *found)
{
    const char *path = BrFwSystemConfigValue(BRT_BRONDEL_PATH_STR);
    if (path == nullptr)
        return nullptr;
    size_t name_len = strlen(name);
    for (const char *p = path;;) {
        const char *end = strchr(p, ';');
        size_t dir_len = end ? (size_t)(end - p) : strlen(p);
        size_t len = dir_len;
        bool sep = dir_len > 0 && p[dir_len - 1] != '/' && p[dir_len - 1] != ':' && p[dir_len - 1] != '\\';
        if (dir_len + sep + name_len <= BR_FS_NAME_MAX) {
            memcpy(found, p, dir_len);
            if (sep)
                found[len++] = '/';
            memcpy(found + len, name, name_len + 1);
            if (FILE *fp = open_file(found, "rb"))
                return fp;
        }
        if (end == nullptr)
            return nullptr;
        p = end + 1;
    }
}

void *std_open_read(const char *name, br_size_t n_magics, br_mode_test_cbfn *identify, int *mode_result)
{
    char found[BR_FS_NAME_MAX + 1];
    size_t name_len = strlen(name);
    // A longer name would open some other, cut-off file.
    if (name_len > BR_FS_NAME_MAX || n_magics > BR_FS_MAGICS_MAX)
        return nullptr;
    memcpy(found, name, name_len + 1);

    FILE *fp = open_file(found, "rb");
    if (fp == nullptr && strpbrk(name, ":/\\") == nullptr)
        fp = open_along_path(name, found);
    if (fp == nullptr)
        return nullptr;

    int mode = mode_result ? *mode_result : BR_FS_MODE_BINARY;
    if (n_magics > 0) {
        br_uint_8 magics[BR_FS_MAGICS_MAX];
        if (fread(magics, 1, n_magics, fp) != n_magics) {
            fclose(fp);
            return nullptr;
        }
        if (identify != nullptr)
            mode = identify(magics, n_magics);
        if (mode_result != nullptr)
            *mode_result = mode;
    }
    fclose(fp);

    switch (mode) {
    case BR_FS_MODE_BINARY:
        return open_file(found, "rb");
    case BR_FS_MODE_TEXT:
        return open_file(found, "r");
    case BR_FS_MODE_UNKNOWN:
        return nullptr;
    default:
        BrFailure("BrStdFileOpenRead: invalid open_mode %d", mode);
        return nullptr;
    }
}

// A file being written: its stream, and for a regular file the bytes gathered in memory.
struct pending_write {
    pending_write *next;
    FILE *fp;
    char *bytes;
    size_t size;
    bool in_place; // a device or pipe: written where it is, there is nothing to put in its place
    bool keep;     // its close puts it in place; cleared when the file is abandoned
    char name[1];
};

pending_write *&open_writes()
{
    return *(pending_write **)&br_fw.std_writes;
}

void *std_open_write(const char *name, int text)
{
    // What would make the final write fail is refused now, as opening the file itself would be.
    char host[PATH_MAX];
    if (PlatResolvePath(name, host, sizeof(host)) == 0)
        return nullptr;
    struct stat st;
    bool exists = stat(host, &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    bool in_place = exists && !S_ISREG(st.st_mode);
    if (exists && !in_place && (st.st_mode & S_IWUSR) == 0) {
        errno = EACCES;
        return nullptr;
    }
    std::string folder = host;
    size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    if (!in_place && stat(folder.c_str(), &st) != 0)
        return nullptr;
    if (!in_place && !S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return nullptr;
    }

    size_t len = strlen(name);
    pending_write *w = (pending_write *)calloc(1, sizeof(pending_write) + len);
    if (w == nullptr)
        return nullptr;
    memcpy(w->name, name, len + 1);
    w->in_place = in_place;
    w->keep = true;
    w->fp = in_place ? fopen(host, text == 1 ? "w" : "wb") : open_memstream(&w->bytes, &w->size);
    if (w->fp == nullptr) {
        free(w);
        return nullptr;
    }
    w->next = open_writes();
    open_writes() = w;
    return w->fp;
}

br_uint_32 std_attributes_get(void)
{
    return std_attributes;
}

pending_write **find_write(void *f)
{
    pending_write **at = &open_writes();
    while (*at != nullptr && (*at)->fp != (FILE *)f)
        at = &(*at)->next;
    return at;
}

// A file open for writing goes in place only when every write went in and it was not abandoned; the
// outcome is left for the file layer, since the record's close answers nothing.
void std_close(void *f)
{
    pending_write **at = find_write(f);
    if (*at == nullptr) {
        fclose((FILE *)f);
        return;
    }
    pending_write *w = *at;
    *at = w->next;
    bool ok = ferror(w->fp) == 0;
    if (w->in_place) {
        ok = fflush(w->fp) == 0 && ok;
        ok = fclose(w->fp) == 0 && ok;
    } else {
        ok = fclose(w->fp) == 0 && ok;
        ok = ok && w->keep && PlatSaveFile(w->name, w->bytes != nullptr ? w->bytes : "", w->size);
        free(w->bytes);
    }
    br_fw.std_write_ok = ok && w->keep;
    free(w);
}

int std_eof(void *f)
{
    return feof((FILE *)f);
}

int std_getchar(void *f)
{
    return fgetc((FILE *)f);
}

void std_putchar(int c, void *f)
{
    fputc(c, (FILE *)f);
}

br_size_t std_read(void *buf, br_size_t size, br_size_t n, void *f)
{
    return fread(buf, size, n, (FILE *)f);
}

br_size_t std_write(const void *buf, br_size_t size, br_size_t n, void *f)
{
    return fwrite(buf, size, n, (FILE *)f);
}

// Text written on the other system ends its lines in "\r\n"; both ends are taken off. The rest of a
// line longer than the buffer is skipped, so the next call starts at the next line.
br_size_t std_getline(char *buf, br_size_t buf_len, void *f)
{
    FILE *fp = (FILE *)f;
    if (buf_len == 0)
        return 0;
    int size = buf_len > 0x7fffffff ? 0x7fffffff : (int)buf_len;
    if (fgets(buf, size, fp) == nullptr) {
        buf[0] = '\0';
        return 0;
    }
    size_t len = strlen(buf);
    bool ended = len > 0 && buf[len - 1] == '\n';
    if (ended) {
        len--;
    } else if (!feof(fp)) {
        int c = fgetc(fp);
        ended = c == '\n';
        while (c != EOF && c != '\n')
            c = fgetc(fp);
    }
    if (ended && len > 0 && buf[len - 1] == '\r')
        len--;
    buf[len] = '\0';
    return len;
}

void std_putline(const char *buf, void *f)
{
    fputs(buf, (FILE *)f);
    fputc('\n', (FILE *)f);
}

void std_advance(br_size_t count, void *f)
{
    fseek((FILE *)f, (long)count, SEEK_CUR);
}

br_filesystem std_filesystem = {
    "Standard IO", std_attributes_get, std_open_read, std_open_write, std_close, std_eof,     std_getchar,
    std_putchar,   std_read,           std_write,     std_getline,    std_putline, std_advance,
};

} // namespace

br_filesystem *BrFwStdFilesystem(void)
{
    return &std_filesystem;
}

br_boolean BrFwStdFileWriting(void *raw, br_boolean keep)
{
    pending_write *w = *find_write(raw);
    if (w == nullptr)
        return 0;
    w->keep = w->keep && keep;
    return 1;
}
