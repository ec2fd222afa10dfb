// COM: per-thread initialisation counts and a table of in-process classes.
#include <mutex>
#include <vector>

#include "win32/objbase.h"

namespace {

struct ComClass {
    CLSID clsid;
    PlatComFactory factory;
};

std::mutex g_mutex;
std::vector<ComClass>& classes() {
    static std::vector<ComClass> v;
    return v;
}

thread_local int t_init_count = 0;

PlatComFactory find_class(REFCLSID clsid) {
    std::lock_guard lock(g_mutex);
    for (const ComClass& c : classes())
        if (IsEqualGUID(c.clsid, clsid)) return c.factory;
    return nullptr;
}

}  // namespace

HRESULT WINAPI CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

// Every registered class is free-threaded, so the threading model asked for makes no difference.
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD flags) { return t_init_count++ == 0 ? S_OK : S_FALSE; }

void WINAPI CoUninitialize(void) {
    if (t_init_count > 0) --t_init_count;
}

HRESULT WINAPI OleInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void WINAPI OleUninitialize(void) { CoUninitialize(); }

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (t_init_count == 0) return CO_E_NOTINITIALIZED;
    const bool in_process = context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER);
    PlatComFactory factory = in_process ? find_class(clsid) : nullptr;
    if (!factory) return REGDB_E_CLASSNOTREG;
    HRESULT hr = factory(outer, riid, object);
    if (FAILED(hr)) *object = nullptr;
    return hr;
}

void PlatRegisterComClass(REFCLSID clsid, PlatComFactory factory) {
    std::lock_guard lock(g_mutex);
    std::vector<ComClass>& v = classes();
    for (auto it = v.begin(); it != v.end(); ++it) {
        if (!IsEqualGUID(it->clsid, clsid)) continue;
        if (factory)
            it->factory = factory;
        else
            v.erase(it);
        return;
    }
    if (factory) v.push_back({clsid, factory});
}
