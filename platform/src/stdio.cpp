#include "vokplat/stdio.h"

#include <errno.h>

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
    return fopen(host.c_str(), m.c_str());
}

extern "C" BOOL PlatWriteFileAtomic(const char* name, const void* data, size_t size) {
    std::string host;
    if (!plat::resolve_path(name, host)) {
        errno = ENOENT;
        return FALSE;
    }
    return plat::write_atomic(host, std::string(static_cast<const char*>(data), size)) ? TRUE : FALSE;
}
