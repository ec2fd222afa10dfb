#include "vokplat/save.h"

#include <errno.h>

#include <string>

#include "fsutil.h"

extern "C" BOOL PlatWriteFileAtomic(const char* path, const void* data, size_t size) {
    if (!path || !*path || (!data && size)) {
        errno = EINVAL;
        return plat::fail(ERROR_INVALID_PARAMETER);
    }
    if (plat::write_atomic(path, std::string(static_cast<const char*>(data), data ? size : 0))) return TRUE;
    int saved = errno;
    SetLastError(plat::win32_error(saved, path));
    errno = saved;
    return FALSE;
}
