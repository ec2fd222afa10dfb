// File helpers of the framework: joining name parts, whole-file reads and saves.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "state.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"
#include "win32/winmisc.h"

namespace {

bool ends_in_separator(const char *s, size_t n)
{
    return n > 0 && (s[n - 1] == '\\' || s[n - 1] == '/');
}

}  // namespace

namespace vok {

bool join_path(char *out, size_t size, const char *const *parts, size_t count)
{
    size_t n = 0;
    for (size_t i = 0; i < count; i++) {
        const char *part = parts[i];
        size_t len = part != nullptr ? strlen(part) : 0;
        if (len == 0)
            continue;
        bool folder = i + 1 < count;
        size_t need = len + (folder && !ends_in_separator(part, len) ? 1 : 0);
        if (n + need >= size) {
            out[0] = '\0';
            OutputDebugStringA("VokScore: a file name is longer than 259 characters\n");
            return false;
        }
        memcpy(out + n, part, len);
        n += len;
        if (need > len)
            out[n++] = '\\';
    }
    out[n] = '\0';
    return true;
}

bool root_file(char *out, size_t size, const char *name)
{
    const char *root = iface().readRoot != nullptr ? iface().readRoot : state().root;
    const char *parts[] = {root, name};
    return join_path(out, size, parts, 2);
}

bool save_file(const char *path, const void *data, size_t size)
{
    return path != nullptr && path[0] != '\0' && PlatSaveFile(path, data, size);
}

bool load_file(const char *path, std::string &data)
{
    return load_file_status(path, data) == Load::kRead;
}

Load load_file_status(const char *path, std::string &data)
{
    data.clear();
    if (path == nullptr || path[0] == '\0')
        return Load::kFailed;
    errno = 0;
    FILE *f = PlatFopen(path, "rb");
    if (f == nullptr)
        return errno == ENOENT ? Load::kMissing : Load::kFailed;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data.append(buffer, n);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok)
        data.clear();
    return ok ? Load::kRead : Load::kFailed;
}

UpdateLock::UpdateLock(const char *path) : lock_(PlatLockFolderOf(path)) {}

UpdateLock::~UpdateLock()
{
    PlatUnlockFolder(lock_);
}

}  // namespace vok
