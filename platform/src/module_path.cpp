// GetModuleFileNameA: the real path of the program or of a loaded shared object.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "fsutil.h"
#include "win32/winfile.h"

namespace {

std::string real_path(const char* p) {
    char buf[PATH_MAX];
    return realpath(p, buf) ? std::string(buf) : std::string(p);
}

std::string program_path() { return real_path("/proc/self/exe"); }

// The loaded object whose link-map entry is `h` (what dlopen answers), found by walking the chain of
// loaded objects rather than trusting the pointer. An empty name stands for the program itself.
bool path_of_dlopen_handle(const void* h, std::string& path) {
    void* self = dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    if (!self) return false;
    struct link_map* lm = nullptr;
    bool found = false;
    if (dlinfo(self, RTLD_DI_LINKMAP, &lm) == 0) {
        while (lm && lm->l_prev) lm = lm->l_prev;
        for (; lm; lm = lm->l_next) {
            if (lm != h) continue;
            path = lm->l_name && *lm->l_name ? real_path(lm->l_name) : program_path();
            found = true;
            break;
        }
    }
    dlclose(self);
    return found;
}

// The object that holds the address `p` (a base address or any code or data address).
bool path_of_address(const void* p, std::string& path) {
    Dl_info info;
    struct link_map* lm = nullptr;
    if (!dladdr1(p, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP) || !lm) return false;
    path = lm->l_name && *lm->l_name ? real_path(lm->l_name) : program_path();
    return true;
}

}  // namespace

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    std::string path;
    if (!module) path = program_path();
    else if (!path_of_dlopen_handle(module, path) && !path_of_address(module, path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string text = plat::to_system(path);
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Too small: cut and terminated, the full size answered, as current Win32 does.
    if (text.size() + 1 > size) {
        std::memcpy(buffer, text.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    SetLastError(NO_ERROR);
    return DWORD(text.size());
}
