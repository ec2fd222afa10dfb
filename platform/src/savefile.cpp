#include "vokplat/savefile.h"

#include <errno.h>

#include <new>
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

struct PlatFolderLock {
    plat::FileLock lock;
    explicit PlatFolderLock(const std::string& folder) : lock(folder, true, true) {}
};

extern "C" PlatFolderLock* PlatLockFolderOf(const char* name) {
    std::string host, target;
    if (!plat::resolve(name, host)) return nullptr;
    if (!plat::final_target(host, target)) {
        plat::fail_errno(host);
        return nullptr;
    }
    std::string folder = plat::folder_of(target);
    auto* lock = new (std::nothrow) PlatFolderLock(folder);
    if (lock == nullptr) {
        plat::fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!lock->lock.held()) {
        int saved = errno;
        delete lock;
        plat::fail_errno(folder);
        errno = saved;
        return nullptr;
    }
    return lock;
}

extern "C" void PlatUnlockFolder(PlatFolderLock* lock) { delete lock; }
