// Modules over the dynamic loader. An HMODULE is the loader's handle, which glibc makes the object's
// link map, so the handle a module's entry receives, the one LoadLibraryA answers and the one
// GetModuleFileNameA hands to dlinfo are all the same value.
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "paths.h"
#include "vokplat/module.h"
#include "vokplat/resources.h"
#include "win32/winmisc.h"
#include "win32/winmod.h"

namespace {

std::mutex g_mutex;
std::unordered_map<void*, int> g_refs;  // references taken by LoadLibraryA, per handle

// Set while LoadLibraryA runs the loader on this thread, so that a refused attach fails that call.
thread_local int t_load_depth = 0;
thread_local bool t_attach_refused = false;

void* program_handle() {
    static void* h = dlopen(nullptr, RTLD_NOW);
    return h;
}

const std::string& program_dir() {
    static const std::string dir = [] {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return std::string(".");
        std::string p(buf, static_cast<size_t>(n));
        size_t slash = p.rfind('/');
        return slash == 0 ? std::string("/") : p.substr(0, slash);
    }();
    return dir;
}

bool has_folder(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

bool ends_with_nocase(const std::string& s, const char* tail) {
    size_t n = strlen(tail);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

// "X.dll" -> "X.so", "X" -> "X.so"; other extensions stay as given.
std::string host_file_name(const char* name) {
    std::string s(name);
    size_t base = s.find_last_of("/\\");
    base = base == std::string::npos ? 0 : base + 1;
    if (ends_with_nocase(s, ".dll")) return s.substr(0, s.size() - 4) + ".so";
    if (s.find('.', base) == std::string::npos) return s + ".so";
    return s;
}

bool is_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string current_dir() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? cwd : ".";
}

// The host file a module name stands for, or empty. The path is absolute, so that the loaded module
// keeps a name that still holds after the current folder changes.
std::string find_module_file(const char* name) {
    std::string file = host_file_name(name);
    std::string path;
    if (has_folder(file)) {
        if (!plat::resolve_path(file.c_str(), path) || !is_file(path)) return "";
        return path[0] == '/' ? path : current_dir() + "/" + path;
    }
    for (const std::string& dir : {program_dir(), current_dir()}) {
        if (plat::resolve_path((dir + "/" + file).c_str(), path) && is_file(path)) return path;
    }
    return "";
}

struct LoadedObject {
    std::string path;  // empty for the program
    void* handle;
};

// Every object in the process, with its handle (taken without keeping a reference).
std::vector<LoadedObject> loaded_objects() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            static_cast<std::vector<std::string>*>(data)->emplace_back(info->dlpi_name ? info->dlpi_name : "");
            return 0;
        },
        &names);
    std::vector<LoadedObject> out;
    for (const std::string& n : names) {
        if (n.empty()) {
            out.push_back({"", program_handle()});
            continue;
        }
        if (void* h = dlopen(n.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
            dlclose(h);
            out.push_back({n, h});
        }
    }
    return out;
}

bool is_loaded(void* h) {
    if (!h) return false;
    if (h == program_handle()) return true;
    {
        std::lock_guard lock(g_mutex);
        if (g_refs.count(h)) return true;
    }
    for (const LoadedObject& o : loaded_objects())
        if (o.handle == h) return true;
    return false;
}

// True when `addr` lies in the object of `handle` itself (dlsym also searches what it depends on).
bool owned_by(void* handle, const void* addr) {
    Dl_info info;
    link_map* owner = nullptr;
    link_map* mine = nullptr;
    if (!dladdr1(addr, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) || !owner) return false;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &mine) != 0) return false;
    return owner == mine;
}

void* own_symbol(void* handle, const char* name) {
    dlerror();
    void* sym = dlsym(handle, name);
    return sym && owned_by(handle, sym) ? sym : nullptr;
}

HINSTANCE instance_of(const void* anchor) {
    Dl_info info;
    link_map* lm = nullptr;
    if (!dladdr1(anchor, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP)) return nullptr;
    return reinterpret_cast<HINSTANCE>(lm);
}

void debug_line(const std::string& text) { OutputDebugStringA((text + "\n").c_str()); }

}  // namespace

extern "C" {

void PlatModuleEntryAttach(const void* anchor, PlatDllEntryProc entry) {
    HINSTANCE inst = instance_of(anchor);
    if (entry(inst, DLL_PROCESS_ATTACH, nullptr)) return;
    if (t_load_depth > 0) {
        t_attach_refused = true;
        return;
    }
    // A module the program was linked against refused to start: the program cannot run.
    Dl_info info;
    dladdr(anchor, &info);
    fprintf(stderr, "module initialisation failed: %s\n", info.dli_fname ? info.dli_fname : "?");
    _exit(1);
}

void PlatModuleEntryDetach(const void* anchor, PlatDllEntryProc entry) {
    entry(instance_of(anchor), DLL_PROCESS_DETACH, nullptr);
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = find_module_file(name);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const bool outer_refused = t_attach_refused;
    t_attach_refused = false;
    ++t_load_depth;
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    --t_load_depth;
    const bool refused = t_attach_refused;
    t_attach_refused = outer_refused;
    if (!h) {
        const char* err = dlerror();
        std::string why = err ? err : "";
        debug_line("LoadLibraryA: " + why);
        // The file exists, so a file the loader cannot open is a module it needs; a missing import is
        // a missing procedure, as on Windows.
        if (why.find("cannot open shared object file") != std::string::npos)
            SetLastError(ERROR_MOD_NOT_FOUND);
        else if (why.find("undefined symbol") != std::string::npos)
            SetLastError(ERROR_PROC_NOT_FOUND);
        else
            SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    if (refused) {
        dlclose(h);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    ++g_refs[h];
    return static_cast<HMODULE>(h);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    {
        std::lock_guard lock(g_mutex);
        auto it = g_refs.find(module);
        if (it == g_refs.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second == 0) g_refs.erase(it);
    }
    // The loader counts the same references; the last one runs the detach entry and unmaps.
    dlclose(module);
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    void* h = module ? static_cast<void*>(module) : program_handle();
    if (!is_loaded(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* sym = (!name || IS_INTRESOURCE(name)) ? nullptr : own_symbol(h, name);
    if (!sym) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(sym);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name) return static_cast<HMODULE>(program_handle());
    std::string file = host_file_name(name);
    std::string wanted;
    if (has_folder(file)) {
        std::string path;
        char real[PATH_MAX];
        if (plat::resolve_path(file.c_str(), path) && realpath(path.c_str(), real)) wanted = real;
    }
    for (const LoadedObject& o : loaded_objects()) {
        if (o.path.empty()) continue;
        if (!wanted.empty()) {
            char real[PATH_MAX];
            if (realpath(o.path.c_str(), real) && wanted == real) return static_cast<HMODULE>(o.handle);
            continue;
        }
        if (has_folder(file)) continue;
        size_t slash = o.path.rfind('/');
        const char* base = o.path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
        if (strcasecmp(base, file.c_str()) == 0) return static_cast<HMODULE>(o.handle);
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

}  // extern "C"

// Resources ---------------------------------------------------------------------------------------

namespace {

bool key_matches(LPCSTR key, const char* str, unsigned id) {
    if (IS_INTRESOURCE(key)) return !str && id == LOWORD(reinterpret_cast<ULONG_PTR>(key));
    if (key[0] == '#') {
        char* end = nullptr;
        unsigned long n = strtoul(key + 1, &end, 10);
        return !str && end != key + 1 && *end == 0 && n == id;
    }
    return str && strcasecmp(str, key) == 0;
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    void* h = module ? static_cast<void*>(module) : program_handle();
    if (!is_loaded(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto table_of = reinterpret_cast<VokResourceTableProc>(own_symbol(h, VOK_RESOURCE_TABLE_SYMBOL));
    size_t count = 0;
    const VokResource* table = table_of ? table_of(&count) : nullptr;
    if (!table) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool type_seen = false;
    for (size_t i = 0; i < count; ++i) {
        const VokResource& r = table[i];
        if (!key_matches(type, r.type, r.type_id)) continue;
        type_seen = true;
        if (key_matches(name, r.name, r.name_id)) return reinterpret_cast<HRSRC>(const_cast<VokResource*>(&r));
    }
    SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC res) {
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const auto* r = reinterpret_cast<const VokResource*>(res);
    return const_cast<unsigned char*>(r->begin);
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC res) {
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto* r = reinterpret_cast<const VokResource*>(res);
    return static_cast<DWORD>(r->end - r->begin);
}

LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

// Resource data is part of the module image: nothing to free.
BOOL WINAPI FreeResource(HGLOBAL data) { return FALSE; }

}  // extern "C"
