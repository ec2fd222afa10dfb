#include "vokplat/savefile.h"

#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "fsutil.h"

extern "C" BOOL PlatSaveFile(const char* name, const void* data, size_t size) {
    std::string host;
    if (!plat::resolve(name, host)) return FALSE;
    if (size != 0 && data == nullptr) return plat::fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (stat(host.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return plat::fail(ERROR_ACCESS_DENIED);
        if (plat::is_read_only(st)) return plat::fail(ERROR_ACCESS_DENIED);
    }
    std::string bytes(static_cast<const char*>(data), size);
    if (!plat::write_atomic(host, bytes)) return plat::fail_errno(host);
    return TRUE;
}
