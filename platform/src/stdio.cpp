#include "vokplat/stdio.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "fsutil.h"
#include "paths.h"

extern "C" FILE* PlatFopen(const char* name, const char* mode) {
    std::string host;
    if (!mode || !plat::resolve_path(name, host)) {
        errno = ENOENT;
        return nullptr;
    }
    std::string m;
    for (const char* c = mode; *c; ++c)
        if (*c != 't') m += *c;
    // The same rule as CreateFileA: a read-only file is not written, whoever asks.
    struct stat st;
    if (std::strpbrk(m.c_str(), "wa+") && stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        plat::is_read_only(st)) {
        errno = EACCES;
        return nullptr;
    }
    return fopen(host.c_str(), m.c_str());
}
