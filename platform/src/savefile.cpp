#include "vokplat/savefile.h"

#include <errno.h>

#include <string>

#include "fsutil.h"

extern "C" BOOL PlatSaveFile(const char* name, const void* data, size_t size) {
    std::string host;
    if (!plat::resolve(name, host)) return FALSE;
    if (size != 0 && data == nullptr) {
        errno = EINVAL;
        return plat::fail(ERROR_INVALID_PARAMETER);
    }
    // The save refuses folders, devices and read-only files itself, with errno set for the caller.
    std::string bytes(static_cast<const char*>(data), size);
    if (plat::write_atomic(host, bytes)) return TRUE;
    int saved = errno;
    plat::fail_errno(host);
    errno = saved;
    return FALSE;
}
